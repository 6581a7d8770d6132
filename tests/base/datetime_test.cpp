#include "base/datetime.h"
#include "base/error.h"
#include "base/formatsettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace tw;

namespace {

TDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return encodeDate(y, mo, d) + encodeTime(h, mi, s, ms);
}

TEST(DateEncoding, DayNumbersAndLimits)
{
    EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(encodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(encodeDate(2024, 1, 1), 45292.0);
    EXPECT_EQ(encodeDate(1, 1, 1), -693593.0);
    EXPECT_EQ(encodeDate(9999, 12, 31), 2958465.0);
    EXPECT_DOUBLE_EQ(encodeTime(12, 0, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(encodeTime(6, 0, 0, 0), 0.25);

    for (auto [y, m, d] : {std::tuple{2023, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2024, 13, 1}, {2024, 4, 31}, {2024, 1, 0}}) {
        TDateTime out = -1;
        EXPECT_FALSE(tryEncodeDate(y, m, d, out)) << y << '-' << m << '-' << d;
    }
    try {
        encodeDate(2023, 2, 29);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Invalid argument to date encode"));
    }
    EXPECT_THROW(encodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_THROW(encodeTime(0, 60, 0, 0), EConvertError);
    EXPECT_THROW(encodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(DateEncoding, DecodeIncludingNegativeDaysAndRounding)
{
    int y, m, d, h, mi, s, ms;
    decodeDate(at(2024, 2, 29, 23, 59, 59, 999), y, m, d);
    EXPECT_EQ((std::tuple{y, m, d}), (std::tuple{2024, 2, 29}));
    decodeTime(at(2024, 2, 29, 23, 59, 59, 999), h, mi, s, ms);
    EXPECT_EQ((std::tuple{h, mi, s, ms}), (std::tuple{23, 59, 59, 999}));

    // Before 1899-12-30 the whole part is the day and the fraction still the time of day.
    decodeDate(-1.25, y, m, d);
    decodeTime(-1.25, h, mi, s, ms);
    EXPECT_EQ((std::tuple{y, m, d, h}), (std::tuple{1899, 12, 29, 6}));

    // A fraction a hair below the next day rounds to its midnight, never to hour 24.
    decodeDate(0.99999999999, y, m, d);
    decodeTime(0.99999999999, h, mi, s, ms);
    EXPECT_EQ((std::tuple{y, m, d, h, mi, s, ms}), (std::tuple{1899, 12, 31, 0, 0, 0, 0}));

    for (int year : {1, 1600, 1900, 2000, 2023, 9999}) {
        decodeDate(encodeDate(year, 3, 1), y, m, d);
        EXPECT_EQ((std::tuple{y, m, d}), (std::tuple{year, 3, 1}));
    }
    EXPECT_THROW(decodeDate(std::nan(""), y, m, d), EConvertError);
    EXPECT_THROW(decodeDate(1e12, y, m, d), EConvertError);
}

TEST(DateEncoding, CalendarHelpers)
{
    EXPECT_EQ(dayOfWeek(encodeDate(1899, 12, 30)), 7); // Saturday
    EXPECT_EQ(dayOfWeek(encodeDate(2024, 1, 1)), 2);   // Monday
    EXPECT_EQ(dayOfWeek(encodeDate(2024, 3, 3) + 0.9), 1);
    EXPECT_EQ(dayOfWeek(encodeDate(1899, 12, 24)), 1);
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_EQ(daysInMonth(2024, 2), 29);
    EXPECT_EQ(daysInMonth(2023, 2), 28);
    EXPECT_EQ(daysInMonth(2023, 12), 31);
    EXPECT_EQ(daysInMonth(2023, 13), 0);
}

TEST(DateEncoding, QtConversions)
{
    const QDateTime qdt(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    EXPECT_DOUBLE_EQ(fromQDateTime(qdt), at(2024, 3, 5, 14, 7, 9, 45));
    EXPECT_EQ(toQDateTime(at(2024, 3, 5, 14, 7, 9, 45)), qdt);
    EXPECT_EQ(fromQDate(QDate(1899, 12, 29)), -1.0);
    EXPECT_EQ(toQDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_EQ(today(), std::floor(nowDateTime()));
}

struct PatternCase {
    const char *pattern;
    const char *us;
    const char *ru;
};

TEST(FormatDateTime, PatternTable)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    const TDateTime dt = at(2024, 3, 5, 14, 7, 9, 45); // a Tuesday afternoon
    const PatternCase cases[] = {
        {"d", "5", "5"},
        {"dd", "05", "05"},
        {"ddd", "Tue", "вт"},
        {"dddd", "Tuesday", "вторник"},
        {"ddddd", "3/5/2024", "05.03.2024"},
        {"dddddd", "Tuesday, March 5, 2024", "5 марта 2024 г."},
        {"m", "3", "3"},
        {"mm", "03", "03"},
        {"mmm", "Mar", "мар."},
        {"mmmm", "March", "марта"},
        {"MMMM", "March", "марта"},
        {"yy", "24", "24"},
        {"yyyy", "2024", "2024"},
        {"h", "14", "14"},
        {"hh", "14", "14"},
        {"n", "7", "7"},
        {"nn", "07", "07"},
        {"s", "9", "9"},
        {"ss", "09", "09"},
        {"z", "45", "45"},
        {"zzz", "045", "045"},
        {"t", "2:07 PM", "14:07"},
        {"tt", "2:07:09 PM", "14:07:09"},
        {"c", "3/5/2024 2:07:09 PM", "05.03.2024 14:07:09"},
        {"", "3/5/2024 2:07:09 PM", "05.03.2024 14:07:09"},
        // m right after an hour means minutes, elsewhere months
        {"h:mm", "14:07", "14:07"},
        {"hh:mm:ss", "14:07:09", "14:07:09"},
        {"mm/dd/yyyy", "03/05/2024", "03.05.2024"},
        {"dd.mm.yyyy hh:nn", "05.03.2024 14:07", "05.03.2024 14:07"},
        {"yyyy-mm-dd", "2024-03-05", "2024-03-05"},
        {"h am/pm", "2 pm", "2 pm"},
        {"h AM/PM", "2 PM", "2 PM"},
        {"hh a/p", "02 p", "02 p"},
        {"h ampm", "2 PM", "2 PM"},
        {"'d' d \"mm\" mm", "d 5 mm 03", "d 5 mm 03"},
        {"'am/pm' hh", "am/pm 14", "am/pm 14"},
        {"dd mmmm yyyy 'г.'", "05 March 2024 г.", "05 марта 2024 г."},
        {"x = d", "x = 5", "x = 5"},
    };
    for (const PatternCase &c : cases) {
        const QString p = QString::fromUtf8(c.pattern);
        EXPECT_EQ(formatDateTime(p, dt, us), QString::fromUtf8(c.us)) << c.pattern;
        EXPECT_EQ(formatDateTime(p, dt, ru), QString::fromUtf8(c.ru)) << c.pattern;
    }
}

TEST(FormatDateTime, TwelveHourClockEdges)
{
    const FormatSettings us = FormatSettings::usEnglish();
    EXPECT_EQ(formatDateTime(QStringLiteral("h:nn am/pm"), at(2024, 1, 1, 0, 30), us), QStringLiteral("12:30 am"));
    EXPECT_EQ(formatDateTime(QStringLiteral("h:nn ampm"), at(2024, 1, 1, 12, 0), us), QStringLiteral("12:00 PM"));
    EXPECT_EQ(formatDateTime(QStringLiteral("h:nn ampm"), at(2024, 1, 1, 11, 59), us), QStringLiteral("11:59 AM"));
    // The marker only counts when it follows before the next hour.
    EXPECT_EQ(formatDateTime(QStringLiteral("h h am/pm"), at(2024, 1, 1, 15, 0), us), QStringLiteral("15 3 pm"));
}

TEST(FormatDateTime, SelfReferringSettingsDoNotRecurse)
{
    FormatSettings fs = FormatSettings::usEnglish();
    fs.shortDateFormat = QStringLiteral("c");
    fs.longTimeFormat = QStringLiteral("tt");
    EXPECT_NO_THROW(formatDateTime(QStringLiteral("c"), at(2024, 1, 1, 1, 0), fs));
}

TEST(DateTimeToStr, TimeLeftOutAtExactMidnight)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    EXPECT_EQ(dateTimeToStr(at(2024, 3, 5), ru), QStringLiteral("05.03.2024"));
    EXPECT_EQ(dateTimeToStr(at(2024, 3, 5), us), QStringLiteral("3/5/2024"));
    EXPECT_EQ(dateTimeToStr(at(2024, 3, 5, 0, 0, 1), ru), QStringLiteral("05.03.2024 0:00:01"));
    EXPECT_EQ(dateTimeToStr(at(2024, 3, 5, 9, 5, 0), ru), QStringLiteral("05.03.2024 9:05:00"));
    EXPECT_EQ(dateTimeToStr(at(2024, 3, 5, 9, 5, 0), us), QStringLiteral("3/5/2024 9:05:00 AM"));
    EXPECT_EQ(dateToStr(at(2024, 3, 5, 9, 5, 0), ru), QStringLiteral("05.03.2024"));
    EXPECT_EQ(timeToStr(at(2024, 3, 5, 21, 5, 0), us), QStringLiteral("9:05:00 PM"));
    EXPECT_EQ(timeToStr(at(2024, 3, 5), ru), QStringLiteral("0:00:00"));
}

TEST(StrToDate, ByShortDateOrder)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    EXPECT_EQ(strToDate(QStringLiteral("05.03.2024"), ru), encodeDate(2024, 3, 5));
    EXPECT_EQ(strToDate(QStringLiteral(" 5.3.2024 "), ru), encodeDate(2024, 3, 5));
    EXPECT_EQ(strToDate(QStringLiteral("3/5/2024"), us), encodeDate(2024, 3, 5));
    FormatSettings iso = us;
    iso.shortDateFormat = QStringLiteral("yyyy-mm-dd");
    iso.dateSeparator = QLatin1Char('-');
    EXPECT_EQ(strToDate(QStringLiteral("2024-03-05"), iso), encodeDate(2024, 3, 5));

    // Two-digit years fall in the window around the current year; a missing year is this one.
    const int thisYear = QDate::currentDate().year();
    int y, m, d;
    decodeDate(strToDate(QStringLiteral("05.03.") + QString::number(thisYear % 100).rightJustified(2, QLatin1Char('0')), ru), y, m, d);
    EXPECT_EQ(y, thisYear);
    decodeDate(strToDate(QStringLiteral("05.03"), ru), y, m, d);
    EXPECT_EQ((std::tuple{y, m, d}), (std::tuple{thisYear, 3, 5}));

    for (const char *bad : {"", "32.01.2024", "29.02.2023", "2024-03-05", "05.03.2024 x", "05/03/2024", "a.b.c"}) {
        TDateTime out = 0;
        EXPECT_FALSE(tryStrToDate(QString::fromUtf8(bad), ru, out)) << bad;
    }
    try {
        strToDate(QStringLiteral("32.01.2024"), ru);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'32.01.2024' is not a valid date"));
    }
}

TEST(StrToTime, ClockForms)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    EXPECT_DOUBLE_EQ(strToTime(QStringLiteral("14:07:09"), ru), encodeTime(14, 7, 9, 0));
    EXPECT_DOUBLE_EQ(strToTime(QStringLiteral("14:07"), ru), encodeTime(14, 7, 0, 0));
    EXPECT_DOUBLE_EQ(strToTime(QStringLiteral("14:07:09,5"), ru), encodeTime(14, 7, 9, 500));
    EXPECT_DOUBLE_EQ(strToTime(QStringLiteral("2:07 PM"), us), encodeTime(14, 7, 0, 0));
    EXPECT_DOUBLE_EQ(strToTime(QStringLiteral("12:00 am"), us), 0.0);
    EXPECT_DOUBLE_EQ(strToTime(QStringLiteral("12:30:00 PM"), us), encodeTime(12, 30, 0, 0));
    for (const char *bad : {"", "25:00", "12:60", "13:00 PM", "0:10 AM", "12:", "noon"}) {
        TDateTime out = 0;
        EXPECT_FALSE(tryStrToTime(QString::fromUtf8(bad), us, out)) << bad;
    }
    try {
        strToTime(QStringLiteral("25:00"), ru);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'25:00' is not a valid time"));
    }
}

TEST(StrToDateTime, DateTimeAndRoundTrips)
{
    const FormatSettings us = FormatSettings::usEnglish();
    const FormatSettings ru = FormatSettings::russian();
    EXPECT_DOUBLE_EQ(strToDateTime(QStringLiteral("05.03.2024 14:07:09"), ru), at(2024, 3, 5, 14, 7, 9));
    EXPECT_DOUBLE_EQ(strToDateTime(QStringLiteral("3/5/2024 2:07:09 PM"), us), at(2024, 3, 5, 14, 7, 9));
    EXPECT_DOUBLE_EQ(strToDateTime(QStringLiteral("05.03.2024"), ru), at(2024, 3, 5));
    EXPECT_DOUBLE_EQ(strToDateTime(QStringLiteral("14:07"), ru), encodeTime(14, 7, 0, 0));
    EXPECT_THROW(strToDateTime(QStringLiteral("05.03.2024 25:00"), ru), EConvertError);
    try {
        strToDateTime(QStringLiteral("завтра"), ru);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'завтра' is not a valid date and time"));
    }

    for (const FormatSettings &fs : {us, ru}) {
        for (TDateTime dt : {at(2024, 3, 5), at(1999, 12, 31, 23, 59, 59), at(2024, 1, 1, 0, 0, 1), at(2024, 7, 4, 12, 0, 0)}) {
            const QString text = dateTimeToStr(dt, fs);
            EXPECT_DOUBLE_EQ(strToDateTime(text, fs), dt) << text.toStdString();
        }
    }
}

TEST(FormatSettingsFromLocale, TranslatesQtPatterns)
{
    const FormatSettings ru = FormatSettings::fromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(ru.shortDateFormat, QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(ru.dateSeparator, QLatin1Char('.'));
    EXPECT_EQ(ru.timeSeparator, QLatin1Char(':'));
    EXPECT_EQ(ru.decimalSeparator, QLatin1Char(','));
    EXPECT_EQ(ru.thousandSeparator, QChar(0x00A0));
    EXPECT_EQ(ru.longMonthNames.size(), 12);
    EXPECT_EQ(ru.longDayNames.size(), 7);
    EXPECT_EQ(ru.longDayNames.first(), QStringLiteral("воскресенье"));

    const FormatSettings en = FormatSettings::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(en.shortDateFormat, QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(en.dateSeparator, QLatin1Char('/'));
    EXPECT_EQ(en.decimalSeparator, QLatin1Char('.'));
    const TDateTime dt = at(2024, 3, 5, 14, 7, 9);
    EXPECT_EQ(formatDateTime(QStringLiteral("t"), dt, en), QStringLiteral("2:07 PM"));
    EXPECT_EQ(formatDateTime(QStringLiteral("dddddd"), dt, en), QStringLiteral("Tuesday, March 5, 2024"));
    // The time zone of the long time has no counterpart and is dropped.
    EXPECT_FALSE(en.longTimeFormat.contains(QLatin1Char('t'), Qt::CaseInsensitive));
    EXPECT_EQ(formatDateTime(QStringLiteral("tt"), dt, ru), QStringLiteral("14:07:09"));
    EXPECT_EQ(dateTimeToStr(dt, ru), QStringLiteral("05.03.2024 14:07:09"));

    // A two-digit short-date year is widened so that dates read back unambiguously.
    const FormatSettings de = FormatSettings::fromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.shortDateFormat, QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(strToDate(dateToStr(dt, de), de), encodeDate(2024, 3, 5));
    // The C locale has no regional formats; it behaves like US English.
    EXPECT_EQ(FormatSettings::fromLocale(QLocale::c()).shortDateFormat, QStringLiteral("M/d/yyyy"));
}

TEST(FormatSettingsCurrent, SetCurrentReplacesProcessSettings)
{
    const FormatSettings saved = FormatSettings::current();
    const FormatSettings &ref = FormatSettings::current();
    FormatSettings::setCurrent(FormatSettings::russian());
    EXPECT_EQ(ref.decimalSeparator, QLatin1Char(','));
    EXPECT_EQ(dateTimeToStr(at(2024, 3, 5)), QStringLiteral("05.03.2024"));
    FormatSettings::setCurrent(FormatSettings::usEnglish());
    EXPECT_EQ(formatDateTime(QStringLiteral("ddddd"), at(2024, 3, 5)), QStringLiteral("3/5/2024"));
    FormatSettings::setCurrent(saved);
}

} // namespace
