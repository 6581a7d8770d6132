#include "base/codepage.h"
#include "base/error.h"

#include <gtest/gtest.h>

#include <utility>

using namespace tw;
using namespace tw::codepage;

namespace {

struct AnsiCodePageGuard {
    explicit AnsiCodePageGuard(int cp) { setAnsiCodePage(cp); }
    ~AnsiCodePageGuard() { setAnsiCodePage(0); }
};

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

} // namespace

TEST(CodePage, WindowsCodePagesConvertBothWays)
{
    struct Case { int cp; QString text; const char *bytes; };
    const Case cases[] = {
        {1251, QStringLiteral("Привет Ёё№"), "cff0e8e2e5f220a8b8b9"},
        {1250, QStringLiteral("Łódź żółć"), "a3f3649f20bff3b3e6"},
        {1252, QStringLiteral("€ café"), "8020636166e9"},
        {1253, QStringLiteral("Ωμέγα"), "d9ecdde3e1"},
        {1254, QStringLiteral("ğış"), "f0fdfe"},
        {1255, QStringLiteral("שלום"), "f9ece5ed"},
        {1256, QStringLiteral("سلام"), "d3e1c7e3"},
        {1257, QStringLiteral("ąčęė"), "e0e8e6eb"},
        {1258, QStringLiteral("Đư"), "d0fd"},
        {866, QStringLiteral("Привет"), "8fe0a8a2a5e2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cp);
        EXPECT_EQ(toCodePage(c.text, c.cp), hex(c.bytes));
        EXPECT_EQ(fromCodePage(hex(c.bytes), c.cp), c.text);
    }
}

TEST(CodePage, CombiningCodePagesDoNotMergeNeighbours)
{
    // "a" followed by a combining acute stays two characters, as on Windows.
    EXPECT_EQ(fromCodePage(hex("61ec"), 1258), QString::fromUtf16(u"a\u0301"));
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(toCodePage(QStringLiteral("日本 ok"), 1251), QByteArray("?? ok"));
    // A character outside the basic plane is one character, one mark.
    EXPECT_EQ(toCodePage(QString::fromUtf16(u"x\U0001F600y"), 1252), QByteArray("x?y"));
}

TEST(CodePage, UndefinedBytesSurviveARoundTrip)
{
    // 0x98 has no character in windows-1251, 0x81 none in windows-1252.
    for (const auto &[cp, bytes] : {std::pair{1251, hex("41983f")}, std::pair{1252, hex("818d")}}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(toCodePage(fromCodePage(bytes, cp), cp), bytes);
    }
}

TEST(CodePage, UnicodeCodePages)
{
    const QString text = QStringLiteral("Тип €");
    EXPECT_EQ(fromCodePage(text.toUtf8(), 65001), text);
    EXPECT_EQ(toCodePage(text, 65001), text.toUtf8());
    EXPECT_EQ(toCodePage(QStringLiteral("Я"), 1200), hex("2f04"));
    EXPECT_EQ(toCodePage(QStringLiteral("Я"), 1201), hex("042f"));
    EXPECT_EQ(fromCodePage(hex("2f04"), 1200), QStringLiteral("Я"));
}

TEST(CodePage, UnsupportedCodePageIsAnError)
{
    EXPECT_FALSE(isSupportedCodePage(12345));
    EXPECT_THROW(fromCodePage("x", 12345), EConvertError);
    EXPECT_THROW(toCodePage(QStringLiteral("x"), 12345), EConvertError);
    EXPECT_THROW(setAnsiCodePage(12345), EConvertError);
    EXPECT_THROW(setAnsiCodePage(1200), EConvertError);
}

TEST(CodePage, AnsiCodePageFromLocaleLanguage)
{
    struct Case { const char *locale; int cp; };
    const Case cases[] = {
        {"ru_RU.UTF-8", 1251}, {"uk_UA", 1251}, {"be_BY.UTF-8", 1251}, {"bg_BG", 1251},
        {"sr_RS", 1251}, {"sr_RS@latin", 1250}, {"sr-Latn-RS", 1250},
        {"cs_CZ.UTF-8", 1250}, {"pl_PL.ISO-8859-2", 1250}, {"hu_HU", 1250}, {"sk_SK", 1250},
        {"sl_SI", 1250}, {"hr_HR", 1250}, {"ro_RO", 1250},
        {"el_GR.UTF-8", 1253}, {"tr_TR", 1254}, {"he_IL", 1255}, {"ar_EG.UTF-8", 1256},
        {"lt_LT", 1257}, {"lv_LV", 1257}, {"et_EE", 1257}, {"vi_VN", 1258},
        {"en_US.UTF-8", 1252}, {"de_DE@euro", 1252}, {"C", 1252}, {"C.UTF-8", 1252},
        {"POSIX", 1252}, {"", 1252},
    };
    for (const Case &c : cases)
        EXPECT_EQ(codePageForLocale(QString::fromLatin1(c.locale)), c.cp) << c.locale;
}

TEST(CodePage, SetAnsiCodePageAndEnvironmentOverride)
{
    {
        AnsiCodePageGuard guard(1251);
        EXPECT_EQ(ansiCodePage(), 1251);
        EXPECT_EQ(toAnsi(QStringLiteral("Тип")), hex("d2e8ef"));
        EXPECT_EQ(fromAnsi(hex("d2e8ef")), QStringLiteral("Тип"));
    }
    const QByteArray saved = qgetenv("TARNWELL_ANSI_CODEPAGE");
    qunsetenv("TARNWELL_ANSI_CODEPAGE");
    const int fromLocale = ansiCodePage();
    qputenv("TARNWELL_ANSI_CODEPAGE", "1257");
    EXPECT_EQ(ansiCodePage(), 1257);
    {
        // An explicit setting wins over the environment.
        AnsiCodePageGuard guard(1250);
        EXPECT_EQ(ansiCodePage(), 1250);
    }
    // A value that is no code page is ignored.
    qputenv("TARNWELL_ANSI_CODEPAGE", "bogus");
    EXPECT_EQ(ansiCodePage(), fromLocale);
    if (saved.isNull())
        qunsetenv("TARNWELL_ANSI_CODEPAGE");
    else
        qputenv("TARNWELL_ANSI_CODEPAGE", saved);
}

TEST(CodePage, Utf8Validation)
{
    struct Case { const char *bytes; bool valid; };
    const Case cases[] = {
        {"", true},
        {"41", true},
        {"d0a2d0b8d0bf", true},         // Тип
        {"e282ac", true},               // €
        {"f09f9880", true},             // outside the basic plane
        {"d0", false},                  // cut short
        {"e282", false},
        {"80", false},                  // lone continuation byte
        {"c080", false},                // overlong
        {"e08080", false},
        {"eda080", false},              // surrogate
        {"f4908080", false},            // above U+10FFFF
        {"d2e8ef", false},              // windows-1251 "Тип"
    };
    for (const Case &c : cases)
        EXPECT_EQ(isValidUtf8(hex(c.bytes)), c.valid) << c.bytes;
}

TEST(CodePage, DetectAndDecode)
{
    AnsiCodePageGuard guard(1251);
    const QString tip = QStringLiteral("Тип");
    struct Case { QByteArray bytes; TextEncoding enc; QString text; };
    const Case cases[] = {
        {hex("efbbbf") + tip.toUtf8(), TextEncoding::Utf8Bom, tip},
        {hex("fffe220438043f04"), TextEncoding::Utf16LE, tip},
        {hex("feff04220438043f"), TextEncoding::Utf16BE, tip},
        {tip.toUtf8(), TextEncoding::Utf8, tip},
        {hex("d2e8ef"), TextEncoding::Ansi, tip},
        {"abc", systemEncoding(), QStringLiteral("abc")},
        {"", systemEncoding(), QString()},
        {hex("efbbbf"), TextEncoding::Utf8Bom, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        TextEncoding found = TextEncoding::Utf16BE;
        EXPECT_EQ(decode(c.bytes, &found), c.text);
        EXPECT_EQ(found, c.enc);
        EXPECT_EQ(detect(c.bytes), c.enc);
    }
}

TEST(CodePage, EncodeWritesTheMarkAndDecodesBack)
{
    AnsiCodePageGuard guard(1251);
    const QString text = QStringLiteral("Логин=Иванов\r\n");
    struct Case { TextEncoding enc; QByteArray mark; };
    const Case cases[] = {
        {TextEncoding::Ansi, {}},
        {TextEncoding::Utf8, {}},
        {TextEncoding::Utf8Bom, hex("efbbbf")},
        {TextEncoding::Utf16LE, hex("fffe")},
        {TextEncoding::Utf16BE, hex("feff")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.enc));
        const QByteArray bytes = encode(text, c.enc);
        EXPECT_TRUE(bytes.startsWith(c.mark));
        TextEncoding found;
        EXPECT_EQ(decode(bytes, &found), text);
        EXPECT_EQ(found, c.enc);
    }
    EXPECT_EQ(encode(QStringLiteral("Я"), TextEncoding::Ansi), hex("df"));
}
