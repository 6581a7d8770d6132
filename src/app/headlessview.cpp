#include "app/headlessview.h"

#include <csignal>

namespace tw::app {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void onInterrupt(int)
{
    g_stopRequested = 1;
    // The next interrupt ends the process: an operator pressing it twice means it.
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

void HeadlessExportView::installInterruptHandler()
{
    g_stopRequested = 0;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
}

void HeadlessExportView::requestStop()
{
    g_stopRequested = 1;
}

bool HeadlessExportView::selectQuery(const QString &name)
{
    if (!m_names.contains(name))
        return false;
    m_selected = name;
    return true;
}

void HeadlessExportView::setQueryNames(const QStringList &names)
{
    m_names = names;
    m_selected = names.isEmpty() ? QString() : names.first();
}

void HeadlessExportView::setStatusText(const QString &text)
{
    m_status = text;
    if (!text.isEmpty())
        printLine(text);
}

bool HeadlessExportView::stopRequested() const
{
    return g_stopRequested != 0;
}

void HeadlessExportView::clearStopRequest()
{
    g_stopRequested = 0;
}

bool HeadlessExportView::askOkCancel(const QString &caption, const QString &text)
{
    // Nobody to ask: the interrupt was the answer.
    printLine(caption + QStringLiteral(": ") + text);
    return true;
}

void HeadlessExportView::printLine(const QString &text) const
{
    if (!m_out)
        return;
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fflush(m_out);
}

} // namespace tw::app
