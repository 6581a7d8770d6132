#include "base/inifile.h"

#include "base/error.h"
#include "base/linelist.h"

#include <QFileInfo>

#include <climits>
#include <optional>

namespace tw {

namespace {

bool sameName(const QString &a, const QString &b)
{
    // Qt folds case for the comparison, so Cyrillic names match in any case too.
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool isComment(const QString &trimmed)
{
    return trimmed.startsWith(QLatin1Char(';'));
}

// "[name]" (blanks around the line and the name ignored); text after "]" is not part of it.
std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        close = t.size();
    return t.mid(1, close - 1).trimmed();
}

struct KeyLine {
    QString key;
    QString value; // as written, blanks around it removed
};

std::optional<KeyLine> keyLine(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || isComment(t) || t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return KeyLine{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
}

// One pair of matching quotes around the whole value is not part of it.
QString unquote(const QString &v)
{
    if (v.size() >= 2) {
        const QChar q = v.front();
        if ((q == QLatin1Char('"') || q == QLatin1Char('\'')) && v.back() == q)
            return v.mid(1, v.size() - 2);
    }
    return v;
}

// A line break inside a name or value would turn the rest into lines of their own.
QString oneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

// The lines of a section: [first, end) after its header line.
struct SectionRange {
    int header = -1;
    int first = -1;
    int end = -1;
};

int nextHeader(const QStringList &lines, int from)
{
    for (int i = from; i < lines.size(); ++i)
        if (sectionName(lines[i]))
            return i;
    return int(lines.size());
}

std::optional<SectionRange> findSection(const QStringList &lines, const QString &section)
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i]);
        if (name && sameName(*name, wanted))
            return SectionRange{i, i + 1, nextHeader(lines, i + 1)};
    }
    return std::nullopt;
}

int findKey(const QStringList &lines, const SectionRange &r, const QString &key)
{
    const QString wanted = key.trimmed();
    for (int i = r.first; i < r.end; ++i) {
        const auto kl = keyLine(lines[i]);
        if (kl && sameName(kl->key, wanted))
            return i;
    }
    return -1;
}

// The file as it is now; a file that is missing or cannot be read has no lines.
QStringList currentLines(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    LineList list;
    try {
        list.loadFromFile(path);
    } catch (const EInOutError &) {
        return {};
    }
    return list.lines();
}

[[noreturn]] void unableToWrite(const QString &path)
{
    throw EInOutError(QStringLiteral("Unable to write to %1").arg(path));
}

// Loads the file for a change. A file that exists but cannot be read is not replaced:
// writing it blind would lose its other settings.
LineList loadForWrite(const QString &path)
{
    LineList list;
    if (QFileInfo::exists(path)) {
        try {
            list.loadFromFile(path);
        } catch (const EInOutError &) {
            unableToWrite(path);
        }
    }
    return list;
}

void store(const LineList &list, const QString &path)
{
    try {
        list.saveToFile(path);
    } catch (const EInOutError &) {
        unableToWrite(path);
    }
}

// Delphi-style integer text: optional sign, decimal, or hexadecimal after "$" or "0x".
std::optional<int> parseInteger(const QString &text)
{
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negative = s.front() == QLatin1Char('-');
        s.remove(0, 1);
    }
    int base = 10;
    if (s.startsWith(QLatin1Char('$'))) {
        base = 16;
        s.remove(0, 1);
    } else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s.remove(0, 2);
    }
    if (s.isEmpty())
        return std::nullopt;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        const bool digit = u >= '0' && u <= '9';
        const bool hexLetter = (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!digit && !(base == 16 && hexLetter))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong v = s.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qlonglong signedValue = negative ? -v : v;
    // Hexadecimal texts may spell the bit pattern of a negative number.
    if (base == 16 && !negative && v <= 0xFFFFFFFFLL)
        return int(quint32(v));
    if (signedValue < INT_MIN || signedValue > INT_MAX)
        return std::nullopt;
    return int(signedValue);
}

} // namespace

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const QStringList lines = currentLines(m_path);
    const auto r = findSection(lines, section);
    if (!r)
        return def;
    const int i = findKey(lines, *r, key);
    if (i < 0)
        return def;
    return unquote(keyLine(lines[i])->value).left(MaxValueLength);
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    return parseInteger(readString(section, key, QString())).value_or(def);
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::sectionExists(const QString &section) const
{
    return findSection(currentLines(m_path), section).has_value();
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    const QStringList lines = currentLines(m_path);
    const auto r = findSection(lines, section);
    return r && findKey(lines, *r, key) >= 0;
}

