#pragma once

#include "base/formatsettings.h"

#include <QString>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>

namespace tw::test {

// The repository's root, for fixtures kept in the source tree.
QString sourceDir();
// A fixture file under tests/fixtures.
QString fixturePath(const QString &relative);
// Whole-file helpers for checking what the program wrote.
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// Regional settings fixed for one test, the process-wide ones restored afterwards.
class SettingsScope {
public:
    explicit SettingsScope(const FormatSettings &fs) : m_saved(FormatSettings::current()) { FormatSettings::setCurrent(fs); }
    ~SettingsScope() { FormatSettings::setCurrent(m_saved); }
    SettingsScope(const SettingsScope &) = delete;
    SettingsScope &operator=(const SettingsScope &) = delete;

private:
    FormatSettings m_saved;
};

// A hard limit for a test that could hang: when the object is not gone within the time,
// the test binary ends with a message (a hang fails instead of blocking the suite).
class Watchdog {
public:
    Watchdog(int seconds, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// The databases the database cases run against: SQLite directly, SQLite through ODBC, and
// PostgreSQL through ODBC (a server started by scripts/test-services.sh, named by
// TARNWELL_TEST_PG).
enum class TestDb { Sqlite, SqliteOdbc, PostgresOdbc };
const char *testDbName(TestDb kind);
// Test names for suites parameterized by TestDb.
inline std::string testDbParamName(const ::testing::TestParamInfo<TestDb> &info)
{
    return testDbName(info.param);
}
bool odbcDriverRegistered(const QString &name);
// Whether the suite runs under CI, where a missing backend is a failure, not a skip.
bool underCi();
// The connection string of an empty database of that kind (SQLite files go into dir).
// Empty when this machine lacks the backend; *why then says what is missing.
QString testDbConnectionString(TestDb kind, const QString &dir, QString *why);
// For SetUp: *connectionString as above; when the backend is missing the test is skipped
// (failed under CI) and *connectionString stays empty, so the caller returns.
void requireTestDb(TestDb kind, const QString &dir, QString *connectionString);

} // namespace tw::test
