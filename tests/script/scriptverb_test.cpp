#include "base/formatsettings.h"
#include "script/scriptverb.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;

namespace {

struct ToolRun {
    int code;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList &args)
{
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    const int code = runScriptTool(args, o, e);
    return {code, out, err};
}

class ScriptTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = FormatSettings::current();
        FormatSettings::setCurrent(FormatSettings::russian());
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { FormatSettings::setCurrent(m_saved); }

    QString write(const char *name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        test::writeBytes(path, bytes);
        return path;
    }

    QTemporaryDir m_dir;
    FormatSettings m_saved;
};

} // namespace

TEST_F(ScriptTool, RunsAProgramThatUsesTheLibrary)
{
    const ToolRun r = runTool({test::fixturePath(QStringLiteral("script/library/report.pas"))});
    EXPECT_EQ(r.err.toStdString(), "");
    EXPECT_EQ(r.code, 0);
    const QString expected = QString::fromUtf8(test::readBytes(test::fixturePath(QStringLiteral("script/library/report.expected.txt"))));
    EXPECT_EQ(r.out.toStdString(), expected.toStdString());
}

TEST_F(ScriptTool, ExitCodesAndErrorTexts)
{
    const struct {
        const char *name;
        QByteArray source;
        QStringList extra;
        int code;
        const char *out;
        const char *err;
    } cases[] = {
        {"ok.pas", "begin ShowMessage('a'); ShowMessage(1 + 2) end.", {}, 0, "a\n3\n", ""},
        {"compile.pas", "begin\n  ShowMessage('a');\n  x := 1;\nend.", {}, 1, "", "3:4: Undeclared identifier: 'x'\n"},
        {"syntax.pas", "begin\n  x := ;\nend.", {}, 1, "", "2:8: Expression expected\n"},
        {"runtime.pas", "begin\n  ShowMessage('before');\n  RaiseException('Сбой');\n  ShowMessage('after');\nend.",
         {}, 2, "before\n", "Сбой\n"},
        {"divide.pas", "var i: Integer;\nbegin\n  i := 0;\n  i := 5 div i;\nend.", {}, 2, "", "Division by zero\n"},
        {"basic.vbs", "dim x\nx = 6 * 7\nShowMessage(x)", {QStringLiteral("--language"), QStringLiteral("VozurOvuzur")}, 0,
         "42\n", ""},
        {"c.cpp", "{ ShowMessage(IntToStr(Round(2.5))); }", {QStringLiteral("--language=R++Ivezud")}, 0, "2\n", ""},
    };
    for (const auto &c : cases) {
        const QString path = write(c.name, c.source);
        const ToolRun r = runTool(QStringList{path} + c.extra);
        EXPECT_EQ(r.code, c.code) << c.name << " " << r.err.toStdString();
        EXPECT_EQ(r.out.toStdString(), c.out) << c.name;
        EXPECT_EQ(r.err.toStdString(), c.err) << c.name;
    }
}

TEST_F(ScriptTool, BadArgumentsAndFiles)
{
    EXPECT_EQ(runTool({}).code, 1);
    EXPECT_EQ(runTool({QStringLiteral("a.pas"), QStringLiteral("b.pas")}).code, 1);
    EXPECT_EQ(runTool({QStringLiteral("a.pas"), QStringLiteral("--language")}).code, 1);
    const ToolRun missing = runTool({m_dir.filePath(QStringLiteral("missing.pas"))});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.startsWith(m_dir.filePath(QStringLiteral("missing.pas")) + QStringLiteral(": ")));
    const QString path = write("ok.pas", "begin end.");
    const ToolRun lang = runTool({path, QStringLiteral("--language"), QStringLiteral("Cobol")});
    EXPECT_EQ(lang.code, 1);
    EXPECT_FALSE(lang.err.isEmpty());
    // The intermediate-program tool is reached through the same verb.
    const ToolRun il = runTool({QStringLiteral("--il"), path});
    EXPECT_EQ(il.code, 0);
    EXPECT_TRUE(il.out.contains(QStringLiteral("<program>")));
}
