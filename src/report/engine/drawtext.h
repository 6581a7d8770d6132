#pragma once
// The text layout of memos: wrapping at the memo's width, line heights, and the cut of a
// text into the part that fits a height and the rest.

#include "report/engine/textmeasure.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <mutex>
#include <vector>

namespace tw {

class TFont;

// The state the tags of a text set for the characters that follow them.
struct TfrxHTMLStyle {
    int style = 0;        // TFontStyle mask: the font's own, changed by <b> <i> <u> <strike>
    int color = 0;        // the font's colour, or the one of the innermost <font color=...>
    bool sub = false;     // <sub>: two thirds of the size, lowered
    bool sup = false;     // <sup>: two thirds of the size, raised
    bool nowrap = false;  // no line break at a space inside <nowrap>
    bool operator==(const TfrxHTMLStyle &) const = default;
};

// A stretch of a wrapped line in one style.
struct TfrxHTMLRun {
    int start = 0;
    int length = 0;
    TfrxHTMLStyle style;
};

enum TfrxLineFlag : int { lfFirst = 1, lfLast = 2 };

// One wrapped line.
struct TfrxWrappedLine {
    QString text;             // as shown: tags removed, "-" at the end when hyphenated
    int flags = 0;            // lfFirst | lfLast
    bool hyphenated = false;
    int width = 0;            // 600-dpi units with character spacing, without the paragraph gap
    std::vector<TfrxHTMLRun> runs;
    qsizetype sourceStart = 0; // range of the line in Text(), tags included
    qsizetype sourceEnd = 0;
    TfrxHTMLStyle startStyle; // what the tags before sourceStart left in force
};

// The lock of text measurement, process-wide: held for the whole of a memo's CalcHeight,
// CalcWidth or DrawPart, since every memo of a report shares one layout object.
std::recursive_mutex &frxDrawTextLock();

// Lays out text in 600-dpi integer units: 6.25 units to a screen pixel at 96 dpi. Set the
// font, options, gaps and rectangle first; SetText wraps.
class TfrxDrawText {
public:
    static constexpr double Scale = 6.25; // 600 / 96

    TfrxDrawText();
    TfrxDrawText(const TfrxDrawText &) = delete;
    TfrxDrawText &operator=(const TfrxDrawText &) = delete;

    void Lock() { frxDrawTextLock().lock(); }
    void Unlock() { frxDrawTextLock().unlock(); }

    // Name, whole size in points, style, character set and colour of the font.
    void SetFont(const TFont &font);
    // Rotation is kept modulo 360. Clipping, Wysiwyg and right-to-left matter only to
    // drawing; they are kept for it.
    void SetOptions(bool wordWrap, bool htmlTags, bool rtl, bool wordBreak, bool clipped, bool wysiwyg,
                    int rotation);
    // Pixels: the indent of a paragraph's first line, extra space after each character,
    // extra space after each line.
    void SetGaps(double paragraphGap, double charSpacing, double lineSpacing);
    // The text area in pixels.
    void SetRect(const QRectF &rect);
    // Wraps the lines, each a paragraph. firstParaBreak: the first line continues a
    // paragraph begun in an earlier part (no indent, not flagged first).
    void SetText(const QStringList &lines, bool firstParaBreak = false);
    // Measurement comes from the process's measurer unless one is set here.
    void SetMeasurer(TextMeasurer *measurer) { m_measurer = measurer; }

    // Pixels: the line height, from the font size alone, plus LineSpacing.
    double LineHeight() const;
    // Pixels: the height of all wrapped lines; 0 without lines.
    double CalcHeight() const;
    // Pixels: the widest wrapped line with its paragraph gap.
    double CalcWidth() const;
    // The number of wrapped lines that fit the rectangle's height.
    int FittingLines() const;
    // Pixels left under the lines that fit: rectangle height + 1 - lines x line height,
    // 0.0001 when that is exactly 0, and 0 when no line fits.
    double UnusedSpace() const;
    // The text of the lines that fit (tags kept, no "-" for a hyphenated last line).
    QString GetInBoundsText() const;
    // The text after them, starting with tags that restore the style in force there;
    // paragraphBreak tells whether the cut fell inside a paragraph. Empty when all fits.
    QString GetOutBoundsText(bool &paragraphBreak) const;

    // The source text: every line followed by CR LF.
    const QString &Text() const { return m_text; }
    const std::vector<TfrxWrappedLine> &Lines() const { return m_lines; }
    QStringList WrappedTexts() const;

private:
    struct ParsedLine;
    void parseLine(const QString &line, ParsedLine &out, TfrxHTMLStyle &state) const;
    void measure(const ParsedLine &line);
    void wrapLine(const QString &line, qsizetype sourceOffset, TfrxHTMLStyle &state, bool continued);
    int hyphenPosition(const QString &plain, qsizetype wordStart, qsizetype notFitting) const;
    int hyphenWidth(const TfrxHTMLStyle &style);
    TextFontSpec fontFor(const TfrxHTMLStyle &style) const;
    double rectWidth() const;
    double rectHeight() const;

    TextMeasurer *m_measurer = nullptr;
    QString m_fontName = QStringLiteral("Arial");
    int m_fontSize = 10;
    int m_fontStyle = 0;
    int m_fontCharset = 1;
    int m_fontColor = 0;
    bool m_wordWrap = true;
    bool m_htmlTags = false;
    bool m_rtl = false;
    bool m_wordBreak = false;
    bool m_clipped = true;
    bool m_wysiwyg = true;
    int m_rotation = 0;
    double m_paragraphGap = 0;
    double m_charSpacing = 0;
    double m_lineSpacing = 2;
    QRectF m_rect;
    QString m_text;
    std::vector<TfrxWrappedLine> m_lines;
    std::vector<int> m_widths; // cumulative widths of the line being wrapped
};

} // namespace tw
