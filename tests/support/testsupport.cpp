#include "support/testsupport.h"

#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace tw::test {

QString sourceDir()
{
    const QByteArray env = qgetenv("TARNWELL_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(TARNWELL_SOURCE_DIR_DEFAULT) : QString::fromUtf8(env);
}

QString fixturePath(const QString &relative)
{
    return sourceDir() + QStringLiteral("/tests/fixtures/") + relative;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

const char *testDbName(TestDb kind)
{
    switch (kind) {
    case TestDb::Sqlite: return "Sqlite";
    case TestDb::SqliteOdbc: return "SqliteOdbc";
    case TestDb::PostgresOdbc: return "PostgresOdbc";
    }
    return "";
}

Watchdog::Watchdog(int seconds, std::string what)
    : m_thread([this, seconds, what = std::move(what)] {
          std::unique_lock<std::mutex> lock(m_mutex);
          if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
              std::fprintf(stderr, "watchdog: %s did not finish within %d s\n", what.c_str(), seconds);
              std::fflush(stderr);
              std::_Exit(3);
          }
      })
{
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

bool odbcDriverRegistered(const QString &name)
{
    QFile f(QStringLiteral("/etc/odbcinst.ini"));
    return f.open(QIODevice::ReadOnly)
        && QString::fromUtf8(f.readAll()).contains(QLatin1Char('[') + name + QLatin1Char(']'));
}

bool underCi()
{
    return qgetenv("CI") == "true";
}

QString testDbConnectionString(TestDb kind, const QString &dir, QString *why)
{
    if (kind == TestDb::PostgresOdbc) {
        const QByteArray pg = qgetenv("TARNWELL_TEST_PG");
        if (pg.isEmpty()) {
            *why = QStringLiteral("TARNWELL_TEST_PG is not set: start the services with "
                                  "scripts/test-services.sh (scripts/run-tests.sh does)");
            return {};
        }
        return QStringLiteral("Provider=ODBC;") + QString::fromUtf8(pg);
    }
    const QString file = dir + QStringLiteral("/test.db");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly)) { // an empty file is an empty database
        *why = QStringLiteral("cannot create ") + file;
        return {};
    }
    f.close();
    if (kind == TestDb::Sqlite)
        return QStringLiteral("Provider=SQLite;Data Source=") + file;
    if (!odbcDriverRegistered(QStringLiteral("SQLite3"))) {
        *why = QStringLiteral("SQLite3 ODBC driver not registered in /etc/odbcinst.ini (install libsqliteodbc)");
        return {};
    }
    return QStringLiteral("Provider=ODBC;DRIVER={SQLite3};Database=") + file;
}

void requireTestDb(TestDb kind, const QString &dir, QString *connectionString)
{
    QString why;
    *connectionString = testDbConnectionString(kind, dir, &why);
    if (!connectionString->isEmpty())
        return;
    if (underCi())
        FAIL() << why.toStdString();
    GTEST_SKIP() << why.toStdString();
}

} // namespace tw::test
