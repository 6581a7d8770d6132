#pragma once

#include "base/variant.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

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
// Every failure raises tw::Error with the backend's message text.
class Connection {
public:
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

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tw::db
