#include "app/errorlog.h"

#include "app/processexit.h"
#include "base/formatsettings.h"

#include <QFileInfo>

namespace tw::app {

QString logDateTime(const Clock &clock)
{
    return dateTimeToStr(clock.now(), FormatSettings::current());
}

void loadErrorLog(LineList &buffer, const LogFiles &files)
{
    buffer.clear();
    const QString path = files.errorLogPath();
    if (QFileInfo::exists(path))
        buffer.loadFromFile(path);
    else
        buffer.setEncoding(codepage::systemEncoding());
}

void reportError(LineList &errLog, const QString &message, int mode, const ErrorReporting &ctx)
{
    loadErrorLog(errLog, ctx.files);
    if (mode == 0) {
        ctx.messages->showMessage(errorCaption(), message);
        errLog.add(logDateTime(*ctx.clock) + QLatin1Char(' ') + message);
    } else if (mode == 1) {
        errLog.add(message);
    }
    errLog.saveToFile(ctx.files.errorLogPath());
}

void reportStartupError(LineList &buffer, const QString &message, const ErrorReporting &ctx)
{
    try {
        ctx.messages->showMessage(errorCaption(), message);
        loadErrorLog(buffer, ctx.files);
        buffer.add(logDateTime(*ctx.clock) + QLatin1Char(' ') + message);
        buffer.saveToFile(ctx.files.errorLogPath());
    } catch (const ProcessExit &) {
        throw;
    } catch (...) {
        throw ProcessExit{1};
    }
}

} // namespace tw::app
