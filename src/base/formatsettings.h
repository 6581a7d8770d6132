#pragma once

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace tw {

// The regional settings every text conversion uses. Date and time formats are in the
// Delphi pattern syntax (d, dd, mm, yyyy, h, nn, ss, am/pm ...).
struct FormatSettings {
    QChar decimalSeparator = QLatin1Char('.');
    QChar thousandSeparator = QLatin1Char(',');
    QChar dateSeparator = QLatin1Char('/');
    QChar timeSeparator = QLatin1Char(':');
    QChar listSeparator = QLatin1Char(',');
    QString shortDateFormat = QStringLiteral("M/d/yyyy");
    QString longDateFormat = QStringLiteral("dddd, MMMM d, yyyy");
    QString shortTimeFormat = QStringLiteral("h:mm AMPM");
    QString longTimeFormat = QStringLiteral("h:mm:ss AMPM");
    QString timeAMString = QStringLiteral("AM");
    QString timePMString = QStringLiteral("PM");
    QString currencyString = QStringLiteral("$");
    int currencyFormat = 0;
    int negCurrFormat = 0;
    int currencyDecimals = 2;
    QStringList shortMonthNames; // 12 entries, January first
    QStringList longMonthNames;
    QStringList shortDayNames;   // 7 entries, Sunday first
    QStringList longDayNames;
    int twoDigitYearCenturyWindow = 50;

    // Built from a Qt locale (its date and time patterns translated to Delphi syntax; a
    // two-digit year of the short date becomes four digits; the C locale gives usEnglish()).
    // Month names are Qt's monthName() forms (genitive in Russian: "января").
    static FormatSettings fromLocale(const QLocale &locale);
    static FormatSettings fromSystemLocale();
    // Fixed settings for tests: Russian (dd.MM.yyyy, H:mm:ss, "," decimal, blank grouping)
    // and US English (M/d/yyyy, h:mm:ss AMPM, "." decimal, "," grouping).
    static FormatSettings russian();
    static FormatSettings usEnglish();

    // The process-wide settings: filled from the system locale on first use.
    static const FormatSettings &current();
    static void setCurrent(const FormatSettings &fs);
};

} // namespace tw
