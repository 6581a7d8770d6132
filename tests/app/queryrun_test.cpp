#include "exporttestutil.h"

#include "base/codepage.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

TEST(QueryCatalogue, ListsNamesBeforeTheFirstDot)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("bills.sql"), QStringLiteral("select 1 as ft1_a where 0"));
    f.writeQuery(QStringLiteral("bills.old.sql"), QStringLiteral("select 1 as ft1_a where 0"));
    f.writeQuery(QStringLiteral("notes.txt"), QStringLiteral("x"));
    f.start();
    f.work->Ac_sqlfile();
    QStringList names = f.view.names;
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral("bills"), QStringLiteral("bills")}));
    EXPECT_EQ(f.view.selected, QStringLiteral("bills"));
    // Either entry reads bills.sql.
    f.work->Ac_sqltext();
    EXPECT_EQ(f.work->Memo1().text(), QStringLiteral("select 1 as ft1_a where 0\r\n"));
}

TEST(QueryCatalogue, NoQueryEndsTheProgram)
{
    ExportFixture f;
    f.start();
    try {
        f.work->Ac_sqlfile();
        FAIL();
    } catch (const ProcessExit &e) {
        EXPECT_EQ(e.exitCode, 1);
    }
    const QString msg = QStringLiteral("Не найдены или нет доступа к файлам запросов к БД (маска поиска ")
                        + f.home.file(QStringLiteral("q/")) + QStringLiteral("*.sql)");
    ASSERT_EQ(f.sink.boxes.size(), 1);
    EXPECT_EQ(f.sink.boxes[0].second, msg);
    EXPECT_EQ(f.errorLog(), marchFifthText() + QLatin1Char(' ') + msg + QStringLiteral("\r\n"));
}

// Query files written on Windows: with a UTF-8 mark, or in the ANSI code page without one.
TEST(QueryRun, QueryFilesReadByTheirEncoding)
{
    const struct {
        const char *fixture;
        const char *params;
    } cases[] = {
        {"app/export/bom-query.sql", "from=2014-1-1;name=Счёт"},
        {"app/export/cp1251-query.sql", "name=Счёт"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fixture);
        codepage::setAnsiCodePage(1251);
        ExportFixture f;
        QFile::copy(tw::test::fixturePath(QString::fromUtf8(c.fixture)), f.home.file(QStringLiteral("q/pk.sql")));
        f.run();
        codepage::setAnsiCodePage(0);
        EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Completed) << f.errorLog().toStdString();
        EXPECT_EQ(f.factory.shared.prepared, QStringList({QString::fromUtf8(c.params)}));
    }
}

TEST(QueryRun, PeriodTextsBindInOrder)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select :dt1 as ft1_from, :dt2 as ft1_to"));
    f.run();
    ASSERT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(f.work->tmp().field(0).asString(), QStringLiteral("2014-1-1"));
    EXPECT_EQ(f.work->tmp().field(1).asString(), QStringLiteral("2014-1-31"));
    EXPECT_EQ(f.factory.shared.prepared, QStringList({QStringLiteral("from=2014-1-1;to=2014-1-31")}));
}

