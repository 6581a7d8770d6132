#include "base/textformat.h"

#include "base/error.h"
#include "base/formatsettings.h"
#include "base/numberformat.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <algorithm>

namespace tw {

namespace {

// A non-negative decimal number 0.d1d2d3... x 10^exp. Digits carry no leading or trailing
// zeros; no digits means zero. exp is thus the count of integer digits.
struct Decimal {
    QByteArray digits;
    int exp = 0;

    bool isZero() const { return digits.isEmpty(); }
    char at(int i) const { return i >= 0 && i < digits.size() ? digits[i] : '0'; }
};

void normalize(Decimal &d)
{
    int n = int(d.digits.size());
    while (n > 0 && d.digits[n - 1] == '0')
        --n;
    d.digits.truncate(n);
    if (d.digits.isEmpty())
        d.exp = 0;
}

// See the decimal model in the header: 15 significant digits, shortest round-trip form
// for values whose integer part is longer than that.
Decimal toDecimal(double value)
{
    Decimal d;
    const double a = std::fabs(value);
    if (a == 0 || !std::isfinite(a))
        return d;
    char buf[64];
    std::to_chars_result r = a >= 1e15 ? std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific)
                                       : std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
    const char *p = buf;
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.append(*p);
    }
    // to_chars does not terminate its text: read the exponent within its bounds.
    int e = 0;
    if (p < r.ptr) {
        const char *q = p + 1;
        if (q < r.ptr && *q == '+')
            ++q;
        std::from_chars(q, r.ptr, e);
    }
    d.exp = e + 1;
    // The mantissa of to_chars never starts with 0 for a non-zero value.
    normalize(d);
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero on the next one.
void roundKeep(Decimal &d, int keep)
{
    if (keep >= d.digits.size())
        return;
    if (keep < 0) {
        d = Decimal();
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.digits.truncate(keep);
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i < 0) {
            d.digits.prepend('1');
            ++d.exp;
        } else {
            d.digits[i] = char(d.digits[i] + 1);
        }
    }
    normalize(d);
}

void roundDecimals(Decimal &d, int decimals)
{
    if (!d.isZero())
        roundKeep(d, d.exp + decimals);
}

void roundSignificant(Decimal &d, int count)
{
    roundKeep(d, count);
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
}

// Integer digits of d ("" for values below 1).
QString integerDigits(const Decimal &d)
{
    QString s;
    for (int i = 0; i < d.exp; ++i)
        s.append(QLatin1Char(d.at(i)));
    return s;
}

QString grouped(const QString &digits, QChar sep)
{
    QString s;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        s.append(digits[i]);
        const int rest = n - i - 1;
        if (rest > 0 && rest % 3 == 0)
            s.append(sep);
    }
    return s;
}

// ---- pattern formatting ------------------------------------------------------------

bool isQuote(QChar c) { return c == QLatin1Char('\'') || c == QLatin1Char('"'); }

bool isExponentAt(const QString &s, int i)
{
    return (s[i] == QLatin1Char('E') || s[i] == QLatin1Char('e')) && i + 1 < s.size()
        && (s[i + 1] == QLatin1Char('+') || s[i + 1] == QLatin1Char('-'));
}

QStringList splitSections(const QString &pattern)
{
    QStringList out;
    QString cur;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (isQuote(c)) {
            const int end = pattern.indexOf(c, i + 1);
            const int stop = end < 0 ? int(pattern.size()) : end + 1;
            cur += pattern.mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char(';')) {
            out.append(cur);
            cur.clear();
            if (out.size() == 3)
                return out; // a fourth section is never used
        } else {
            cur.append(c);
        }
    }
    out.append(cur);
    return out;
}

struct SectionScan {
    int intPlaces = 0;    // "0" and "#" before the decimal point
    int forcedInt = 0;    // integer places from the first "0" on
    int fracPlaces = 0;
    int forcedFrac = 0;   // fraction places up to the last "0"
    bool point = false;
    bool grouping = false;
    bool scientific = false;
    int expDigits = 0;

    bool showsNumber() const { return intPlaces > 0 || fracPlaces > 0 || point; }
};

