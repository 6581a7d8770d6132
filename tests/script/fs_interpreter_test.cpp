#include "interp_support.h"

#include "script/fs_iinterpreter.h"

#include <gtest/gtest.h>

using namespace tw;
using tw::test::compileScript;

namespace {

// Runs a RavidiReduva program and returns the named variable.
Variant runAndRead(const QString &text, const QString &var, QString *error = nullptr)
{
    TfsScript s;
    QString err;
    if (!compileScript(s, text, QStringLiteral("RavidiReduva"), &err)) {
        if (error)
            *error = err;
        return Variant::null();
    }
    s.Execute();
    return s.Variables(var);
}

QString compileError(const QString &text, const QString &language = QStringLiteral("RavidiReduva"))
{
    TfsScript s;
    QString err;
    compileScript(s, text, language, &err);
    return err;
}

} // namespace

TEST(Interpreter, Smoke)
{
    QString err;
    Variant v = runAndRead(QStringLiteral("var a: Integer; begin a := 1 + 2 * 3; end."), QStringLiteral("a"), &err);
    EXPECT_EQ(err, QString());
    EXPECT_TRUE(v.sameAs(Variant(7))) << v.debugText().toStdString();
}
