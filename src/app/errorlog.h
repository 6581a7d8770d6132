#pragma once

#include "app/clock.h"
#include "app/logfiles.h"
#include "app/messagesink.h"
#include "base/linelist.h"

#include <QString>

namespace tw::app {

// What an error routine needs: where the day's error log is, the time for its dated lines,
// and the message boxes.
struct ErrorReporting {
    LogFiles files;
    const Clock *clock = nullptr;
    MessageSink *messages = nullptr;
};

// The caption of every error box.
inline QString errorCaption() { return QStringLiteral("Ошибка!"); }

// The text put in front of a logged message: the current date and time in the locale's
// short date and long time.
QString logDateTime(const Clock &clock);

// Loads the day's error log into the buffer when it exists (keeping its encoding); a new file
// will be written in the system encoding without a mark.
void loadErrorLog(LineList &buffer, const LogFiles &files);

// The main window's error routine over its error-log buffer. Mode 0: an error box, then the
// dated message; mode 1: the message as given (it carries its own date), no box; any other
// mode adds nothing. The log is rewritten whole every time. Failures reach the caller.
void reportError(LineList &errLog, const QString &message, int mode, const ErrorReporting &ctx);

// The data module's error routine: the error box, then the dated message appended to the
// day's error log through the module's own buffer. Any failure ends the process with exit
// code 1 (ProcessExit).
void reportStartupError(LineList &buffer, const QString &message, const ErrorReporting &ctx);

} // namespace tw::app
