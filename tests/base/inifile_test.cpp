#include "base/error.h"
#include "base/inifile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace tw;

namespace {

struct AnsiCodePageGuard {
    explicit AnsiCodePageGuard(int cp) { codepage::setAnsiCodePage(cp); }
    ~AnsiCodePageGuard() { codepage::setAnsiCodePage(0); }
};

class IniFileTest : public ::testing::Test {
protected:
    QString path(const QString &name = QStringLiteral("Tarnwell.ini")) const { return m_dir.filePath(name); }
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("Tarnwell.ini")) const
    {
        test::writeBytes(path(name), bytes);
        return path(name);
    }
    QString copyFixture(const QString &fixture) const
    {
        return write(test::readBytes(test::fixturePath(QStringLiteral("base/") + fixture)));
    }
    QByteArray bytes(const QString &name = QStringLiteral("Tarnwell.ini")) const { return test::readBytes(path(name)); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(IniFileTest, ReadRules)
{
    const QString longValue(3000, QLatin1Char('x'));
    struct Case { QByteArray file; const char *section; const char *key; const char *def; QString expected; };
    const Case cases[] = {
        {"[S]\r\nKey=v\r\n", "S", "Key", "d", QStringLiteral("v")},
        {"[S]\r\nKey=v\r\n", "s", "KEY", "d", QStringLiteral("v")},           // any case
        {"[S]\r\nKey=v\r\n", "S", "Other", "d", QStringLiteral("d")},         // absent key
        {"[S]\r\nKey=v\r\n", "T", "Key", "d", QStringLiteral("d")},           // absent section
        {"[S]\r\nKey=\r\n", "S", "Key", "d", QString()},                      // present, empty
        {"[S]\r\nKey=   \r\n", "S", "Key", "d", QString()},
        {"[S]\r\n  Key  =  a b  \r\n", "S", "Key", "d", QStringLiteral("a b")}, // blanks trimmed
        {"  [ S ]  \r\nKey=v\r\n", "S", "Key", "d", QStringLiteral("v")},
        {"[S]\r\nKey=\"  q  \"\r\n", "S", "Key", "d", QStringLiteral("  q  ")}, // one pair of quotes
        {"[S]\r\nKey='x'\r\n", "S", "Key", "d", QStringLiteral("x")},
        {"[S]\r\nKey=\"\"x\"\"\r\n", "S", "Key", "d", QStringLiteral("\"x\"")},
        {"[S]\r\nKey=\"x'\r\n", "S", "Key", "d", QStringLiteral("\"x'")},      // unmatched: kept
        {"[S]\r\nKey=\"\r\n", "S", "Key", "d", QStringLiteral("\"")},
        {"[S]\r\nKey=a\"b\"\r\n", "S", "Key", "d", QStringLiteral("a\"b\"")},
        {"[S]\r\nKey=a ; not a comment\r\n", "S", "Key", "d", QStringLiteral("a ; not a comment")},
        {"[S]\r\n;Key=c\r\nKey=v\r\n", "S", "Key", "d", QStringLiteral("v")},  // comment line
        {"[S]\r\n;Key=c\r\n", "S", ";Key", "d", QStringLiteral("d")},
        {"[S]\r\nKey=first\r\nkey=second\r\n", "S", "Key", "d", QStringLiteral("first")},
        {"[S]\r\nKey=a=b\r\n", "S", "Key", "d", QStringLiteral("a=b")},
        {"Key=outside\r\n[S]\r\n", "S", "Key", "d", QStringLiteral("d")},
        {"[S]\r\n[T]\r\nKey=v\r\n", "S", "Key", "d", QStringLiteral("d")},     // key of the next section
        {"[S]\nKey=v\n", "S", "Key", "d", QStringLiteral("v")},               // LF line ends
        {"[S]\r\nKey=" + longValue.toLatin1() + "\r\n", "S", "Key", "d", longValue.left(2047)},
        {"[S]\r\nKey=\"" + longValue.toLatin1() + "\"\r\n", "S", "Key", "d", longValue.left(2047)},
        {"[\xd0\x9d\xd0\xb0\xd1\x81\xd1\x82\xd1\x80\xd0\xbe\xd0\xb9\xd0\xba\xd0\xb8]\r\n\xd0\xa2\xd0\xb8\xd0\xbf=oracle\r\n",
         "НАСТРОЙКИ", "тИП", "d", QStringLiteral("oracle")},                 // Cyrillic, any case
        {"", "S", "Key", "d", QStringLiteral("d")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.left(80).toStdString() + " -> " + c.section + "/" + c.key);
        const IniFile ini(write(c.file));
        EXPECT_EQ(ini.readString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QString::fromUtf8(c.def)), c.expected);
        EXPECT_EQ(ini.valueExists(QString::fromUtf8(c.section), QString::fromUtf8(c.key)), c.expected != QLatin1String("d"));
    }
}

TEST_F(IniFileTest, MissingOrUnreadableFileGivesDefaults)
{
    const IniFile missing(path(QStringLiteral("none.ini")));
    EXPECT_EQ(missing.readString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("f")), QStringLiteral("f"));
    EXPECT_FALSE(missing.sectionExists(QStringLiteral("S")));
    EXPECT_TRUE(missing.readSections().isEmpty());
    // A directory where the file should be.
    const IniFile dir(m_dir.path());
    EXPECT_EQ(dir.readInteger(QStringLiteral("S"), QStringLiteral("K"), 7), 7);
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    const IniFile ini(write("[N]\r\ndec=42\r\nneg=-17\r\nplus=+5\r\nhex=0x1F\r\ndollar=$ff\r\nallbits=$FFFFFFFF\r\n"
                            "text=12abc\r\nempty=\r\nbig=99999999999\r\nsigns=+-1\r\nquoted=\"8\"\r\n"
                            "yes=1\r\nno=0\r\nword=true\r\n"));
    struct Case { const char *key; int expected; };
    const Case cases[] = {
        {"dec", 42}, {"neg", -17}, {"plus", 5}, {"hex", 31}, {"dollar", 255}, {"allbits", -1},
        {"text", -99}, {"empty", -99}, {"big", -99}, {"signs", -99}, {"quoted", 8}, {"absent", -99},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ini.readInteger(QStringLiteral("N"), QString::fromLatin1(c.key), -99), c.expected) << c.key;
    EXPECT_TRUE(ini.readBool(QStringLiteral("N"), QStringLiteral("yes"), false));
    EXPECT_FALSE(ini.readBool(QStringLiteral("N"), QStringLiteral("no"), true));
    // Only numbers count: other text gives the default.
    EXPECT_TRUE(ini.readBool(QStringLiteral("N"), QStringLiteral("word"), true));
    EXPECT_FALSE(ini.readBool(QStringLiteral("N"), QStringLiteral("word"), false));
}

