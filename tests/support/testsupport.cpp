#include "support/testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace tw::test {

QString sourceDir()
{
    const QByteArray env = qgetenv("TARNWELL_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(TARNWELL_SOURCE_DIR_DEFAULT) : QString::fromUtf8(env);
}

QString fixturePath(const QString &relative)
{
    return sourceDir() + QStringLiteral("/tests/fixtures/") + relative;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

} // namespace tw::test
