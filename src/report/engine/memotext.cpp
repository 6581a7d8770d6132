#include "report/engine/memotext.h"

#include "base/codepage.h"
#include "base/datetime.h"
#include "base/formatsettings.h"
#include "base/sametext.h"
#include "base/textformat.h"
#include "report/model/memo.h"
#include "report/model/report.h"

namespace tw {

namespace {

bool matchAt(const QString &text, qsizetype pos, const QString &what)
{
    // The first character settles nearly every position of a scan.
    return !what.isEmpty() && pos >= 0 && pos < text.size() && text[pos] == what[0]
        && QStringView(text).mid(pos).startsWith(what);
}

// Font character sets that stand for a single-byte code page.
int charsetCodePage(int charset)
{
    switch (charset) {
    case 0: return 1252;   // ANSI
    case 161: return 1253; // Greek
    case 162: return 1254; // Turkish
    case 163: return 1258; // Vietnamese
    case 177: return 1255; // Hebrew
    case 178: return 1256; // Arabic
    case 186: return 1257; // Baltic
    case 204: return 1251; // Russian
    case 222: return 874;  // Thai
    case 238: return 1250; // Central European
    default: return 0;
    }
}

QString formatNumeric(const Variant &value, const TfrxFormat &format, const FormatSettings &fs)
{
    const QString &pattern = format.FormatStr();
    QString r;
    if (pattern.contains(QLatin1Char('#')) || pattern.startsWith(QLatin1Char('0')))
        r = formatFloat(pattern, value.toDouble(), fs);
    else if (pattern.contains(QLatin1Char('d')) || pattern.contains(QLatin1Char('u')))
        r = tw::format(pattern, {Variant(value.toInt64())}, fs);
    else
        r = tw::format(pattern, {Variant(value.toDouble())}, fs);

    // The decimal separator's place is taken before the thousand separators change, so a
    // thousand separator equal to the locale's decimal one does not move it.
    const QString &decimal = format.DecimalSeparator();
    const QString &thousand = format.ThousandSeparator();
    qsizetype decimalAt = -1;
    if (decimal.size() == 1 && decimal[0] != fs.decimalSeparator)
        decimalAt = r.lastIndexOf(fs.decimalSeparator);
    if (thousand.size() == 1 && thousand[0] != fs.thousandSeparator)
        r.replace(fs.thousandSeparator, thousand[0]);
    if (decimalAt >= 0)
        r[decimalAt] = decimal[0];
    return r;
}

} // namespace

void splitExpressionDelimiters(const QString &delimiters, QString &open, QString &close)
{
    const qsizetype comma = delimiters.indexOf(QLatin1Char(','));
    if (comma < 0) {
        open = delimiters;
        close.clear();
        return;
    }
    open = delimiters.left(comma);
    close = delimiters.mid(comma + 1);
}

bool findBracket(const QString &text, qsizetype pos, const QString &open, const QString &close,
                 QString &expression, qsizetype &end)
{
    expression.clear();
    end = pos;
    const qsizetype n = text.size();
    if (pos < 0 || pos >= n || !matchAt(text, pos, open))
        return false;
    int depth = 0;
    bool inSingle = false, inDouble = false;
    for (qsizetype p = pos; p < n; ++p) {
        if (!inSingle && !inDouble) {
            if (matchAt(text, p, open))
                ++depth;
            else if (matchAt(text, p, close))
                --depth;
        }
        const QChar c = text[p];
        if (c == QLatin1Char('\'') && !inDouble)
            inSingle = !inSingle;
        else if (c == QLatin1Char('"') && !inSingle)
            inDouble = !inDouble;
        if (depth == 0) {
            const qsizetype from = pos + open.size();
            expression = text.mid(from, qMax<qsizetype>(0, p - from));
            end = qMin(n - 1, p + close.size() - 1);
            return true;
        }
    }
    // No matching close: the rest of the text.
    expression = text.mid(pos + open.size());
    end = n - 1;
    return true;
}

QString expandBrackets(const QString &text, const QString &open, const QString &close,
                       const std::function<QString(const QString &expression)> &evaluate)
{
    if (open.isEmpty() || !text.contains(open))
        return text;
    QString s = text;
    qsizetype i = 0;
    for (;;) {
        while (i < s.size() - 1 && !matchAt(s, i, open))
            ++i;
        QString expression;
        qsizetype end = 0;
        if (!findBracket(s, i, open, close, expression, end))
            break;
        s.remove(i, end - i + 1);
        const QString result = evaluate(expression);
        s.insert(i, result);
        i += result.size();
    }
    return s;
}

bool splitBracketFormat(const QString &text, QString &expression, TfrxFormat &format)
{
    expression = text;
    const qsizetype b = text.indexOf(QLatin1String(" #"));
    if (b < 0)
        return false;
    QString part = text.mid(b + 2);
    // A ')' after " #" means the " #" sits inside the expression, e.g. in a string literal.
    if (part.contains(QLatin1Char(')')))
        return false;
    expression = text.left(b);

    const QChar kind = part.isEmpty() ? QChar() : part[0];
    format.SetDecimalSeparator(QString());
    format.SetThousandSeparator(QString());
    if (kind == QLatin1Char('N') || kind == QLatin1Char('n')) {
        format.SetKind(TfrxFormatKind::fkNumeric);
        for (qsizetype k = 0; k < part.size(); ++k) {
            const QChar c = part[k];
            if (c == QLatin1Char(',') || c == QLatin1Char('-') || c == QLatin1Char('.')) {
                format.SetDecimalSeparator(QString(c));
                part[k] = QLatin1Char('.');
            }
        }
    } else if (kind == QLatin1Char('D') || kind == QLatin1Char('T') || kind == QLatin1Char('d') ||
               kind == QLatin1Char('t')) {
        format.SetKind(TfrxFormatKind::fkDateTime);
    } else if (kind == QLatin1Char('B') || kind == QLatin1Char('b')) {
        format.SetKind(TfrxFormatKind::fkBoolean);
    } else {
        format.SetKind(TfrxFormatKind::fkText);
    }
    format.SetFormatStr(part.mid(1, 255));
    return true;
}

QString formatValue(const Variant &value, const TfrxFormat &format)
{
    if (value.isNull())
        return QString();
    const FormatSettings &fs = FormatSettings::current();
    try {
        switch (format.Kind()) {
        case TfrxFormatKind::fkText:
            return value.toString(fs);
        case TfrxFormatKind::fkNumeric:
            return formatNumeric(value, format, fs);
        case TfrxFormatKind::fkDateTime: {
            const TDateTime dt = value.isString() ? strToDateTime(value.toString(fs), fs) : value.toDouble();
            return formatDateTime(format.FormatStr(), dt, fs);
        }
        case TfrxFormatKind::fkBoolean: {
            const QString &s = format.FormatStr();
            const qsizetype comma = s.indexOf(QLatin1Char(','));
            const QString no = comma < 0 ? QString() : s.left(comma);
            const QString yes = s.mid(comma + 1);
            return var::equals(value, Variant(true)) ? yes : no;
        }
        }
    } catch (const Error &) {
    } catch (const std::exception &) {
    }
    return value.toText();
}

bool isHiddenZero(const Variant &value)
{
    if (value.isString())
        return false;
    try {
        return var::equals(value, Variant(0));
    } catch (const Error &) {
        return false;
    }
}

QString evaluateMemoBracket(TfrxCustomMemoView *memo, const QString &text, int index)
{
    QString expression;
    TfrxFormat oneOff;
    const bool hasFormat = splitBracketFormat(text, expression, oneOff);

    // Page totals and copy names are known only when the pages are drawn.
    const QString key = upperText(expression.trimmed());
    if (key == QLatin1String("TOTALPAGES#"))
        return QStringLiteral("[TotalPages#]");
    if (key == QLatin1String("COPYNAME#"))
        return QStringLiteral("[CopyName#]");

    if (!memo->UseDefaultCharset())
        expression = roundTripCharset(expression, memo->Font()->Charset());
    TfrxReport *report = memo->Report();
    const Variant value = report ? report->Calc(expression) : Variant::null();
    memo->SetValue(value);
    if (memo->HideZeros() && isHiddenZero(value))
        return QString();
    return memo->FormatData(value, hasFormat ? &oneOff : memo->BracketFormat(index));
}

void expandMemoText(TfrxCustomMemoView *memo)
{
    QString open, close;
    splitExpressionDelimiters(memo->ExpressionDelimiters(), open, close);
    const QString text = memo->Text();
    if (open.isEmpty() || !text.contains(open))
        return;
    // Results are never rescanned, so the n-th call is the n-th bracket of the text.
    int index = 0;
    memo->SetText(expandBrackets(text, open, close,
                                 [memo, &index](const QString &e) { return evaluateMemoBracket(memo, e, index++); }));
}

QString roundTripCharset(const QString &text, int charset)
{
    const int cp = charsetCodePage(charset);
    if (cp == 0 || !codepage::isSupportedCodePage(cp))
        return text;
    return codepage::fromCodePage(codepage::toCodePage(text, cp), cp);
}

} // namespace tw
