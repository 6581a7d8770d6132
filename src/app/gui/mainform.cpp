#include "app/gui/mainform.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace tw::app::gui {

namespace {

const int kOuterWidth = 363;
const int kOuterHeight = 157;
const QColor kLinkColour(255, 0, 0); // the colour value 255: pure red

QString exportCaption() { return QStringLiteral("Выгрузить"); }

TDateTime toTDateTime(const QDate &date)
{
    // Day 0 is 1899-12-30; the pickers carry no time of day.
    return TDateTime(QDate(1899, 12, 30).daysTo(date));
}

// The locale's short date, always with a four-digit year: a two-digit one would make the
// picker guess the century.
QString shortDateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")) && format.contains(QLatin1String("yy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

bool focusReallyMoved(const QEvent *event)
{
    // Opening a calendar or switching to another window does not leave the control.
    const auto reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QDateEdit *makeDateEdit(QWidget *parent, const char *name, int x, int y)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(shortDateFormat());
    edit->setGeometry(x, y, 104, 22);
    return edit;
}

QPlainTextEdit *makeHiddenText(QWidget *parent, const char *name, int y)
{
    auto *text = new QPlainTextEdit(parent);
    text->setObjectName(QString::fromLatin1(name));
    text->setGeometry(16, y, 326, 40);
    text->hide();
    return text;
}

} // namespace

// Sees every key press of the window before the focused control does.
class TForm1::KeyPreview : public QObject {
public:
    explicit KeyPreview(TForm1 *form) : m_form(form) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() != m_form)
            return false;
        return m_form->previewKey(widget, static_cast<QKeyEvent *>(event));
    }

private:
    TForm1 *m_form;
};

TForm1::TForm1(QWidget *parent)
    : QWidget(parent)
    , m_today([] { return QDate::currentDate(); })
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tarnwell ver. 1.7"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    QFont formFont(QStringLiteral("Tahoma"));
    formFont.setStyleHint(QFont::SansSerif);
    formFont.setPixelSize(12);
    setFont(formFont);

    Label3 = makeLabel(this, "Label3", QStringLiteral("Выгружаем:"), 16, 18);

    cb_tip = new QComboBox(this);
    cb_tip->setObjectName(QStringLiteral("cb_tip"));
    cb_tip->setEditable(false);
    cb_tip->setGeometry(96, 16, 246, 22);

    Label4 = makeLabel(this, "Label4", QStringLiteral("За период с"), 16, 54);
    Date1 = makeDateEdit(this, "Date1", 96, 52);
    Label7 = makeLabel(this, "Label7", QStringLiteral("по"), 212, 55);
    Date2 = makeDateEdit(this, "Date2", 238, 52);

    Button2 = new QPushButton(exportCaption(), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    Button2->setGeometry(256, 87, 86, 29);
    connect(Button2, &QPushButton::clicked, this, [this] { exportButtonClick(); });

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(16, 92, 225, 17);
    ProgressBar1->hide();

    Label1 = makeLabel(this, "Label1", QString(), 16, 111);
    QFont statusFont = formFont;
    statusFont.setPixelSize(11);
    Label1->setFont(statusFont);
    Label1->adjustSize();

    // Below the visible area: the query text and the two log buffers.
    Memo1 = makeHiddenText(this, "Memo1", 170);
    good_log = makeHiddenText(this, "good_log", 220);
    err_log = makeHiddenText(this, "err_log", 270);

    Date1->installEventFilter(this);
    Date2->installEventFilter(this);
    Date1->calendarWidget()->installEventFilter(this);
    Date2->calendarWidget()->installEventFilter(this);
    Label1->installEventFilter(this);
    cb_tip->view()->installEventFilter(this);

    m_keyPreview = std::make_unique<KeyPreview>(this);
    QCoreApplication::instance()->installEventFilter(m_keyPreview.get());

    setFixedSize(kOuterWidth, kOuterHeight);
}

TForm1::~TForm1()
{
    QCoreApplication::instance()->removeEventFilter(m_keyPreview.get());
    Date1->removeEventFilter(this);
    Date2->removeEventFilter(this);
    Date1->calendarWidget()->removeEventFilter(this);
    Date2->calendarWidget()->removeEventFilter(this);
    Label1->removeEventFilter(this);
    cb_tip->view()->removeEventFilter(this);
}

void TForm1::setActions(ExportActions actions) { m_actions = std::move(actions); }