QStringList IniFile::readSection(const QString &section) const
{
    const QStringList lines = currentLines(m_path);
    QStringList keys;
    const auto r = findSection(lines, section);
    if (!r)
        return keys;
    for (int i = r->first; i < r->end; ++i) {
        const auto kl = keyLine(lines[i]);
        if (kl && !keys.contains(kl->key, Qt::CaseInsensitive))
            keys.append(kl->key);
    }
    return keys;
}

QStringList IniFile::readSections() const
{
    QStringList names;
    for (const QString &line : currentLines(m_path)) {
        const auto name = sectionName(line);
        if (name && !names.contains(*name, Qt::CaseInsensitive))
            names.append(*name);
    }
    return names;
}

QStringList IniFile::readSectionValues(const QString &section) const
{
    const QStringList lines = currentLines(m_path);
    QStringList out;
    const auto r = findSection(lines, section);
    if (!r)
        return out;
    QStringList seen;
    for (int i = r->first; i < r->end; ++i) {
        const auto kl = keyLine(lines[i]);
        if (!kl || seen.contains(kl->key, Qt::CaseInsensitive))
            continue;
        seen.append(kl->key);
        out.append(kl->key + QLatin1Char('=') + unquote(kl->value).left(MaxValueLength));
    }
    return out;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString sec = oneLine(section).trimmed();
    const QString k = oneLine(key).trimmed();
    const QString v = oneLine(value);

    LineList list = loadForWrite(m_path);
    QStringList &lines = list.lines();
    if (const auto r = findSection(lines, sec)) {
        const int i = findKey(lines, *r, k);
        if (i >= 0) {
            // The key keeps its spelling and its place.
            lines[i] = keyLine(lines[i])->key + QLatin1Char('=') + v;
        } else {
            int at = r->first;
            for (int j = r->first; j < r->end; ++j)
                if (!lines[j].trimmed().isEmpty())
                    at = j + 1;
            lines.insert(at, k + QLatin1Char('=') + v);
        }
    } else {
        if (!lines.isEmpty() && !lines.back().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + sec + QLatin1Char(']'));
        lines.append(k + QLatin1Char('=') + v);
    }
    store(list, m_path);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::deleteKey(const QString &section, const QString &key)
{
    if (!QFileInfo::exists(m_path))
        return;
    LineList list = loadForWrite(m_path);
    QStringList &lines = list.lines();
    const auto r = findSection(lines, section);
    if (!r)
        return;
    bool removed = false;
    // Every copy goes, so that the key is really absent afterwards.
    for (int i = r->end - 1; i >= r->first; --i) {
        const auto kl = keyLine(lines[i]);
        if (kl && sameName(kl->key, key.trimmed())) {
            lines.removeAt(i);
            removed = true;
        }
    }
    if (removed)
        store(list, m_path);
}

void IniFile::eraseSection(const QString &section)
{
    if (!QFileInfo::exists(m_path))
        return;
    LineList list = loadForWrite(m_path);
    QStringList &lines = list.lines();
    bool removed = false;
    while (const auto r = findSection(lines, section)) {
        lines.erase(lines.begin() + r->header, lines.begin() + r->end);
        removed = true;
    }
    if (removed)
        store(list, m_path);
}

} // namespace tw