TEST(QueryRun, TemplateChecksStopTheRun)
{
    const struct {
        const char *reports;
        const char *query;
        QString message;
    } cases[] = {
        {"ft1=tpl/ft1.fr3\r\n", "select 1 as plain",
         QStringLiteral("Не определен шаблон '' для запроса 'pk.sql'")},
        {"ft1=tpl/ft1.fr3\r\n", "select 1 as ft1_a, 2 as ft9_b",
         QStringLiteral("Не определен шаблон 'ft9' для запроса 'pk.sql'")},
        {"ft1=tpl/none.fr3\r\n", "select 1 as ft1_a",
         QStringLiteral("Не найден или нет доступа к файлу шаблона  'ft1' (tpl/none.fr3)")},
        {"ft1=\r\n", "select 1 as ft1_a",
         QStringLiteral("Не найден или нет доступа к файлу шаблона  'ft1' ()")},
        {"ft1=tpl\r\n", "select 1 as ft1_a", // a directory is not a template
         QStringLiteral("Не найден или нет доступа к файлу шаблона  'ft1' (tpl)")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        ExportFixture f(QString::fromUtf8(c.reports));
        f.writeQuery(QStringLiteral("pk.sql"), QString::fromUtf8(c.query));
        f.run();
        EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Failed);
        ASSERT_EQ(f.sink.boxes.size(), 1);
        EXPECT_EQ(f.sink.boxes[0].first, QStringLiteral("Ошибка!"));
        EXPECT_EQ(f.sink.boxes[0].second, c.message);
        EXPECT_EQ(f.errorLog(), marchFifthText() + QLatin1Char(' ') + c.message + QStringLiteral("\r\n"));
        EXPECT_EQ(f.view.button, QStringLiteral("Выгрузить"));
        EXPECT_FALSE(f.view.progressVisible);
        EXPECT_TRUE(f.factory.shared.loaded.isEmpty());
    }
}

TEST(QueryRun, ZeroRowsLeaveTheRunLogAlone)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as ft1_a where 0"));
    tw::test::writeBytes(f.home.file(QStringLiteral("logs/Tarnwell.log.txt")), "earlier run\r\n");
    f.run();
    EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::NoRows);
    EXPECT_EQ(f.view.status, QStringLiteral("Выгружено 0/0"));
    EXPECT_EQ(f.view.button, QStringLiteral("Ok"));
    EXPECT_FALSE(f.view.progressVisible);
    EXPECT_EQ(f.runLog(), QStringLiteral("earlier run\r\n"));
    EXPECT_TRUE(f.sink.boxes.isEmpty());
}

TEST(QueryRun, ErrorGuardReportsAndKeepsTheWindowUsable)
{
    ExportFixture f;
    f.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select * from no_such_table"));
    f.run();
    EXPECT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Failed);
    ASSERT_EQ(f.sink.boxes.size(), 1);
    EXPECT_TRUE(f.sink.boxes[0].second.startsWith(QStringLiteral("Ошибка: "))) << f.sink.boxes[0].second.toStdString();
    EXPECT_TRUE(f.sink.boxes[0].second.contains(QStringLiteral("no_such_table")));
    EXPECT_EQ(f.view.button, QStringLiteral("Выгрузить"));
    EXPECT_FALSE(f.view.progressVisible);
    EXPECT_EQ(f.view.status, QString());
    EXPECT_TRUE(f.errorLog().startsWith(marchFifthText() + QStringLiteral(" Ошибка: ")));
}

// The temporary-table script is T-SQL: skipped on other servers, run on "mssql".
TEST(QueryRun, TemporaryTableScriptRunsOnlyOnMssql)
{
    ExportFixture sqlite;
    sqlite.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as ft1_a"));
    sqlite.run();
    EXPECT_EQ(sqlite.work->lastRun().outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(sqlite.work->defaultDatabase(), &sqlite.dm->Connection());
    // The window's holder is the one template queries ask for their connection.
    EXPECT_EQ(TfrxADOComponents::Current(), &sqlite.work->frxADOComponents1());

    // An "mssql" setup whose connection is really SQLite: the script is sent and rejected.
    ExportFixture mssql(QStringLiteral("ft1=tpl/ft1.fr3\r\n"), QStringLiteral("mssql"));
    mssql.writeQuery(QStringLiteral("pk.sql"), QStringLiteral("select 1 as ft1_a"));
    mssql.run();
    EXPECT_EQ(mssql.work->lastRun().outcome, RunResult::Outcome::Failed);
    ASSERT_EQ(mssql.sink.boxes.size(), 1);
    EXPECT_TRUE(mssql.sink.boxes[0].second.startsWith(QStringLiteral("Ошибка: ")));
    EXPECT_TRUE(mssql.factory.shared.prepared.isEmpty());
}
