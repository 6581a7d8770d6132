#include "base/error.h"
#include "base/formatsettings.h"
#include "base/textformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tw;

namespace {

// Compared as UTF-8 so that failures print readable texts.
#define EXPECT_EQ_TEXT(a, b) EXPECT_EQ(QString(a).toStdString(), QString(b).toStdString())

// Expected texts are written with "," as the thousand and "." as the decimal separator;
// this turns them into the given settings' separators.
QString loc(const FormatSettings &fs, const char *usText)
{
    QString s = QString::fromUtf8(usText);
    for (QChar &c : s) {
        if (c == QLatin1Char(','))
            c = fs.thousandSeparator;
        else if (c == QLatin1Char('.'))
            c = fs.decimalSeparator;
    }
    return s;
}

const FormatSettings &us()
{
    static const FormatSettings fs = FormatSettings::usEnglish();
    return fs;
}

const FormatSettings &ru()
{
    static const FormatSettings fs = FormatSettings::russian();
    return fs;
}

struct FloatCase {
    const char *pattern;
    double value;
    const char *expected; // separators as in loc()
};

void checkFloatTable(const FloatCase *begin, const FloatCase *end)
{
    for (const FormatSettings *fs : {&us(), &ru()}) {
        for (const FloatCase *c = begin; c != end; ++c) {
            EXPECT_EQ_TEXT(formatFloat(QString::fromUtf8(c->pattern), c->value, *fs), loc(*fs, c->expected))
                << "pattern " << c->pattern << " value " << c->value << " decimal "
                << QString(fs->decimalSeparator).toStdString();
        }
    }
}

TEST(FormatFloat, DigitsDecimalsAndGrouping)
{
    const FloatCase cases[] = {
        {"0.00", 0, "0.00"},
        {"0.00", 1234.5, "1234.50"},
        {"0.00", -1234.5, "-1234.50"},
        {",0.00", 1234567.891, "1,234,567.89"},
        {"#,##0.00", 999.995, "1,000.00"},
        {"#,##0.00", 0.5, "0.50"},
        {"#,##0", 1e15, "1,000,000,000,000,000"},
        {"#,##0", -1e15, "-1,000,000,000,000,000"},
        {"0", 1234567890123456.0, "1234567890123456"},
        {"#,##0", 123456789012345678.0, "123,456,789,012,345,680"},
        {"0.00", 1e20, "100000000000000000000.00"},
        {"000,000", 5, "000,005"},
        {"00000", 42, "00042"},
        {"#", 0, ""},
        {"#", 0.4, ""},
        {"#", 0.5, "1"},
        {"#", 1234, "1234"},
        {"#.##", 0.5, ".5"},
        {"#.00", 0.5, ".50"},
        {".00", 12.5, "12.50"},
        {"0.##", 5, "5"},
        {"0.##", 5.1, "5.1"},
        {"0.#0#", 5.1, "5.10"},
        {"0.00", 0.1 + 0.2, "0.30"},
        {"0.00000000000000000000", 0.1, "0.10000000000000000000"},
    };
    checkFloatTable(std::begin(cases), std::end(cases));
}

// Rounding is half away from zero on the decimal value: the binary values of 1.005 and
// 2.675 lie just below the half and must still round up.
TEST(FormatFloat, RoundsTheDecimalValueHalfAwayFromZero)
{
    const FloatCase cases[] = {
        {"0", 0.5, "1"},
        {"0", 1.5, "2"},
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"0.00", 1.005, "1.01"},
        {"0.00", 2.675, "2.68"},
        {"0.00", 1.115, "1.12"},
        {"0.00", 0.125, "0.13"},
        {"0.00", -0.125, "-0.13"},
        {"0.00", 0.004, "0.00"},
        // Shown as zero: no minus sign.
        {"0.00", -0.004, "0.00"},
        {"0", -0.4, "0"},
        {"0.00", -0.0, "0.00"},
    };
    checkFloatTable(std::begin(cases), std::end(cases));
}

TEST(FormatFloat, Scientific)
{
    const FloatCase cases[] = {
        {"0.###E+00", 12345, "1.235E+04"},
        {"0.###E+00", 12000, "1.2E+04"},
        {"0.###E+00", -12345, "-1.235E+04"},
        {"0.00E+00", 0.000123, "1.23E-04"},
        {"0.00E+00", 9.999, "1.00E+01"},
        {"0.00E+00", 0, "0.00E+00"},
        {"0.00E-00", 12345, "1.23E04"},
        {"0.00e-00", 0.000123, "1.23e-04"},
        {"0.00E+0", 1e-100, "1.00E-100"},
        {"00.0E+0", 12345, "12.3E+3"},
        {"0E+000", 0, "0E+000"},
        {"0.0E+00 'x'", 1500, "1.5E+03 x"},
    };
    checkFloatTable(std::begin(cases), std::end(cases));
}

