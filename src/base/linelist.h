#pragma once

#include "base/codepage.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace tw {

// Writes the bytes as the whole file: into a temporary file beside the target, then renamed
// over it, so a failure never leaves a half-written file. EInOutError when it cannot be
// written.
void saveWholeFile(const QString &path, const QByteArray &bytes);
// The same for parts handed out one by one: `next` fills the next part and answers false
// after the last; what it raises discards the file.
void saveWholeFile(const QString &path, const std::function<bool(QByteArray &part)> &next);

// An ordered list of text lines that remembers the encoding of the file it was loaded from.
// Saving writes every line, the last included, followed by CR LF.
class LineList {
public:
    LineList() = default;

    // EInOutError with the system's text when the file cannot be read.
    void loadFromFile(const QString &path);
    // Written whole: into a temporary file beside the target, then renamed over it, so a
    // failure never leaves a half-written file. EInOutError when it cannot be written.
    void saveToFile(const QString &path) const;

    // Splits at CR LF, LF or CR; a final line break does not add an empty line.
    void setText(const QString &text);
    QString text() const; // lines joined, each followed by CR LF

    void clear() { m_lines.clear(); }
    void add(const QString &line) { m_lines.append(line); }
    int count() const { return int(m_lines.size()); }
    const QString &operator[](int i) const { return m_lines[i]; }
    QStringList &lines() { return m_lines; }
    const QStringList &lines() const { return m_lines; }

    // Encoding used by saveToFile: the one loaded, or the system encoding when nothing was.
    TextEncoding encoding() const { return m_encoding; }
    void setEncoding(TextEncoding e) { m_encoding = e; }

private:
    QStringList m_lines;
    TextEncoding m_encoding = codepage::systemEncoding();
};

} // namespace tw
