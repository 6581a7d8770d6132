#include "apptestutil.h"
#include "tarnwellrun.h"

#include "app/exportverb.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <csignal>
#include <gtest/gtest.h>
#include <signal.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

TEST(ExportArgs, Parse)
{
    const struct {
        QStringList args;
        bool ok;
    } cases[] = {
        {{"--query", "bills", "--from", "2014-01-01", "--to", "2014-01-31"}, true},
        {{"--to=2014-01-31", "--query=bills", "--from=2014-01-01"}, true},
        {{"--query", "bills", "--from", "2014-01-01"}, false},
        {{"--query", "bills", "--from", "2014-1-1", "--to", "2014-01-31"}, false},
        {{"--query", "bills", "--from", "2014-02-30", "--to", "2014-03-01"}, false},
        {{"--query", "bills", "--from", "2014-02-01", "--to", "2014-01-31"}, false},
        {{"--query", "", "--from", "2014-01-01", "--to", "2014-01-31"}, false},
        {{"--query", "bills", "--from", "2014-01-01", "--to", "2014-01-31", "--fast", "1"}, false},
        {{"bills", "2014-01-01", "2014-01-31"}, false},
        {{"--query"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        QString why;
        const auto a = parseExportArgs(c.args, &why);
        ASSERT_EQ(a.has_value(), c.ok) << why.toStdString();
        if (a) {
            EXPECT_EQ(a->query, QStringLiteral("bills"));
            EXPECT_EQ(a->from, encodeDate(2014, 1, 1));
            EXPECT_EQ(a->to, encodeDate(2014, 1, 31));
        } else {
            EXPECT_FALSE(why.isEmpty());
        }
    }
}

namespace {

class ExportVerb : public ::testing::Test {
protected:
    // A bill of the parameters id1 and from, and a query of the template on them.
    void SetUp() override { ASSERT_TRUE(makeBillHome(home, QStringLiteral("app/templates/custparams.fr3"))); }

    void query(const QString &name, const QByteArray &sql)
    {
        tw::test::writeBytes(home.file(QStringLiteral("q/") + name), sql);
    }

    TarnwellRun run(const QString &queryName) const
    {
        return runTarnwell({QStringLiteral("--home"), home.path(), QStringLiteral("export"), QStringLiteral("--query"), queryName,
                            QStringLiteral("--from"), QStringLiteral("2014-01-01"), QStringLiteral("--to"), QStringLiteral("2014-01-31")});
    }

    // Two bills, of January 1st and 31st: the run must write both package files.
    QStringList exportTwoBills()
    {
        query(QStringLiteral("bills.sql"), "select 1 as bill_id1, :dt1 as bill_from union all select 2, :dt2");
        const TarnwellRun r = run(QStringLiteral("bills"));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return packageFiles();
    }

    QString readLog(const QString &pattern) const
    {
        const QStringList files = QDir(home.logsDir()).entryList({pattern}, QDir::Files);
        return files.isEmpty() ? QString()
                               : QString::fromUtf8(tw::test::readBytes(home.logsDir() + QLatin1Char('/') + files.first()));
    }

    QStringList packageFiles() const
    {
        QStringList paths;
        const QDir out(home.file(QStringLiteral("out")));
        for (const QString &name : out.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name))
            paths.append(out.filePath(name));
        return paths;
    }

    Home home;
};

// The texts of the prepared memos (the "u" attribute of a prepared object) of every
// document of a package file, each list headed by the document's start tag attributes
// (name=value, in order).
QVector<QStringList> documentTexts(const QByteArray &package)
{
    QVector<QStringList> documents;
    QXmlStreamReader xml(package);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("document")) {
            QStringList head;
            for (const QXmlStreamAttribute &a : xml.attributes())
                head.append(a.name().toString() + QLatin1Char('=') + a.value().toString());
            documents.append({head.join(QLatin1Char(' '))});
        } else if (!documents.isEmpty() && xml.attributes().hasAttribute(QStringLiteral("u"))) {
            documents.last().append(xml.attributes().value(QStringLiteral("u")).toString());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return documents;
}

} // namespace

// Every package is prepared from the template with its parameters: exit code 0.
TEST_F(ExportVerb, RunsTheQueryAndLogs)
{
    query(QStringLiteral("bills.sql"),
          "select 1 as bill_id1, :dt1 as bill_from union all select 2, :dt2");
    const TarnwellRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Выгружено 1/2\n"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Выгружено 2/2    За "))) << r.err.toStdString();
    const QString runLog = readLog(QStringLiteral("Tarnwell.log.txt"));
    EXPECT_TRUE(runLog.contains(QStringLiteral("Tarnwell ver. 1.7 успешный запуск.\r\n")));
    EXPECT_TRUE(runLog.contains(QStringLiteral("; Всего 2 пакетов\r\n")));
    EXPECT_EQ(runLog.count(QStringLiteral(" Выгрузили: ")), 2) << runLog.toStdString();
    EXPECT_TRUE(runLog.endsWith(QStringLiteral(" Закончили выгрузку.\r\n")));
    EXPECT_EQ(readLog(QStringLiteral("Tarnwell_*.error.txt")), QString());
    EXPECT_EQ(packageFiles().size(), 2);
}

