#pragma once

#include "app/clock.h"
#include "app/errorlog.h"
#include "app/logfiles.h"
#include "app/messagesink.h"
#include "app/startupvalues.h"
#include "base/linelist.h"
#include "db/database.h"

#include <QString>
#include <functional>
#include <memory>

namespace tw::app {

// Sets the connection string, opens the connection and answers its effective string.
using ConnectFunction =
    std::function<QString(db::Connection &, const QString &connectionString, db::LoginPrompt *)>;

// What start-up is given by the process that runs it.
struct StartupEnvironment {
    QString programDir;                   // the settings file and "logs" are found here
    const Clock *clock = nullptr;         // null: the system clock
    MessageSink *messages = nullptr;      // required
    db::LoginPrompt *loginPrompt = nullptr;
    ConnectFunction connect;              // empty: the database layer's own open
};

// The login the effective connection string carries: the text after its first "User ID="
// up to the next ";" (empty when no ";" follows). No "User ID=" at all: the fallback.
QString loginFromConnectionString(const QString &connectionString, const QString &fallback);

// The data module: owns the start-up values, the connection and its own error-log buffer.
// Creating it runs start-up; a fatal problem reports through the error routine and raises
// ProcessExit{1}, so nothing after the failing step runs.
class Tform_dm {
public:
    explicit Tform_dm(StartupEnvironment env);
    ~Tform_dm();
    Tform_dm(const Tform_dm &) = delete;
    Tform_dm &operator=(const Tform_dm &) = delete;

    const StartupValues &values() const { return m_values; }
    // Carries its trailing separator.
    const QString &programDir() const { return m_programDir; }
    QString settingsPath() const;
    const LogFiles &logFiles() const { return m_logFiles; }
    // For the main window's error routine.
    ErrorReporting errorReporting() const;
    const Clock &clock() const { return *m_clock; }
    MessageSink &messages() const { return *m_messages; }

    db::Connection &Connection() { return *m_connection; }

    // The text the error routine reports.
    QString message;
    // The data module's error routine: box, dated line in the day's error log; exits with
    // code 1 when that fails.
    void errorRoutine();

private:
    void startUp();
    [[noreturn]] void fatal(const QString &text);

    QString m_programDir;
    std::unique_ptr<Clock> m_ownClock;
    const Clock *m_clock = nullptr;
    MessageSink *m_messages = nullptr;
    db::LoginPrompt *m_loginPrompt = nullptr;
    ConnectFunction m_connect;
    StartupValues m_values;
    LogFiles m_logFiles;
    LineList m_errorBuffer;
    std::unique_ptr<db::Connection> m_connection;
};

} // namespace tw::app
