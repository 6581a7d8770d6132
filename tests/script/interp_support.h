#pragma once

#include "script/interpreter.h"

#include <QString>

namespace tw::test {

// The base types and constants a script needs to declare anything; the function library
// registers the same names in the real program.
inline void addBaseTypes(TfsScript &s)
{
    for (const char *n : {"Byte", "Word", "Integer", "Longint", "Cardinal", "TColor"})
        s.AddType(QString::fromLatin1(n), fvtInt);
    s.AddType(QStringLiteral("Int64"), fvtInt64);
    s.AddType(QStringLiteral("Boolean"), fvtBool);
    for (const char *n : {"Real", "Single", "Double", "Extended", "Currency", "TDate", "TTime", "TDateTime"})
        s.AddType(QString::fromLatin1(n), fvtFloat);
    s.AddType(QStringLiteral("Char"), fvtChar);
    s.AddType(QStringLiteral("String"), fvtString);
    s.AddType(QStringLiteral("Variant"), fvtVariant);
    s.AddType(QStringLiteral("Pointer"), fvtVariant);
    s.AddType(QStringLiteral("Array"), fvtArray);
    s.AddType(QStringLiteral("Constructor"), fvtConstructor);
    s.AddConst(QStringLiteral("True"), QStringLiteral("Boolean"), Variant(true));
    s.AddConst(QStringLiteral("False"), QStringLiteral("Boolean"), Variant(false));
    s.AddConst(QStringLiteral("nil"), QStringLiteral("Variant"), Variant(0));
    s.AddConst(QStringLiteral("Null"), QStringLiteral("Variant"), Variant::null());
}

// Compiles `text` in `language` into `s` (with base types); the error as "pos: message".
inline bool compileScript(TfsScript &s, const QString &text, const QString &language = QStringLiteral("RavidiReduva"),
                          QString *error = nullptr)
{
    if (s.Count() == 0)
        addBaseTypes(s);
    // Items of an earlier compilation go, registrations stay.
    static const char compiled = 0;
    s.ClearItems(&compiled);
    s.SyntaxType = language;
    s.Lines = text.split(QLatin1Char('\n'));
    s.AddedBy = &compiled;
    const bool ok = s.Compile();
    s.AddedBy = nullptr;
    if (error)
        *error = ok ? QString() : s.ErrorPos + QStringLiteral(": ") + s.ErrorMsg;
    return ok;
}

} // namespace tw::test

