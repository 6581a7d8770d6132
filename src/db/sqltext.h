#pragma once

#include <QString>
#include <QStringList>

namespace tw::db {

// A query text with its ":name" markers replaced by "?" for positional binding.
struct ParsedSql {
    QString text;        // what the server receives
    QStringList names;   // marker names in order of appearance, duplicates kept
};

// Markers are ":" followed by a letter or "_" and then letters, digits or "_". Not markers:
// anything inside '...' or "..." literals (doubled quotes included), inside -- and /* */
// comments, and "::" (a cast on some servers), which is passed on unchanged.
ParsedSql parseSqlParams(const QString &sql);

// The statements of a script, split at ";" outside literals and comments; blank
// statements are dropped. For engines whose client runs one statement per call.
QStringList splitSqlStatements(const QString &script);

} // namespace tw::db