TEST_F(IniFileTest, SectionListings)
{
    const IniFile ini(write("; head\r\n[A]\r\nx=1\r\n; note\r\nY = \"2\"\r\nX=dup\r\nno equals sign\r\n\r\n[B]\r\n[a]\r\nz=3\r\n"));
    EXPECT_EQ(ini.readSections(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(ini.readSection(QStringLiteral("a")), (QStringList{QStringLiteral("x"), QStringLiteral("Y")}));
    EXPECT_EQ(ini.readSectionValues(QStringLiteral("A")), (QStringList{QStringLiteral("x=1"), QStringLiteral("Y=2")}));
    EXPECT_TRUE(ini.sectionExists(QStringLiteral("b")));
    EXPECT_TRUE(ini.readSection(QStringLiteral("B")).isEmpty());
    EXPECT_FALSE(ini.sectionExists(QStringLiteral("C")));
    EXPECT_TRUE(ini.readSectionValues(QStringLiteral("C")).isEmpty());
}

TEST_F(IniFileTest, EveryReadSeesTheFileAsItIsNow)
{
    const IniFile ini(write("[S]\r\nK=old\r\n"));
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("old"));
    write("[S]\r\nK=new\r\n");
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("new"));
}

TEST_F(IniFileTest, Writes)
{
    struct Case { const char *name; QByteArray before; const char *section; const char *key; const char *value; QByteArray after; };
    const Case cases[] = {
        {"in place, key keeps its spelling",
         "; c\r\n[S]\r\n  Key = old \r\nNext=1\r\n", "s", "KEY", "new",
         "; c\r\n[S]\r\nKey=new\r\nNext=1\r\n"},
        {"first of duplicates replaced",
         "[S]\r\nK=1\r\nK=2\r\n", "S", "k", "3",
         "[S]\r\nK=3\r\nK=2\r\n"},
        {"appended at the end of its section",
         "[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n", "S", "C", "3",
         "[S]\r\nA=1\r\nC=3\r\n\r\n[T]\r\nB=2\r\n"},
        {"appended to the last section",
         "[S]\r\nA=1", "S", "C", "3",
         "[S]\r\nA=1\r\nC=3\r\n"},
        {"appended under an empty section header",
         "[S]\r\n[T]\r\n", "S", "C", "3",
         "[S]\r\nC=3\r\n[T]\r\n"},
        {"new section at the end",
         "[S]\r\nA=1\r\n", "New", "K", "v",
         "[S]\r\nA=1\r\n\r\n[New]\r\nK=v\r\n"},
        {"line breaks in a value make no new keys",
         "[S]\r\n", "S", "K", "a\r\nInjected=1",
         "[S]\r\nK=a  Injected=1\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        IniFile ini(write(c.before));
        ini.writeString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QString::fromUtf8(c.value));
        EXPECT_EQ(bytes(), c.after);
    }
}

