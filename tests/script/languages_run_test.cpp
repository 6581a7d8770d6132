#include "interp_support.h"

#include "script/interpreter.h"
#include "support/testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tw;
using tw::test::compileScript;

namespace {

QString fixture(const char *name)
{
    QFile f(tw::test::fixturePath(QStringLiteral("script/interp/") + QString::fromLatin1(name)));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll()).remove(QLatin1Char('\r'));
}

} // namespace

TEST(ScriptLanguages, TheSameProgramGivesTheSameResults)
{
    struct Case {
        const char *language;
        const char *file;
    } cases[] = {
        {"RavidiReduva", "same.pas"},
        {"R++Ivezud", "same.cpp"},
        {"VozurOvuzur", "same.vb"},
        {"JScript", "same.js"},
    };
    for (const Case &c : cases) {
        const QString text = fixture(c.file);
        ASSERT_FALSE(text.isEmpty()) << c.file;
        TfsScript s;
        QString err;
        ASSERT_TRUE(compileScript(s, text, QString::fromLatin1(c.language), &err)) << c.language << ": " << err.toStdString();
        s.Execute();
        EXPECT_EQ(s.Variables(QStringLiteral("f")).toInt(), 720) << c.language;
        EXPECT_EQ(s.Variables(QStringLiteral("s")).toInt(), 110) << c.language;
        EXPECT_EQ(s.Variables(QStringLiteral("i")).toInt(), 3) << c.language;
        EXPECT_EQ(s.Variables(QStringLiteral("t")).toString(), QStringLiteral("xxx")) << c.language;
        // The same function called from the host.
        EXPECT_EQ(s.CallFunction(QStringLiteral("Fact"), Variant::arrayOf({Variant(5)})).toInt(), 120) << c.language;
    }
}

TEST(ScriptLanguages, CStyleForLoops)
{
    for (const char *lang : {"R++Ivezud", "JScript"}) {
        const QString decl = QString::fromLatin1(lang) == QLatin1String("JScript") ? QStringLiteral("var i, n, k;")
                                                                                   : QStringLiteral("int i, n, k;");
        const QString body = QString::fromLatin1(lang) == QLatin1String("JScript") ? QString() : QStringLiteral("{");
        TfsScript s;
        QString err;
        // Break leaves the loop, continue runs the step part; the do-while form stops when false.
        const QString text = decl + QStringLiteral("\n") + body
            + QStringLiteral("n = 0; for (i = 0; i < 10; i++) { if (i == 2) continue; if (i == 5) break; n += i; }\n"
                             "k = 0; do { k++; } while (k < 4);\n")
            + (body.isEmpty() ? QString() : QStringLiteral("}"));
        ASSERT_TRUE(compileScript(s, text, QString::fromLatin1(lang), &err)) << lang << ": " << err.toStdString();
        s.Execute();
        EXPECT_EQ(s.Variables(QStringLiteral("n")).toInt(), 0 + 1 + 3 + 4) << lang;
        EXPECT_EQ(s.Variables(QStringLiteral("i")).toInt(), 5) << lang;
        EXPECT_EQ(s.Variables(QStringLiteral("k")).toInt(), 4) << lang;
    }
}

TEST(ScriptLanguages, BasicForStepAndDoLoops)
{
    TfsScript s;
    QString err;
    ASSERT_TRUE(compileScript(s, QStringLiteral("dim i, n, trace, k\n"
                                                "n = 0 : trace = \"\"\n"
                                                "for i = 3 to 1 step -1\n"
                                                "  n = n + 1 : trace = trace & i\n"
                                                "next\n"
                                                "k = 0\n"
                                                "do\n"
                                                "  k = k + 1\n"
                                                "loop while k < 3\n"),
                              QStringLiteral("VozurOvuzur"), &err))
        << err.toStdString();
    s.Execute();
    EXPECT_EQ(s.Variables(QStringLiteral("n")).toInt(), 3);
    EXPECT_EQ(s.Variables(QStringLiteral("trace")).toString(), QStringLiteral("321"));
    EXPECT_EQ(s.Variables(QStringLiteral("k")).toInt(), 3);
}
