#pragma once

#include "base/variant.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdio>
#include <functional>
#include <memory>

class QSqlQuery;

namespace tw::db {

// What the operator is asked when a connection opens. The GUI shows the "Database Login"
// dialog; headless runs read TARNWELL_PASSWORD or ask on the terminal.
class LoginPrompt {
public:
    virtual ~LoginPrompt() = default;
    // userName comes prefilled and may be changed; false means the operator cancelled.
    virtual bool ask(QString &userName, QString &password) = 0;
};

// The connection, opened from a connection string of the form the settings produce
// ("Provider=SQLOLEDB.1;...", "Provider=MSDAORA.1;...", or "Provider=SQLite;Data Source=FILE").
// Also accepted: "Provider=ODBC;<ODBC attribute string>", passed to the driver manager
// as it stands (its UID/PWD or "User ID="/"Password=" give the proposed login).
// Every failure raises tw::Error with the backend's message text.
class Connection {
public:
    enum class Backend { SQLite, SqlServer, Oracle, Odbc };

    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &s);   // only while closed
    // After open: the effective string, whose "User ID=" carries the login actually used.
    QString connectionString() const;
    void open(LoginPrompt *prompt);               // prompt may be null: no login asked
    void close();
    bool isOpen() const;
    // The Qt Sql connection name, for the query and command objects.
    QString qtConnectionName() const;

    // Valid once open.
    Backend backend() const;
    // Whether the engine runs one statement per call, so scripts are split at ";".
    bool runsOneStatementPerCall() const;

    // The ODBC driver (a name from odbcinst.ini) used for "SQLOLEDB.1" and "MSDAORA.1"
    // strings opened from now on; empty restores the defaults ("FreeTDS", "Oracle").
    // Start-up passes the settings' value, so this layer never reads the settings file.
    static void setOdbcDriver(const QString &driverName);
    static QString odbcDriver();

    // Prepared statements kept between runs of the same text: a query takes one (null when
    // there is none) and gives it back finished after a successful run. Closing the
    // connection drops them.
    std::unique_ptr<QSqlQuery> takeStatement(const QString &text);
    void keepStatement(const QString &text, std::unique_ptr<QSqlQuery> statement);

    // Called when the connection object is destroyed, for holders that must forget it.
    void addDestroyListener(const void *key, std::function<void()> fn);
    void removeDestroyListener(const void *key);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The login prompt of headless runs. The password comes from TARNWELL_PASSWORD (and the
// user from TARNWELL_USER when set); otherwise, when the input is a terminal, both are
// asked there, the password without echo. With neither, ask() raises tw::Error.
class TerminalLoginPrompt : public LoginPrompt {
public:
    explicit TerminalLoginPrompt(std::FILE *in = stdin, std::FILE *out = stderr)
        : m_in(in), m_out(out) {}
    bool ask(QString &userName, QString &password) override;

private:
    std::FILE *m_in;
    std::FILE *m_out;
};

} // namespace tw::db