SectionScan scanSection(const QString &s)
{
    SectionScan sc;
    int firstZero = -1;
    bool afterExp = false;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (isQuote(c)) {
            const int end = s.indexOf(c, i + 1);
            i = end < 0 ? int(s.size()) : end;
            continue;
        }
        if (afterExp)
            continue;
        if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            if (!sc.point) {
                if (c == QLatin1Char('0') && firstZero < 0)
                    firstZero = sc.intPlaces;
                ++sc.intPlaces;
            } else {
                ++sc.fracPlaces;
                if (c == QLatin1Char('0'))
                    sc.forcedFrac = sc.fracPlaces;
            }
        } else if (c == QLatin1Char('.')) {
            sc.point = true;
        } else if (c == QLatin1Char(',')) {
            if (!sc.point)
                sc.grouping = true;
        } else if (isExponentAt(s, i)) {
            sc.scientific = true;
            afterExp = true;
            i += 2;
            while (i < s.size() && s[i] == QLatin1Char('0')) {
                ++sc.expDigits;
                ++i;
            }
            --i;
        }
    }
    sc.forcedInt = firstZero < 0 ? 0 : sc.intPlaces - firstZero;
    return sc;
}

struct Rendered {
    QString text;
    bool roundedToZero = false; // a non-zero value shown as zero
};

// Formats the magnitude `a` (>= 0) by one section.
Rendered renderSection(const QString &s, double a, const FormatSettings &fs)
{
    const SectionScan sc = scanSection(s);
    Rendered out;
    Decimal d = toDecimal(a);
    const bool wasZero = d.isZero();

    QString intDigits;
    int exponent = 0;
    int fracShown = 0;
    auto fracDigit = [&](int j) -> QChar { // j counts from 1
        const int idx = sc.scientific ? sc.intPlaces + j - 1 : d.exp + j - 1;
        return QLatin1Char(d.at(idx));
    };

    if (sc.scientific) {
        roundSignificant(d, std::max(sc.intPlaces + sc.fracPlaces, 1));
        if (!d.isZero()) {
            exponent = d.exp - sc.intPlaces;
            for (int i = 0; i < sc.intPlaces; ++i)
                intDigits.append(QLatin1Char(d.at(i)));
        }
        const int sig = std::max(0, int(d.digits.size()) - sc.intPlaces);
        fracShown = std::max(sc.forcedFrac, std::min(sig, sc.fracPlaces));
    } else {
        roundDecimals(d, sc.fracPlaces);
        intDigits = integerDigits(d);
        const int sig = std::max(0, int(d.digits.size()) - d.exp);
        fracShown = std::max(sc.forcedFrac, std::min(sig, sc.fracPlaces));
    }
    if (intDigits.size() < sc.forcedInt)
        intDigits = QString(sc.forcedInt - intDigits.size(), QLatin1Char('0')) + intDigits;
    out.roundedToZero = !wasZero && d.isZero() && sc.showsNumber();

    if (!sc.showsNumber()) {
        // Plain text section: only its literals.
        for (int i = 0; i < s.size(); ++i) {
            const QChar c = s[i];
            if (isQuote(c)) {
                const int end = s.indexOf(c, i + 1);
                const int stop = end < 0 ? int(s.size()) : end;
                out.text += s.mid(i + 1, stop - i - 1);
                i = stop;
            } else if (c != QLatin1Char(',')) {
                out.text.append(c);
            }
        }
        return out;
    }

    const int n = int(intDigits.size());
    const int places = sc.intPlaces;
    const bool group = sc.grouping && !sc.scientific;
    // Emits the integer digit whose position counted from the right is r (1-based).
    auto emitInt = [&](int r) {
        out.text.append(intDigits[n - r]);
        if (group && r > 1 && (r - 1) % 3 == 0)
            out.text.append(fs.thousandSeparator);
    };

    int intSeen = 0;
    int fracSeen = 0;
    bool inFraction = false;
    bool afterExp = false;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (isQuote(c)) {
            const int end = s.indexOf(c, i + 1);
            const int stop = end < 0 ? int(s.size()) : end;
            out.text += s.mid(i + 1, stop - i - 1);
            i = stop;
            continue;
        }
        if (afterExp) {
            if (c != QLatin1Char('0') && c != QLatin1Char('#') && c != QLatin1Char(','))
                out.text.append(c);
            continue;
        }
        if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            if (!inFraction) {
                const int k = intSeen++;
                if (k == 0) {
                    for (int r = n; r >= places && r >= 1; --r)
                        emitInt(r);
                } else {
                    const int r = places - k;
                    if (r >= 1 && r <= n)
                        emitInt(r);
                }
            } else {
                ++fracSeen;
                if (fracSeen <= fracShown)
                    out.text.append(fracDigit(fracSeen));
            }
        } else if (c == QLatin1Char('.') && !inFraction) {
            inFraction = true;
            if (places == 0)
                for (int r = n; r >= 1; --r)
                    emitInt(r);
            if (fracShown > 0)
                out.text.append(fs.decimalSeparator);
        } else if (c == QLatin1Char(',')) {
            // grouping flag only
        } else if (sc.scientific && isExponentAt(s, i)) {
            afterExp = true;
            out.text.append(c);
            const bool plus = s[i + 1] == QLatin1Char('+');
            if (exponent < 0)
                out.text.append(QLatin1Char('-'));
            else if (plus)
                out.text.append(QLatin1Char('+'));
            QString digits = QString::number(std::abs(exponent));
            const int want = std::max(sc.expDigits, 1);
            if (digits.size() < want)
                digits.prepend(QString(want - digits.size(), QLatin1Char('0')));
            out.text += digits;
            i += 1 + sc.expDigits;
        } else {
            out.text.append(c);
        }
    }
    return out;
}

