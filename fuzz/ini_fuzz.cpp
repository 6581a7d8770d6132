// Any bytes as a settings file: every read answers, and a value written to it reads back
// the same (the other settings kept, in the file's own encoding).
#include "base/error.h"
#include "base/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Every write is synced to disk; in memory that costs nothing.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/tarnwell-fuzz-XXXXXX")
                                                                       : QDir::tempPath() + QStringLiteral("/tarnwell-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    IniFile ini(path);
    // Every read loads the file again: a few sections and keys show all the paths.
    const QStringList sections = ini.readSections();
    for (const QString &s : sections.mid(0, 8)) {
        ini.sectionExists(s);
        ini.readSectionValues(s);
        for (const QString &k : ini.readSection(s).mid(0, 8)) {
            ini.readString(s, k, QString());
            ini.readInteger(s, k, -1);
            ini.valueExists(s, k);
        }
    }

    try {
        ini.writeString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QStringLiteral("v1"));
        if (ini.readString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QString()) != QLatin1String("v1"))
            abort();
        ini.deleteKey(QStringLiteral("Fuzz"), QStringLiteral("Key"));
        if (ini.valueExists(QStringLiteral("Fuzz"), QStringLiteral("Key")))
            abort();
        if (!sections.isEmpty()) {
            ini.writeInteger(sections.first(), QStringLiteral("N"), -7);
            if (ini.readInteger(sections.first(), QStringLiteral("N"), 0) != -7)
                abort();
            ini.eraseSection(sections.first());
            if (ini.sectionExists(sections.first()))
                abort();
        }
    } catch (const EInOutError &) {
        // a file in an encoding the change cannot be written in
    }
    return 0;
}