TEST(FormatFloat, Sections)
{
    const char *money = "#,##0.00;(#,##0.00);Zero";
    const FloatCase cases[] = {
        {money, 1234.5, "1,234.50"},
        {money, -1234.5, "(1,234.50)"},
        {money, 0, "Zero"},
        // Values shown as zero take the zero section.
        {money, 0.001, "Zero"},
        {money, -0.001, "Zero"},
        // Empty or missing negative and zero sections fall back to the first one.
        {"0.00;;Zero", -5, "-5.00"},
        {"0.00;;Zero", 0, "Zero"},
        {"0.00;(0.00)", 0, "0.00"},
        {"0.00;(0.00);", 0, "0.00"},
        {"0.00;(0.00)", -0.001, "0.00"},
        // An empty first section is the general form.
        {";(0)", 1234.5, "1234.5"},
        {";(0)", -5, "(5)"},
        {"", 1234.5, "1234.5"},
        {"", -1e20, "-1E20"},
        {";", 0, "0"},
        // A fourth section is never used.
        {"0;-0;'z';'w'", 0, "z"},
    };
    checkFloatTable(std::begin(cases), std::end(cases));
}

TEST(FormatFloat, QuotedTextAndLiterals)
{
    struct Case {
        const char *pattern;
        double value;
        const char *us;
        const char *ru;
    };
    const Case cases[] = {
        {"'Итого: '0.00' руб.'", 12.5, "Итого: 12.50 руб.", "Итого: 12,50 руб."},
        {"\"#\"0", 5, "#5", "#5"},
        {"'a;b'0;'neg'0", -5, "neg5", "neg5"},
        {"0 шт", 7, "7 шт", "7 шт"},
        {"0%", 50, "50%", "50%"},
        {"00-00", 1234, "12-34", "12-34"},
        {"00-00", 123456, "1234-56", "1234-56"},
        {"#-#", 5, "-5", "-5"},
        {"'none'", 5, "none", "none"},
        {"'unterminated 0", 5, "unterminated 0", "unterminated 0"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ_TEXT(formatFloat(QString::fromUtf8(c.pattern), c.value, us()), QString::fromUtf8(c.us)) << c.pattern;
        EXPECT_EQ_TEXT(formatFloat(QString::fromUtf8(c.pattern), c.value, ru()), QString::fromUtf8(c.ru)) << c.pattern;
    }
}

TEST(FormatFloat, NonFiniteValues)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (const char *pattern : {"0.00", "#,##0;(#,##0)", "0.0E+00", ""}) {
        EXPECT_EQ_TEXT(formatFloat(QString::fromLatin1(pattern), std::nan(""), us()), QStringLiteral("NAN"));
        EXPECT_EQ_TEXT(formatFloat(QString::fromLatin1(pattern), inf, us()), QStringLiteral("INF"));
        EXPECT_EQ_TEXT(formatFloat(QString::fromLatin1(pattern), -inf, ru()), QStringLiteral("-INF"));
    }
}

// ---- Format ------------------------------------------------------------------------------

struct FormatCase {
    const char *fmt;
    QVector<Variant> args;
    const char *expected; // separators as in loc()
};

void checkFormatTable(const std::vector<FormatCase> &cases)
{
    for (const FormatSettings *fs : {&us(), &ru()}) {
        for (const FormatCase &c : cases) {
            try {
                EXPECT_EQ_TEXT(format(QString::fromUtf8(c.fmt), c.args, *fs), loc(*fs, c.expected)) << c.fmt;
            } catch (const Error &e) {
                ADD_FAILURE() << c.fmt << ": " << e.what();
            }
        }
    }
}

TEST(Format, IntegerTypes)
{
    checkFormatTable({
        {"%d", {42}, "42"},
        {"%d", {-42}, "-42"},
        {"%5d|", {42}, "   42|"},
        {"%-5d|", {42}, "42   |"},
        {"%.5d", {-42}, "-00042"},
        {"%3.5d", {7}, "00007"},
        {"%d", {qint64(9000000000)}, "9000000000"},
        {"%d", {std::numeric_limits<qint64>::min()}, "-9223372036854775808"},
        {"%D", {1}, "1"},
        {"%u", {-1}, "4294967295"},
        {"%u", {qint64(-1)}, "18446744073709551615"},
        {"%x", {255}, "FF"},
        {"%.4x", {255}, "00FF"},
        {"%x", {-1}, "FFFFFFFF"},
        {"%X", {qint64(-1)}, "FFFFFFFFFFFFFFFF"},
        {"%p", {255}, "000000FF"},
    });
}

