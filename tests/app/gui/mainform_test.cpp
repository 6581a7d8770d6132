#include "app/gui/mainform.h"
#include "guitestutil.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

using tw::app::gui::ExportActions;
using tw::app::gui::TForm1;

namespace {

const QString kExport = QStringLiteral("Выгрузить");
const QString kCancel = QStringLiteral("Отмена");

QDate ymd(int y, int m, int d) { return QDate(y, m, d); }

// A press on the drop-down arrow opens the calendar.
void openCalendar(QDateEdit *edit)
{
    const QPointF at(edit->width() - 6, edit->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, edit->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, edit->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &release);
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm1>();
        form->setTodayProvider([] { return QDate(2026, 3, 15); });
        form->setErrorLogPath(QStringLiteral("/var/tmp/logs/Tarnwell_20260315.error.txt"));
        form->setUrlOpener([this](const QUrl &url) {
            opened.push_back(url);
            return true;
        });
        ExportActions actions;
        actions.listQueries = [this] {
            ++listCalls;
            form->setQueryNames({QStringLiteral("alpha"), QStringLiteral("beta"),
                                 QStringLiteral("gamma")});
        };
        actions.runExport = [this] {
            ++exportCalls;
            if (onExport)
                onExport();
        };
        form->setActions(std::move(actions));
    }

    void TearDown() override { form.reset(); }

    // Shown and active, focus parked on the button so no date rule fires by accident.
    void showForm()
    {
        ASSERT_TRUE(tw::test::showActive(form.get()));
        form->Button2->setFocus();
        tw::test::processEvents();
    }

    void setDates(QDate start, QDate end)
    {
        form->Date1->setDate(start);
        form->Date2->setDate(end);
    }

    void focus(QWidget *w)
    {
        w->setFocus(Qt::OtherFocusReason);
        tw::test::processEvents();
    }

    std::unique_ptr<TForm1> form;
    int listCalls = 0;
    int exportCalls = 0;
    std::function<void()> onExport;
    std::vector<QUrl> opened;
};

// ---- on show ---------------------------------------------------------------------------

TEST(MainFormPeriod, ShowSetsPeriodClearsStopAndListsQueries)
{
    struct Case {
        QDate today, start, end;
    };
    const Case cases[] = {
        {ymd(2026, 1, 9), ymd(2025, 12, 1), ymd(2025, 12, 31)},  // before the 10th: last month
        {ymd(2026, 1, 10), ymd(2026, 1, 1), ymd(2026, 1, 31)},   // from the 10th: this month
        {ymd(2024, 3, 9), ymd(2024, 2, 1), ymd(2024, 2, 29)},    // leap February
        {ymd(2025, 3, 9), ymd(2025, 2, 1), ymd(2025, 2, 28)},
        {ymd(2026, 12, 31), ymd(2026, 12, 1), ymd(2026, 12, 31)},
        {ymd(2026, 5, 1), ymd(2026, 4, 1), ymd(2026, 4, 30)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.today.toString(Qt::ISODate).toStdString());
        TForm1 form;
        form.setTodayProvider([&] { return c.today; });
        // Left over from an earlier run: the show must clear it before listing.
        form.setButtonCaption(kCancel);
        form.exportButtonClick();
        ASSERT_TRUE(form.stopRequested());

        int calls = 0;
        QDate seenStart, seenEnd;
        bool seenStop = true;
        ExportActions actions;
        actions.listQueries = [&] {
            ++calls;
            seenStart = form.Date1->date();
            seenEnd = form.Date2->date();
            seenStop = form.stopRequested();
        };
        form.setActions(actions);
        form.show();

        EXPECT_EQ(calls, 1);
        EXPECT_EQ(seenStart, c.start);
        EXPECT_EQ(seenEnd, c.end);
        EXPECT_FALSE(seenStop);
        EXPECT_EQ(form.Date1->date(), c.start);
        EXPECT_EQ(form.Date2->date(), c.end);
    }
}

TEST(MainFormPeriod, PeriodIsReportedAsDayNumbers)
{
    TForm1 form;
    form.setTodayProvider([] { return QDate(2026, 1, 9); });
    form.show();
    EXPECT_EQ(form.periodStart(), 45992.0); // 2025-12-01
    EXPECT_EQ(form.periodEnd(), 46022.0);   // 2025-12-31
}