// ---- printf-like formatting ----------------------------------------------------------

QString padDigits(QString digits, int precision)
{
    if (precision > digits.size())
        digits.prepend(QString(precision - digits.size(), QLatin1Char('0')));
    return digits;
}

QString fixedText(double value, int decimals, bool group, const FormatSettings &fs, bool *negative = nullptr)
{
    Decimal d = toDecimal(value);
    roundDecimals(d, decimals);
    QString ip = integerDigits(d);
    if (ip.isEmpty())
        ip = QStringLiteral("0");
    QString s = group ? grouped(ip, fs.thousandSeparator) : ip;
    if (decimals > 0) {
        s.append(fs.decimalSeparator);
        for (int j = 1; j <= decimals; ++j)
            s.append(QLatin1Char(d.at(d.exp + j - 1)));
    }
    const bool neg = value < 0 && !d.isZero();
    if (negative)
        *negative = neg;
    else if (neg)
        s.prepend(QLatin1Char('-'));
    return s;
}

QString exponentText(double value, int precision, const FormatSettings &fs)
{
    Decimal d = toDecimal(value);
    roundSignificant(d, precision);
    QString s;
    if (value < 0 && !d.isZero())
        s.append(QLatin1Char('-'));
    s.append(QLatin1Char(d.isZero() ? '0' : d.at(0)));
    if (precision > 1) {
        s.append(fs.decimalSeparator);
        for (int i = 1; i < precision; ++i)
            s.append(QLatin1Char(d.at(i)));
    }
    const int e = d.isZero() ? 0 : d.exp - 1;
    s.append(QLatin1Char('E'));
    s.append(QLatin1Char(e < 0 ? '-' : '+'));
    s += padDigits(QString::number(std::abs(e)), 3);
    return s;
}

QString generalText(double value, int precision, const FormatSettings &fs)
{
    Decimal d = toDecimal(value);
    roundSignificant(d, precision);
    if (d.isZero())
        return QStringLiteral("0");
    QString s;
    if (value < 0)
        s.append(QLatin1Char('-'));
    const int e = d.exp;
    const int count = int(d.digits.size());
    if (e <= precision && e >= -4) {
        if (e > 0)
            s += integerDigits(d);
        else
            s.append(QLatin1Char('0'));
        if (count > e) {
            s.append(fs.decimalSeparator);
            for (int i = e; i < 0; ++i)
                s.append(QLatin1Char('0'));
            for (int i = std::max(e, 0); i < count; ++i)
                s.append(QLatin1Char(d.digits[i]));
        }
    } else {
        s.append(QLatin1Char(d.digits[0]));
        if (count > 1) {
            s.append(fs.decimalSeparator);
            s += QString::fromLatin1(d.digits.mid(1));
        }
        s.append(QLatin1Char('E'));
        s += QString::number(e - 1);
    }
    return s;
}

