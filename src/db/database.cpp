#include "db/database.h"

#include "base/error.h"
#include "db/connectionstring.h"
#include "db/sqlerror.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <list>
#include <map>

namespace tw::db {

namespace {
QString g_odbcDriver;
QAtomicInt g_counter;
} // namespace

struct Connection::Impl {
    QString connectionString;
    QString effective;
    QString qtName;
    bool open = false;
    ConnectionTarget target;
    std::map<const void *, std::function<void()>> listeners;
    // Most recently kept first; a report's templates run a handful of texts.
    std::list<std::pair<QString, std::unique_ptr<QSqlQuery>>> statements;
};

namespace {
constexpr size_t kKeptStatements = 16;
} // namespace

Connection::Connection() : d(std::make_unique<Impl>())
{
    d->qtName = QStringLiteral("tarnwell-db-%1").arg(g_counter.fetchAndAddRelaxed(1) + 1);
}

Connection::~Connection()
{
    // A listener may remove itself while being told.
    auto listeners = std::move(d->listeners);
    d->listeners.clear();
    for (auto &[key, fn] : listeners)
        if (fn)
            fn();
    close();
}

void Connection::setConnectionString(const QString &s)
{
    if (d->open)
        throw Error(QStringLiteral("Cannot change the connection string of an open connection"));
    d->connectionString = s;
    d->effective.clear();
}

QString Connection::connectionString() const
{
    return d->open ? d->effective : d->connectionString;
}

void Connection::open(LoginPrompt *prompt)
{
    if (d->open)
        return;
    ConnectionTarget target = resolveConnectionString(d->connectionString, g_odbcDriver);
    QString user = target.userId;
    QString password = target.password;
    if (target.asksLogin && prompt) {
        if (!prompt->ask(user, password))
            throw Error(QStringLiteral("Login cancelled"));
    }

    if (!QSqlDatabase::isDriverAvailable(target.qtDriver))
        throw Error(QStringLiteral("The database driver %1 is not installed").arg(target.qtDriver));

    QString databaseName;
    if (target.kind == ConnectionTarget::SQLite) {
        // Opening a missing file would quietly create an empty database.
        if (target.file != QLatin1String(":memory:") && !QFileInfo(target.file).isFile())
            throw Error(QStringLiteral("Database file not found: ") + target.file);
        databaseName = target.file;
    } else {
        databaseName = qtOdbcDatabaseName(buildOdbcString(target, user, password));
    }

    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.qtDriver, d->qtName);
        db.setDatabaseName(databaseName);
        // An unattended run must not wait for ever on a server that never answers.
        if (target.kind == ConnectionTarget::SqlServer)
            db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=30"));
        if (!db.open())
            failure = sqlErrorText(db.lastError());
    }
    if (!failure.isNull()) {
        QSqlDatabase::removeDatabase(d->qtName);
        // The driver manager's words for an unknown driver do not say which one.
        if ((target.kind == ConnectionTarget::SqlServer || target.kind == ConnectionTarget::Oracle)
            && (failure.contains(QLatin1String("Data source name not found"))
                || failure.contains(QLatin1String("Can't open lib")))) {
            QString driver;
            findPart(target.odbcParts, QStringLiteral("DRIVER"), &driver);
            failure += QStringLiteral(" (ODBC driver \"%1\")").arg(driver);
        }
        throw Error(failure);
    }
    d->target = target;
    d->open = true;
    d->effective = target.kind == ConnectionTarget::SQLite
        ? d->connectionString
        : effectiveConnectionString(d->connectionString, user);
}

void Connection::close()
{
    if (!d->open)
        return;
    d->statements.clear(); // before the connection they belong to goes
    {
        QSqlDatabase db = QSqlDatabase::database(d->qtName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(d->qtName);
    d->open = false;
    d->effective.clear();
}

std::unique_ptr<QSqlQuery> Connection::takeStatement(const QString &text)
{
    for (auto it = d->statements.begin(); it != d->statements.end(); ++it)
        if (it->first == text) {
            std::unique_ptr<QSqlQuery> statement = std::move(it->second);
            d->statements.erase(it);
            return statement;
        }
    return nullptr;
}

void Connection::keepStatement(const QString &text, std::unique_ptr<QSqlQuery> statement)
{
    if (!d->open || !statement)
        return;
    d->statements.emplace_front(text, std::move(statement));
    if (d->statements.size() > kKeptStatements)
        d->statements.pop_back();
}

bool Connection::isOpen() const
{
    return d->open;
}

QString Connection::qtConnectionName() const
{
    return d->qtName;
}

Connection::Backend Connection::backend() const
{
    switch (d->target.kind) {
    case ConnectionTarget::SQLite: return Backend::SQLite;
    case ConnectionTarget::SqlServer: return Backend::SqlServer;
    case ConnectionTarget::Oracle: return Backend::Oracle;
    case ConnectionTarget::Odbc: break;
    }
    return Backend::Odbc;
}

bool Connection::runsOneStatementPerCall() const
{
    if (d->target.kind == ConnectionTarget::SQLite)
        return true;
    if (d->target.kind == ConnectionTarget::Odbc) {
        QString driver;
        findPart(d->target.odbcParts, QStringLiteral("DRIVER"), &driver);
        return driver.contains(QLatin1String("sqlite"), Qt::CaseInsensitive);
    }
    return false;
}

void Connection::setOdbcDriver(const QString &driverName)
{
    g_odbcDriver = driverName.trimmed();
}

QString Connection::odbcDriver()
{
    return g_odbcDriver;
}

void Connection::addDestroyListener(const void *key, std::function<void()> fn)
{
    d->listeners[key] = std::move(fn);
}

void Connection::removeDestroyListener(const void *key)
{
    d->listeners.erase(key);
}

} // namespace tw::db