TEST_F(MainFormTest, QueriesListedOnShowAndFirstSelected)
{
    form->show();
    EXPECT_EQ(listCalls, 1);
    EXPECT_EQ(form->cb_tip->count(), 3);
    EXPECT_EQ(form->selectedQueryName(), QStringLiteral("alpha"));
    form->setQueryNames({});
    EXPECT_EQ(form->selectedQueryName(), QString());
}

// ---- window and controls -----------------------------------------------------------------

TEST_F(MainFormTest, WindowCaptionFlagsSizeAndPlace)
{
    form->show();
    EXPECT_EQ(form->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tarnwell ver. 1.7"));
    EXPECT_EQ(form->caption(), QStringLiteral("Tarnwell ver. 1.7"));

    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    // No window manager offscreen: the client area is the whole outer size.
    EXPECT_EQ(form->size(), QSize(363, 157));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());

    // Centred on the desktop (the offscreen platform adds a thin made-up frame).
    const QPoint off = form->geometry().center() - form->screen()->availableGeometry().center();
    EXPECT_LE(std::abs(off.x()), 3);
    EXPECT_LE(std::abs(off.y()), 3);
}

TEST_F(MainFormTest, ControlsTextsPlacesAndFonts)
{
    form->show();
    struct Expect {
        QWidget *widget;
        const char *name;
        QRect geometry; // empty size: the label sizes itself to its text
        QString text;
    };
    const Expect visible[] = {
        {form->Label3, "Label3", QRect(16, 18, 0, 0), QStringLiteral("Выгружаем:")},
        {form->cb_tip, "cb_tip", QRect(96, 16, 246, 22), QString()},
        {form->Label4, "Label4", QRect(16, 54, 0, 0), QStringLiteral("За период с")},
        {form->Date1, "Date1", QRect(96, 52, 104, 22), QString()},
        {form->Label7, "Label7", QRect(212, 55, 0, 0), QStringLiteral("по")},
        {form->Date2, "Date2", QRect(238, 52, 104, 22), QString()},
        {form->Button2, "Button2", QRect(256, 87, 86, 29), kExport},
        {form->Label1, "Label1", QRect(16, 111, 0, 0), QString()},
    };
    for (const Expect &e : visible) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.widget->objectName(), QString::fromLatin1(e.name));
        EXPECT_TRUE(e.widget->isVisible());
        EXPECT_EQ(e.widget->pos(), e.geometry.topLeft());
        if (!e.geometry.size().isEmpty()) {
            EXPECT_EQ(e.widget->size(), e.geometry.size());
        }
        EXPECT_TRUE(form->rect().contains(e.widget->geometry()));
        EXPECT_EQ(e.widget->font().family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(e.widget->font().pixelSize(), e.widget == form->Label1 ? 11 : 12);
        if (auto *label = qobject_cast<QLabel *>(e.widget)) {
            EXPECT_EQ(label->text(), e.text);
        } else if (auto *button = qobject_cast<QPushButton *>(e.widget)) {
            EXPECT_EQ(button->text(), e.text);
        }
    }

    EXPECT_FALSE(form->cb_tip->isEditable());
    EXPECT_TRUE(form->Date1->calendarPopup());
    EXPECT_TRUE(form->Date2->calendarPopup());

    EXPECT_EQ(form->ProgressBar1->objectName(), QStringLiteral("ProgressBar1"));
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->ProgressBar1->geometry(), QRect(16, 92, 225, 17));
    EXPECT_EQ(form->ProgressBar1->minimum(), 0);
    EXPECT_EQ(form->ProgressBar1->maximum(), 100);

    for (QWidget *hidden : {static_cast<QWidget *>(form->Memo1),
                            static_cast<QWidget *>(form->good_log),
                            static_cast<QWidget *>(form->err_log)}) {
        SCOPED_TRACE(hidden->objectName().toStdString());
        EXPECT_FALSE(hidden->isVisible());
        EXPECT_FALSE(form->rect().intersects(hidden->geometry()));
    }

    // A long end-of-run summary still fits inside the window.
    form->setStatusText(QStringLiteral("Выгружено 1234/1234    За 12 мин. 59 сек."));
    EXPECT_TRUE(form->rect().contains(form->Label1->geometry()));
}

