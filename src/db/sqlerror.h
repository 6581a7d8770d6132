#pragma once

#include <QSqlError>
#include <QString>

namespace tw::db {

// The text of a failed Qt Sql call as the server or driver gave it, without the driver
// manager's "[vendor][driver]" tags.
QString sqlErrorText(const QSqlError &error);

} // namespace tw::db
