#pragma once

#include <QString>

namespace tw::app {

// What start-up read from the settings; set once, never re-read.
struct StartupValues {
    QString type;       // "mssql", "oracle" or "sqlite", lower case
    QString server;
    QString database;
    QString login;      // as written back after connecting
    QString schema;
    QString outputDir;  // as configured: a prefix of file names
    QString queryDir;   // as configured, or the program's directory
    QString logsDir;    // the "logs" directory inside the program's directory
    QString dateSuffix; // of the start-up day
};

} // namespace tw::app
