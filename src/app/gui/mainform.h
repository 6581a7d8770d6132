#pragma once

#include "app/exportview.h"

#include <QDate>
#include <QMargins>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tw::app::gui {

// The window's two operations, supplied by the application so that the query run and the
// package loop stay out of the widget code.
struct ExportActions {
    std::function<void()> listQueries; // fills cb_tip through setQueryNames (on show)
    std::function<void()> runExport;   // one whole run (the "Выгрузить" click)
};

// The main window Form1. Only its top-left part (363 x 157 with the frame) is visible;
// the text areas Memo1, good_log and err_log lie outside it.
class TForm1 : public QWidget, public ExportView {
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    void setActions(ExportActions actions);
    // Where "today" comes from when the period is set on show.
    void setTodayProvider(std::function<QDate()> today);
    // The day's error log that the red status label opens.
    void setErrorLogPath(const QString &path);
    QString errorLogPath() const { return m_errorLogPath; }
    // The desktop shell's "open" action; replaceable so tests need no desktop.
    void setUrlOpener(std::function<bool(const QUrl &)> opener);

    // The export button's click, by its caption at this moment.
    void exportButtonClick();
    // The period rules applied when a date picker's calendar or focus changes.
    void applyDate1Rule();
    void applyDate2Rule();

    // ExportView
    void setQueryNames(const QStringList &names) override;
    QString selectedQueryName() const override;
    TDateTime periodStart() const override;
    TDateTime periodEnd() const override;
    void setButtonCaption(const QString &caption) override;
    QString buttonCaption() const override;
    void setProgressVisible(bool visible) override;
    void setProgressPosition(int position) override;
    void setStatusText(const QString &text) override;
    QString statusText() const override;
    void setStatusErrorLink(bool on) override;
    bool stopRequested() const override { return m_stopRequested; }
    void clearStopRequest() override { m_stopRequested = false; }
    bool askOkCancel(const QString &caption, const QString &text) override;
    void processPendingMessages() override;
    QString caption() const override;

    bool statusIsErrorLink() const;

    // Controls, named as the rest of the program refers to them.
    QLabel *Label3 = nullptr;
    QComboBox *cb_tip = nullptr;
    QLabel *Label4 = nullptr;
    QDateEdit *Date1 = nullptr;
    QLabel *Label7 = nullptr;
    QDateEdit *Date2 = nullptr;
    QPushButton *Button2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *Label1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPlainTextEdit *good_log = nullptr;
    QPlainTextEdit *err_log = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class KeyPreview;
    friend class KeyPreview;

    bool previewKey(QWidget *receiver, QKeyEvent *event);
    bool focusIsIn(const QWidget *control) const;
    void applyOuterSize();
    QMargins windowFrameMargins() const;
    void initPeriod();
    void resetStatusLabel();

    ExportActions m_actions;
    std::function<QDate()> m_today;
    std::function<bool(const QUrl &)> m_openUrl;
    std::unique_ptr<KeyPreview> m_keyPreview;
    QString m_errorLogPath;
    QMargins m_appliedMargins;
    bool m_sizeApplied = false;
    bool m_stopRequested = false;
};

} // namespace tw::app::gui
