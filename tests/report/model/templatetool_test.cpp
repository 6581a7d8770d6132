#include "model_support.h"

#include "report/model/templatetool.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

struct ToolRun {
    int code = -1;
    QString err;
};

ToolRun run(const QStringList &args)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    ToolRun r;
    r.code = runTemplateTool(args, o, e);
    e.flush();
    r.err = err;
    return r;
}

class TemplateToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerModelTestClasses();
        frxSetMessageBoxHandler([this](const QString &, const QString &text) { boxes.append(text); });
    }
    void TearDown() override
    {
        frxSetMessageBoxHandler(nullptr);
        EXPECT_TRUE(boxes.isEmpty()) << "the tool loads silently";
    }
    QStringList boxes;
    QString write(const char *name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeBytes(path, bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(TemplateToolTest, ExitCodesAndErrorLines)
{
    const QByteArray header("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>");
    const QString good = write("good.fr3", header + "<TfrxReport><TfrxReportPage Name=\"Page1\"/></TfrxReport>");
    const QString withErrors = write("bad.fr3", header + "<TfrxReport><TfrxWidget Name=\"W\"/>"
                                                          "<TfrxReportPage Name=\"Page1\" Columns=\"x\"/></TfrxReport>");
    const QString broken = write("broken.fr3", header + "<TfrxReport><TfrxReportPage");
    const QString notTemplate = write("other.xml", header + "<Resources CodePage=\"1252\"/>");

    ToolRun r = run({good});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    r = run({withErrors});
    EXPECT_EQ(r.code, 3);
    const QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("'x' is not a valid integer value"));
    EXPECT_EQ(lines[1], QStringLiteral("Cannot find class TfrxWidget"));

    r = run({broken});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("Invalid file format\n"));
    r = run({notTemplate});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, QStringLiteral("Invalid file format\n"));
    r = run({dir.filePath("missing.fr3")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Cannot open file"))) << r.err.toStdString();

    EXPECT_EQ(run({}).code, 1);
    EXPECT_EQ(run({good, "-o"}).code, 1);
}

TEST_F(TemplateToolTest, SavesWhatLoaded)
{
    const QString in = write("in.fr3", "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>"
                                       "<TfrxReport><TfrxWidget/><TfrxReportPage Name=\"Page1\"/></TfrxReport>");
    const QString out = dir.filePath("out.fr3");
    EXPECT_EQ(run({in, "-o", out}).code, 3);
    const QByteArray saved = readBytes(out);
    EXPECT_TRUE(saved.contains("<TfrxDataPage Name=\"Data\""));
    EXPECT_TRUE(saved.contains("<TfrxReportPage Name=\"Page1\""));
    EXPECT_FALSE(saved.contains("TfrxWidget"));
    // The saved file is a clean template.
    EXPECT_EQ(run({out}).code, 0);
}

// The tool loads in silent mode; what it saves carries the file's own engine options,
// never that silent mode.
TEST_F(TemplateToolTest, SavedTemplateCarriesTheFilesEngineOptions)
{
    const QByteArray header("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>");
    const QString out = dir.filePath("out.fr3");

    const QString plain = write("plain.fr3", header + "<TfrxReport><TfrxReportPage Name=\"Page1\"/></TfrxReport>");
    ASSERT_EQ(run({plain, "-o", out}).code, 0);
    QByteArray saved = readBytes(out);
    EXPECT_FALSE(saved.contains("EngineOptions.")) << saved.constData();

    const QString own = write("own.fr3", header + "<TfrxReport EngineOptions.DoublePass=\"True\" EngineOptions.MaxMemSize=\"20\" "
                                                  "EngineOptions.PrintIfEmpty=\"False\" EngineOptions.NewSilentMode=\"simReThrow\" "
                                                  "EngineOptions.TempDir=\"/tmp/a&#34;b\" EngineOptions.UseFileCache=\"True\">"
                                                  "<TfrxReportPage Name=\"Page1\"/></TfrxReport>");
    ASSERT_EQ(run({own, "-o", out}).code, 0);
    saved = readBytes(out);
    for (const char *attribute : {"EngineOptions.DoublePass=\"True\"", "EngineOptions.MaxMemSize=\"20\"",
                                  "EngineOptions.PrintIfEmpty=\"False\"", "EngineOptions.NewSilentMode=\"simReThrow\"",
                                  "EngineOptions.TempDir=\"/tmp/a&#34;b\"", "EngineOptions.UseFileCache=\"True\""})
        EXPECT_TRUE(saved.contains(attribute)) << attribute << "\n" << saved.constData();
    EXPECT_FALSE(saved.contains("EngineOptions.SilentMode")) << saved.constData();
    EXPECT_FALSE(saved.contains("simSilent")) << saved.constData();

    // A template that is silent itself stays so.
    const QString silent = write("silent.fr3", header + "<TfrxReport EngineOptions.SilentMode=\"True\">"
                                                        "<TfrxReportPage Name=\"Page1\"/></TfrxReport>");
    ASSERT_EQ(run({silent, "-o", out}).code, 0);
    saved = readBytes(out);
    EXPECT_TRUE(saved.contains("EngineOptions.SilentMode=\"True\"")) << saved.constData();

    // Saving again gives the same file.
    const QString again = dir.filePath("again.fr3");
    ASSERT_EQ(run({out, "-o", again}).code, 0);
    EXPECT_EQ(readBytes(again), saved);
}

TEST_F(TemplateToolTest, PasswordProtectedTemplateIsNotWrittenBackEmpty)
{
    TfrxReport report;
    new TfrxReportPage(&report);
    report.ReportOptions()->Password = QStringLiteral("secret");
    const QString in = dir.filePath("locked.fr3");
    report.SaveToFile(in);
    const QString out = dir.filePath("out.fr3");
    const ToolRun r = run({in, "-o", out});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Invalid password\n"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace
