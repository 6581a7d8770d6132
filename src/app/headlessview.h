#pragma once

#include "app/exportview.h"

#include <QString>
#include <QStringList>
#include <cstdio>

namespace tw::app {

// The window of a run without widgets: the status label's texts go to a stream as lines,
// a question is printed and answered OK, and the stop request comes from SIGINT.
class HeadlessExportView : public ExportView {
public:
    explicit HeadlessExportView(std::FILE *out = stderr) : m_out(out) {}

    // SIGINT sets the stop request; a second one ends the process as usual.
    static void installInterruptHandler();
    // What SIGINT does; for tests.
    static void requestStop();

    void setPeriod(TDateTime start, TDateTime end) { m_start = start; m_end = end; }
    // False when the list has no such name.
    bool selectQuery(const QString &name);
    const QStringList &queryNames() const { return m_names; }

    void setQueryNames(const QStringList &names) override;
    QString selectedQueryName() const override { return m_selected; }
    TDateTime periodStart() const override { return m_start; }
    TDateTime periodEnd() const override { return m_end; }
    void setButtonCaption(const QString &caption) override { m_caption = caption; }
    QString buttonCaption() const override { return m_caption; }
    void setProgressVisible(bool visible) override { m_progressVisible = visible; }
    void setProgressPosition(int position) override { m_progress = position; }
    void setStatusText(const QString &text) override;
    QString statusText() const override { return m_status; }
    void setStatusErrorLink(bool on) override { m_errorLink = on; }
    bool stopRequested() const override;
    void clearStopRequest() override;
    bool askOkCancel(const QString &caption, const QString &text) override;
    void processPendingMessages() override {}

    bool progressVisible() const { return m_progressVisible; }
    int progressPosition() const { return m_progress; }
    bool statusIsErrorLink() const { return m_errorLink; }

private:
    void printLine(const QString &text) const;

    std::FILE *m_out;
    QStringList m_names;
    QString m_selected;
    TDateTime m_start = 0;
    TDateTime m_end = 0;
    QString m_caption = QStringLiteral("Выгрузить");
    QString m_status;
    bool m_progressVisible = false;
    int m_progress = 0;
    bool m_errorLink = false;
};

} // namespace tw::app
