#pragma once

#include "base/variant.h"
#include "report/model/font.h"
#include "report/model/views.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace tw {

class TfrxStyleItem;

enum class TfrxHAlign { haLeft, haRight, haCenter, haBlock };
enum class TfrxVAlign { vaTop, vaBottom, vaCenter };
enum class TfrxFormatKind { fkText, fkNumeric, fkDateTime, fkBoolean };

const EnumInfo &hAlignEnum();     // TfrxHAlign
const EnumInfo &vAlignEnum();     // TfrxVAlign
const EnumInfo &formatKindEnum(); // TfrxFormatKind

// Conditional highlight of a memo: when Condition holds, Font and Color replace the memo's.
class TfrxHighlight : public Object {
    TW_OBJECT(TfrxHighlight)
    TfrxHighlight();
    TfrxHighlight(const TfrxHighlight &) = delete;
    TfrxHighlight &operator=(const TfrxHighlight &) = delete;

    bool Active() const { return m_active; }
    void SetActive(bool v) { m_active = v; }
    TFont *Font() const { return const_cast<TFont *>(&m_font); }
    void SetFont(const TFont &v) { m_font.Assign(v); }
    int Color() const { return m_color; }
    void SetColor(int v) { m_color = v; }
    const QString &Condition() const { return m_condition; }
    void SetCondition(const QString &v) { m_condition = v; }

    void Assign(const TfrxHighlight &other);

private:
    bool m_active = false;
    TFont m_font;
    int m_color = clTransparent;
    QString m_condition;
};

// Display format of the values a memo shows.
class TfrxFormat : public Object {
    TW_OBJECT(TfrxFormat)
    TfrxFormat() = default;
    TfrxFormat(const TfrxFormat &) = delete;
    TfrxFormat &operator=(const TfrxFormat &) = delete;

    const QString &DecimalSeparator() const { return m_decimalSeparator; }
    void SetDecimalSeparator(const QString &v) { m_decimalSeparator = v; }
    const QString &ThousandSeparator() const { return m_thousandSeparator; }
    void SetThousandSeparator(const QString &v) { m_thousandSeparator = v; }
    const QString &FormatStr() const { return m_formatStr; }
    void SetFormatStr(const QString &v) { m_formatStr = v; }
    TfrxFormatKind Kind() const { return m_kind; }
    void SetKind(TfrxFormatKind v) { m_kind = v; }

    void Assign(const TfrxFormat &other);
    // Text kind with no format string and no separators: nothing of its own to apply.
    bool IsEmpty() const;

private:
    QString m_decimalSeparator;
    QString m_thousandSeparator;
    QString m_formatStr;
    TfrxFormatKind m_kind = TfrxFormatKind::fkText;
};

// The display formats of a memo's brackets, the n-th for the n-th bracket of its text.
class TfrxFormats : public TfrxCollection {
public:
    TfrxFormat *Add();
    void Clear() { m_items.clear(); }
    TfrxFormat *Items(int index) const { return m_items.at(size_t(index)).get(); }

    int Count() const override { return int(m_items.size()); }
    Object *Item(int index) const override { return Items(index); }
    Object *AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }

private:
    std::vector<std::unique_ptr<TfrxFormat>> m_items;
};

// Splits a text into lines at CR LF, CR, LF and U+2028; an empty rest after the last
// break adds no line.
QStringList splitMemoLines(const QString &text);

// Base of the text memos: the text as lines, and the options of its layout.
class TfrxCustomMemoView : public TfrxStretcheable {
    TW_OBJECT(TfrxCustomMemoView)
    explicit TfrxCustomMemoView(Component *owner = nullptr);

    // The lines, each followed by CR LF.
    QString Text() const;
    void SetText(const QString &text);
    const QStringList &Lines() const { return m_lines; }
    QStringList &Lines() { return m_lines; }
    void SetLines(const QStringList &lines) { m_lines = lines; }
    // The text as scripts see it through AnsiText.
    QString AnsiText() const { return Text(); }
    void SetAnsiText(const QString &text) { SetText(text); }
    // The Memo property: the lines as one text.
    QString Memo() const { return Text(); }
    void SetMemo(const QString &text) { SetText(text); }

