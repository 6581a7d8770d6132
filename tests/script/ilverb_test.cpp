#include "script/ilverb.h"
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
    const int code = runScriptIlTool(args, o, e);
    return {code, out, err};
}

} // namespace

TEST(ScriptIlTool, PrintsTheProgramOrTheFirstError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("good.pas"));
    const QString bad = dir.filePath(QStringLiteral("bad.pas"));
    const QString vb = dir.filePath(QStringLiteral("last.vbs"));
    test::writeBytes(good, QByteArray("begin\n  ShowMessage('Привет')\nend.\n"));
    test::writeBytes(bad, QByteArray("begin\n  x := ;\nend.\n"));
    // Without a final line end: the last statement still ends its line.
    test::writeBytes(vb, QByteArray("x = 1"));

    ToolRun r = runTool({QStringLiteral("--il"), good});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("<?xml version=\"1.0\"?>\r\n<program>\r\n  <compoundstmt pos=\"1:1\">")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("<string text=\"'Привет'\" pos=\"2:23\"/>"))) << r.out.toStdString();

    r = runTool({QStringLiteral("--il"), bad});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err, QStringLiteral("2:8: Expression expected\n"));

    r = runTool({vb, QStringLiteral("--language"), QStringLiteral("VozurOvuzur")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();

    r = runTool({good, QStringLiteral("--language"), QStringLiteral("Klingon")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("1:1: Language 'Klingon' not found\n"));

    r = runTool({dir.filePath(QStringLiteral("missing.pas"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(r.err.isEmpty());

    EXPECT_EQ(runTool({}).code, 2);
    EXPECT_EQ(runTool({good, QStringLiteral("--language")}).code, 2);
}

TEST(ScriptIlTool, UnitsBesideTheScriptAreFound)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::writeBytes(dir.filePath(QStringLiteral("lib.pas")), QByteArray("var Shared: Integer;\nbegin end."));
    const QString main = dir.filePath(QStringLiteral("main.pas"));
    test::writeBytes(main, QByteArray("uses 'lib.pas';\nbegin Shared := 1 end."));
    const ToolRun r = runTool({main});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("<uses unit=\"lib.pas\">"))) << r.out.toStdString();
}