TEST_F(IniFileTest, WriteCreatesTheFileInTheSystemEncoding)
{
    IniFile ini(path(QStringLiteral("new.ini")));
    ini.writeString(QStringLiteral("Настройки"), QStringLiteral("Логин"), QStringLiteral("Иванов"));
    ini.writeInteger(QStringLiteral("настройки"), QStringLiteral("N"), -3);
    const QString text = QStringLiteral("[Настройки]\r\nЛогин=Иванов\r\nN=-3\r\n");
    EXPECT_EQ(bytes(QStringLiteral("new.ini")), codepage::encode(text, codepage::systemEncoding()));
    EXPECT_EQ(ini.readString(QStringLiteral("НАСТРОЙКИ"), QStringLiteral("логин"), QString()), QStringLiteral("Иванов"));
    EXPECT_EQ(ini.readInteger(QStringLiteral("Настройки"), QStringLiteral("n"), 0), -3);
}

TEST_F(IniFileTest, Windows1251FileStaysWindows1251)
{
    AnsiCodePageGuard guard(1251);
    IniFile ini(copyFixture(QStringLiteral("settings-cp1251.ini")));
    EXPECT_EQ(ini.readString(QStringLiteral("НАСТРОЙКИ"), QStringLiteral("тип"), QString()), QStringLiteral("MsSql"));
    EXPECT_EQ(ini.readString(QStringLiteral("Отчеты"), QStringLiteral("a"), QString()), QStringLiteral("шаблон.fr3"));

    ini.writeString(QStringLiteral("Настройки"), QStringLiteral("Логин"), QStringLiteral("Сидоров"));
    const QByteArray after = bytes();
    EXPECT_EQ(codepage::detect(after), TextEncoding::Ansi);
    EXPECT_TRUE(after.contains(QByteArray("\xcb\xee\xe3\xe8\xed=\xd1\xe8\xe4\xee\xf0\xee\xe2\r\n")));
    // Everything else is byte for byte as it was.
    QByteArray expected = test::readBytes(test::fixturePath(QStringLiteral("base/settings-cp1251.ini")));
    expected.replace(QByteArray("\xcf\xe5\xf2\xf0\xee\xe2"), QByteArray("\xd1\xe8\xe4\xee\xf0\xee\xe2"));
    EXPECT_EQ(after, expected);
    EXPECT_EQ(ini.readString(QStringLiteral("Настройки"), QStringLiteral("ЛОГИН"), QString()), QStringLiteral("Сидоров"));
}

TEST_F(IniFileTest, Utf8FileKeepsItsMark)
{
    IniFile ini(copyFixture(QStringLiteral("settings-utf8bom.ini")));
    EXPECT_EQ(ini.readString(QStringLiteral("Настройки"), QStringLiteral("КаталогОтчетов"), QString()), QStringLiteral("/srv/out/"));
    ini.writeString(QStringLiteral("Отчеты"), QStringLiteral("Б"), QStringLiteral("второй.fr3"));
    const QByteArray after = bytes();
    EXPECT_TRUE(after.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(after.endsWith(QStringLiteral("A=шаблон.fr3\r\nБ=второй.fr3\r\n").toUtf8()));
    EXPECT_EQ(ini.readString(QStringLiteral("отчеты"), QStringLiteral("б"), QString()), QStringLiteral("второй.fr3"));
}

TEST_F(IniFileTest, DeleteKeyAndEraseSection)
{
    IniFile ini(write("[S]\r\nA=1\r\nB=2\r\na=3\r\n[T]\r\nC=4\r\n[s]\r\nD=5\r\n"));
    ini.deleteKey(QStringLiteral("s"), QStringLiteral("A"));
    EXPECT_EQ(bytes(), QByteArray("[S]\r\nB=2\r\n[T]\r\nC=4\r\n[s]\r\nD=5\r\n"));
    ini.eraseSection(QStringLiteral("S"));
    EXPECT_EQ(bytes(), QByteArray("[T]\r\nC=4\r\n"));
    // Nothing to remove: the file is not touched, a missing one not created.
    ini.deleteKey(QStringLiteral("T"), QStringLiteral("X"));
    ini.eraseSection(QStringLiteral("X"));
    EXPECT_EQ(bytes(), QByteArray("[T]\r\nC=4\r\n"));
    IniFile none(path(QStringLiteral("none.ini")));
    none.deleteKey(QStringLiteral("T"), QStringLiteral("C"));
    none.eraseSection(QStringLiteral("T"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("none.ini"))));
}

TEST_F(IniFileTest, WriteFailureNamesTheFile)
{
    const QString plain = write("x", QStringLiteral("plain"));
    std::vector<QString> targets = {
        plain + QStringLiteral("/Tarnwell.ini"),             // parent is a file
        path(QStringLiteral("missing/Tarnwell.ini")),       // parent does not exist
        m_dir.path(),                                       // a directory in the way
    };
    QTemporaryDir readOnly;
    if (geteuid() != 0) {
        QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner);
        targets.push_back(readOnly.filePath(QStringLiteral("Tarnwell.ini")));
    }
    for (const QString &target : targets) {
        SCOPED_TRACE(target.toStdString());
        IniFile ini(target);
        try {
            ini.writeString(QStringLiteral("Настройки"), QStringLiteral("Логин"), QStringLiteral("sa"));
            ADD_FAILURE() << "no error";
        } catch (const EInOutError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + target);
        }
    }
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(bytes(QStringLiteral("plain")), QByteArray("x"));
}
