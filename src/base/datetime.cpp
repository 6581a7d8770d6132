#include "base/datetime.h"

#include "base/error.h"
#include "base/formatsettings.h"

#include <cmath>

namespace tw {

namespace {

constexpr qint64 kMSecsPerDay = 86400000;
// Days from 0001-01-01 (day 1) to 1899-12-30.
constexpr qint64 kDateDelta = 693594;
// 0001-01-01 and 9999-12-31 as day numbers.
constexpr double kMinDateTime = -693593.0;
constexpr double kMaxDateTime = 2958466.0;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void civilFromDays(qint64 z, int &year, int &month, int &day)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = qint64(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(y + (month <= 2));
}

// 1899-12-30 relative to 1970-01-01.
constexpr qint64 kUnixToDayZero = 25569;

struct Stamp {
    qint64 days;  // whole days since 1899-12-30 (truncated toward zero)
    qint64 msecs; // time of day, 0 .. 86399999
};

// A date-time split as the language does: the whole part is the day (also for negative
// values, whose fraction is still a positive time of day), rounded to milliseconds.
Stamp toStamp(TDateTime dt)
{
    if (!std::isfinite(dt) || dt < kMinDateTime - 1 || dt > kMaxDateTime + 1)
        throw EConvertError(QStringLiteral("Invalid argument to date decode"));
    const qint64 total = qint64(std::llround(dt * double(kMSecsPerDay)));
    Stamp s;
    s.days = total / kMSecsPerDay;
    s.msecs = total % kMSecsPerDay;
    if (s.msecs < 0)
        s.msecs = -s.msecs;
    return s;
}

TDateTime fromStamp(qint64 days, qint64 msecs)
{
    const double t = double(msecs) / double(kMSecsPerDay);
    return days >= 0 ? double(days) + t : double(days) - t;
}

} // namespace

bool isLeapYear(int year)
{
    return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

bool tryEncodeDate(int year, int month, int day, TDateTime &out)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    out = double(daysFromCivil(year, unsigned(month), unsigned(day)) + kUnixToDayZero);
    return true;
}

bool tryEncodeTime(int hour, int min, int sec, int msec, TDateTime &out)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    out = double(((qint64(hour) * 60 + min) * 60 + sec) * 1000 + msec) / double(kMSecsPerDay);
    return true;
}

TDateTime encodeDate(int year, int month, int day)
{
    TDateTime r = 0;
    if (!tryEncodeDate(year, month, day, r))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return r;
}

TDateTime encodeTime(int hour, int min, int sec, int msec)
{
    TDateTime r = 0;
    if (!tryEncodeTime(hour, min, sec, msec, r))
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return r;
}

void decodeDate(TDateTime dt, int &year, int &month, int &day)
{
    const Stamp s = toStamp(dt);
    civilFromDays(s.days - kUnixToDayZero, year, month, day);
}

void decodeTime(TDateTime dt, int &hour, int &min, int &sec, int &msec)
{
    const Stamp s = toStamp(dt);
    qint64 t = s.msecs;
    msec = int(t % 1000);
    t /= 1000;
    sec = int(t % 60);
    t /= 60;
    min = int(t % 60);
    hour = int(t / 60);
}

int dayOfWeek(TDateTime dt)
{
    const Stamp s = toStamp(dt);
    return int((s.days + kDateDelta) % 7) + 1;
}

TDateTime fromQDate(const QDate &value)
{
    if (!value.isValid())
        return 0;
    return double(value.toJulianDay() - QDate(1899, 12, 30).toJulianDay());
}

TDateTime fromQDateTime(const QDateTime &value)
{
    if (!value.isValid())
        return 0;
    const QTime t = value.time();
    return fromStamp(qint64(fromQDate(value.date())), t.msecsSinceStartOfDay());
}

QDateTime toQDateTime(TDateTime dt)
{
    const Stamp s = toStamp(dt);
    const QDate d = QDate(1899, 12, 30).addDays(s.days);
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(s.msecs)));
}

TDateTime nowDateTime()
{
    return fromQDateTime(QDateTime::currentDateTime());
}

TDateTime today()
{
    return fromQDate(QDate::currentDate());
}

// ---------------------------------------------------------------------------------------
// Formatting

namespace {

struct DateParts {
    bool haveDate = false, haveTime = false;
    int year = 0, month = 0, day = 0, dow = 0;
    int hour = 0, min = 0, sec = 0, msec = 0;
};

class DateFormatter {
public:
    DateFormatter(TDateTime dt, const FormatSettings &fs) : m_dt(dt), m_fs(fs) {}

    QString run(const QString &pattern)
    {
        m_out.reserve(pattern.size() + 16);
        append(pattern.isEmpty() ? QStringLiteral("C") : pattern, 0);
        return m_out;
    }

private:
    TDateTime m_dt;
    const FormatSettings &m_fs;
    DateParts m_p;
    QString m_out;

