#include "base/savefile.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

namespace tw {

bool commitWhole(QSaveFile &file, QString *reason)
{
    if (!file.flush()) {
        *reason = file.errorString();
        file.cancelWriting(); // the temporary file goes with the object
        return false;
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace tw

namespace tw {

bool replaceFileUnsynced(const QString &path, const QByteArray &bytes, QString *reason)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QFile file;
    for (int attempt = 0;; ++attempt) {
        QString name = path + QLatin1Char('.');
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))]);
        file.setFileName(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (file.error() != QFileDevice::OpenError || !QFile::exists(name) || attempt >= 100) {
            *reason = file.errorString();
            return false;
        }
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    if (!written) {
        *reason = file.errorString();
        // QFile::remove keeps a file whose close failed, as it does here once the disk is full.
        file.close();
        QFile::remove(file.fileName());
        return false;
    }
    file.close();
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        *reason = qt_error_string(errno);
        QFile::remove(file.fileName());
        return false;
    }
    return true;
}

} // namespace tw