    bool FirstParaBreak() const { return m_firstParaBreak; }
    void SetFirstParaBreak(bool v) { m_firstParaBreak = v; }
    bool LastParaBreak() const { return m_lastParaBreak; }
    void SetLastParaBreak(bool v) { m_lastParaBreak = v; }
    bool AutoWidth() const { return m_autoWidth; }
    void SetAutoWidth(bool v) { m_autoWidth = v; }
    bool AllowExpressions() const { return m_allowExpressions; }
    void SetAllowExpressions(bool v) { m_allowExpressions = v; }
    bool AllowHTMLTags() const { return m_allowHTMLTags; }
    void SetAllowHTMLTags(bool v) { m_allowHTMLTags = v; }
    double CharSpacing() const { return m_charSpacing; }
    void SetCharSpacing(double v) { m_charSpacing = v; }
    bool Clipped() const { return m_clipped; }
    void SetClipped(bool v) { m_clipped = v; }
    TfrxFormat *DisplayFormat() const { return const_cast<TfrxFormat *>(&m_displayFormat); }
    void SetDisplayFormat(const TfrxFormat &v) { m_displayFormat.Assign(v); }
    // Per-bracket formats, read from and written back as a "Formats" child element.
    TfrxFormats &Formats() { return m_formats; }
    const TfrxFormats &Formats() const { return m_formats; }
    // What the bracket of that index (from 0) is shown with when it has no format of its
    // own: its entry of Formats unless missing or empty, else DisplayFormat.
    TfrxFormat *BracketFormat(int index) const;
    // Opening and closing delimiter separated by a comma.
    const QString &ExpressionDelimiters() const { return m_expressionDelimiters; }
    void SetExpressionDelimiters(const QString &v) { m_expressionDelimiters = v; }
    TfrxCustomMemoView *FlowTo() const { return m_flowTo.get(); }
    void SetFlowTo(TfrxCustomMemoView *v) { m_flowTo = v; }
    double GapX() const { return m_gapX; }
    void SetGapX(double v) { m_gapX = v; }
    double GapY() const { return m_gapY; }
    void SetGapY(double v) { m_gapY = v; }
    TfrxHAlign HAlign() const { return m_hAlign; }
    void SetHAlign(TfrxHAlign v) { m_hAlign = v; }
    bool HideZeros() const { return m_hideZeros; }
    void SetHideZeros(bool v) { m_hideZeros = v; }
    TfrxHighlight *Highlight() const { return const_cast<TfrxHighlight *>(&m_highlight); }
    void SetHighlight(const TfrxHighlight &v) { m_highlight.Assign(v); }
    double LineSpacing() const { return m_lineSpacing; }
    void SetLineSpacing(double v) { m_lineSpacing = v; }
    double ParagraphGap() const { return m_paragraphGap; }
    void SetParagraphGap(double v) { m_paragraphGap = v; }
    // Kept as the remainder of division by 360.
    int Rotation() const { return m_rotation; }
    void SetRotation(int v) { m_rotation = v % 360; }
    bool RTLReading() const { return m_rtlReading; }
    void SetRTLReading(bool v) { m_rtlReading = v; }
    // Naming a style of the report applies it; an unknown name is kept and changes nothing.
    const QString &Style() const { return m_style; }
    void SetStyle(const QString &v);
    // Takes the style's colour, font (ParentFont becomes false) and frame.
    void ApplyStyle(const TfrxStyleItem *style);
    bool SuppressRepeated() const { return m_suppressRepeated; }
    void SetSuppressRepeated(bool v) { m_suppressRepeated = v; }
    bool Underlines() const { return m_underlines; }
    void SetUnderlines(bool v) { m_underlines = v; }
    bool UseDefaultCharset() const { return m_useDefaultCharset; }
    void SetUseDefaultCharset(bool v) { m_useDefaultCharset = v; }
    bool WordBreak() const { return m_wordBreak; }
    void SetWordBreak(bool v) { m_wordBreak = v; }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool v) { m_wordWrap = v; }
    bool Wysiwyg() const { return m_wysiwyg; }
    void SetWysiwyg(bool v) { m_wysiwyg = v; }
    TfrxVAlign VAlign() const { return m_vAlign; }
    void SetVAlign(TfrxVAlign v) { m_vAlign = v; }

    // The value last shown (scripts read it).
    const Variant &Value() const { return m_value; }
    void SetValue(const Variant &v) { m_value = v; }

    // Layout (the engine's text layout): the height and width the text needs, with gaps,
    // frame and shadow, in whole pixels.
    double CalcHeight() override;
    double CalcWidth();
    // A memo printed in parts: InitPart takes the whole text as the part still to print;
    // DrawPart keeps in the text what fits the memo's current height and leaves the rest
    // for the next part, returning the free height under the printed lines (the memo's
    // height when no line fits).
    void InitPart() override;
    double DrawPart() override;
    bool HasNextDataPart() const override { return !m_partText.isEmpty(); }
    // The text still to print after the last DrawPart.
    const QString &PartText() const { return m_partText; }

    // The text is restored after each output as well.
    void BeforePrint() override;
    void AfterPrint() override;
    // The text for this output: a data field's value, or the text with its brackets
    // evaluated; then Value to the script, the highlight condition and SuppressRepeated.
    void GetData() override;
    // The value as the format (the display format when none is given) shows it.
    QString FormatData(const Variant &value, TfrxFormat *format = nullptr) const;
    // Forgets the text remembered for SuppressRepeated; true when there was one.
    bool ResetSuppress();
    QString GetComponentText() const override { return Text(); }

    // The serializer writes and reads the text as the Text attribute.
    bool hasMemoText() const override { return true; }
    QString memoText() const override { return Text(); }
    void setMemoText(const QString &text) override { SetText(text); }
    TfrxCollection *elementCollection(const QString &elementName) override;
    QList<QPair<QString, const TfrxCollection *>> writtenElementCollections() const override;


