#include "db/sqlerror.h"

#include <QRegularExpression>

namespace tw::db {

QString sqlErrorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    // Each diagnostic record starts with its tags ("[unixODBC][FreeTDS][SQL Server]"); the
    // records come joined by blanks.
    static const QRegularExpression leading(QStringLiteral("^(\\[[^\\]\\n]*\\])+"));
    static const QRegularExpression inner(QStringLiteral("(?<=\\s)(\\[[^\\]\\n]*\\]){2,}"));
    text.remove(leading);
    text.remove(inner);
    text = text.trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

} // namespace tw::db
