#include "apptestutil.h"

#include "app/exportverb.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
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

struct ExportRun {
    int exitCode = -1;
    QString err;
};

class ExportVerb : public ::testing::Test {
protected:
    void SetUp() override
    {
        home.mkdir(QStringLiteral("q"));
        home.mkdir(QStringLiteral("out"));
        home.mkdir(QStringLiteral("tpl"));
        tw::test::writeBytes(home.file(QStringLiteral("tpl/b.fr3")), "<TfrxReport/>");
        tw::test::writeBytes(home.file(QStringLiteral("t.db")), QByteArray());
        const QString ini = QStringLiteral("[Настройки]\nТип=sqlite\nБД=t.db\nКаталогЗапросов=")
                            + home.file(QStringLiteral("q/")) + QStringLiteral("\nКаталогОтчетов=")
                            + home.file(QStringLiteral("out/")) + QStringLiteral("\n[Отчеты]\nbill=")
                            + home.file(QStringLiteral("tpl/b.fr3")) + QStringLiteral("\n");
        tw::test::writeBytes(home.file(QStringLiteral("Tarnwell.ini")), ini.toUtf8());
    }

    void query(const QString &name, const QByteArray &sql)
    {
        tw::test::writeBytes(home.file(QStringLiteral("q/") + name), sql);
    }

    ExportRun run(const QString &queryName)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TARNWELL_EXE),
                {QStringLiteral("--home"), home.path(), QStringLiteral("export"), QStringLiteral("--query"), queryName,
                 QStringLiteral("--from"), QStringLiteral("2014-01-01"), QStringLiteral("--to"), QStringLiteral("2014-01-31")});
        p.closeWriteChannel();
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "tarnwell did not finish";
            return {};
        }
        ExportRun r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QString readLog(const QString &pattern) const
    {
        const QStringList files = QDir(home.logsDir()).entryList({pattern}, QDir::Files);
        return files.isEmpty() ? QString()
                               : QString::fromUtf8(tw::test::readBytes(home.logsDir() + QLatin1Char('/') + files.first()));
    }

    Home home;
};

} // namespace

// Without the report engine every package fails with the clear reason: exit code 2.
TEST_F(ExportVerb, RunsTheQueryAndLogs)
{
    query(QStringLiteral("bills.sql"),
          "select 1 as bill_id1, :dt1 as bill_from union all select 2, :dt2");
    const ExportRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Выгружено 1/2\n"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Выгружено 0/2    За "))) << r.err.toStdString();
    const QString runLog = readLog(QStringLiteral("Tarnwell.log.txt"));
    EXPECT_TRUE(runLog.contains(QStringLiteral("Tarnwell ver. 1.7 успешный запуск.\r\n")));
    EXPECT_TRUE(runLog.contains(QStringLiteral("; Всего 2 пакетов\r\n")));
    EXPECT_TRUE(runLog.endsWith(QStringLiteral(" Закончили выгрузку.\r\n")));
    const QString errors = readLog(QStringLiteral("Tarnwell_*.error.txt"));
    EXPECT_EQ(errors.count(QStringLiteral("Report engine not available")), 2) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("[id1]=2; [from]=2014-1-31; Report engine")));
    EXPECT_TRUE(QDir(home.file(QStringLiteral("out"))).entryList({QStringLiteral("*.xml")}).isEmpty());
}

TEST_F(ExportVerb, ZeroRowsIsSuccess)
{
    query(QStringLiteral("bills.sql"), "select 1 as bill_id1 where 0");
    const ExportRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("Выгружено 0/0\n"));
}

TEST_F(ExportVerb, RunFailureIsExitOne)
{
    query(QStringLiteral("bills.sql"), "select 1 as other_id1");
    const ExportRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Ошибка!: Не определен шаблон 'other' для запроса 'bills.sql'")))
        << r.err.toStdString();
}

TEST_F(ExportVerb, UnknownQueryListsTheKnownOnes)
{
    query(QStringLiteral("bills.sql"), "select 1 as bill_id1");
    query(QStringLiteral("acts.sql"), "select 1 as bill_id1");
    const ExportRun r = run(QStringLiteral("nope"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("unknown query 'nope'"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("bills")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("acts")));
}

TEST_F(ExportVerb, EmptyQueryDirectoryEndsWithItsMessage)
{
    const ExportRun r = run(QStringLiteral("bills"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Ошибка!: Не найдены или нет доступа к файлам запросов к БД (маска поиска ")
                               + home.file(QStringLiteral("q/")) + QStringLiteral("*.sql)")))
        << r.err.toStdString();
}

// Ctrl-C stops after the current package: no confirmation, the summary, exit code 2.
TEST_F(ExportVerb, InterruptStopsBetweenPackages)
{
    query(QStringLiteral("bills.sql"),
          "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
          "select i as bill_id1 from n where :dt1 <> :dt2");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(QStringLiteral(TARNWELL_EXE),
            {QStringLiteral("--home"), home.path(), QStringLiteral("export"), QStringLiteral("--query"), QStringLiteral("bills"),
             QStringLiteral("--from"), QStringLiteral("2014-01-01"), QStringLiteral("--to"), QStringLiteral("2014-01-31")});
    p.closeWriteChannel();
    QByteArray err;
    while (!err.contains("Выгружено") && p.waitForReadyRead(20000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("Выгружено")) << err.toStdString();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
    const QString text = QString::fromUtf8(err);
    EXPECT_TRUE(text.contains(QStringLiteral("Внимание: Остановить выгрузку?\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Выгружено 0/20000    За "))) << text.right(300).toStdString();
    EXPECT_TRUE(readLog(QStringLiteral("Tarnwell.log.txt")).endsWith(QStringLiteral(" Закончили выгрузку.\r\n")));
}
