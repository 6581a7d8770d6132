#include "base/linelist.h"

#include "base/error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tw {

void LineList::loadFromFile(const QString &path)
{
    QFile file(path);
    // Opening a directory succeeds on Linux; reading it must not look like an empty file.
    if (QFileInfo(path).isDir())
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". Is a directory").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));

    TextEncoding found = TextEncoding::Utf8;
    const QString text = codepage::decode(bytes, &found);
    setText(text);
    m_encoding = found;
}

void LineList::saveToFile(const QString &path) const
{
    saveWholeFile(path, codepage::encode(text(), m_encoding));
}

void saveWholeFile(const QString &path, const QByteArray &bytes)
{
    bool given = false;
    saveWholeFile(path, [&](QByteArray &part) {
        if (given)
            return false;
        part = bytes;
        given = true;
        return true;
    });
}

void saveWholeFile(const QString &path, const std::function<bool(QByteArray &part)> &next)
{
    // The temporary file is renamed over the target only once it is complete.
    QSaveFile file(path);
    // Unbuffered: a buffered flush drops a short write (full disk) and the truncated file
    // would be committed over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EInOutError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    QByteArray bytes;
    try {
        while (next(bytes))
            if (file.write(bytes) != bytes.size()) {
                const QString reason = file.errorString();
                file.cancelWriting();
                throw EInOutError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
            }
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw EInOutError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

void LineList::setText(const QString &text)
{
    m_lines.clear();
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        m_lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        m_lines.append(text.mid(start));
}

QString LineList::text() const
{
    QString out;
    qsizetype size = 0;
    for (const QString &l : m_lines)
        size += l.size() + 2;
    out.reserve(size);
    for (const QString &l : m_lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

} // namespace tw