private:
    QStringList m_lines;
    bool m_firstParaBreak = false;
    bool m_lastParaBreak = false;
    bool m_autoWidth = false;
    bool m_allowExpressions = true;
    bool m_allowHTMLTags = false;
    double m_charSpacing = 0;
    bool m_clipped = true;
    TfrxFormat m_displayFormat;
    TfrxFormats m_formats;
    QString m_expressionDelimiters = QStringLiteral("[,]");
    TfrxRef<TfrxCustomMemoView> m_flowTo;
    double m_gapX = 2;
    double m_gapY = 1;
    TfrxHAlign m_hAlign = TfrxHAlign::haLeft;
    bool m_hideZeros = false;
    TfrxHighlight m_highlight;
    double m_lineSpacing = 2;
    double m_paragraphGap = 0;
    int m_rotation = 0;
    bool m_rtlReading = false;
    QString m_style;
    bool m_suppressRepeated = false;
    bool m_underlines = false;
    bool m_useDefaultCharset = false;
    bool m_wordBreak = false;
    bool m_wordWrap = true;
    bool m_wysiwyg = true;
    TfrxVAlign m_vAlign = TfrxVAlign::vaTop;
    Variant m_value;
    QStringList m_savedLines;
    QString m_partText;
    QString m_lastValue; // last printed text, for SuppressRepeated
    bool m_hasLastValue = false;
};

// Clears the SuppressRepeated memory of the band's memos (a data band starting again);
// true when any of them had one.
bool resetSuppressRepeated(const TfrxComponent *band);

// The general memo.
class TfrxMemoView : public TfrxCustomMemoView {
    TW_OBJECT(TfrxMemoView)
    using TfrxCustomMemoView::TfrxCustomMemoView;
};

// The memo for system values and aggregates.
class TfrxSysMemoView : public TfrxCustomMemoView {
    TW_OBJECT(TfrxSysMemoView)
    using TfrxCustomMemoView::TfrxCustomMemoView;
};

// Publishes on a class the memo properties of the given names, in that order (shared by
// the memo classes, which publish different subsets).
void publishMemoProperties(ClassInfo &info, const QStringList &names);

} // namespace tw