// The package files are well-formed XML.
TEST_F(ExportVerb, PackageFilesAreWellFormedXml)
{
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils, see scripts/install-deps.sh)";
    const QStringList packages = exportTwoBills();
    ASSERT_EQ(packages.size(), 2);
    for (const QString &path : packages)
        EXPECT_EQ(xmllintComplaint(path), QString()) << path.toStdString();
}

// Each document embeds the prepared report of its parameters, as the prepared-report
// file 1.fp3 holds it: the template's memo texts expanded, its query run on them.
TEST_F(ExportVerb, DocumentsEmbedThePreparedReports)
{
    const QStringList packages = exportTwoBills();
    ASSERT_EQ(packages.size(), 2);

    QSet<QString> seen;
    QByteArray lastPackage;
    for (const QString &path : packages) {
        const QByteArray bytes = tw::test::readBytes(path);
        const QVector<QStringList> documents = documentTexts(bytes);
        ASSERT_EQ(documents.size(), 1) << bytes.constData();
        seen.insert(documents[0].join(QLatin1Char('|')));
        if (documents[0][0].contains(QStringLiteral("id1=2 ")))
            lastPackage = bytes;
    }
    EXPECT_EQ(seen, (QSet<QString>{QStringLiteral("type=bill id1=1 from=2014-1-1|Счёт № 1 с 2014-1-1|Десятикратно 10"),
                                   QStringLiteral("type=bill id1=2 from=2014-1-31|Счёт № 2 с 2014-1-31|Десятикратно 20")}));

    // The last document is the temporary file 1.fp3 without its declaration.
    QByteArray fp3 = tw::test::readBytes(home.file(QStringLiteral("out/1.fp3")));
    ASSERT_TRUE(fp3.startsWith("<?xml ")) << fp3.left(100).constData();
    EXPECT_FALSE(fp3.contains('\n')) << "one line";
    fp3 = fp3.mid(fp3.indexOf('>') + 1);
    EXPECT_TRUE(lastPackage.endsWith(" >\r\n" + fp3 + "\r\n\r\n</document>\r\n</xml>\r\n"))
        << lastPackage.right(300).constData();
}

TEST_F(ExportVerb, ZeroRowsIsSuccess)
{
    query(QStringLiteral("bills.sql"), "select 1 as bill_id1 where 0");
    const TarnwellRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("Выгружено 0/0\n"));
}

TEST_F(ExportVerb, RunFailureIsExitOne)
{
    query(QStringLiteral("bills.sql"), "select 1 as other_id1");
    const TarnwellRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Ошибка!: Не определен шаблон 'other' для запроса 'bills.sql'")))
        << r.err.toStdString();
}

TEST_F(ExportVerb, UnknownQueryListsTheKnownOnes)
{
    query(QStringLiteral("bills.sql"), "select 1 as bill_id1");
    query(QStringLiteral("acts.sql"), "select 1 as bill_id1");
    const TarnwellRun r = run(QStringLiteral("nope"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("unknown query 'nope'"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("bills")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("acts")));
}

TEST_F(ExportVerb, EmptyQueryDirectoryEndsWithItsMessage)
{
    const TarnwellRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Ошибка!: Не найдены или нет доступа к файлам запросов к БД (маска поиска ")
                               + home.file(QStringLiteral("q/")) + QStringLiteral("*.sql)")))
        << r.err.toStdString();
}

// Ctrl-C stops the run: no confirmation, the summary, exit code 2, only whole packages.
TEST_F(ExportVerb, InterruptStopsTheRun)
{
    query(QStringLiteral("bills.sql"),
          "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
          "select i as bill_id1, :dt1 as bill_from from n where :dt2 <> ''");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(QStringLiteral(TARNWELL_EXE),
            {QStringLiteral("--home"), home.path(), QStringLiteral("export"), QStringLiteral("--query"), QStringLiteral("bills"),
             QStringLiteral("--from"), QStringLiteral("2014-01-01"), QStringLiteral("--to"), QStringLiteral("2014-01-31")});
    p.closeWriteChannel();
    // Once the first package is written.
    QByteArray err;
    while (!err.contains("Выгружено 2/") && p.waitForReadyRead(20000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("Выгружено 2/")) << err.toStdString();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
    const QString text = QString::fromUtf8(err);
    EXPECT_TRUE(text.contains(QStringLiteral("Внимание: Остановить выгрузку?\n")));
    // The packages before the stop were written (the one in progress, if any, failed);
    // the stop came before the last one.
    const QRegularExpressionMatch summary =
        QRegularExpression(QStringLiteral("Выгружено (\\d+)/20000    За ")).match(text);
    ASSERT_TRUE(summary.hasMatch()) << text.right(300).toStdString();
    const int written = summary.captured(1).toInt();
    EXPECT_GE(written, 1);
    EXPECT_LT(written, 20000);
    EXPECT_EQ(packageFiles().size(), written);
    EXPECT_TRUE(readLog(QStringLiteral("Tarnwell.log.txt")).endsWith(QStringLiteral(" Закончили выгрузку.\r\n")));
}