QString moneyText(double value, int decimals, const FormatSettings &fs)
{
    bool neg = false;
    const QString n = fixedText(value, decimals, true, fs, &neg);
    const QString &c = fs.currencyString;
    const QString sp = QStringLiteral(" ");
    if (!neg) {
        switch (fs.currencyFormat) {
        case 1: return n + c;
        case 2: return c + sp + n;
        case 3: return n + sp + c;
        default: return c + n;
        }
    }
    const QString m = QStringLiteral("-");
    switch (fs.negCurrFormat) {
    case 1: return m + c + n;
    case 2: return c + m + n;
    case 3: return c + n + m;
    case 4: return QLatin1Char('(') + n + c + QLatin1Char(')');
    case 5: return m + n + c;
    case 6: return n + m + c;
    case 7: return n + c + m;
    case 8: return m + n + sp + c;
    case 9: return m + c + sp + n;
    case 10: return n + sp + c + m;
    case 11: return c + sp + n + m;
    case 12: return c + sp + m + n;
    case 13: return n + m + sp + c;
    case 14: return QStringLiteral("(") + c + sp + n + QLatin1Char(')');
    case 15: return QLatin1Char('(') + n + sp + c + QLatin1Char(')');
    default: return QLatin1Char('(') + c + n + QLatin1Char(')');
    }
}

bool isInteger(const Variant &v)
{
    return v.kind() == Variant::Kind::Int32 || v.kind() == Variant::Kind::Int64;
}

bool isNumber(const Variant &v)
{
    return isInteger(v) || v.kind() == Variant::Kind::Double;
}

// Widths and precisions beyond this are refused rather than allocated.
constexpr qint64 maxFieldSize = 1 << 20;

} // namespace

QString formatFloat(const QString &pattern, double value, const FormatSettings &fs)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    const QStringList sections = splitSections(pattern);
    auto sectionOrFirst = [&](int i) {
        return i < sections.size() && !sections[i].isEmpty() ? i : 0;
    };
    const bool negative = value < 0;
    const int idx = value == 0 ? sectionOrFirst(2) : negative ? sectionOrFirst(1) : 0;
    if (sections[idx].isEmpty())
        return floatToStr(value, fs);
    const Rendered r = renderSection(sections[idx], std::fabs(value), fs);
    if (r.roundedToZero) {
        const int zi = sectionOrFirst(2);
        if (sections[zi].isEmpty())
            return floatToStr(0.0, fs);
        return renderSection(sections[zi], 0.0, fs).text;
    }
    if (negative && idx == 0)
        return QLatin1Char('-') + r.text;
    return r.text;
}

