#include "db/connectionstring.h"

#include "base/error.h"

namespace tw::db {

namespace {

const QString kDefaultSqlServerDriver = QStringLiteral("FreeTDS");
const QString kDefaultOracleDriver = QStringLiteral("Oracle");

bool keyIs(const QString &key, const char *name)
{
    return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QString quoteProviderValue(const QString &v)
{
    const bool needs = v.contains(QLatin1Char(';')) || v.startsWith(QLatin1Char('"'))
        || v.startsWith(QLatin1Char('\'')) || v != v.trimmed();
    if (!needs)
        return v;
    QString q = v;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString joinProviderParts(const QVector<ConnectionPart> &parts)
{
    QString out;
    for (const ConnectionPart &p : parts)
        out += p.key + QLatin1Char('=') + quoteProviderValue(p.value) + QLatin1Char(';');
    return out;
}

QString joinOdbcParts(const QVector<ConnectionPart> &parts)
{
    QStringList items;
    for (const ConnectionPart &p : parts) {
        // Driver names go in braces by convention; many hold blanks.
        if (keyIs(p.key, "DRIVER")) {
            QString v = p.value;
            v.replace(QLatin1Char('}'), QLatin1String("}}"));
            items << p.key + QLatin1String("={") + v + QLatin1Char('}');
        } else {
            items << p.key + QLatin1Char('=') + odbcValue(p.value);
        }
    }
    return items.join(QLatin1Char(';'));
}

// "host,port" (the provider's way of giving a port) becomes SERVER and PORT; "(local)"
// and "." mean this machine.
void addSqlServerHost(QVector<ConnectionPart> &odbc, const QString &dataSource)
{
    QString host = dataSource.trimmed();
    QString port;
    const qsizetype comma = host.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        port = host.mid(comma + 1).trimmed();
        host = host.left(comma).trimmed();
    }
    QString instance;
    const qsizetype slash = host.indexOf(QLatin1Char('\\'));
    if (slash >= 0) {
        instance = host.mid(slash);
        host = host.left(slash);
    }
    if (host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        host = QStringLiteral("localhost");
    odbc.append({QStringLiteral("SERVER"), host + instance});
    if (!port.isEmpty())
        odbc.append({QStringLiteral("PORT"), port});
}

} // namespace

namespace {

// "key=value" segments split at ";". A value may be quoted: `closeOf` gives the closing
// character for an opening one (or a null QChar when the character opens nothing); a
// doubled closing character inside stands for itself.
template <class CloseOf>
QVector<ConnectionPart> parseParts(const QString &s, bool skipBlanksBeforeValue, CloseOf closeOf)
{
    QVector<ConnectionPart> parts;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = s.indexOf(QLatin1Char('='), i);
        const qsizetype semi = s.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // a segment without "=": nothing to keep
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        ConnectionPart part;
        part.key = s.mid(i, eq - i).trimmed();
        qsizetype j = eq + 1;
        while (skipBlanksBeforeValue && j < n && s.at(j) == QLatin1Char(' '))
            ++j;
        const QChar close = j < n ? closeOf(s.at(j)) : QChar();
        if (!close.isNull()) {
            ++j;
            QString value;
            while (j < n) {
                if (s.at(j) == close) {
                    if (j + 1 < n && s.at(j + 1) == close) {
                        value += close;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += s.at(j++);
            }
            part.value = value;
            const qsizetype next = s.indexOf(QLatin1Char(';'), j);
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = s.indexOf(QLatin1Char(';'), j);
            part.value = s.mid(j, (next < 0 ? n : next) - j).trimmed();
            i = next < 0 ? n : next + 1;
        }
        if (!part.key.isEmpty())
            parts.append(part);
    }
    return parts;
}

} // namespace

QVector<ConnectionPart> parseConnectionString(const QString &s)
{
    return parseParts(s, true, [](QChar c) {
        return c == QLatin1Char('"') || c == QLatin1Char('\'') ? c : QChar();
    });
}

QVector<ConnectionPart> parseOdbcString(const QString &s)
{
    return parseParts(s, false, [](QChar c) { return c == QLatin1Char('{') ? QChar(u'}') : QChar(); });
}

bool findPart(const QVector<ConnectionPart> &parts, const QString &key, QString *value)
{
    for (const ConnectionPart &p : parts) {
        if (p.key.compare(key, Qt::CaseInsensitive) == 0) {
            if (value)
                *value = p.value;
            return true;
        }
    }
    return false;
}

QString odbcValue(const QString &value)
{
    // A password such as "a;DATABASE=x" must not become a second attribute.
    const bool needs = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{'))
        || value.contains(QLatin1Char('}')) || value.contains(QLatin1Char('='))
        || value != value.trimmed();
    if (!needs)
        return value;
    QString v = value;
    v.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

ConnectionTarget resolveConnectionString(const QString &s, const QString &odbcDriver)
{
    ConnectionTarget t;
    const QVector<ConnectionPart> parts = parseConnectionString(s);
    QString provider;
    if (!findPart(parts, QStringLiteral("Provider"), &provider) || provider.isEmpty())
        throw Error(QStringLiteral("The connection string names no provider"));

    findPart(parts, QStringLiteral("User ID"), &t.userId);
    findPart(parts, QStringLiteral("Password"), &t.password);
    QString dataSource;
    findPart(parts, QStringLiteral("Data Source"), &dataSource);

    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0) {
        t.kind = ConnectionTarget::SQLite;
        t.qtDriver = QStringLiteral("QSQLITE");
        t.file = dataSource;
        if (t.file.isEmpty())
            throw Error(QStringLiteral("The connection string names no database file (Data Source=)"));
        return t;
    }

    t.qtDriver = QStringLiteral("QODBC");
    t.asksLogin = true;
    if (provider.startsWith(QLatin1String("SQLOLEDB"), Qt::CaseInsensitive)) {
        // DRIVER={FreeTDS};SERVER=host;[PORT=port;]DATABASE=db;TDS_Version=7.4;
        // ClientCharset=UTF-8;APP=name; UID and PWD follow at open.
        t.kind = ConnectionTarget::SqlServer;
        t.odbcParts.append({QStringLiteral("DRIVER"),
                            odbcDriver.isEmpty() ? kDefaultSqlServerDriver : odbcDriver});
        addSqlServerHost(t.odbcParts, dataSource);
        QString catalog;
        if (findPart(parts, QStringLiteral("Initial Catalog"), &catalog) && !catalog.isEmpty())
            t.odbcParts.append({QStringLiteral("DATABASE"), catalog});
        t.odbcParts.append({QStringLiteral("TDS_Version"), QStringLiteral("7.4")});
        t.odbcParts.append({QStringLiteral("ClientCharset"), QStringLiteral("UTF-8")});
        QString app;
        if (findPart(parts, QStringLiteral("Application Name"), &app) && !app.isEmpty())
            t.odbcParts.append({QStringLiteral("APP"), app});
        return t;
    }
    if (provider.startsWith(QLatin1String("MSDAORA"), Qt::CaseInsensitive)) {
        // DRIVER={<configured>};DBQ=<data source>; UID and PWD follow at open.
        t.kind = ConnectionTarget::Oracle;
        t.odbcParts.append({QStringLiteral("DRIVER"),
                            odbcDriver.isEmpty() ? kDefaultOracleDriver : odbcDriver});
        t.odbcParts.append({QStringLiteral("DBQ"), dataSource});
        return t;
    }
    if (provider.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0) {
        t.kind = ConnectionTarget::Odbc;
        const qsizetype at = s.indexOf(QLatin1Char(';'));
        const QString raw = at < 0 ? QString() : s.mid(at + 1);
        t.userId.clear();
        t.password.clear();
        bool haveUser = false;
        bool havePassword = false;
        for (const ConnectionPart &p : parseOdbcString(raw)) {
            if (keyIs(p.key, "User ID") || keyIs(p.key, "UID")) {
                if (!haveUser)
                    t.userId = p.value;
                haveUser = true;
            } else if (keyIs(p.key, "Password") || keyIs(p.key, "PWD")) {
                if (!havePassword)
                    t.password = p.value;
                havePassword = true;
            } else {
                t.odbcParts.append(p);
            }
        }
        if (!findPart(t.odbcParts, QStringLiteral("DRIVER")) && !findPart(t.odbcParts, QStringLiteral("DSN"))
            && !findPart(t.odbcParts, QStringLiteral("FILEDSN")))
            throw Error(QStringLiteral("The ODBC connection string names no DRIVER or DSN"));
        return t;
    }
    throw Error(QStringLiteral("Provider cannot be found: ") + provider);
}

QString buildOdbcString(const ConnectionTarget &target, const QString &user, const QString &password)
{
    QVector<ConnectionPart> parts = target.odbcParts;
    if (!user.isEmpty())
        parts.append({QStringLiteral("UID"), user});
    if (!password.isEmpty())
        parts.append({QStringLiteral("PWD"), password});
    return joinOdbcParts(parts);
}

QString qtOdbcDatabaseName(const QString &odbcString)
{
    const QVector<ConnectionPart> parts = parseOdbcString(odbcString);
    if (odbcString.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
        || odbcString.contains(QLatin1String("SERVER="), Qt::CaseInsensitive))
        return odbcString;
    QString dsn;
    if (!findPart(parts, QStringLiteral("DSN"), &dsn))
        return odbcString;
    QVector<ConnectionPart> rest;
    for (const ConnectionPart &p : parts)
        if (!keyIs(p.key, "DSN"))
            rest.append(p);
    const QString tail = joinOdbcParts(rest);
    return odbcValue(dsn) + (tail.isEmpty() ? QString() : QLatin1Char(';') + tail);
}

QString effectiveConnectionString(const QString &original, const QString &login)
{
    QVector<ConnectionPart> parts = parseConnectionString(original);
    QString provider;
    findPart(parts, QStringLiteral("Provider"), &provider);
    if (provider.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0) {
        const qsizetype at = original.indexOf(QLatin1Char(';'));
        QVector<ConnectionPart> odbc;
        for (const ConnectionPart &p : parseOdbcString(at < 0 ? QString() : original.mid(at + 1))) {
            if (!keyIs(p.key, "User ID") && !keyIs(p.key, "UID") && !keyIs(p.key, "Password")
                && !keyIs(p.key, "PWD"))
                odbc.append(p);
        }
        return QStringLiteral("Provider=ODBC;User ID=") + quoteProviderValue(login)
            + QLatin1Char(';') + joinOdbcParts(odbc);
    }

    QVector<ConnectionPart> out;
    bool placed = false;
    for (const ConnectionPart &p : parts) {
        if (keyIs(p.key, "Password"))
            continue;
        if (keyIs(p.key, "User ID")) {
            if (!placed)
                out.append({p.key, login});
            placed = true;
            continue;
        }
        out.append(p);
        if (!placed && keyIs(p.key, "Provider") && !findPart(parts, QStringLiteral("User ID"))) {
            out.append({QStringLiteral("User ID"), login});
            placed = true;
        }
    }
    if (!placed)
        out.prepend({QStringLiteral("User ID"), login});
    return joinProviderParts(out);
}

QString connectionStringWithLogin(const QString &original, const QString &login, const QString &password)
{
    QString s = effectiveConnectionString(original, login);
    QString provider;
    findPart(parseConnectionString(original), QStringLiteral("Provider"), &provider);
    const bool odbc = provider.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) == 0;
    if (!s.endsWith(QLatin1Char(';')))
        s += QLatin1Char(';');
    return s + QStringLiteral("Password=") + (odbc ? odbcValue(password) : quoteProviderValue(password)) + QLatin1Char(';');
}

} // namespace tw::db