    void needDate()
    {
        if (!m_p.haveDate) {
            decodeDate(m_dt, m_p.year, m_p.month, m_p.day);
            m_p.dow = dayOfWeek(m_dt);
            m_p.haveDate = true;
        }
    }
    void needTime()
    {
        if (!m_p.haveTime) {
            decodeTime(m_dt, m_p.hour, m_p.min, m_p.sec, m_p.msec);
            m_p.haveTime = true;
        }
    }
    void number(int value, int digits)
    {
        m_out += QString::number(value).rightJustified(digits, QLatin1Char('0'));
    }
    static QString name(const QStringList &names, int index)
    {
        return index >= 0 && index < names.size() ? names.at(index) : QString();
    }
    static bool startsWithCI(const QString &s, qsizetype pos, QLatin1StringView what)
    {
        return QStringView(s).mid(pos).startsWith(what, Qt::CaseInsensitive);
    }

    // Whether an hour at `from` is shown on a 12-hour clock: an am/pm marker follows
    // before the next hour token.
    static bool twelveHour(const QString &f, qsizetype from)
    {
        bool quoted = false;
        QChar quote;
        for (qsizetype k = from; k < f.size(); ++k) {
            const QChar c = f.at(k);
            if (quoted) {
                if (c == quote)
                    quoted = false;
                continue;
            }
            if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                quoted = true;
                quote = c;
            } else if (c == QLatin1Char('a') || c == QLatin1Char('A')) {
                return startsWithCI(f, k, QLatin1StringView("am/pm")) || startsWithCI(f, k, QLatin1StringView("a/p"))
                    || startsWithCI(f, k, QLatin1StringView("ampm"));
            } else if (c == QLatin1Char('h') || c == QLatin1Char('H')) {
                return false;
            }
        }
        return false;
    }

    void append(const QString &f, int level)
    {
        QChar lastToken;
        qsizetype i = 0;
        const qsizetype n = f.size();
        while (i < n) {
            const QChar raw = f.at(i);
            QChar token = raw.toUpper();
            if (raw.unicode() >= 128)
                token = raw;
            const qsizetype start = i;
            ++i;
            if (token >= QLatin1Char('A') && token <= QLatin1Char('Z')) {
                if (token == QLatin1Char('M') && lastToken == QLatin1Char('H'))
                    token = QLatin1Char('N');
                lastToken = token;
            }
            auto count = [&]() {
                while (i < n && f.at(i).toUpper() == raw.toUpper())
                    ++i;
                return int(i - start);
            };
            switch (token.unicode()) {
            case '\'':
            case '"': {
                const qsizetype close = f.indexOf(raw, i);
                const qsizetype end = close < 0 ? n : close;
                m_out += QStringView(f).mid(i, end - i);
                i = close < 0 ? n : close + 1;
                break;
            }
            case 'Y': {
                const int c = count();
                needDate();
                if (c <= 2)
                    number(m_p.year % 100, 2);
                else
                    number(m_p.year, 4);
                break;
            }
            case 'M': {
                const int c = count();
                needDate();
                if (c <= 2)
                    number(m_p.month, c);
                else if (c == 3)
                    m_out += name(m_fs.shortMonthNames, m_p.month - 1);
                else
                    m_out += name(m_fs.longMonthNames, m_p.month - 1);
                break;
            }
            case 'D': {
                const int c = count();
                needDate();
                switch (c) {
                case 1:
                case 2:
                    number(m_p.day, c);
                    break;
                case 3:
                    m_out += name(m_fs.shortDayNames, m_p.dow - 1);
                    break;
                case 4:
                    m_out += name(m_fs.longDayNames, m_p.dow - 1);
                    break;
                case 5:
                    nested(m_fs.shortDateFormat, level);
                    break;
                default:
                    nested(m_fs.longDateFormat, level);
                    break;
                }
                break;
            }
            case 'H': {
                const int c = count();
                needTime();
                int h = m_p.hour;
                if (twelveHour(f, i)) {
                    if (h == 0)
                        h = 12;
                    else if (h > 12)
                        h -= 12;
                }
                number(h, qMin(c, 2));
                break;
            }
            case 'N': {
                const int c = count();
                needTime();
                number(m_p.min, qMin(c, 2));
                break;
            }
            case 'S': {
                const int c = count();
                needTime();
                number(m_p.sec, qMin(c, 2));
                break;
            }
            case 'Z': {
                const int c = count();
                needTime();
                number(m_p.msec, c <= 1 ? 1 : 3);
                break;
            }
            case 'T': {
                const int c = count();
                nested(c == 1 ? m_fs.shortTimeFormat : m_fs.longTimeFormat, level);
                break;
            }
            case 'C': {
                count();
                nested(m_fs.shortDateFormat, level);
                needTime();
                if (m_p.hour != 0 || m_p.min != 0 || m_p.sec != 0 || m_p.msec != 0) {
                    m_out += QLatin1Char(' ');
                    nested(m_fs.longTimeFormat, level);
                }
                break;
            }
            case 'A': {
                needTime();
                const bool pm = m_p.hour >= 12;
                if (startsWithCI(f, start, QLatin1StringView("am/pm"))) {
                    m_out += QStringView(f).mid(pm ? start + 3 : start, 2);
                    i = start + 5;
                } else if (startsWithCI(f, start, QLatin1StringView("a/p"))) {
                    m_out += f.at(pm ? start + 2 : start);
                    i = start + 3;
                } else if (startsWithCI(f, start, QLatin1StringView("ampm"))) {
                    m_out += pm ? m_fs.timePMString : m_fs.timeAMString;
                    i = start + 4;
                } else {
                    m_out += raw;
                }
                break;
            }
            case '/':
                m_out += m_fs.dateSeparator;
                break;
            case ':':
                m_out += m_fs.timeSeparator;
                break;
            default:
                m_out += raw;
                break;
            }
        }
    }

