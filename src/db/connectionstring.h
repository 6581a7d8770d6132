#pragma once

#include <QString>
#include <QVector>

namespace tw::db {

struct ConnectionPart {
    QString key;   // as written (matched without regard to case)
    QString value;
};

// "Key=Value;Key=Value" with the quoting of provider strings: a value may be enclosed in
// '...' or "..." (the quote doubled inside) to hold ";". Blanks around keys and unquoted
// values are dropped; empty segments are skipped.
QVector<ConnectionPart> parseConnectionString(const QString &s);
// ODBC attribute strings: a value in {...} may hold ";" ("}}" stands for "}").
QVector<ConnectionPart> parseOdbcString(const QString &s);

// First part of that key, ignoring case; false when absent.
bool findPart(const QVector<ConnectionPart> &parts, const QString &key, QString *value = nullptr);

// An ODBC attribute value, braced when it holds characters that would end or confuse it.
QString odbcValue(const QString &value);

// Where a connection string leads.
struct ConnectionTarget {
    enum Kind { SQLite, SqlServer, Oracle, Odbc };
    Kind kind = SQLite;
    QString qtDriver;        // "QSQLITE" or "QODBC"
    QString file;            // SQLite: the database file
    // ODBC: the attribute string without credentials; UID and PWD are added at open.
    QVector<ConnectionPart> odbcParts;
    QString userId;          // the proposed login ("User ID=", or "UID=" of a raw ODBC string)
    QString password;        // "Password=" / "PWD=" when the string carries one
    bool asksLogin = false;  // whether a login prompt is shown before opening
};

// Raises tw::Error for a string naming no or an unknown provider.
// odbcDriver: the ODBC driver for "SQLOLEDB.1" and "MSDAORA.1"; empty gives the default.
ConnectionTarget resolveConnectionString(const QString &s, const QString &odbcDriver = {});

// The ODBC string handed to the driver manager, with the login and password in place.
QString buildOdbcString(const ConnectionTarget &target, const QString &user,
                        const QString &password);

// What the Qt ODBC driver takes as database name for an attribute string: it puts "DSN="
// in front of anything that names no DRIVER or SERVER, so a DSN string loses its key.
QString qtOdbcDatabaseName(const QString &odbcString);

// The string as it stands after opening: "User ID=" carries the login used (replacing the
// first one, or added after the provider) and is followed by ";"; no password is kept.
QString effectiveConnectionString(const QString &original, const QString &login);

// The string with that login and password in place of (or after) its own, quoted so a
// password holding ";" stays one value.
QString connectionStringWithLogin(const QString &original, const QString &login, const QString &password);

} // namespace tw::db
