#pragma once

#include "base/codepage.h"

#include <QString>
#include <QStringList>

namespace tw {

// A settings file with Windows profile semantics: section and key names match without
// regard to case; an absent key yields the caller's default, a key with nothing after "="
// the empty text; blanks around values are dropped; values are cut at 2047 characters.
// Every read looks at the file as it is now; every write changes the file at once,
// replacing the value where it stands or appending key (and section), in the file's own
// encoding (a new file: the system encoding).
class IniFile {
public:
    explicit IniFile(QString path) : m_path(std::move(path)) {}
    const QString &fileName() const { return m_path; }

    QString readString(const QString &section, const QString &key, const QString &def) const;
    int readInteger(const QString &section, const QString &key, int def) const;
    bool readBool(const QString &section, const QString &key, bool def) const;
    bool sectionExists(const QString &section) const;
    bool valueExists(const QString &section, const QString &key) const;
    QStringList readSection(const QString &section) const;       // key names in file order
    QStringList readSections() const;
    // "key=value" lines of a section in file order.
    QStringList readSectionValues(const QString &section) const;

    // EInOutError "Unable to write to %s" (the file path) when the file cannot be written
    // (or exists but cannot be read, so that its other settings are never lost). Line breaks
    // in names and values are written as blanks: they would otherwise start new lines.
    // Deleting a key removes every copy of it in the section; erasing a section removes
    // every section of that name.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void deleteKey(const QString &section, const QString &key);
    void eraseSection(const QString &section);

    static constexpr int MaxValueLength = 2047;

private:
    QString m_path;
};

} // namespace tw
