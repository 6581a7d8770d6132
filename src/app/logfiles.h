#pragma once

#include <QString>

namespace tw::app {

// The two log files in the logs directory.
struct LogFiles {
    QString logsDir;    // without a trailing separator
    QString dateSuffix; // of the start-up day: the error log keeps its name past midnight

    QString runLogPath() const { return logsDir + QStringLiteral("/Tarnwell.log.txt"); }
    QString errorLogPath() const
    {
        return logsDir + QStringLiteral("/Tarnwell_") + dateSuffix + QStringLiteral(".error.txt");
    }
};

} // namespace tw::app