TEST(Format, FloatingTypes)
{
    checkFormatTable({
        {"%e", {1000.0}, "1.00000000000000E+003"},
        {"%e", {0.0}, "0.00000000000000E+000"},
        {"%.3e", {12345.678}, "1.23E+004"},
        {"%.3e", {-0.00012345}, "-1.23E-004"},
        {"%.1e", {1000.0}, "1E+003"},
        {"%f", {3.14159}, "3.14"},
        {"%.0f", {2.5}, "3"},
        {"%.3f", {2.0005}, "2.001"},
        {"%.2f", {2.675}, "2.68"},
        {"%.2f", {-0.001}, "0.00"},
        {"%f", {5}, "5.00"},
        {"%2.2f", {3.5}, "3.50"},
        {"%8.2f|", {-3.5}, "   -3.50|"},
        {"%g", {1234.5}, "1234.5"},
        {"%g", {1e20}, "1E20"},
        {"%g", {0.00001}, "0.00001"},
        {"%g", {0.000001}, "1E-6"},
        {"%g", {1.0 / 3.0}, "0.333333333333333"},
        {"%.3g", {1234.5}, "1.23E3"},
        {"%g", {0.0}, "0"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%.0n", {1234.5}, "1,235"},
        {"%n", {-999.999}, "-1,000.00"},
        {"%f", {std::nan("")}, "NAN"},
        {"%e", {-std::numeric_limits<double>::infinity()}, "-INF"},
    });
}

TEST(Format, Money)
{
    EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {1234.5}, us()), QStringLiteral("$1,234.50"));
    EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {-1234.5}, us()), QStringLiteral("($1,234.50)"));
    EXPECT_EQ_TEXT(format(QStringLiteral("%.0m"), {2.5}, us()), QStringLiteral("$3"));
    EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {-0.001}, us()), QStringLiteral("$0.00"));
    EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {1234.5}, ru()), loc(ru(), "1,234.50 ₽"));
    EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {-1234.5}, ru()), loc(ru(), "-1,234.50 ₽"));

    FormatSettings fs = us();
    fs.currencyString = QStringLiteral("р.");
    fs.currencyDecimals = 1;
    const struct {
        int pos;
        int neg;
        const char *positive;
        const char *negative;
    } cases[] = {
        {0, 1, "р.5.0", "-р.5.0"},
        {1, 5, "5.0р.", "-5.0р."},
        {2, 12, "р. 5.0", "р. -5.0"},
        {3, 15, "5.0 р.", "(5.0 р.)"},
        {3, 13, "5.0 р.", "5.0- р."},
    };
    for (const auto &c : cases) {
        fs.currencyFormat = c.pos;
        fs.negCurrFormat = c.neg;
        EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {5.0}, fs), QString::fromUtf8(c.positive));
        EXPECT_EQ_TEXT(format(QStringLiteral("%m"), {-5.0}, fs), QString::fromUtf8(c.negative));
    }
}

TEST(Format, StringsIndexesAndStars)
{
    checkFormatTable({
        {"%s", {"abc"}, "abc"},
        {"[%5s]", {"abc"}, "[  abc]"},
        {"[%-5s]", {"abc"}, "[abc  ]"},
        {"%.2s", {"abc"}, "ab"},
        {"%s", {QStringLiteral("Привет")}, "Привет"},
        {"%s|%s", {5, 1.5}, "5|1.5"},
        {"[%s]", {Variant::null()}, "[]"},
        {"100%%", {}, "100%"},
        {"%d%%", {5}, "5%"},
        {"%1:s %0:s %s", {"a", "b"}, "b a b"},
        {"%0:s-%0:s", {"a"}, "a-a"},
        {"%*d|", {5, 42}, "   42|"},
        {"%-*d|", {4, 7}, "7   |"},
        {"%*d|", {-4, 7}, "7   |"},
        {"%.*f", {3, 3.14159}, "3.142"},
        {"%*.*f|", {8, 1, 3.14159}, "     3.1|"},
        {"%*:s", {1, "x"}, "x"},
        {"no specifiers", {1, 2}, "no specifiers"},
    });
}