void TForm1::setTodayProvider(std::function<QDate()> today)
{
    m_today = today ? std::move(today) : [] { return QDate::currentDate(); };
}

void TForm1::setErrorLogPath(const QString &path) { m_errorLogPath = path; }

void TForm1::setUrlOpener(std::function<bool(const QUrl &)> opener)
{
    m_openUrl = std::move(opener);
}

// ---- show ------------------------------------------------------------------------------

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous()) // restored from the taskbar, not shown by the program
        return;
    applyOuterSize();
    initPeriod();
    clearStopRequest();
    if (m_actions.listQueries)
        m_actions.listQueries();
}

void TForm1::initPeriod()
{
    QDate day = m_today();
    if (!day.isValid())
        day = QDate::currentDate();
    // Early in the month the operator still exports the previous one. addMonths keeps the
    // day or clamps it to the shorter month's last day.
    if (day.day() < 10)
        day = day.addMonths(-1);
    Date1->setDate(QDate(day.year(), day.month(), 1));
    Date2->setDate(QDate(day.year(), day.month(), day.daysInMonth()));
}

QMargins TForm1::windowFrameMargins() const
{
    // Without a window manager there is no frame; the offscreen platform's made-up margins
    // would only shrink the client area.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {};
    if (const QWindow *handle = windowHandle())
        return handle->frameMargins();
    return {};
}

void TForm1::applyOuterSize()
{
    const QMargins margins = windowFrameMargins();
    QSize client(kOuterWidth - margins.left() - margins.right(),
                 kOuterHeight - margins.top() - margins.bottom());

    // A window manager with a tall title bar must not cut off the button or the status
    // label, so the client area never gets smaller than the visible controls.
    QRect controls;
    for (QWidget *w : {static_cast<QWidget *>(Label3), static_cast<QWidget *>(cb_tip),
                       static_cast<QWidget *>(Label4), static_cast<QWidget *>(Date1),
                       static_cast<QWidget *>(Label7), static_cast<QWidget *>(Date2),
                       static_cast<QWidget *>(Button2), static_cast<QWidget *>(ProgressBar1)})
        controls |= w->geometry();
    controls |= QRect(Label1->pos(), QSize(1, QFontMetrics(Label1->font()).height()));
    client = client.expandedTo(QSize(controls.right() + 1 + 4, controls.bottom() + 1 + 2));

    m_appliedMargins = margins;
    m_sizeApplied = true;
    setFixedSize(client);

    if (const QScreen *desk = screen()) {
        const QRect avail = desk->availableGeometry();
        const QSize outer = client.grownBy(margins);
        move(avail.x() + (avail.width() - outer.width()) / 2,
             avail.y() + (avail.height() - outer.height()) / 2);
    }
}

// A window manager tells its frame only after the window is mapped; fit again then.
void TForm1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_sizeApplied && isVisible() && windowFrameMargins() != m_appliedMargins)
        applyOuterSize();
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_sizeApplied && isVisible() && windowFrameMargins() != m_appliedMargins)
        applyOuterSize();
}

// ---- period rules ----------------------------------------------------------------------

void TForm1::applyDate1Rule()
{
    const QDate start = Date1->date();
    if (start.day() == 1)
        Date2->setDate(QDate(start.year(), start.month(), start.daysInMonth()));
    if (Date2->date() < start)
        Date2->setDate(start);
}

void TForm1::applyDate2Rule()
{
    if (Date2->date() < Date1->date())
        Date1->setDate(Date2->date());
}

// ---- keys, calendars, focus, status label ------------------------------------------------

bool TForm1::focusIsIn(const QWidget *control) const
{
    const QWidget *focus = focusWidget();
    return focus && (focus == control || control->isAncestorOf(focus));
}

