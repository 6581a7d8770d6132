#include "base/savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

// A scratch file is replaced whole, again and again, with no temporary left beside it; a
// file that cannot be made leaves nothing and says why.
TEST(SaveFile, ScratchFilesAreReplacedWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("1.fp3"));
    QString reason;
    for (const QByteArray &bytes : {QByteArray("first, the longer one"), QByteArray("second"), QByteArray()}) {
        ASSERT_TRUE(replaceFileUnsynced(path, bytes, &reason)) << reason.toStdString();
        EXPECT_EQ(contents(path), bytes);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("1.fp3")});
    }

    const QString missing = dir.filePath(QStringLiteral("no/such/dir/1.fp3"));
    EXPECT_FALSE(replaceFileUnsynced(missing, "x", &reason));
    EXPECT_EQ(reason, QStringLiteral("No such file or directory"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("1.fp3")});
}
