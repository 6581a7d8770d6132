#include "report/engine/drawtext.h"

#include "report/model/colors.h"
#include "report/model/font.h"

#include <algorithm>
#include <cmath>

namespace tw {

namespace {

// Rounding of the layout: halves to even, as the measuring code always did.
int roundInt(double v)
{
    return int(std::nearbyint(v));
}

const QString russianConsonants = QStringLiteral("БВГДЖЗЙКЛМНПРСТФХЦЧШЩЬЪ");
const QString russianVowels = QStringLiteral("АЕЁИОУЫЭЮЯ");

bool isConsonant(QChar c)
{
    return russianConsonants.contains(c);
}

bool isVowel(QChar c)
{
    return russianVowels.contains(c);
}

bool hasVowel(QStringView s)
{
    return std::any_of(s.begin(), s.end(), isVowel);
}

// Whether an upper-cased word may be hyphenated after its character p.
bool breakAfter(const QString &w, qsizetype p)
{
    const qsizetype n = w.size();
    if (p + 1 < 2 || n - p - 1 < 2)
        return false;
    if (!hasVowel(QStringView(w).left(p + 1)) || !hasVowel(QStringView(w).mid(p + 1)))
        return false;
    const QChar c = w[p];
    const QChar next = w[p + 1];
    if (isConsonant(c))
        return !isVowel(next) && next != QChar(u'Ь') && next != QChar(u'Ъ');
    if (isVowel(c)) {
        if (next == QChar(u'Й'))
            return false;
        // Before a doubled consonant and a vowel the break goes between the two consonants.
        if (p + 3 < n && isConsonant(w[p + 1]) && w[p + 1] == w[p + 2] && isVowel(w[p + 3]))
            return false;
        return true;
    }
    return false;
}

bool startsWithTag(const QString &s, qsizetype pos, QLatin1String tag)
{
    return QStringView(s).mid(pos, tag.size()).compare(tag, Qt::CaseInsensitive) == 0;
}

// "#RRGGBB" digits as a colour with red in the low byte.
bool parseHexColor(QStringView digits, int &color)
{
    if (digits.isEmpty() || digits.size() > 6)
        return false;
    bool ok = false;
    const uint v = digits.toUInt(&ok, 16);
    if (!ok)
        return false;
    color = int(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
    return true;
}

// Text turned a quarter either way runs along the rectangle's height.
bool rotatedAcross(int rotation)
{
    return (rotation >= 90 && rotation < 180) || (rotation >= 270 && rotation < 360);
}

QString hexColor(int color)
{
    const uint rgb = (uint(color) & 0xFF) << 16 | (uint(color) & 0xFF00) | ((uint(color) >> 16) & 0xFF);
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::recursive_mutex &frxDrawTextLock()
{
    static std::recursive_mutex lock;
    return lock;
}

// A source line with its tags taken out: the characters, where each one stands in the
// source and the style it is drawn in.
struct TfrxDrawText::ParsedLine {
    QString plain;
    std::vector<qsizetype> source;
    std::vector<TfrxHTMLStyle> styles;
};

TfrxDrawText::TfrxDrawText()
{
    // A line's widths go here; long lines grow it.
    m_widths.resize(32768);
}

void TfrxDrawText::SetFont(const TFont &font)
{
    m_fontName = font.Name();
    m_fontSize = font.Size();
    m_fontStyle = font.Style();
    m_fontCharset = font.Charset();
    m_fontColor = font.Color();
}

void TfrxDrawText::SetOptions(bool wordWrap, bool htmlTags, bool rtl, bool wordBreak, bool clipped, bool wysiwyg,
                              int rotation)
{
    m_wordWrap = wordWrap;
    m_htmlTags = htmlTags;
    m_rtl = rtl;
    m_wordBreak = wordBreak;
    m_clipped = clipped;
    m_wysiwyg = wysiwyg;
    m_rotation = ((rotation % 360) + 360) % 360;
}

void TfrxDrawText::SetGaps(double paragraphGap, double charSpacing, double lineSpacing)
{
    m_paragraphGap = paragraphGap;
    m_charSpacing = charSpacing;
    m_lineSpacing = lineSpacing;
}

void TfrxDrawText::SetRect(const QRectF &rect)
{
    m_rect = rect;
}

double TfrxDrawText::rectWidth() const
{
    return rotatedAcross(m_rotation) ? m_rect.height() : m_rect.width();
}

double TfrxDrawText::rectHeight() const
{
    return rotatedAcross(m_rotation) ? m_rect.width() : m_rect.height();
}

TextFontSpec TfrxDrawText::fontFor(const TfrxHTMLStyle &style) const
{
    return TextFontSpec{m_fontName, roundInt(m_fontSize * 600.0 / 72), style.style, m_fontCharset};
}

void TfrxDrawText::parseLine(const QString &line, ParsedLine &out, TfrxHTMLStyle &state) const
{
    static const struct {
        QLatin1String tag;
        int style;     // style bit the tag changes, 0 for none
        bool set;
        int flag;      // 1 sub, 2 sup, 3 nowrap
    } simpleTags[] = {
        {QLatin1String("<b>"), fsBold, true, 0},           {QLatin1String("</b>"), fsBold, false, 0},
        {QLatin1String("<i>"), fsItalic, true, 0},         {QLatin1String("</i>"), fsItalic, false, 0},
        {QLatin1String("<u>"), fsUnderline, true, 0},      {QLatin1String("</u>"), fsUnderline, false, 0},
        {QLatin1String("<strike>"), fsStrikeOut, true, 0}, {QLatin1String("</strike>"), fsStrikeOut, false, 0},
        {QLatin1String("<sub>"), 0, true, 1},              {QLatin1String("</sub>"), 0, false, 1},
        {QLatin1String("<sup>"), 0, true, 2},              {QLatin1String("</sup>"), 0, false, 2},
        {QLatin1String("<nowrap>"), 0, true, 3},           {QLatin1String("</nowrap>"), 0, false, 3},
    };
    const QLatin1String fontOpen("<font color=");
    const QLatin1String fontClose("</font>");

    out.plain.clear();
    out.source.clear();
    out.styles.clear();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        if (m_htmlTags && line[i] == QLatin1Char('<')) {
            qsizetype taken = 0;
            for (const auto &t : simpleTags) {
                if (!startsWithTag(line, i, t.tag))
                    continue;
                if (t.style)
                    state.style = t.set ? (state.style | t.style) : (state.style & ~t.style);
                else if (t.flag == 1)
                    state.sub = t.set;
                else if (t.flag == 2)
                    state.sup = t.set;
                else
                    state.nowrap = t.set;
                taken = t.tag.size();
                break;
            }
            if (!taken && startsWithTag(line, i, fontClose)) {
                state.color = m_fontColor;
                taken = fontClose.size();
            }
            if (!taken && startsWithTag(line, i, fontOpen)) {
                qsizetype v = i + fontOpen.size();
                while (v < n && line[v] == QLatin1Char(' '))
                    ++v;
                const qsizetype close = line.indexOf(QLatin1Char('>'), v);
                if (close >= 0) {
                    const QStringView value = QStringView(line).mid(v, close - v);
                    int color = 0;
                    if (value.size() >= 3 && value.startsWith(QLatin1String("\"#")) && value.endsWith(QLatin1Char('"'))) {
                        if (parseHexColor(value.mid(2, value.size() - 3), color))
                            state.color = color;
                    } else if (frxStandardColor(QLatin1String("cl") + value.toString(), color)) {
                        state.color = color;
                    }
                    taken = close + 1 - i;
                }
            }
            if (taken) {
                i += taken;
                continue;
            }
        }
        out.plain.append(line[i]);
        out.source.push_back(i);
        out.styles.push_back(state);
        ++i;
    }
}

void TfrxDrawText::measure(const ParsedLine &line)
{
    TextMeasurer &measurer = m_measurer ? *m_measurer : defaultTextMeasurer();
    const qsizetype n = line.plain.size();
    if (qsizetype(m_widths.size()) < n)
        m_widths.resize(size_t(n));
    const int spacing = roundInt(Scale * m_charSpacing);
    int *w = m_widths.data();
    int total = 0;
    qsizetype start = 0;
    while (start < n) {
        // One measurement per stretch of text in the same face and size.
        const TfrxHTMLStyle &s = line.styles[size_t(start)];
        const bool small = s.sub || s.sup;
        const int face = s.style & (fsBold | fsItalic);
        qsizetype end = start + 1;
        while (end < n) {
            const TfrxHTMLStyle &e = line.styles[size_t(end)];
            if ((e.style & (fsBold | fsItalic)) != face || (e.sub || e.sup) != small)
                break;
            ++end;
        }
        measurer.cumulativeWidths(fontFor(s), QStringView(line.plain).mid(start, end - start), w + start);
        int previous = 0;
        for (qsizetype k = start; k < end; ++k) {
            int advance = w[k] - previous;
            previous = w[k];
            if (small)
                advance = roundInt(advance / 1.5);
            total += advance;
            if (!line.plain[k].isHighSurrogate() || k + 1 >= end)
                total += spacing;
            w[k] = total;
        }
        start = end;
    }
}

int TfrxDrawText::hyphenWidth(const TfrxHTMLStyle &style)
{
    TextMeasurer &measurer = m_measurer ? *m_measurer : defaultTextMeasurer();
    int width = 0;
    static const QString hyphen = QStringLiteral("-");
    measurer.cumulativeWidths(fontFor(style), hyphen, &width);
    if (style.sub || style.sup)
        width = roundInt(width / 1.5);
    return width + roundInt(Scale * m_charSpacing);
}

int TfrxDrawText::hyphenPosition(const QString &plain, qsizetype wordStart, qsizetype notFitting) const
{
    const qsizetype n = plain.size();
    if (wordStart >= n || notFitting <= wordStart)
        return -1;
    static const QString wordEnds = QStringLiteral(" .,-;");
    qsizetype end = notFitting;
    while (end < n && !wordEnds.contains(plain[end]))
        ++end;
    const QString word = plain.mid(wordStart, end - wordStart).toUpper();
    if (word.size() <= 3)
        return -1;
    int best = -1;
    for (qsizetype p = 0; p < word.size() && wordStart + p < notFitting; ++p)
        if (breakAfter(word, p))
            best = int(p);
    return best < 0 ? -1 : int(wordStart + best);
}

void TfrxDrawText::wrapLine(const QString &line, qsizetype sourceOffset, TfrxHTMLStyle &state, bool continued)
{
    const TfrxHTMLStyle lineStart = state;
    ParsedLine p;
    parseLine(line, p, state);
    if (p.plain.isEmpty()) {
        // An empty line is one space high and wide.
        p.plain = QStringLiteral(" ");
        p.source = {line.size()};
        p.styles = {state};
    }
    measure(p);
    const int *w = m_widths.data();
    const qsizetype n = p.plain.size();
    const qsizetype sourceLineEnd = sourceOffset + line.size();
    auto sourceAt = [&](qsizetype k) { return k < n ? sourceOffset + p.source[size_t(k)] : sourceLineEnd; };

    const size_t first = m_lines.size();
    auto emit = [&](qsizetype from, qsizetype to, bool hyphenated, qsizetype srcStart, qsizetype srcEnd,
                    const TfrxHTMLStyle &startStyle) {
        TfrxWrappedLine l;
        l.text = p.plain.mid(from, to - from);
        l.width = w[to - 1] - (from > 0 ? w[from - 1] : 0);
        l.hyphenated = hyphenated;
        l.sourceStart = srcStart;
        l.sourceEnd = srcEnd;
        l.startStyle = startStyle;
        for (qsizetype k = from; k < to; ++k) {
            const TfrxHTMLStyle &s = p.styles[size_t(k)];
            if (l.runs.empty() || !(l.runs.back().style == s))
                l.runs.push_back(TfrxHTMLRun{int(k - from), 0, s});
            ++l.runs.back().length;
        }
        if (hyphenated) {
            l.text.append(QLatin1Char('-'));
            l.width += hyphenWidth(p.styles[size_t(to - 1)]);
            ++l.runs.back().length;
        }
        m_lines.push_back(std::move(l));
    };

    const int fullWidth = roundInt(Scale * rectWidth());
    const int firstWidth = fullWidth - (continued ? 0 : roundInt(Scale * m_paragraphGap));
    if (!m_wordWrap || n <= 1 || w[n - 1] < firstWidth) {
        emit(0, n, false, sourceOffset, sourceLineEnd, lineStart);
    } else {
        qsizetype from = 0;
        qsizetype srcFrom = sourceOffset;
        TfrxHTMLStyle fromStyle = lineStart;
        int base = 0;
        int width = firstWidth;
        qsizetype lastSpace = -1;
        qsizetype i = 0;
        while (i < n) {
            if (p.plain[i] == QLatin1Char(' ') && !p.styles[size_t(i)].nowrap)
                lastSpace = i;
            if (w[i] - base <= width) {
                ++i;
                continue;
            }
            // Character i does not fit: the line ends before it.
            qsizetype cut;  // end of the line's characters
            qsizetype next; // first character of the next line
            qsizetype srcEnd = 0, srcNext = 0;
            TfrxHTMLStyle nextStyle;
            bool hyphenated = false;
            int h = -1;
            if (lastSpace > from) {
                cut = lastSpace;
                next = lastSpace + 1;
                srcEnd = sourceAt(lastSpace);
                srcNext = srcEnd + 1;
                nextStyle = p.styles[size_t(lastSpace)];
                if (m_wordBreak)
                    h = hyphenPosition(p.plain, lastSpace + 1, i);
            } else {
                cut = next = i > from ? i : i + 1;
                if (m_wordBreak)
                    h = hyphenPosition(p.plain, from, i);
            }
            if (h >= 0) {
                cut = next = h + 1;
                hyphenated = true;
            }
            if (hyphenated || lastSpace <= from) {
                srcEnd = srcNext = sourceAt(next);
                nextStyle = next < n ? p.styles[size_t(next)] : state;
            }
            emit(from, cut, hyphenated, srcFrom, srcEnd, fromStyle);
            from = i = next;
            srcFrom = srcNext;
            fromStyle = nextStyle;
            base = w[next - 1];
            width = fullWidth;
            lastSpace = -1;
        }
        if (from < n)
            emit(from, n, false, srcFrom, sourceLineEnd, fromStyle);
        else
            m_lines.back().sourceEnd = sourceLineEnd; // the break ate a trailing space
    }
    if (!continued)
        m_lines[first].flags |= lfFirst;
    m_lines.back().flags |= lfLast;
}

void TfrxDrawText::SetText(const QStringList &lines, bool firstParaBreak)
{
    m_text.clear();
    m_lines.clear();
    TfrxHTMLStyle state;
    state.style = m_fontStyle;
    state.color = m_fontColor;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype offset = m_text.size();
        m_text += lines[i];
        m_text += QLatin1String("\r\n");
        wrapLine(lines[i], offset, state, i == 0 && firstParaBreak);
    }
}

double TfrxDrawText::LineHeight() const
{
    return roundInt(m_fontSize * 600.0 / 72) / Scale + m_lineSpacing;
}

double TfrxDrawText::CalcHeight() const
{
    if (m_lines.empty())
        return 0;
    return LineHeight() * double(m_lines.size()) + (m_lineSpacing < 0 ? -m_lineSpacing : 0);
}

double TfrxDrawText::CalcWidth() const
{
    const int gap = roundInt(Scale * m_paragraphGap);
    int widest = 0;
    for (const TfrxWrappedLine &l : m_lines)
        widest = std::max(widest, l.width + ((l.flags & lfFirst) ? gap : 0));
    return widest / Scale;
}

int TfrxDrawText::FittingLines() const
{
    const int count = int(m_lines.size());
    const double lh = LineHeight();
    if (lh <= 0)
        return count;
    const double fit = std::trunc((rectHeight() + 1) / lh);
    if (!(fit > 0))
        return 0;
    return fit >= count ? count : int(fit);
}

double TfrxDrawText::UnusedSpace() const
{
    const int fit = FittingLines();
    if (fit == 0)
        return 0;
    const double rest = rectHeight() + 1 - fit * LineHeight();
    return rest == 0 ? 0.0001 : rest;
}

QString TfrxDrawText::GetInBoundsText() const
{
    const int fit = FittingLines();
    return fit == 0 ? QString() : m_text.left(m_lines[size_t(fit - 1)].sourceEnd);
}

QString TfrxDrawText::GetOutBoundsText(bool &paragraphBreak) const
{
    const size_t fit = size_t(FittingLines());
    paragraphBreak = false;
    if (fit >= m_lines.size())
        return QString();
    const TfrxWrappedLine &next = m_lines[fit];
    paragraphBreak = !(next.flags & lfFirst);
    QString prefix;
    if (m_htmlTags) {
        // The rest starts in the style in force at the cut, not the font's own.
        const TfrxHTMLStyle &s = next.startStyle;
        static const std::pair<int, const char *> styleTags[] = {
            {fsBold, "b"}, {fsItalic, "i"}, {fsUnderline, "u"}, {fsStrikeOut, "strike"}};
        for (const auto &[bit, tag] : styleTags)
            if ((s.style & bit) != (m_fontStyle & bit))
                prefix += QString::fromLatin1((s.style & bit) ? "<%1>" : "</%1>").arg(QLatin1String(tag));
        if (s.color != m_fontColor)
            prefix += QStringLiteral("<font color=\"%1\">").arg(hexColor(s.color));
        if (s.sub)
            prefix += QLatin1String("<sub>");
        if (s.sup)
            prefix += QLatin1String("<sup>");
        if (s.nowrap)
            prefix += QLatin1String("<nowrap>");
    }
    return prefix + m_text.mid(next.sourceStart);
}

QStringList TfrxDrawText::WrappedTexts() const
{
    QStringList texts;
    for (const TfrxWrappedLine &l : m_lines)
        texts.append(l.text);
    return texts;
}

} // namespace tw