    // Formats named by a pattern letter (c, t, ddddd ...) expand only two levels deep, so
    // settings that name themselves cannot recurse forever.
    void nested(const QString &format, int level)
    {
        if (level < 2)
            append(format, level + 1);
    }
};

} // namespace

QString formatDateTime(const QString &pattern, TDateTime dt, const FormatSettings &fs)
{
    return DateFormatter(dt, fs).run(pattern);
}

QString formatDateTime(const QString &pattern, TDateTime dt)
{
    return formatDateTime(pattern, dt, FormatSettings::current());
}

QString dateTimeToStr(TDateTime dt, const FormatSettings &fs)
{
    return formatDateTime(QStringLiteral("c"), dt, fs);
}

QString dateTimeToStr(TDateTime dt)
{
    return dateTimeToStr(dt, FormatSettings::current());
}

QString dateToStr(TDateTime dt, const FormatSettings &fs)
{
    return formatDateTime(QStringLiteral("ddddd"), dt, fs);
}

QString timeToStr(TDateTime dt, const FormatSettings &fs)
{
    return formatDateTime(QStringLiteral("tt"), dt, fs);
}

// ---------------------------------------------------------------------------------------
// Parsing

namespace {

enum class DateOrder { MDY, DMY, YMD };

DateOrder dateOrder(const QString &shortDateFormat)
{
    for (const QChar c : shortDateFormat) {
        switch (c.toUpper().unicode()) {
        case 'D':
            return DateOrder::DMY;
        case 'M':
            return DateOrder::MDY;
        case 'Y':
            return DateOrder::YMD;
        default:
            break;
        }
    }
    return DateOrder::MDY;
}

class Scanner {
public:
    explicit Scanner(const QString &s) : m_s(s) {}

    qsizetype pos = 0;

