#pragma once

#include "script/grammarwalker.h"
#include "script/grammardocument.h"

#include <QString>

namespace tw::test {

// A compact view of an intermediate program: element names, [text] where an element has
// one, children in parentheses. Positions are left out; tests that care check them apart.
inline QString outline(const TfsXMLItem *item)
{
    QString s = item->Name();
    if (item->PropExists(QStringLiteral("text")))
        s += QLatin1Char('[') + item->Prop(QStringLiteral("text")) + QLatin1Char(']');
    if (item->PropExists(QStringLiteral("unit")))
        s += QLatin1Char('{') + item->Prop(QStringLiteral("unit")) + QLatin1Char('}');
    if (item->Count() > 0) {
        s += QLatin1Char('(');
        for (int i = 0; i < item->Count(); ++i) {
            if (i)
                s += QLatin1Char(',');
            s += outline(item->Items(i));
        }
        s += QLatin1Char(')');
    }
    return s;
}

struct ParseResult {
    bool ok = false;
    QString outline; // of the root's children without the trailing types copy
    QString error;   // "line:col: message" when it failed
    QString errorUnit;
};

inline ParseResult parseScript(const QString &text, const QString &language = QStringLiteral("RavidiReduva"),
                               ScriptCompileTarget *target = nullptr)
{
    ScriptCompileTarget local;
    ScriptCompileTarget *t = target ? target : &local;
    TfsILParser p(t);
    p.SelectLanguage(language);
    ParseResult r;
    r.ok = p.MakeILScript(text);
    r.errorUnit = t->ErrorUnit;
    if (!r.ok) {
        r.error = t->ErrorPos + QStringLiteral(": ") + t->ErrorMsg;
        return r;
    }
    const TfsXMLItem *root = p.ILScript()->Root();
    QStringList parts;
    for (int i = 0; i < root->Count(); ++i) {
        if (i == root->Count() - 1 && root->Items(i)->Name() == QLatin1String("types"))
            continue;
        parts << outline(root->Items(i));
    }
    r.outline = parts.join(QLatin1Char(','));
    return r;
}

} // namespace tw::test