TEST_F(MainFormTest, ViewSettersDriveTheControls)
{
    form->show();
    form->setProgressVisible(true);
    form->setProgressPosition(42);
    EXPECT_TRUE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->ProgressBar1->value(), 42);
    form->setButtonCaption(kCancel);
    EXPECT_EQ(form->buttonCaption(), kCancel);
    EXPECT_EQ(form->Button2->text(), kCancel);
    form->setStatusText(QStringLiteral("Выгружено 1/3"));
    EXPECT_EQ(form->statusText(), QStringLiteral("Выгружено 1/3"));
    // Plain text: a "<" in a message must not be taken for markup.
    EXPECT_EQ(form->Label1->textFormat(), Qt::PlainText);
}

// ---- period rules ------------------------------------------------------------------------

struct RuleCase {
    QDate start, end, wantStart, wantEnd;
};

const RuleCase kDate1Cases[] = {
    // The 1st selects the whole month, even when Date2 was later.
    {ymd(2026, 3, 1), ymd(2026, 5, 20), ymd(2026, 3, 1), ymd(2026, 3, 31)},
    {ymd(2024, 2, 1), ymd(2024, 1, 10), ymd(2024, 2, 1), ymd(2024, 2, 29)},
    // Otherwise Date2 only moves up to Date1.
    {ymd(2026, 3, 15), ymd(2026, 3, 10), ymd(2026, 3, 15), ymd(2026, 3, 15)},
    {ymd(2026, 3, 15), ymd(2026, 4, 10), ymd(2026, 3, 15), ymd(2026, 4, 10)},
};

TEST_F(MainFormTest, Date1RuleWhenFocusLeaves)
{
    showForm();
    for (const RuleCase &c : kDate1Cases) {
        SCOPED_TRACE(c.start.toString(Qt::ISODate).toStdString());
        focus(form->Date1);
        setDates(c.start, c.end);
        focus(form->Button2);
        EXPECT_EQ(form->Date1->date(), c.wantStart);
        EXPECT_EQ(form->Date2->date(), c.wantEnd);
    }
}

TEST_F(MainFormTest, Date1RuleWhenCalendarCloses)
{
    showForm();
    for (const RuleCase &c : kDate1Cases) {
        SCOPED_TRACE(c.start.toString(Qt::ISODate).toStdString());
        setDates(ymd(2026, 6, 20), c.end);
        focus(form->Date1);
        openCalendar(form->Date1);
        QCalendarWidget *calendar = form->Date1->calendarWidget();
        ASSERT_TRUE(calendar->isVisible());
        EXPECT_EQ(form->Date2->date(), c.end); // opening alone changes nothing
        calendar->setSelectedDate(c.start);
        calendar->window()->close();
        tw::test::processEvents();
        EXPECT_EQ(form->Date1->date(), c.wantStart);
        EXPECT_EQ(form->Date2->date(), c.wantEnd);
        focus(form->Button2);
    }
}

TEST_F(MainFormTest, Date2RuleOnFocusAndCalendar)
{
    showForm();
    enum Trigger { FocusIn, FocusOut, CalendarOpen, CalendarClose };
    const QDate later = ymd(2026, 3, 15), earlier = ymd(2026, 3, 10);
    for (Trigger trigger : {FocusIn, FocusOut, CalendarOpen, CalendarClose}) {
        SCOPED_TRACE(int(trigger));
        QCalendarWidget *calendar = form->Date2->calendarWidget();
        switch (trigger) {
        case FocusIn:
            focus(form->Button2);
            setDates(later, earlier);
            focus(form->Date2);
            break;
        case FocusOut:
            focus(form->Date2);
            setDates(later, earlier);
            focus(form->Button2);
            break;
        case CalendarOpen:
            focus(form->Date2);
            setDates(later, earlier);
            openCalendar(form->Date2);
            ASSERT_TRUE(calendar->isVisible());
            break;
        case CalendarClose:
            focus(form->Date2);
            setDates(later, ymd(2026, 3, 20));
            openCalendar(form->Date2);
            ASSERT_TRUE(calendar->isVisible());
            calendar->setSelectedDate(earlier);
            calendar->window()->close();
            break;
        }
        tw::test::processEvents();
        EXPECT_EQ(form->Date1->date(), earlier);
        EXPECT_EQ(form->Date2->date(), earlier);
        if (calendar->window()->isVisible())
            calendar->window()->close();
    }

    // Date2 on or after Date1: nothing moves.
    focus(form->Button2);
    setDates(ymd(2026, 3, 15), ymd(2026, 3, 15));
    focus(form->Date2);
    focus(form->Button2);
    EXPECT_EQ(form->Date1->date(), ymd(2026, 3, 15));
    EXPECT_EQ(form->Date2->date(), ymd(2026, 3, 15));
}

