// Memo measurement: how tall and wide a memo's text is, and its cut into parts when a
// memo is split across pages or flows into another memo.

#include "report/engine/drawtext.h"
#include "report/model/memo.h"
#include "report/model/report.h"

#include <cmath>

namespace tw {

namespace {

// The report's layout object; a memo outside any report uses one of its own.
TfrxDrawText &layoutOf(const TfrxCustomMemoView *memo)
{
    if (TfrxReport *report = memo->Report(); report && report->DrawText())
        return *report->DrawText();
    static TfrxDrawText loose;
    return loose;
}

// Half of each framed side's line width: the text keeps clear of the frame.
struct FrameInsets {
    double left = 0, top = 0, right = 0, bottom = 0;
};

FrameInsets frameInsets(const TfrxFrame &frame)
{
    FrameInsets in;
    const int typ = frame.Typ();
    if (typ & ftLeft)
        in.left = frame.LeftLine().Width() / 2;
    if (typ & ftTop)
        in.top = frame.TopLine().Width() / 2;
    if (typ & ftRight)
        in.right = frame.RightLine().Width() / 2;
    if (typ & ftBottom)
        in.bottom = frame.BottomLine().Width() / 2;
    return in;
}

QRectF textRect(const TfrxCustomMemoView *memo)
{
    const FrameInsets in = frameInsets(*memo->Frame());
    return QRectF(memo->Left() + memo->GapX() + in.left, memo->Top() + memo->GapY() + in.top,
                  memo->Width() - 2 * memo->GapX() - in.left - in.right,
                  memo->Height() - 2 * memo->GapY() - in.top - in.bottom);
}

void layOut(TfrxDrawText &layout, const TfrxCustomMemoView *memo, const QRectF &rect, const QStringList &lines)
{
    const TFont &font = memo->Highlight()->Active() ? *memo->Highlight()->Font() : *memo->Font();
    layout.SetFont(font);
    layout.SetOptions(memo->WordWrap(), memo->AllowHTMLTags(), memo->RTLReading(), memo->WordBreak(), memo->Clipped(),
                      memo->Wysiwyg(), memo->Rotation());
    layout.SetGaps(memo->ParagraphGap(), memo->CharSpacing(), memo->LineSpacing());
    layout.SetRect(rect);
    layout.SetText(lines, memo->FirstParaBreak());
}

// The memo's own lines laid out for measuring, on a very wide area with AutoWidth.
TfrxDrawText &measured(const TfrxCustomMemoView *memo)
{
    TfrxDrawText &layout = layoutOf(memo);
    layOut(layout, memo, memo->AutoWidth() ? QRectF(0, 0, 10000, 10000) : textRect(memo), memo->Lines());
    return layout;
}

// What the frame adds across the text: (width - 1) / 2 of the line on the near side, half
// of the far side's, and the shadow.
double frameAddition(const TfrxFrame &frame, int nearSide, const TfrxFrameLine &nearLine, int farSide,
                     const TfrxFrameLine &farLine)
{
    double add = 0;
    if (frame.Typ() & nearSide)
        add += (nearLine.Width() - 1) / 2;
    if (frame.Typ() & farSide)
        add += farLine.Width() / 2;
    if (frame.DropShadow())
        add += frame.ShadowWidth();
    return add;
}

} // namespace

double TfrxCustomMemoView::CalcHeight()
{
    std::lock_guard lock(frxDrawTextLock());
    const TfrxFrame &f = *Frame();
    return std::nearbyint(measured(this).CalcHeight() + 2 * GapY()
                          + frameAddition(f, ftTop, f.TopLine(), ftBottom, f.BottomLine()));
}

double TfrxCustomMemoView::CalcWidth()
{
    std::lock_guard lock(frxDrawTextLock());
    const TfrxFrame &f = *Frame();
    return std::nearbyint(measured(this).CalcWidth() + 2 * GapX()
                          + frameAddition(f, ftLeft, f.LeftLine(), ftRight, f.RightLine()));
}

void TfrxCustomMemoView::InitPart()
{
    m_partText = Text();
    SetFirstParaBreak(false);
    SetLastParaBreak(false);
}

double TfrxCustomMemoView::DrawPart()
{
    std::lock_guard lock(frxDrawTextLock());
    TfrxDrawText &layout = layoutOf(this);
    layOut(layout, this, textRect(this), splitMemoLines(m_partText));
    const int fit = layout.FittingLines();
    QString printed = layout.GetInBoundsText();
    bool paragraphBreak = false;
    QString rest = layout.GetOutBoundsText(paragraphBreak);
    if (fit > 0 && size_t(fit) < layout.Lines().size() && layout.Lines()[size_t(fit - 1)].hyphenated)
        printed += QLatin1Char('-');
    SetText(printed);
    m_partText = rest;
    SetLastParaBreak(paragraphBreak);
    const double unused = layout.UnusedSpace();
    return unused == 0 ? Height() : unused;
}

} // namespace tw
