#include "base/error.h"
#include "base/formatsettings.h"
#include "base/numberformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

using namespace tw;

namespace {

struct FloatCase {
    double value;
    const char *us;
    const char *ru;
};

TEST(FloatToStr, GeneralFormatTable)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    const FloatCase cases[] = {
        {0.0, "0", "0"},
        {0.1, "0.1", "0,1"},
        {1.0 / 3.0, "0.333333333333333", "0,333333333333333"},
        {2.0 / 3.0, "0.666666666666667", "0,666666666666667"},
        {0.1 + 0.2, "0.3", "0,3"},
        {2.5, "2.5", "2,5"},
        {-2.5, "-2.5", "-2,5"},
        {100.0, "100", "100"},
        {-1234.5678, "-1234.5678", "-1234,5678"},
        {1e14, "100000000000000", "100000000000000"},
        {-42.0, "-42", "-42"},
        {123456789012345.0, "123456789012345", "123456789012345"},
        {999999999999999.0, "999999999999999", "999999999999999"},
        {-999999999999999.0, "-999999999999999", "-999999999999999"},
        {1e15, "1E15", "1E15"},
        {999999999999999.9, "1E15", "1E15"},
        {123456789012345678.0, "1.23456789012346E17", "1,23456789012346E17"},
        {1e20, "1E20", "1E20"},
        {-1.5e20, "-1.5E20", "-1,5E20"},
        {0.0001, "0.0001", "0,0001"},
        {0.00012345, "0.00012345", "0,00012345"},
        {1e-5, "1E-5", "1E-5"},
        {1.5e-10, "1.5E-10", "1,5E-10"},
        {-0.0, "0", "0"},
    };
    for (const FloatCase &c : cases) {
        EXPECT_EQ(floatToStr(c.value, us), QString::fromUtf8(c.us)) << c.value;
        EXPECT_EQ(floatToStr(c.value, ru), QString::fromUtf8(c.ru)) << c.value;
    }
}

TEST(FloatToStr, NonFiniteValues)
{
    const FormatSettings us = FormatSettings::usEnglish();
    EXPECT_EQ(floatToStr(std::numeric_limits<double>::quiet_NaN(), us), QStringLiteral("NAN"));
    EXPECT_EQ(floatToStr(std::numeric_limits<double>::infinity(), us), QStringLiteral("INF"));
    EXPECT_EQ(floatToStr(-std::numeric_limits<double>::infinity(), us), QStringLiteral("-INF"));
}

// Random values of every magnitude: the fifteen digits are the correctly rounded ones (as
// the C library prints them), and the text reads back as the value exactly when
// floatTextReadsBack says so.
TEST(FloatToStr, DigitsAndReadingBackOnRandomValues)
{
    const FormatSettings us = FormatSettings::usEnglish();
    std::mt19937_64 random(20261210);
    int readBack = 0;
    for (int k = 0; k < 20000; ++k) {
        double v;
        if (k % 3 == 0) {
            const quint64 bits = random();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v) || v == 0)
                continue;
        } else {
            // Short decimals, as lengths in a template are.
            v = double(qint64(random() % 2000000) - 1000000) / std::pow(10.0, double(random() % 8));
            if (v == 0)
                continue;
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.14e", v);
        QString expected;
        const char *p = buf;
        for (; *p && *p != 'e'; ++p)
            if (*p >= '0' && *p <= '9')
                expected += QLatin1Char(*p);
        while (expected.size() > 1 && expected.endsWith(QLatin1Char('0')))
            expected.chop(1);
        const QString text = floatToStr(v, us);
        QString digits;
        for (QChar c : text.left(text.indexOf(QLatin1Char('E')) < 0 ? text.size() : text.indexOf(QLatin1Char('E'))))
            if (c.isDigit())
                digits += c;
        while (digits.startsWith(QLatin1Char('0')) && digits.size() > 1)
            digits.remove(0, 1);
        while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        ASSERT_EQ(digits, expected) << buf << " " << text.toStdString();
        const bool same = text.toDouble() == v;
        ASSERT_EQ(floatTextReadsBack(v), same) << buf << " " << text.toStdString();
        readBack += same;
    }
    // Both answers were met.
    EXPECT_GT(readBack, 1000);
    EXPECT_LT(readBack, 19000);
}