TEST(Format, ErrorsNameTheWholeFormat)
{
    const struct {
        const char *fmt;
        QVector<Variant> args;
        const char *message;
    } cases[] = {
        {"%d", {"abc"}, "Format '%d' invalid or incompatible with argument"},
        {"x=%d", {1.5}, "Format 'x=%d' invalid or incompatible with argument"},
        {"%u", {true}, "Format '%u' invalid or incompatible with argument"},
        {"%f", {"1.5"}, "Format '%f' invalid or incompatible with argument"},
        {"%s", {Variant::arrayOf({1})}, "Format '%s' invalid or incompatible with argument"},
        {"%p", {"a"}, "Format '%p' invalid or incompatible with argument"},
        {"%z", {1}, "Format '%z' invalid or incompatible with argument"},
        {"abc%", {}, "Format 'abc%' invalid or incompatible with argument"},
        {"%5", {1}, "Format '%5' invalid or incompatible with argument"},
        {"%*d", {"x", 1}, "Format '%*d' invalid or incompatible with argument"},
        {"%999999999d", {1}, "Format '%999999999d' invalid or incompatible with argument"},
        {"%*d", {100000000, 1}, "Format '%*d' invalid or incompatible with argument"},
        {"%s", {}, "No argument for format '%s'"},
        {"%s %s", {"a"}, "No argument for format '%s %s'"},
        {"%1:s", {"a"}, "No argument for format '%1:s'"},
        {"%*d", {5}, "No argument for format '%*d'"},
    };
    for (const auto &c : cases) {
        try {
            format(QString::fromUtf8(c.fmt), c.args, us());
            ADD_FAILURE() << c.fmt << " did not raise";
        } catch (const EConvertError &e) {
            EXPECT_EQ_TEXT(e.message(), QString::fromUtf8(c.message));
        }
    }
}

// ---- FormatMaskText --------------------------------------------------------------------

TEST(FormatMaskText, InsertsLiteralsIntoBareValues)
{
    const struct {
        const char *mask;
        const char *value;
        const char *expected;
    } cases[] = {
        {"!\\(999\\)000-00-00;0;_", "9161234567", "(916)123-45-67"},
        {"+7 (000) 000-00-00;0;_", "9161234567", "+7 (916) 123-45-67"},
        {"000-000-000 00;0;_", "12345678901", "123-456-789 01"},
        {"000-000;0;_", "123", "123-   "},
        {"000-000;0;_", "1234567", "123-4567"},
        {"!999-99;0;_", "123", "  1-23"},
        {"!999;0;_", "12345", "12345"},
        {">LL<ll;0;_", "abCD", "ABcd"},
        {">L<>l;0", "ab", "Ab"},
        {"\\0\\00;0;_", "5", "005"},
        {"0_0;0", "12", "1 2"},
        {"0\\;0;0;_", "12", "1;2"},
        {"", "abc", "abc"},
    };
    for (const auto &c : cases)
        EXPECT_EQ_TEXT(formatMaskText(QString::fromUtf8(c.mask), QString::fromUtf8(c.value), us()),
                  QString::fromUtf8(c.expected))
            << c.mask;
}

TEST(FormatMaskText, DateAndTimeSeparatorsFollowTheSettings)
{
    EXPECT_EQ_TEXT(formatMaskText(QStringLiteral("99/99/9999;0;_"), QStringLiteral("10122026"), ru()),
              QStringLiteral("10.12.2026"));
    EXPECT_EQ_TEXT(formatMaskText(QStringLiteral("99/99/9999;0;_"), QStringLiteral("12102026"), us()),
              QStringLiteral("12/10/2026"));
    EXPECT_EQ_TEXT(formatMaskText(QStringLiteral("99:99;0;_"), QStringLiteral("0930"), ru()), QStringLiteral("09:30"));
    EXPECT_EQ_TEXT(formatMaskText(QStringLiteral("99\\/99;0;_"), QStringLiteral("1012"), ru()), QStringLiteral("10/12"));
}

TEST(FormatMaskText, ValuesThatKeepTheirLiterals)
{
    const struct {
        const char *mask;
        const char *value;
        const char *expected;
    } cases[] = {
        {"000-000;1;_", "123-456", "123-456"},
        {"000-000", "123-456", "123-456"},
        // Missing literals are inserted, short runs padded.
        {"000-000;1;_", "123456", "123-456"},
        {"99/99/0000;1;_", "1/2/2026", "1 /2 /2026"},
        {"!99/99/0000;1;_", "1/2/2026", " 1/ 2/2026"},
        {"!\\(999\\)000-00-00;1;_", "(916)123-45-67", "(916)123-45-67"},
        {">LL-00;1;_", "ab-12", "AB-12"},
        {"000-000;1;_", "12", "12 -   "},
        {"00-00;1;_", "12-345", "12-345"},
    };
    for (const auto &c : cases)
        EXPECT_EQ_TEXT(formatMaskText(QString::fromUtf8(c.mask), QString::fromUtf8(c.value), us()),
                  QString::fromUtf8(c.expected))
            << c.mask << " / " << c.value;
}

TEST(FormatMaskText, TwoArgumentFormUsesTheCurrentSettings)
{
    const FormatSettings saved = FormatSettings::current();
    FormatSettings::setCurrent(ru());
    EXPECT_EQ_TEXT(formatMaskText(QStringLiteral("00/00;0"), QStringLiteral("1012")), QStringLiteral("10.12"));
    FormatSettings::setCurrent(saved);
}

} // namespace