bool TForm1::previewKey(QWidget *receiver, QKeyEvent *event)
{
    // A key not taken by its control travels up to the parents; handle it only once, where
    // it was delivered first.
    QWidget *target = focusWidget();
    if (receiver != (target ? target : this))
        return false;

    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (focusIsIn(Date1)) {
            Date1->interpretText();
            applyDate1Rule();
        } else if (focusIsIn(Date2)) {
            Date2->interpretText();
            applyDate2Rule();
        }
        exportButtonClick();
    }

    // The query is chosen from the list only: typed characters would search and select.
    if (focusIsIn(cb_tip) && !event->text().isEmpty() && key != Qt::Key_Tab
        && key != Qt::Key_Backtab)
        return true;
    return false;
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();

    if (watched == Date1) {
        if (type == QEvent::FocusOut && focusReallyMoved(event)) {
            Date1->interpretText();
            applyDate1Rule();
        }
    } else if (watched == Date2) {
        if ((type == QEvent::FocusIn || type == QEvent::FocusOut) && focusReallyMoved(event)) {
            Date2->interpretText();
            applyDate2Rule();
        }
    } else if (watched == Date1->calendarWidget()) {
        if (type == QEvent::Hide)
            applyDate1Rule();
    } else if (watched == Date2->calendarWidget()) {
        if (type == QEvent::Show || type == QEvent::Hide)
            applyDate2Rule();
    } else if (watched == Label1) {
        switch (type) {
        case QEvent::Enter:
            if (statusIsErrorLink())
                Label1->setCursor(Qt::PointingHandCursor);
            break;
        case QEvent::Leave:
            Label1->unsetCursor();
            break;
        case QEvent::MouseButtonRelease: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && Label1->rect().contains(mouse->position().toPoint())
                && statusIsErrorLink() && !m_errorLogPath.isEmpty() && m_openUrl)
                m_openUrl(QUrl::fromLocalFile(m_errorLogPath));
            break;
        }
        default:
            break;
        }
    } else if (watched == cb_tip->view()) {
        // The open list searches by typed characters too; Enter and Escape still close it.
        if (type == QEvent::KeyPress) {
            const auto *keyEvent = static_cast<QKeyEvent *>(event);
            const int key = keyEvent->key();
            if (!keyEvent->text().isEmpty() && key != Qt::Key_Return && key != Qt::Key_Enter
                && key != Qt::Key_Escape && key != Qt::Key_Tab && key != Qt::Key_Backtab)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- export button -----------------------------------------------------------------------

void TForm1::exportButtonClick()
{
    const QString current = Button2->text();
    if (current == exportCaption()) {
        if (m_actions.runExport)
            m_actions.runExport();
    } else if (current == QLatin1String("Ok")) {
        Button2->setText(exportCaption());
        ProgressBar1->hide();
        resetStatusLabel();
    } else {
        m_stopRequested = true;
    }
}

void TForm1::resetStatusLabel()
{
    Label1->clear();
    setStatusErrorLink(false);
}

// ---- ExportView ----------------------------------------------------------------------------

void TForm1::setQueryNames(const QStringList &names)
{
    cb_tip->clear();
    cb_tip->addItems(names);
    cb_tip->setCurrentIndex(names.isEmpty() ? -1 : 0);
}

QString TForm1::selectedQueryName() const { return cb_tip->currentText(); }

TDateTime TForm1::periodStart() const { return toTDateTime(Date1->date()); }

TDateTime TForm1::periodEnd() const { return toTDateTime(Date2->date()); }

void TForm1::setButtonCaption(const QString &caption) { Button2->setText(caption); }

QString TForm1::buttonCaption() const { return Button2->text(); }

void TForm1::setProgressVisible(bool visible) { ProgressBar1->setVisible(visible); }

void TForm1::setProgressPosition(int position) { ProgressBar1->setValue(position); }

void TForm1::setStatusText(const QString &text)
{
    Label1->setText(text);
    Label1->adjustSize();
}

QString TForm1::statusText() const { return Label1->text(); }

void TForm1::setStatusErrorLink(bool on)
{
    QFont statusFont = Label1->font();
    statusFont.setUnderline(on);
    if (!on) {
        statusFont.setBold(false);
        statusFont.setItalic(false);
        statusFont.setStrikeOut(false);
    }
    Label1->setFont(statusFont);

    if (on) {
        QPalette palette = Label1->palette();
        palette.setColor(QPalette::WindowText, kLinkColour);
        Label1->setPalette(palette);
    } else {
        Label1->setPalette(QPalette()); // back to the window's text colour
        Label1->unsetCursor();
    }
    Label1->adjustSize();
}

bool TForm1::statusIsErrorLink() const
{
    return Label1->palette().color(QPalette::WindowText) == kLinkColour;
}

bool TForm1::askOkCancel(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void TForm1::processPendingMessages() { QCoreApplication::processEvents(); }

QString TForm1::caption() const { return windowTitle(); }

} // namespace tw::app::gui
