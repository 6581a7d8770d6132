#include "base/numberformat.h"

#include "base/error.h"
#include "base/formatsettings.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace tw {

namespace {

constexpr int kGeneralPrecision = 15;

// strtod follows the process locale, which Qt sets from the environment; numbers are
// parsed through a fixed C locale instead.
locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return loc;
}

bool isBlank(QChar c)
{
    return c.unicode() <= 0x20;
}

// Leading and trailing blanks and control characters are allowed around a number.
QStringView trimmed(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return QStringView(s).mid(b, e - b);
}

[[noreturn]] void invalidFloat(const QString &s)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(s));
}

[[noreturn]] void invalidInteger(const QString &s)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(s));
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Parses sign, digits or a hexadecimal form ($FF, 0xFF). Hex text is a bit pattern of at
// most `hexBits` bits, so $FFFFFFFF is -1 for a 32-bit integer; decimal text must fit the
// range [minValue, maxValue].
bool parseInteger(const QString &text, qint64 minValue, qint64 maxValue, int hexBits, qint64 &out)
{
    const QStringView s = trimmed(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    bool hex = false;
    if (i < s.size() && (s[i] == QLatin1Char('$') || s[i] == QLatin1Char('x') || s[i] == QLatin1Char('X'))) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == QLatin1Char('0')
               && (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }
    if (i >= s.size())
        return false;
    if (hex) {
        quint64 v = 0;
        int digits = 0;
        for (; i < s.size(); ++i) {
            const int d = hexDigit(s[i]);
            if (d < 0)
                return false;
            if (v == 0 && d == 0)
                continue; // leading zeros do not count towards the width
            if (++digits > hexBits / 4)
                return false;
            v = (v << 4) | quint64(d);
        }
        qint64 r = hexBits == 64 ? qint64(v) : qint64(qint32(quint32(v)));
        if (negative)
            r = qint64(0ull - quint64(r));
        if (hexBits == 32)
            r = qint32(quint32(quint64(r)));
        out = r;
        return true;
    }
    // Accumulate as a negative number so that the minimum value fits.
    qint64 v = 0;
    const qint64 limit = negative ? minValue : -maxValue;
    for (; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        if (u < '0' || u > '9')
            return false;
        const int d = u - '0';
        if (v < (limit + d) / 10)
            return false;
        v = v * 10 - d;
        if (v < limit)
            return false;
    }
    out = negative ? v : -v;
    return true;
}

} // namespace

QString floatToStr(double value, const FormatSettings &fs)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    // Whole numbers below 10^15 have at most fifteen digits: they are written as they are
    // (most lengths and counts in a report are).
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return QString::number(qint64(value));

    // Fifteen significant digits, correctly rounded: d.dddddddddddddde[+-]x
    char buf[40];
    const auto written = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, kGeneralPrecision - 1);
    *written.ptr = '\0';
    const char *p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    char digits[kGeneralPrecision + 1];
    int n = 0;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits[n++] = *p;
    const int exp10 = std::atoi(p + 1); // value = d.ddd * 10^exp10
    while (n > 1 && digits[n - 1] == '0')
        --n;

    // The general format: fixed notation unless the exponent (of the 0.ddd form) is
    // above the precision or below -3.
    const int exponent = exp10 + 1;
    QString out;
    out.reserve(24);
    if (negative)
        out += QLatin1Char('-');
    if (exponent > kGeneralPrecision || exponent < -3) {
        out += QLatin1Char(digits[0]);
        if (n > 1) {
            out += fs.decimalSeparator;
            for (int k = 1; k < n; ++k)
                out += QLatin1Char(digits[k]);
        }
        out += QLatin1Char('E');
        out += QString::number(exp10);
        return out;
    }
    if (exponent <= 0) {
        out += QLatin1Char('0');
        out += fs.decimalSeparator;
        for (int k = exponent; k < 0; ++k)
            out += QLatin1Char('0');
        for (int k = 0; k < n; ++k)
            out += QLatin1Char(digits[k]);
        return out;
    }
    for (int k = 0; k < exponent; ++k)
        out += QLatin1Char(k < n ? digits[k] : '0');
    if (n > exponent) {
        out += fs.decimalSeparator;
        for (int k = exponent; k < n; ++k)
            out += QLatin1Char(digits[k]);
    }
    return out;
}

bool readPlainFloat(QStringView text, double &out)
{
    char buf[64];
    const qsizetype n = text.size();
    if (n == 0 || n >= qsizetype(sizeof buf))
        return false;
    // Shape check: sign, digits, an optional fraction, an optional exponent.
    qsizetype i = 0;
    auto digits = [&] {
        const qsizetype from = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        return i - from;
    };
    if (text[i] == u'-')
        ++i;
    qsizetype mantissa = digits();
    if (i < n && text[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != n)
        return false;
    for (qsizetype k = 0; k < n; ++k)
        buf[k] = char(text[k].unicode());
    double v = 0;
    const auto r = std::from_chars(buf, buf + n, v);
    if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool floatTextReadsBack(double value)
{
    if (!std::isfinite(value) || value == 0)
        return false;
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return true;
    // The shortest text that reads back; the nearest fifteen-digit text is at least as
    // close, so it reads back too whenever the shortest has no more digits than that.
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    int digits = 0;
    for (const char *p = buf; p != r.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            ++digits;
    return digits <= kGeneralPrecision;
}

QString floatToStr(double value)
{
    return floatToStr(value, FormatSettings::current());
}

bool tryStrToFloat(const QString &text, const FormatSettings &fs, double &out)
{
    const QStringView s = trimmed(text);
    if (s.isEmpty() || s.size() > 400)
        return false;
    // Validate the form ourselves and hand strtod a plain ASCII copy (on the stack: this
    // runs for every text that variant arithmetic turns into a number).
    char ascii[416];
    int len = 0;
    auto put = [&](char c) { ascii[len++] = c; };
    qsizetype i = 0;
    if (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))
        put(char(s[i++].unicode()));
    int mantissaDigits = 0;
    bool seenSeparator = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            put(char(c.unicode()));
            ++mantissaDigits;
        } else if (!seenSeparator && (c == fs.decimalSeparator || c == QLatin1Char('.'))) {
            put('.');
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        put('e');
        ++i;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            put(char(s[i++].unicode()));
        int expDigits = 0;
        for (; i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'); ++i) {
            put(char(s[i].unicode()));
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    ascii[len] = '\0';
    errno = 0;
    char *end = nullptr;
    const double v = strtod_l(ascii, &end, cLocale());
    if (end != ascii + len)
        return false;
    if (errno == ERANGE && std::isinf(v))
        return false; // overflow; an underflow gives a usable tiny value or zero
    out = v;
    return true;
}

double strToFloat(const QString &s, const FormatSettings &fs)
{
    double v = 0;
    if (!tryStrToFloat(s, fs, v))
        invalidFloat(s);
    return v;
}

bool tryStrToInt64(const QString &s, qint64 &out)
{
    return parseInteger(s, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), 64, out);
}

qint64 strToInt64(const QString &s)
{
    qint64 v = 0;
    if (!tryStrToInt64(s, v))
        invalidInteger(s);
    return v;
}

bool tryStrToInt(const QString &s, int &out)
{
    qint64 v = 0;
    if (!parseInteger(s, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), 32, v))
        return false;
    out = int(v);
    return true;
}

int strToInt(const QString &s)
{
    int v = 0;
    if (!tryStrToInt(s, v))
        invalidInteger(s);
    return v;
}

} // namespace tw
