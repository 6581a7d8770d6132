// The window's stop button during a run whose template script never ends.
#include "app/exporttestutil.h"
#include "guitestutil.h"

#include "app/enginemessages.h"
#include "app/gui/mainform.h"
#include "app/modelreport.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

// Bill 9's script loops for ever: a click on "Отмена" ends it within a second, its package
// fails, the question comes, and OK ends the run with its summary.
TEST(WindowStop, StopButtonEndsAScriptThatNeverEnds)
{
    tw::test::Watchdog watchdog(60, "the endless script in the window");
    tw::test::SettingsScope settings(FormatSettings::current());
    ExportFixture f;
    const QString tpl = f.home.file(QStringLiteral("tpl/ft1.fr3"));
    QFile::remove(tpl);
    ASSERT_TRUE(QFile::copy(tw::test::fixturePath(QStringLiteral("app/templates/faults.fr3")), tpl));
    f.writeQuery(QStringLiteral("pk.sql"),
                 QStringLiteral("select 1 as ft1_id1, 'x' as ft1_from union all select 9, 'y' union all select 3, 'z'"));
    f.start();

    TemplateModelReportFactory reports;
    gui::TForm1 form;
    ExportWork work(*f.dm, form, reports);
    EngineMessages hook(work);
    form.setActions(gui::ExportActions{[&] { work.Ac_sqlfile(); }, [&] { work.Ac_sqltext(); }});
    ASSERT_TRUE(tw::test::showActive(&form));

    // Once bill 9 has looped for a while, the operator clicks the button.
    QElapsedTimer looping, sinceClick;
    QTimer operatorHand;
    operatorHand.setInterval(10);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        if (sinceClick.isValid() || !form.statusText().startsWith(QStringLiteral("Выгружено 2/3")))
            return;
        if (!looping.isValid()) {
            looping.start();
        } else if (looping.elapsed() >= 300) {
            sinceClick.start();
            form.Button2->click();
        }
    });
    operatorHand.start();
    QString question;
    qint64 stopTookMs = -1;
    tw::test::whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        stopTookMs = sinceClick.isValid() ? sinceClick.elapsed() : -1;
        question = box->text();
        box->button(QMessageBox::Ok)->click();
    });

    form.Button2->click(); // the whole run
    operatorHand.stop();

    ASSERT_TRUE(sinceClick.isValid()) << "bill 9 was never reached: " << form.statusText().toStdString();
    EXPECT_EQ(question, QStringLiteral("Остановить выгрузку?"));
    EXPECT_GE(stopTookMs, 0);
    EXPECT_LT(stopTookMs, 1000);
    const RunResult &r = work.lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Stopped);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.written, 1);
    EXPECT_TRUE(form.statusText().startsWith(QStringLiteral("Выгружено 1/3    За "))) << form.statusText().toStdString();
    EXPECT_TRUE(form.statusIsErrorLink());
    EXPECT_EQ(f.packageFiles().size(), 1);
    EXPECT_TRUE(f.errorLog().contains(QStringLiteral(" [id1]=9; [from]=y; ") + preparationStoppedText()))
        << f.errorLog().toStdString();
}
