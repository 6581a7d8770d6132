// Any query text: the parameter scan and the statement split finish, every marker found has
// a name, and no statement handed on is blank.
#include "db/sqltext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tw::db;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const ParsedSql parsed = parseSqlParams(sql);
    for (const QString &name : parsed.names)
        if (name.isEmpty() || !(name.front().isLetter() || name.front() == QLatin1Char('_')))
            abort();
    if (parsed.text.count(QLatin1Char('?')) < parsed.names.size())
        abort();
    for (const QString &statement : splitSqlStatements(sql))
        if (statement.trimmed().isEmpty())
            abort();
    return 0;
}
