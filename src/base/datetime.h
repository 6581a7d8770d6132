#pragma once

#include <QDateTime>
#include <QString>

namespace tw {

struct FormatSettings;

// Date-time values are days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

TDateTime encodeDate(int year, int month, int day);          // EConvertError when invalid
TDateTime encodeTime(int hour, int min, int sec, int msec);  // EConvertError when invalid
bool tryEncodeDate(int year, int month, int day, TDateTime &out);
bool tryEncodeTime(int hour, int min, int sec, int msec, TDateTime &out);
void decodeDate(TDateTime dt, int &year, int &month, int &day);
void decodeTime(TDateTime dt, int &hour, int &min, int &sec, int &msec);
int dayOfWeek(TDateTime dt); // 1 = Sunday .. 7 = Saturday
bool isLeapYear(int year);
int daysInMonth(int year, int month);

TDateTime nowDateTime();   // local time
TDateTime today();         // local date, time 0
TDateTime fromQDateTime(const QDateTime &value);
TDateTime fromQDate(const QDate &value);
QDateTime toQDateTime(TDateTime dt);

// Delphi FormatDateTime patterns: c d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy
// h hh n nn s ss z zzz t tt am/pm a/p ampm / : 'quoted' "quoted".
QString formatDateTime(const QString &pattern, TDateTime dt, const FormatSettings &fs);
QString formatDateTime(const QString &pattern, TDateTime dt);
// Short date, a blank and the long time; the time is left out when it is exactly midnight.
QString dateTimeToStr(TDateTime dt, const FormatSettings &fs);
QString dateTimeToStr(TDateTime dt);
QString dateToStr(TDateTime dt, const FormatSettings &fs);
QString timeToStr(TDateTime dt, const FormatSettings &fs);

// Text to date-time by the settings' short date order and separators (EConvertError with
// "'%s' is not a valid date" / "... time" / "... date and time").
TDateTime strToDate(const QString &s, const FormatSettings &fs);
TDateTime strToTime(const QString &s, const FormatSettings &fs);
TDateTime strToDateTime(const QString &s, const FormatSettings &fs);
bool tryStrToDate(const QString &s, const FormatSettings &fs, TDateTime &out);
bool tryStrToTime(const QString &s, const FormatSettings &fs, TDateTime &out);
bool tryStrToDateTime(const QString &s, const FormatSettings &fs, TDateTime &out);

} // namespace tw