    bool atEnd() const { return pos >= m_s.size(); }
    void blanks()
    {
        while (pos < m_s.size() && m_s.at(pos).unicode() <= 0x20)
            ++pos;
    }
    // Up to four digits (a year); `digits` receives how many were read.
    bool number(int &value, int &digits)
    {
        blanks();
        value = 0;
        digits = 0;
        while (pos < m_s.size() && m_s.at(pos).isDigit() && m_s.at(pos).unicode() < 128) {
            if (digits == 4)
                return false;
            value = value * 10 + (m_s.at(pos).unicode() - '0');
            ++digits;
            ++pos;
        }
        return digits > 0;
    }
    bool ch(QChar c)
    {
        blanks();
        if (pos < m_s.size() && m_s.at(pos) == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool text(const QString &what)
    {
        blanks();
        if (what.isEmpty())
            return false;
        if (QStringView(m_s).mid(pos).startsWith(what, Qt::CaseInsensitive)) {
            pos += what.size();
            return true;
        }
        return false;
    }
    // Digits after the decimal separator, as a fraction of a second in milliseconds.
    bool fraction(int &msec)
    {
        msec = 0;
        int digits = 0;
        while (pos < m_s.size() && m_s.at(pos).isDigit() && m_s.at(pos).unicode() < 128) {
            if (digits < 3)
                msec = msec * 10 + (m_s.at(pos).unicode() - '0');
            ++digits;
            ++pos;
        }
        for (int k = digits; k < 3; ++k)
            msec *= 10;
        return digits > 0;
    }

private:
    const QString &m_s;
};

int currentYear()
{
    return QDate::currentDate().year();
}

bool scanDate(Scanner &sc, const FormatSettings &fs, TDateTime &out)
{
    int n1 = 0, n2 = 0, n3 = 0, l1 = 0, l2 = 0, l3 = 0;
    if (!sc.number(n1, l1) || !sc.ch(fs.dateSeparator) || !sc.number(n2, l2))
        return false;
    int y = 0, m = 0, d = 0, yearDigits = 0;
    const DateOrder order = dateOrder(fs.shortDateFormat);
    if (sc.ch(fs.dateSeparator)) {
        if (!sc.number(n3, l3))
            return false;
        switch (order) {
        case DateOrder::MDY:
            m = n1, d = n2, y = n3, yearDigits = l3;
            break;
        case DateOrder::DMY:
            d = n1, m = n2, y = n3, yearDigits = l3;
            break;
        case DateOrder::YMD:
            y = n1, m = n2, d = n3, yearDigits = l1;
            break;
        }
        if (y <= 99 && yearDigits <= 2) {
            // Two-digit years fall into the century window around the current year.
            int base = currentYear() - fs.twoDigitYearCenturyWindow;
            y += base / 100 * 100;
            if (fs.twoDigitYearCenturyWindow > 0 && y < base)
                y += 100;
        }
    } else {
        y = currentYear();
        if (order == DateOrder::DMY)
            d = n1, m = n2;
        else
            m = n1, d = n2;
    }
    // A separator after the last number ("01.02.2024.") is tolerated.
    sc.ch(fs.dateSeparator);
    return tryEncodeDate(y, m, d, out);
}

bool scanTime(Scanner &sc, const FormatSettings &fs, TDateTime &out)
{
    int baseHour = -1;
    if (sc.text(fs.timeAMString) || sc.text(QStringLiteral("AM")))
        baseHour = 0;
    else if (sc.text(fs.timePMString) || sc.text(QStringLiteral("PM")))
        baseHour = 12;
    int hour = 0, min = 0, sec = 0, msec = 0, digits = 0;
    if (!sc.number(hour, digits))
        return false;
    if (sc.ch(fs.timeSeparator)) {
        if (!sc.number(min, digits))
            return false;
        if (sc.ch(fs.timeSeparator)) {
            if (!sc.number(sec, digits))
                return false;
            if (sc.ch(fs.decimalSeparator) && !sc.fraction(msec))
                return false;
        }
    }
    if (baseHour < 0) {
        if (sc.text(fs.timeAMString) || sc.text(QStringLiteral("AM")))
            baseHour = 0;
        else if (sc.text(fs.timePMString) || sc.text(QStringLiteral("PM")))
            baseHour = 12;
    }
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12)
            return false;
        if (hour == 12)
            hour = 0;
        hour += baseHour;
    }
    return tryEncodeTime(hour, min, sec, msec, out);
}

} // namespace

bool tryStrToDate(const QString &s, const FormatSettings &fs, TDateTime &out)
{
    Scanner sc(s);
    TDateTime d = 0;
    if (!scanDate(sc, fs, d))
        return false;
    sc.blanks();
    if (!sc.atEnd())
        return false;
    out = d;
    return true;
}

bool tryStrToTime(const QString &s, const FormatSettings &fs, TDateTime &out)
{
    Scanner sc(s);
    TDateTime t = 0;
    if (!scanTime(sc, fs, t))
        return false;
    sc.blanks();
    if (!sc.atEnd())
        return false;
    out = t;
    return true;
}

bool tryStrToDateTime(const QString &s, const FormatSettings &fs, TDateTime &out)
{
    Scanner sc(s);
    TDateTime d = 0;
    if (scanDate(sc, fs, d)) {
        sc.blanks();
        if (sc.atEnd()) {
            out = d;
            return true;
        }
        TDateTime t = 0;
        if (scanTime(sc, fs, t)) {
            sc.blanks();
            if (sc.atEnd()) {
                out = d >= 0 ? d + t : d - t;
                return true;
            }
        }
    }
    return tryStrToTime(s, fs, out);
}

TDateTime strToDate(const QString &s, const FormatSettings &fs)
{
    TDateTime r = 0;
    if (!tryStrToDate(s, fs, r))
        throw EConvertError(QStringLiteral("'%1' is not a valid date").arg(s));
    return r;
}

TDateTime strToTime(const QString &s, const FormatSettings &fs)
{
    TDateTime r = 0;
    if (!tryStrToTime(s, fs, r))
        throw EConvertError(QStringLiteral("'%1' is not a valid time").arg(s));
    return r;
}

TDateTime strToDateTime(const QString &s, const FormatSettings &fs)
{
    TDateTime r = 0;
    if (!tryStrToDateTime(s, fs, r))
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(s));
    return r;
}

} // namespace tw