QString format(const QString &fmt, const QVector<Variant> &args, const FormatSettings &fs)
{
    auto invalid = [&]() {
        return EConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(fmt));
    };
    auto noArgument = [&]() { return EConvertError(QStringLiteral("No argument for format '%1'").arg(fmt)); };

    QString out;
    qint64 argIndex = 0;
    const int n = int(fmt.size());
    auto nextArg = [&]() -> const Variant & {
        if (argIndex < 0 || argIndex >= args.size())
            throw noArgument();
        return args[int(argIndex++)];
    };
    auto digit = [&](int i) { return i < n && fmt[i] >= QLatin1Char('0') && fmt[i] <= QLatin1Char('9'); };
    // A number or "*" at i; false when there is neither.
    auto readNumber = [&](int &i, qint64 &value) {
        if (i < n && fmt[i] == QLatin1Char('*')) {
            const Variant &a = nextArg();
            if (!isInteger(a))
                throw invalid();
            value = a.toInt64();
            ++i;
            return true;
        }
        if (!digit(i))
            return false;
        value = 0;
        while (digit(i)) {
            value = value * 10 + (fmt[i].unicode() - '0');
            if (value > maxFieldSize)
                throw invalid();
            ++i;
        }
        return true;
    };

    for (int i = 0; i < n; ++i) {
        const QChar ch = fmt[i];
        if (ch != QLatin1Char('%')) {
            out.append(ch);
            continue;
        }
        ++i;
        if (i < n && fmt[i] == QLatin1Char('%')) {
            out.append(QLatin1Char('%'));
            continue;
        }
        bool left = false;
        qint64 width = -1;
        qint64 precision = -1;
        qint64 number = 0;
        bool haveWidth = false;
        if (readNumber(i, number)) {
            if (i < n && fmt[i] == QLatin1Char(':')) {
                argIndex = number;
                ++i;
            } else {
                width = number;
                haveWidth = true;
            }
        }
        if (!haveWidth) {
            if (i < n && fmt[i] == QLatin1Char('-')) {
                left = true;
                ++i;
            }
            if (readNumber(i, number)) {
                width = number;
                haveWidth = true;
            }
        }
        if (i < n && fmt[i] == QLatin1Char('.')) {
            ++i;
            if (!readNumber(i, precision))
                precision = 0;
        }
        if (haveWidth && width < 0) { // "*" gave a negative width
            left = true;
            width = -width;
        }
        if (width > maxFieldSize || precision > maxFieldSize)
            throw invalid();
        if (i >= n)
            throw invalid();

        const char type = char(fmt[i].toLower().unicode() < 128 ? fmt[i].toLower().unicode() : 0);
        QString text;
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            const Variant &a = nextArg();
            if (!isInteger(a))
                throw invalid();
            const qint64 v = a.toInt64();
            const bool is64 = a.kind() == Variant::Kind::Int64;
            quint64 mag;
            bool neg = false;
            if (type == 'd') {
                neg = v < 0;
                mag = neg ? quint64(0) - quint64(v) : quint64(v);
            } else {
                mag = is64 ? quint64(v) : quint64(quint32(qint32(v)));
            }
            text = type == 'x' ? QString::number(mag, 16).toUpper() : QString::number(mag);
            text = padDigits(text, int(precision));
            if (neg)
                text.prepend(QLatin1Char('-'));
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            const Variant &a = nextArg();
            if (!isNumber(a))
                throw invalid();
            const double v = a.toDouble();
            if (!std::isfinite(v)) {
                text = nonFiniteText(v);
            } else if (type == 'e') {
                text = exponentText(v, int(std::clamp<qint64>(precision < 0 ? 15 : precision, 1, 18)), fs);
            } else if (type == 'g') {
                text = generalText(v, int(std::clamp<qint64>(precision < 0 ? 15 : precision, 1, 18)), fs);
            } else if (type == 'm') {
                const qint64 dec = precision < 0 ? fs.currencyDecimals : precision;
                text = moneyText(v, int(std::clamp<qint64>(dec, 0, 18)), fs);
            } else {
                const int dec = int(std::clamp<qint64>(precision < 0 ? 2 : precision, 0, 18));
                text = fixedText(v, dec, type == 'n', fs);
            }
            break;
        }
        case 's': {
            const Variant &a = nextArg();
            if (a.isArray() || a.isObject())
                throw invalid();
            text = a.isEmptyOrNull() ? QString() : a.isString() ? a.toString() : a.toString(fs);
            if (precision >= 0 && precision < text.size())
                text.truncate(int(precision));
            break;
        }
        case 'p': {
            const Variant &a = nextArg();
            quint64 p;
            if (a.isObject())
                p = quint64(quintptr(a.toObject()));
            else if (isInteger(a))
                p = quint64(a.toInt64());
            else
                throw invalid();
            text = padDigits(QString::number(p, 16).toUpper(), 8);
            break;
        }
        default:
            throw invalid();
        }
        if (width > text.size()) {
            const QString pad(int(width - text.size()), QLatin1Char(' '));
            text = left ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}