// Plain numbers read as Qt reads them, every other text is left to the caller.
TEST(FloatToStr, PlainNumbersReadAsQtReadsThem)
{
    std::mt19937_64 random(7);
    for (int k = 0; k < 20000; ++k) {
        QString text = (random() % 3 == 0) ? QStringLiteral("-") : QString();
        text += QString::number(random() % 100000000);
        if (random() % 2)
            text += QLatin1Char('.') + QString::number(random() % 1000000000000ULL).rightJustified(int(random() % 14), QLatin1Char('0'));
        if (random() % 4 == 0)
            text += QStringLiteral("E") + (random() % 2 ? QStringLiteral("-") : QStringLiteral("+")) + QString::number(random() % 300);
        double v = 0;
        ASSERT_TRUE(readPlainFloat(text, v)) << text.toStdString();
        bool ok = false;
        const double expected = text.toDouble(&ok);
        ASSERT_TRUE(ok) << text.toStdString();
        ASSERT_EQ(v, expected) << text.toStdString();
    }
    double v = 0;
    for (const char *other : {"", "-", ".", "+1", " 1", "1 ", "1,5", "1e", "1e+", "0x10", "inf", "nan", "1e999", "1.2.3", "١"})
        EXPECT_FALSE(readPlainFloat(QString::fromUtf8(other), v)) << other;
    EXPECT_TRUE(readPlainFloat(QStringLiteral("1."), v) && v == 1.0);
    EXPECT_TRUE(readPlainFloat(QStringLiteral(".5"), v) && v == 0.5);
}

TEST(StrToFloat, AcceptsSettingsSeparatorAndDot)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("1,5"), ru), 1.5);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("1.5"), ru), 1.5);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("1.5"), us), 1.5);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("  2.5e3 "), us), 2500.0);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("-.5"), us), -0.5);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("+7."), us), 7.0);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("1E-5"), ru), 1e-5);
    EXPECT_EQ(strToFloat(QStringLiteral("1e-400"), us), 0.0); // underflow is zero, not an error
}

TEST(StrToFloat, RejectsMalformedText)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    for (const char *bad : {"", " ", "abc", "1,5", "1.2.3", "1e", "e5", ".", "-", "1 000", "1e999", "nan", "inf", "0x10"}) {
        double out = 42;
        EXPECT_FALSE(tryStrToFloat(QString::fromUtf8(bad), us, out)) << bad;
        EXPECT_EQ(out, 42) << bad;
    }
    // Grouped digits are not a number, even with the locale's own separator.
    double out = 0;
    EXPECT_FALSE(tryStrToFloat(QStringLiteral("1\u00A0000,5"), ru, out));
    try {
        strToFloat(QStringLiteral("12x"), us);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'12x' is not a valid floating point value"));
    }
}

TEST(StrToFloat, RoundTripsFloatToStr)
{
    const double values[] = {0.1, 1.0 / 4, 123.456, -98765.4321, 1e-7, 3.25e18, 1e300, 12345678901234.5};
    for (const FormatSettings &fs : {FormatSettings::usEnglish(), FormatSettings::russian()}) {
        for (double v : values) {
            const QString text = floatToStr(v, fs);
            EXPECT_DOUBLE_EQ(strToFloat(text, fs), v) << text.toStdString();
        }
    }
    // 15 digits of a double that needs 17 do not come back bit for bit, but as near.
    const double third = 1.0 / 3.0;
    EXPECT_NEAR(strToFloat(floatToStr(third, FormatSettings::russian()), FormatSettings::russian()), third, 1e-15);
}

TEST(StrToInt, DecimalAndHexTable)
{
    struct Case {
        const char *text;
        bool ok32;
        int v32;
        bool ok64;
        qint64 v64;
    };
    const Case cases[] = {
        {"42", true, 42, true, 42},
        {"  -7 ", true, -7, true, -7},
        {"+3", true, 3, true, 3},
        {"$FF", true, 255, true, 255},
        {"$ff", true, 255, true, 255},
        {"0x1A", true, 26, true, 26},
        {"-$10", true, -16, true, -16},
        {"$FFFFFFFF", true, -1, true, 4294967295LL},
        {"$FFFFFFFFFFFFFFFF", false, 0, true, -1},
        {"2147483647", true, 2147483647, true, 2147483647LL},
        {"-2147483648", true, std::numeric_limits<int>::min(), true, -2147483648LL},
        {"2147483648", false, 0, true, 2147483648LL},
        {"9223372036854775807", false, 0, true, std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", false, 0, true, std::numeric_limits<qint64>::min()},
        {"9223372036854775808", false, 0, false, 0},
        {"", false, 0, false, 0},
        {"$", false, 0, false, 0},
        {"12a", false, 0, false, 0},
        {"1.5", false, 0, false, 0},
        {"1 2", false, 0, false, 0},
    };
    for (const Case &c : cases) {
        const QString s = QString::fromUtf8(c.text);
        int v32 = 0;
        qint64 v64 = 0;
        EXPECT_EQ(tryStrToInt(s, v32), c.ok32) << c.text;
        if (c.ok32) {
            EXPECT_EQ(v32, c.v32) << c.text;
        }
        EXPECT_EQ(tryStrToInt64(s, v64), c.ok64) << c.text;
        if (c.ok64) {
            EXPECT_EQ(v64, c.v64) << c.text;
        }
    }
}

TEST(StrToInt, ErrorNamesTheText)
{
    try {
        strToInt(QStringLiteral("abc"));
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'abc' is not a valid integer value"));
    }
    EXPECT_THROW(strToInt64(QStringLiteral("99999999999999999999")), EConvertError);
}

} // namespace
