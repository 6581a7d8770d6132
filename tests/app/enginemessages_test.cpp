// The window's pending messages while a report prepares, and a stop request made then.
#include "exporttestutil.h"

#include "app/enginemessages.h"
#include "app/modelreport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

namespace {

// Two packages of the real bill template (parameters id1 and from, a query of its own).
class StopWhilePreparing : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString tpl = f.home.file(QStringLiteral("tpl/ft1.fr3"));
        QFile::remove(tpl);
        ASSERT_TRUE(QFile::copy(tw::test::fixturePath(QStringLiteral("app/templates/custparams.fr3")), tpl));
        f.writeQuery(QStringLiteral("pk.sql"),
                     QStringLiteral("select 5 as ft1_id1, 'x' as ft1_from union all select 6, 'y'"));
        f.reports = &reports;
        f.start();
    }

    TemplateModelReportFactory reports;
    ExportFixture f;
};

} // namespace

// The engine hands the window its pending messages while the report prepares.
TEST_F(StopWhilePreparing, WindowHandlesItsMessagesDuringPreparation)
{
    EngineMessages hook(*f.work);
    f.run();
    EXPECT_GT(f.view.pendingProcessed, 0);
    ASSERT_EQ(f.work->lastRun().outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(f.work->lastRun().failed, 0) << f.errorLog().toStdString();
    EXPECT_EQ(f.packageFiles().size(), 2);
    EXPECT_TRUE(QString::fromUtf8(f.package(1)).contains(QStringLiteral("u=\"Счёт № 5 с x\"")));
}

// A stop request made while a report prepares ends that report: its package fails and is
// not written; the next package asks whether to stop, and OK stops the run.
TEST_F(StopWhilePreparing, StopEndsTheReportAndItsPackageFails)
{
    EngineMessages hook(*f.work);
    f.view.onProcessPending = [this] { f.view.stop = true; };
    f.run();
    const RunResult &r = f.work->lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Stopped);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(f.view.questions, QStringList{QStringLiteral("Внимание: Остановить выгрузку?")});
    EXPECT_TRUE(f.packageFiles().isEmpty());
    EXPECT_TRUE(f.view.errorLink);
    EXPECT_TRUE(f.errorLog().contains(QStringLiteral(" [id1]=5; [from]=x; ") + preparationStoppedText()))
        << f.errorLog().toStdString();
}

// Cancel at the question: the ended package stays failed, the next one is written.
TEST_F(StopWhilePreparing, CancelGoesOnWithTheNextPackage)
{
    EngineMessages hook(*f.work);
    bool asked = false;
    f.view.onProcessPending = [&] {
        if (!asked)
            f.view.stop = true;
        asked = true;
    };
    f.view.answerOk = false;
    f.run();
    const RunResult &r = f.work->lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.written, 1);
    EXPECT_EQ(f.view.questions.size(), 1);
    ASSERT_EQ(f.packageFiles().size(), 1);
    EXPECT_TRUE(QString::fromUtf8(f.package(1)).contains(QStringLiteral("u=\"Счёт № 6 с y\"")));
}

// Without the hook a stop request waits for the next package, and the package in progress
// is written whole.
TEST_F(StopWhilePreparing, WithoutTheHookTheStopWaitsForTheNextPackage)
{
    f.view.onStatus = [this](const QString &text) {
        if (text.startsWith(QStringLiteral("Выгружено 1/2")))
            f.view.stop = true;
    };
    f.run();
    EXPECT_EQ(f.view.pendingProcessed, 0);
    const RunResult &r = f.work->lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Stopped);
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(r.written, 1);
    EXPECT_EQ(f.packageFiles().size(), 1);
}
