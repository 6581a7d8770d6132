#include "base/formatsettings.h"

#include <memory>

namespace tw {

namespace {

bool isPatternLetter(QChar c)
{
    return c.isLetter() && c.unicode() < 128;
}

// Qt date/time pattern to our pattern syntax. Months stay "M"; minutes become "n" unless
// they follow an hour, where "m" already means minutes; the am/pm marker becomes "AMPM"
// (the settings' own texts); the time zone has no counterpart and is dropped.
QString translatePattern(const QString &qt, bool expandShortYear)
{
    QString out;
    out.reserve(qt.size() + 4);
    QChar lastToken;
    qsizetype i = 0;
    const qsizetype n = qt.size();
    while (i < n) {
        const QChar c = qt.at(i);
        if (c == QLatin1Char('\'')) {
            // Quoted text; '' inside or outside quotes is a literal quote.
            qsizetype j = i + 1;
            if (j < n && qt.at(j) == QLatin1Char('\'')) {
                out += QStringLiteral("\"'\"");
                i = j + 1;
                continue;
            }
            QString text;
            while (j < n) {
                if (qt.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && qt.at(j + 1) == QLatin1Char('\'')) {
                        text += QLatin1Char('\'');
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += qt.at(j++);
            }
            i = j + 1;
            if (text.contains(QLatin1Char('\'')))
                out += QLatin1Char('"') + text + QLatin1Char('"');
            else
                out += QLatin1Char('\'') + text + QLatin1Char('\'');
            continue;
        }
        if (!isPatternLetter(c)) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && qt.at(j) == c)
            ++j;
        const int count = int(j - i);
        i = j;
        switch (c.unicode()) {
        case 'd':
            out += QString(qMin(count, 4), QLatin1Char('d'));
            lastToken = QLatin1Char('d');
            break;
        case 'M':
        case 'L':
            out += QString(qMin(count, 4), QLatin1Char('M'));
            lastToken = QLatin1Char('M');
            break;
        case 'y':
            out += (count == 2 && !expandShortYear) ? QStringLiteral("yy") : QStringLiteral("yyyy");
            lastToken = QLatin1Char('y');
            break;
        case 'h':
        case 'H':
            out += QString(qMin(count, 2), c);
            lastToken = QLatin1Char('h');
            break;
        case 'm':
            out += QString(qMin(count, 2), lastToken == QLatin1Char('h') ? QLatin1Char('m') : QLatin1Char('n'));
            lastToken = QLatin1Char('n');
            break;
        case 's':
            out += QString(qMin(count, 2), QLatin1Char('s'));
            lastToken = QLatin1Char('s');
            break;
        case 'z':
            out += count >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
            lastToken = QLatin1Char('z');
            break;
        case 'A':
        case 'a':
            out += QStringLiteral("AMPM");
            lastToken = QLatin1Char('a');
            break;
        case 'P':
        case 'p':
            // the second letter of "AP"
            break;
        case 't':
            // time zone: drop it with the blank before it
            while (!out.isEmpty() && out.back() == QLatin1Char(' '))
                out.chop(1);
            break;
        default:
            // A letter that is a pattern letter here must be quoted to stay text.
            out += QLatin1Char('"') + QString(count, c) + QLatin1Char('"');
            break;
        }
    }
    return out.trimmed();
}

// The first character of a pattern that is neither a pattern letter nor quoted text.
QChar firstSeparator(const QString &pattern, QChar fallback)
{
    bool quoted = false;
    QChar quote;
    for (const QChar c : pattern) {
        if (quoted) {
            if (c == quote)
                quoted = false;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quoted = true;
            quote = c;
            continue;
        }
        if (!c.isLetter() && !c.isSpace())
            return c;
    }
    return fallback;
}

void fillNames(FormatSettings &fs, const QLocale &locale)
{
    fs.shortMonthNames.clear();
    fs.longMonthNames.clear();
    for (int m = 1; m <= 12; ++m) {
        fs.shortMonthNames << locale.monthName(m, QLocale::ShortFormat);
        fs.longMonthNames << locale.monthName(m, QLocale::LongFormat);
    }
    fs.shortDayNames.clear();
    fs.longDayNames.clear();
    for (int k = 0; k < 7; ++k) {
        const int qtDay = k == 0 ? 7 : k; // Qt counts from Monday, the names from Sunday
        fs.shortDayNames << locale.dayName(qtDay, QLocale::ShortFormat);
        fs.longDayNames << locale.dayName(qtDay, QLocale::LongFormat);
    }
}

std::unique_ptr<FormatSettings> &currentSlot()
{
    static std::unique_ptr<FormatSettings> slot;
    return slot;
}

} // namespace

FormatSettings FormatSettings::fromLocale(const QLocale &locale)
{
    // The C/POSIX locale has no regional conventions of its own ("d MMM yyyy"); a machine
    // set up that way gets the plain US settings, numeric dates that read back.
    if (locale.language() == QLocale::C)
        return usEnglish();
    FormatSettings fs;
    const QString dp = locale.decimalPoint();
    const QString gs = locale.groupSeparator();
    fs.decimalSeparator = dp.isEmpty() ? QLatin1Char('.') : dp.at(0);
    fs.thousandSeparator = gs.isEmpty() ? QChar(0x00A0) : gs.at(0);
    // A four-digit year in the short date keeps dates readable back unambiguously.
    fs.shortDateFormat = translatePattern(locale.dateFormat(QLocale::ShortFormat), true);
    fs.longDateFormat = translatePattern(locale.dateFormat(QLocale::LongFormat), false);
    fs.shortTimeFormat = translatePattern(locale.timeFormat(QLocale::ShortFormat), false);
    fs.longTimeFormat = translatePattern(locale.timeFormat(QLocale::LongFormat), false);
    fs.dateSeparator = firstSeparator(fs.shortDateFormat, QLatin1Char('/'));
    fs.timeSeparator = firstSeparator(fs.longTimeFormat, QLatin1Char(':'));
    fs.listSeparator = fs.decimalSeparator == QLatin1Char(',') ? QLatin1Char(';') : QLatin1Char(',');
    fs.timeAMString = locale.amText();
    fs.timePMString = locale.pmText();
    fs.currencyString = locale.currencySymbol();
    // Symbol before the amount (0) or after it with a blank (3), as the locale shows money.
    const QString money = locale.toCurrencyString(1.0);
    const bool symbolFirst = !fs.currencyString.isEmpty() && money.startsWith(fs.currencyString);
    fs.currencyFormat = symbolFirst ? 0 : 3;
    fs.negCurrFormat = symbolFirst ? 1 : 8;
    fs.currencyDecimals = 2;
    fillNames(fs, locale);
    return fs;
}

FormatSettings FormatSettings::fromSystemLocale()
{
    return fromLocale(QLocale::system());
}

FormatSettings FormatSettings::russian()
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    FormatSettings fs;
    fs.decimalSeparator = QLatin1Char(',');
    fs.thousandSeparator = QChar(0x00A0);
    fs.dateSeparator = QLatin1Char('.');
    fs.timeSeparator = QLatin1Char(':');
    fs.listSeparator = QLatin1Char(';');
    fs.shortDateFormat = QStringLiteral("dd.MM.yyyy");
    fs.longDateFormat = QStringLiteral("d MMMM yyyy 'г.'");
    fs.shortTimeFormat = QStringLiteral("H:mm");
    fs.longTimeFormat = QStringLiteral("H:mm:ss");
    fs.timeAMString = ru.amText();
    fs.timePMString = ru.pmText();
    fs.currencyString = QStringLiteral("₽");
    fs.currencyFormat = 3;
    fs.negCurrFormat = 8;
    fs.currencyDecimals = 2;
    fillNames(fs, ru);
    return fs;
}

FormatSettings FormatSettings::usEnglish()
{
    FormatSettings fs; // the member defaults are the US settings
    fs.timeAMString = QStringLiteral("AM");
    fs.timePMString = QStringLiteral("PM");
    fillNames(fs, QLocale(QLocale::English, QLocale::UnitedStates));
    return fs;
}

const FormatSettings &FormatSettings::current()
{
    auto &slot = currentSlot();
    if (!slot)
        slot = std::make_unique<FormatSettings>(fromSystemLocale());
    return *slot;
}

void FormatSettings::setCurrent(const FormatSettings &fs)
{
    auto &slot = currentSlot();
    if (slot)
        *slot = fs; // references handed out by current() stay valid
    else
        slot = std::make_unique<FormatSettings>(fs);
}

} // namespace tw