// ---- keys ----------------------------------------------------------------------------------

TEST_F(MainFormTest, EnterAnywhereClicksTheExportButton)
{
    showForm();
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        exportCalls = 0;
        focus(form->cb_tip);
        tw::test::typeKey(form->cb_tip, key, QStringLiteral("\r"));
        EXPECT_EQ(exportCalls, 1);
        EXPECT_EQ(form->selectedQueryName(), QStringLiteral("alpha"));
    }

    // Other keys do not start a run.
    exportCalls = 0;
    tw::test::typeKey(form->cb_tip, Qt::Key_Down);
    tw::test::typeKey(form->cb_tip, Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_EQ(exportCalls, 0);
}

TEST_F(MainFormTest, EnterAppliesTheFocusedDateRuleFirst)
{
    showForm();
    QDate seenStart, seenEnd;
    onExport = [&] {
        seenStart = form->Date1->date();
        seenEnd = form->Date2->date();
    };

    focus(form->Date1);
    setDates(ymd(2026, 4, 1), ymd(2026, 6, 30));
    tw::test::typeKey(form->Date1, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(exportCalls, 1);
    EXPECT_EQ(seenStart, ymd(2026, 4, 1));
    EXPECT_EQ(seenEnd, ymd(2026, 4, 30));

    focus(form->Button2);
    setDates(ymd(2026, 4, 15), ymd(2026, 4, 20));
    focus(form->Date2);
    setDates(ymd(2026, 4, 15), ymd(2026, 4, 12));
    tw::test::typeKey(form->Date2, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(exportCalls, 2);
    EXPECT_EQ(seenStart, ymd(2026, 4, 12));
    EXPECT_EQ(seenEnd, ymd(2026, 4, 12));

    // On the button itself the key starts one run, not two.
    focus(form->Button2);
    tw::test::typeKey(form->Button2, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(exportCalls, 3);
}

TEST_F(MainFormTest, TypedCharactersDoNotChangeTheQuery)
{
    showForm();
    focus(form->cb_tip);
    const std::pair<int, const char *> typed[] = {
        {Qt::Key_G, "g"}, {Qt::Key_B, "b"}, {Qt::Key_G, "G"}, {Qt::Key_Space, " "}, {Qt::Key_1, "1"}};
    for (const auto &[key, ch] : typed) {
        SCOPED_TRACE(ch);
        tw::test::typeKey(form->cb_tip, key, QString::fromLatin1(ch));
        EXPECT_EQ(form->cb_tip->currentIndex(), 0);
        EXPECT_FALSE(form->cb_tip->view()->isVisible());
    }
    // Choosing from the list still works.
    tw::test::typeKey(form->cb_tip, Qt::Key_Down);
    EXPECT_EQ(form->selectedQueryName(), QStringLiteral("beta"));
    EXPECT_EQ(exportCalls, 0);
}

TEST_F(MainFormTest, TypedCharactersInTheOpenListDoNotMoveIt)
{
    showForm();
    focus(form->cb_tip);
    form->cb_tip->showPopup();
    tw::test::processEvents();
    QAbstractItemView *view = form->cb_tip->view();
    ASSERT_TRUE(view->isVisible());
    tw::test::typeKey(view, Qt::Key_G, QStringLiteral("g"));
    EXPECT_EQ(view->currentIndex().row(), 0);
    tw::test::typeKey(view, Qt::Key_Return, QStringLiteral("\r"));
    tw::test::processEvents();
    EXPECT_EQ(form->selectedQueryName(), QStringLiteral("alpha"));
}

// ---- export button -------------------------------------------------------------------------

TEST_F(MainFormTest, ExportButtonActsByItsCaption)
{
    showForm();

    // Idle: starts a run; a click during the run only asks to stop.
    QString captionInside;
    onExport = [&] {
        form->setButtonCaption(kCancel);
        form->setProgressVisible(true);
        form->Button2->click();
        captionInside = form->buttonCaption();
        form->setButtonCaption(QStringLiteral("Ok"));
    };
    form->Button2->click();
    EXPECT_EQ(exportCalls, 1);
    EXPECT_TRUE(form->stopRequested());
    EXPECT_EQ(captionInside, kCancel);
    onExport = nullptr;

    // Finished: resets the window instead of running again.
    form->clearStopRequest();
    form->setStatusText(QStringLiteral("Выгружено 2/3    За 4 сек."));
    form->setStatusErrorLink(true);
    form->Button2->click();
    EXPECT_EQ(exportCalls, 1);
    EXPECT_FALSE(form->stopRequested());
    EXPECT_EQ(form->buttonCaption(), kExport);
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->statusText(), QString());

    // Any other caption is taken as a stop request.
    form->setButtonCaption(QStringLiteral("something else"));
    form->Button2->click();
    EXPECT_TRUE(form->stopRequested());
    EXPECT_EQ(exportCalls, 1);
    EXPECT_EQ(form->buttonCaption(), QStringLiteral("something else"));
}

TEST_F(MainFormTest, OkClickMakesTheStatusLabelPlainAgain)
{
    showForm();
    const QColor normal = form->palette().color(QPalette::WindowText);
    form->setStatusText(QStringLiteral("Выгружено 2/3"));
    form->setStatusErrorLink(true);
    EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(form->Label1->font().underline());

    form->setButtonCaption(QStringLiteral("Ok"));
    form->Button2->click();
    EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText), normal);
    EXPECT_FALSE(form->Label1->font().underline());
    EXPECT_FALSE(form->Label1->font().bold());
    EXPECT_FALSE(form->Label1->font().italic());
    EXPECT_EQ(form->Label1->font().pixelSize(), 11);
    EXPECT_FALSE(form->statusIsErrorLink());

    // The link is gone with the colour.
    form->setStatusText(QStringLiteral("Выгружено 0/0"));
    tw::test::mouseEnter(form->Label1);
    tw::test::mouseClick(form->Label1);
    EXPECT_EQ(form->Label1->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(opened.empty());
}

// ---- status label link ---------------------------------------------------------------------

TEST_F(MainFormTest, StatusLabelIsALinkOnlyWhileRed)
{
    showForm();
    form->setStatusText(QStringLiteral("Выгружено 1/3"));

    tw::test::mouseEnter(form->Label1);
    EXPECT_EQ(form->Label1->cursor().shape(), Qt::ArrowCursor);
    tw::test::mouseClick(form->Label1);
    EXPECT_TRUE(opened.empty());
    tw::test::mouseLeave(form->Label1);

    form->setStatusErrorLink(true);
    tw::test::mouseEnter(form->Label1);
    EXPECT_EQ(form->Label1->cursor().shape(), Qt::PointingHandCursor);
    tw::test::mouseClick(form->Label1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(form->errorLogPath()));
    tw::test::mouseLeave(form->Label1);
    EXPECT_EQ(form->Label1->cursor().shape(), Qt::ArrowCursor);

    // A release outside the label is no click.
    tw::test::mouseClick(form->Label1, QPoint(-5, -5));
    EXPECT_EQ(opened.size(), 1u);
}

// ---- question box ----------------------------------------------------------------------------

TEST_F(MainFormTest, AskOkCancelAnswersByTheButton)
{
    form->show();
    for (auto answer : {QMessageBox::Ok, QMessageBox::Cancel}) {
        QString caption, text;
        int buttons = 0;
        tw::test::whenModalOpens([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle();
            text = box->text();
            buttons = int(box->buttons().size());
            box->button(answer)->click();
        });
        const bool ok = form->askOkCancel(QStringLiteral("Внимание"),
                                          QStringLiteral("Остановить выгрузку?"));
        EXPECT_EQ(ok, answer == QMessageBox::Ok);
        EXPECT_EQ(caption, QStringLiteral("Внимание"));
        EXPECT_EQ(text, QStringLiteral("Остановить выгрузку?"));
        EXPECT_EQ(buttons, 2);
    }
}

} // namespace