namespace {

struct MaskItem {
    bool data = false;
    QChar literal;
    int caseMode = 0; // 0 none, 1 upper, 2 lower
};

QChar applyCase(QChar c, int mode)
{
    return mode == 1 ? c.toUpper() : mode == 2 ? c.toLower() : c;
}

} // namespace

QString formatMaskText(const QString &editMask, const QString &value, const FormatSettings &fs)
{
    // Split off the ";save;blank" trailer; an escaped ";" belongs to the mask.
    int sep = -1;
    for (int i = 0; i < editMask.size(); ++i) {
        if (editMask[i] == QLatin1Char('\\')) {
            ++i;
        } else if (editMask[i] == QLatin1Char(';')) {
            sep = i;
            break;
        }
    }
    const QString mask = sep < 0 ? editMask : editMask.left(sep);
    const bool saveLiterals = !(sep >= 0 && sep + 1 < editMask.size() && editMask[sep + 1] == QLatin1Char('0'));

    QVector<MaskItem> items;
    bool reverse = false;
    int caseMode = 0;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        switch (c.unicode()) {
        case '!':
            reverse = true;
            continue;
        case '>':
            caseMode = 1;
            continue;
        case '<':
            if (i + 1 < mask.size() && mask[i + 1] == QLatin1Char('>')) {
                caseMode = 0;
                ++i;
            } else {
                caseMode = 2;
            }
            continue;
        case '\\':
            if (i + 1 < mask.size())
                items.append({false, mask[++i], 0});
            continue;
        case '0': case '9': case '#': case 'L': case 'l': case 'A': case 'a': case 'C': case 'c':
            items.append({true, QChar(), caseMode});
            continue;
        case '/':
            items.append({false, fs.dateSeparator, 0});
            continue;
        case ':':
            items.append({false, fs.timeSeparator, 0});
            continue;
        case '_':
            items.append({false, QLatin1Char(' '), 0});
            continue;
        default:
            items.append({false, c, 0});
        }
    }

    const QChar blank = QLatin1Char(' ');
    QString out;
    if (!saveLiterals) {
        // The value holds only data characters: literals are inserted around them.
        if (!reverse) {
            int vi = 0;
            for (const MaskItem &it : items) {
                if (!it.data)
                    out.append(it.literal);
                else
                    out.append(vi < value.size() ? applyCase(value[vi++], it.caseMode) : blank);
            }
            out += value.mid(vi);
        } else {
            int vi = int(value.size());
            for (int k = int(items.size()) - 1; k >= 0; --k) {
                const MaskItem &it = items[k];
                if (!it.data)
                    out.prepend(it.literal);
                else
                    out.prepend(vi > 0 ? applyCase(value[--vi], it.caseMode) : blank);
            }
            out.prepend(value.left(vi));
        }
        return out;
    }

    // The value may hold the literals: read each run of data characters up to its literal.
    int vi = 0;
    const int vn = int(value.size());
    for (int k = 0; k < items.size();) {
        if (!items[k].data) {
            if (vi < vn && value[vi] == items[k].literal)
                ++vi;
            out.append(items[k].literal);
            ++k;
            continue;
        }
        int end = k;
        while (end < items.size() && items[end].data)
            ++end;
        const int places = end - k;
        const bool hasLiteral = end < items.size();
        int take = -1;
        if (hasLiteral) {
            for (int j = 0; j <= places && vi + j < vn; ++j) {
                if (value[vi + j] == items[end].literal) {
                    take = j;
                    break;
                }
            }
        }
        if (take < 0)
            take = std::min(places, vn - vi);
        QString run = value.mid(vi, take);
        vi += take;
        const QString pad(places - run.size(), blank);
        run = reverse ? pad + run : run + pad;
        for (int j = 0; j < places; ++j)
            out.append(run[j] == blank ? blank : applyCase(run[j], items[k + j].caseMode));
        k = end;
    }
    out += value.mid(vi);
    return out;
}

QString formatMaskText(const QString &editMask, const QString &value)
{
    return formatMaskText(editMask, value, FormatSettings::current());
}

} // namespace tw
