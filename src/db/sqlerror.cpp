#include "db/sqlerror.h"

#include <QRegularExpression>

namespace tw::db {

QString sqlErrorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    static const QRegularExpression tags(QStringLiteral("^(\\[[^\\]\\n]*\\])+"));
    text.remove(tags);
    text = text.trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

} // namespace tw::db
