#include "script/messages.h"

#include <QHash>

namespace tw {

namespace {

struct Entry {
    const char *key;
    const char *text;
};

// Filled at start-up and read afterwards, like the rest of the engine's tables.
const Entry kDefaults[] = {
    {"SLangNotFound", "Language '%s' not found"},
    {"SInvalidLanguage", "Invalid language definition"},
    {"SIdRedeclared", "Identifier redeclared: "},
    {"SUnknownType", "Unknown type: "},
    {"SIncompatibleTypes", "Incompatible types"},
    {"SIdUndeclared", "Undeclared identifier: "},
    {"SClassRequired", "Class type required"},
    {"SIndexRequired", "Index required"},
    {"SStringError", "Strings doesn't have properties or methods"},
    {"SClassError", "Class %s does not have a default property"},
    {"SArrayRequired", "Array type required"},
    {"SVarRequired", "Variable required"},
    {"SNotEnoughParams", "Not enough actual parameters"},
    {"STooManyParams", "Too many actual parameters"},
    {"SLeftCantAssigned", "Left side cannot be assigned to"},
    {"SForError", "For loop variable must be numeric variable"},
    {"SEventError", "Event handler must be a procedure"},
};

QHash<QString, QString> &table()
{
    static QHash<QString, QString> t = [] {
        QHash<QString, QString> h;
        for (const Entry &e : kDefaults)
            h.insert(QString::fromLatin1(e.key), QString::fromUtf8(e.text));
        return h;
    }();
    return t;
}

} // namespace

bool fsSetMessage(const QString &key, const QString &text)
{
    auto it = table().find(key);
    if (it == table().end())
        return false;
    *it = text;
    return true;
}

QString fsMessage(const QString &key) { return table().value(key); }

void fsResetMessages()
{
    for (const Entry &e : kDefaults)
        table().insert(QString::fromLatin1(e.key), QString::fromUtf8(e.text));
}

namespace fsmsg {
#define TW_FS_MESSAGE(Key) \
    QString Key() { return fsMessage(QStringLiteral(#Key)); }
TW_FS_MESSAGE(SLangNotFound)
TW_FS_MESSAGE(SInvalidLanguage)
TW_FS_MESSAGE(SIdRedeclared)
TW_FS_MESSAGE(SUnknownType)
TW_FS_MESSAGE(SIncompatibleTypes)
TW_FS_MESSAGE(SIdUndeclared)
TW_FS_MESSAGE(SClassRequired)
TW_FS_MESSAGE(SIndexRequired)
TW_FS_MESSAGE(SStringError)
TW_FS_MESSAGE(SClassError)
TW_FS_MESSAGE(SArrayRequired)
TW_FS_MESSAGE(SVarRequired)
TW_FS_MESSAGE(SNotEnoughParams)
TW_FS_MESSAGE(STooManyParams)
TW_FS_MESSAGE(SLeftCantAssigned)
TW_FS_MESSAGE(SForError)
TW_FS_MESSAGE(SEventError)
#undef TW_FS_MESSAGE
} // namespace fsmsg

} // namespace tw
