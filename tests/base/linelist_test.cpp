#include "base/error.h"
#include "base/linelist.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;

namespace {

struct AnsiCodePageGuard {
    explicit AnsiCodePageGuard(int cp) { codepage::setAnsiCodePage(cp); }
    ~AnsiCodePageGuard() { codepage::setAnsiCodePage(0); }
};

} // namespace

TEST(LineList, SetTextSplitsAtEveryKindOfBreak)
{
    struct Case { QString text; QStringList lines; };
    const Case cases[] = {
        {QString(), {}},
        {QStringLiteral("a"), {QStringLiteral("a")}},
        {QStringLiteral("a\r\n"), {QStringLiteral("a")}},
        {QStringLiteral("a\r\nb\nc\rd"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}},
        {QStringLiteral("\r\n"), {QString()}},
        {QStringLiteral("a\r\r\nb\n\n"), {QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        LineList l;
        l.setText(c.text);
        EXPECT_EQ(l.lines(), c.lines);
    }
}

TEST(LineList, TextEndsEveryLineWithCrLf)
{
    LineList l;
    EXPECT_EQ(l.text(), QString());
    l.add(QStringLiteral("one"));
    l.add(QString());
    l.add(QStringLiteral("три"));
    EXPECT_EQ(l.text(), QStringLiteral("one\r\n\r\nтри\r\n"));
}

TEST(LineList, NewListUsesTheSystemEncoding)
{
    EXPECT_EQ(LineList().encoding(), codepage::systemEncoding());
}

TEST(LineList, SaveAndLoadKeepEachEncoding)
{
    AnsiCodePageGuard guard(1251);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    const QStringList lines = {QStringLiteral("10.03.2026 Ошибка: нет связи"), QString(), QStringLiteral("end")};
    struct Case { TextEncoding enc; QByteArray expected; };
    const QByteArray body = "10.03.2026 \xce\xf8\xe8\xe1\xea\xe0: \xed\xe5\xf2 \xf1\xe2\xff\xe7\xe8\r\n\r\nend\r\n";
    const Case cases[] = {
        {TextEncoding::Ansi, body},
        {TextEncoding::Utf8, lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n"},
        {TextEncoding::Utf8Bom, "\xEF\xBB\xBF" + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n"},
        {TextEncoding::Utf16LE, {}},
        {TextEncoding::Utf16BE, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.enc));
        LineList out;
        out.lines() = lines;
        out.setEncoding(c.enc);
        out.saveToFile(path);
        const QByteArray bytes = test::readBytes(path);
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(bytes, c.expected);
        }
        LineList in;
        in.loadFromFile(path);
        EXPECT_EQ(in.lines(), lines);
        EXPECT_EQ(in.encoding(), c.enc);
    }
    // No temporary files are left beside the target.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("log.txt")});
}

TEST(LineList, Utf16FilesHaveTheirMarkAndCrLf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("u.txt"));
    LineList l;
    l.add(QStringLiteral("Я"));
    l.setEncoding(TextEncoding::Utf16LE);
    l.saveToFile(path);
    EXPECT_EQ(test::readBytes(path), QByteArray::fromHex("fffe2f040d000a00"));
    l.setEncoding(TextEncoding::Utf16BE);
    l.saveToFile(path);
    EXPECT_EQ(test::readBytes(path), QByteArray::fromHex("feff042f000d000a"));
}

TEST(LineList, LoadReadsAnsiWhenNotUtf8)
{
    AnsiCodePageGuard guard(1251);
    LineList l;
    l.loadFromFile(test::fixturePath(QStringLiteral("base/settings-cp1251.ini")));
    EXPECT_EQ(l.encoding(), TextEncoding::Ansi);
    ASSERT_GE(l.count(), 3);
    EXPECT_EQ(l[1], QStringLiteral("[Настройки]"));
    EXPECT_EQ(l[2], QStringLiteral("Тип=MsSql"));
}

TEST(LineList, ReadFailuresAreErrors)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    LineList l;
    try {
        l.loadFromFile(missing);
        FAIL() << "no error";
    } catch (const EInOutError &e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
    }
    EXPECT_THROW(l.loadFromFile(dir.path()), EInOutError);
}

TEST(LineList, FailedSaveLeavesTheTargetAlone)
{
    QTemporaryDir dir;
    LineList l;
    l.add(QStringLiteral("x"));
    // A parent that is a file cannot hold the target, whoever runs the test.
    const QString plain = dir.filePath(QStringLiteral("plain"));
    test::writeBytes(plain, "keep");
    EXPECT_THROW(l.saveToFile(plain + QStringLiteral("/a.txt")), EInOutError);
    EXPECT_THROW(l.saveToFile(dir.filePath(QStringLiteral("no/such/dir/a.txt"))), EInOutError);
    // A directory in the way of the target is not replaced.
    const QString sub = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkdir(sub));
    EXPECT_THROW(l.saveToFile(sub), EInOutError);
    EXPECT_TRUE(QFileInfo(sub).isDir());
    EXPECT_EQ(test::readBytes(plain), QByteArray("keep"));
}

TEST(LineList, SaveKeepsPermissionsAndFollowsLinks)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.ini"));
    test::writeBytes(target, "old\r\n");
    const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(target, perms));
    const QString link = dir.filePath(QStringLiteral("link.ini"));
    ASSERT_TRUE(QFile::link(target, link));

    LineList l;
    l.add(QStringLiteral("new"));
    l.saveToFile(link);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::readBytes(target), QByteArray("new\r\n"));
    // Owner, group and other bits; the "user" bits depend on who runs the test.
    EXPECT_EQ(QFile::permissions(target) & QFileDevice::Permissions(0x7077), perms);
}
