#pragma once

#include "base/datetime.h"

#include <QString>
#include <QStringList>

namespace tw::app {

// What the query run and the package loop see of the main window. The GUI window
// implements it with its controls; the headless export implements it on stderr.
class ExportView {
public:
    virtual ~ExportView() = default;

    // cb_tip: the list of package query names and the selected one.
    virtual void setQueryNames(const QStringList &names) = 0; // selects the first entry
    virtual QString selectedQueryName() const = 0;

    // Date1 and Date2 (time part 0).
    virtual TDateTime periodStart() const = 0;
    virtual TDateTime periodEnd() const = 0;

    // Button2: "Выгрузить", "Отмена", "Ok".
    virtual void setButtonCaption(const QString &caption) = 0;
    virtual QString buttonCaption() const = 0;

    // ProgressBar1, 0 to 100.
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressPosition(int position) = 0;

    // Label1: its text, and the red underlined link to the day's error log.
    virtual void setStatusText(const QString &text) = 0;
    virtual QString statusText() const = 0;
    virtual void setStatusErrorLink(bool on) = 0; // off: window text colour, no style

    // The stop request set by the export button during a run.
    virtual bool stopRequested() const = 0;
    virtual void clearStopRequest() = 0;

    // A modal OK/Cancel question; true for OK.
    virtual bool askOkCancel(const QString &caption, const QString &text) = 0;

    // Lets the window handle pending input and repaint (the report engine calls it too).
    virtual void processPendingMessages() = 0;

    // The main window's caption, written into the run log.
    virtual QString caption() const { return QStringLiteral("Tarnwell ver. 1.7"); }
};

} // namespace tw::app
