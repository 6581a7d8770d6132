#include "db/sqltext.h"

#include "base/textcache.h"

namespace tw::db {

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Length of the literal or comment starting at i, or 0 when none starts there. An
// unterminated one runs to the end of the text.
qsizetype skipQuotedOrComment(const QString &s, qsizetype i)
{
    const qsizetype n = s.size();
    const QChar c = s.at(i);
    if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
        qsizetype j = i + 1;
        while (j < n) {
            if (s.at(j) == c) {
                if (j + 1 < n && s.at(j + 1) == c) { // doubled quote inside the literal
                    j += 2;
                    continue;
                }
                return j + 1 - i;
            }
            ++j;
        }
        return n - i;
    }
    if (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1) == QLatin1Char('-')) {
        qsizetype j = s.indexOf(QLatin1Char('\n'), i);
        return (j < 0 ? n : j) - i;
    }
    if (c == QLatin1Char('/') && i + 1 < n && s.at(i + 1) == QLatin1Char('*')) {
        qsizetype j = s.indexOf(QLatin1String("*/"), i + 2);
        return (j < 0 ? n : j + 2) - i;
    }
    return 0;
}

} // namespace

static ParsedSql scanSqlParams(const QString &sql)
{
    ParsedSql out;
    out.text.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        if (const qsizetype skip = skipQuotedOrComment(sql, i)) {
            out.text += QStringView(sql).mid(i, skip);
            i += skip;
            continue;
        }
        const QChar c = sql.at(i);
        if (c == QLatin1Char(':')) {
            if (i + 1 < n && sql.at(i + 1) == QLatin1Char(':')) {
                out.text += QLatin1String("::");
                i += 2;
                continue;
            }
            if (i + 1 < n && isNameStart(sql.at(i + 1))) {
                qsizetype j = i + 2;
                while (j < n && isNameChar(sql.at(j)))
                    ++j;
                out.names << sql.mid(i + 1, j - i - 1);
                out.text += QLatin1Char('?');
                i = j;
                continue;
            }
        }
        out.text += c;
        ++i;
    }
    return out;
}

ParsedSql parseSqlParams(const QString &sql)
{
    // A report's queries set the same texts on every run: each is scanned once.
    static TextCache<ParsedSql> scanned(256);
    ParsedSql out;
    if (scanned.find(sql, out))
        return out;
    out = scanSqlParams(sql);
    scanned.insert(sql, out);
    return out;
}

QStringList splitSqlStatements(const QString &script)
{
    QStringList out;
    QString current;
    bool hasCode = false; // a statement of comments only is not sent
    const qsizetype n = script.size();
    qsizetype i = 0;
    auto flush = [&] {
        if (hasCode)
            out << current.trimmed();
        current.clear();
        hasCode = false;
    };
    while (i < n) {
        if (const qsizetype skip = skipQuotedOrComment(script, i)) {
            const QChar c = script.at(i);
            if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                hasCode = true;
            current += QStringView(script).mid(i, skip);
            i += skip;
            continue;
        }
        const QChar c = script.at(i);
        if (c == QLatin1Char(';')) {
            flush();
        } else {
            current += c;
            if (!c.isSpace())
                hasCode = true;
        }
        ++i;
    }
    flush();
    return out;
}

} // namespace tw::db
