// Where bands land: the printable area, page start and end, free space, breaks to a new
// page or column, keep blocks, and band heights.
#include "base/formatsettings.h"
#include "base/fastcast.h"
#include "base/textformat.h"
#include "report/engine/aggregates.h"
#include "report/engine/engine.h"
#include "report/engine/outline.h"
#include "report/engine/previewpages.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/views.h"
#include "report/model/report.h"

#include <algorithm>
#include <cmath>

namespace tw {

namespace {

template <class T>
T *as(TfrxBand *b)
{
    return fastCast<T *>(b);
}

// The height of a band with its chain of children.
double heightWithChildren(TfrxBand *band)
{
    double h = 0;
    for (int guard = 0; band && guard < 1000; ++guard, band = band->Child())
        h += band->Height();
    return h;
}

} // namespace

TfrxBand *TfrxEngine::pageBand(const ClassInfo *cls) const
{
    if (!m_page || !cls)
        return nullptr;
    for (TfrxComponent *c : m_page->Objects())
        if (auto *b = fastCast<TfrxBand *>(c); b && b->classInfo()->inheritsFrom(cls))
            return b;
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Space

double TfrxEngine::GetPageHeight()
{
    if (m_page && m_page->EndlessHeight())
        return FooterHeight() + CurY;
    return PageHeight;
}

double TfrxEngine::FooterHeight()
{
    double h = 0;
    if (TfrxBand *b = pageBand(&TfrxColumnFooter::staticClassInfo()))
        h += b->Height();
    if (TfrxBand *b = pageBand(&TfrxPageFooter::staticClassInfo()))
        h += b->Height();
    return h;
}

double TfrxEngine::HeaderHeight()
{
    return heightWithChildren(pageBand(&TfrxColumnHeader::staticClassInfo()))
        + heightWithChildren(pageBand(&TfrxPageHeader::staticClassInfo()));
}

double TfrxEngine::FreeSpace()
{
    if (m_page && m_page->EndlessHeight())
        return 1e6;
    if (m_prevFooterHeight != 0)
        return GetPageHeight() - m_prevFooterHeight - CurY;
    return GetPageHeight() - FooterHeight() - CurY;
}

// ---------------------------------------------------------------------------------------
// The header list: bands shown again at the top of every new page

void TfrxEngine::addToHeaderList(TfrxBand *band)
{
    if (!band)
        return;
    for (const HeaderItem &item : m_headerList)
        if (item.Band == band)
            return;
    m_headerList.append({band, CurX, m_keeping});
}

void TfrxEngine::removeFromHeaderList(TfrxBand *band)
{
    if (!band)
        return;
    for (qsizetype i = 0; i < m_headerList.size(); ++i)
        if (m_headerList[i].Band == band) {
            m_headerList.removeAt(i);
            return;
        }
}

// ---------------------------------------------------------------------------------------
// Page start and end

void TfrxEngine::startPage(TfrxReportPage *page)
{
    TfrxCustomPreviewPages *pages = PreviewPages();
    TfrxBand *title = pageBand(&TfrxReportTitle::staticClassInfo());
    TfrxBand *header = pageBand(&TfrxPageHeader::staticClassInfo());
    m_headerList.clear();
    for (TfrxBand *b : page->TitleBeforeHeader() ? QList<TfrxBand *>{title, header} : QList<TfrxBand *>{header, title})
        if (b)
            m_headerList.append({b, 0, false});

    PageHeight = (page->PaperHeight() - page->TopMargin() - page->BottomMargin()) * fr01cm;
    PageWidth = (page->PaperWidth() - page->LeftMargin() - page->RightMargin()) * fr01cm;
    CurX = 0;
    CurY = 0;
    CurColumn = 1;
    m_pageCurX = 0;
    m_isFirstPage = true;
    m_isLastPage = false;
    pages->Outline()->LevelRoot();

    if (page->ResetPageNumbers())
        pages->ResetLogicalPageNumber();

    if (page->PrintOnPreviousPage() && pages->Count() > 0) {
        pages->CurPage = pages->Count() - 1;
        CurY = pages->GetLastY();
        removeFromHeaderList(title);
        ShowBand(title);
    } else {
        addPage();
    }

    if (m_firstReportPage)
        pages->FirstPage = pages->CurPage;
    m_firstColumnY = CurY;
    TfrxBand *columnHeader = pageBand(&TfrxColumnHeader::staticClassInfo());
    ShowBand(columnHeader);
    addToHeaderList(columnHeader);
    removeFromHeaderList(title);
    if (!page->OutlineText().isEmpty()) {
        Report()->CurObject = page->Name();
        pages->Outline()->AddItem(Report()->Calc(page->OutlineText()).toText(), 0);
    }
}

void TfrxEngine::addPage()
{
    TfrxCustomPreviewPages *pages = PreviewPages();
    m_prevFooterHeight = 0;
    pages->AddPage(m_page);
    CurY = 0;
    if (auto *overlay = as<TfrxOverlay>(pageBand(&TfrxOverlay::staticClassInfo())); overlay && !overlay->PrintOnTop())
        ShowBand(overlay);
    CurY = 0;
    m_firstColumnY = 0;
    showHeaderList();
}

void TfrxEngine::showHeaderList()
{
    const QList<HeaderItem> list = m_headerList;
    for (const HeaderItem &item : list) {
        TfrxBand *b = item.Band;
        if (!b || b == m_startNewPageBand)
            continue;
        if (auto *ph = as<TfrxPageHeader>(b); ph && m_isFirstPage && !ph->PrintOnFirstPage()) {
            if (ph->PrintChildIfInvisible())
                ShowBand(ph->Child());
            continue;
        }
        const bool isHeader = as<TfrxHeader>(b) != nullptr;
        if (isHeader && m_keeping && m_keepHeader)
            continue;
        if (item.IsInKeepList && !m_keepFooter)
            continue;
        if (isHeader && b == m_lastBandOnPage)
            continue;

        BandState &st = state(b);
        st.Overflow = true;
        CurLine = st.LineN;
        CurLineThrough = st.LineThrough;
        const double x = CurX;
        CurX = item.Left;
        m_callFromAddPage = true;
        struct Reset {
            TfrxEngine *e;
            BandState &st;
            double x;
            ~Reset()
            {
                e->m_callFromAddPage = false;
                e->CurX = x;
                st.Overflow = false;
            }
        } reset{this, st, x};
        // A page header's child that does not fit stays on this page.
        m_callFromPHeader = as<TfrxPageHeader>(b) != nullptr;
        ShowBand(b);
        m_callFromPHeader = false;
        if (as<TfrxPageHeader>(b))
            m_firstColumnY = state(b).StretchedHeight;
        if (as<TfrxReportTitle>(b)) {
            removeFromHeaderList(b);
            if (m_isFirstBand)
                m_titlePrinted = true;
        }
    }
    m_startNewPageBand = nullptr;
}

void TfrxEngine::EndPage()
{
    const bool nested = m_callFromEndPage;
    if (!nested) {
        if (TfrxBand *cf = pageBand(&TfrxColumnFooter::staticClassInfo())) {
            const double x = CurX;
            CurX -= m_pageCurX;
            const bool noBreak = m_noBreak;
            m_noBreak = true;
            ShowBand(cf);
            m_noBreak = noBreak;
            CurX = x;
        }
    }
    if (!m_isLastPage) {
        CurX = m_pageCurX;
        CurColumn = 1;
    }
    if (m_isLastPage && !nested) {
        m_callFromEndPage = true;
        struct Reset {
            bool &flag;
            ~Reset() { flag = false; }
        } reset{m_callFromEndPage};
        ShowBand(pageBand(&TfrxReportSummary::staticClassInfo()));
    }
    if (auto *footer = as<TfrxPageFooter>(pageBand(&TfrxPageFooter::staticClassInfo())))
        showPageFooter(footer);
    if (auto *overlay = as<TfrxOverlay>(pageBand(&TfrxOverlay::staticClassInfo())); overlay && overlay->PrintOnTop()) {
        CurY = 0;
        prepareBand(overlay);
        if (overlay->Visible()) {
            overlay->SetLeft(0);
            overlay->SetTop(0);
            PreviewPages()->AddObject(overlay);
        }
        unprepareBand(overlay);
        Aggregates().Reset(overlay);
    }
    m_isFirstPage = false;
}

void TfrxEngine::showPageFooter(TfrxBand *band)
{
    auto *footer = static_cast<TfrxPageFooter *>(band);
    const bool nested = m_callFromEndPage;
    CurY = GetPageHeight() - footer->Height();
    m_prevFooterHeight = m_isLastPage && footer->PrintOnLastPage() && !nested ? footer->Height() : 0;
    prepareBand(footer);
    if (footer->Visible()) {
        footer->SetLeft(0);
        footer->SetTop(CurY);
        const bool skip = (m_isFirstPage && !footer->PrintOnFirstPage())
            || (m_isLastPage && !footer->PrintOnLastPage() && !nested);
        if (!skip && !PreviewPages()->BandExists(footer))
            PreviewPages()->AddObject(footer);
        CurY += footer->Height();
    }
    unprepareBand(footer);
    Aggregates().Reset(footer);
}


// ---------------------------------------------------------------------------------------
// Breaks

bool TfrxEngine::fitBand(TfrxBand *band)
{
    // Bands replayed at the top of a page, or printed while a page ends, never break it:
    // they would only meet the same full page again.
    if (m_outputTo || m_callFromAddPage || m_noBreak || FreeSpace() >= band->Height())
        return false;
    auto *data = fastCast<TfrxDataBand *>(band);
    const bool tallerThanPage = band->Height() > GetPageHeight() - FooterHeight();
    if ((band->AllowSplit() && !m_keeping) || tallerThanPage) {
        if (!band->AllowSplit() && data && state(band).LineThrough > 1 && !band->StartNewPage())
            NewColumn();
        endKeep(band);
        return splitBand(band);
    }
    if (!m_keeping) {
        bool forgot = false;
        for (TfrxComponent *c : band->Objects())
            if (auto *m = fastCast<TfrxCustomMemoView *>(c); m && m->SuppressRepeated())
                forgot = m->ResetSuppress() || forgot;
        if (forgot) {
            unprepareBand(band);
            SecondScriptCall = true;
            struct Reset {
                bool &flag;
                ~Reset() { flag = false; }
            } reset{SecondScriptCall};
            prepareBand(band);
        }
    }
    if (!(as<TfrxChild>(band) && m_callFromPHeader))
        NewColumn();
    return false;
}

// Prints a band that does not fit in parts: what fits of each object goes on this page or
// column, the rest on the next, until every object is out.
bool TfrxEngine::splitBand(TfrxBand *band)
{
    TfrxReport *report = Report();
    TfrxCustomPreviewPages *pages = PreviewPages();
    QList<TfrxComponent *> all = band->Objects();
    QList<TfrxComponent *> waiting;
    for (TfrxComponent *c : all)
        if (!fastCast<TfrxSubreport *>(c))
            waiting.append(c);
    QHash<TfrxComponent *, double> remaining; // heights still to print
    for (TfrxComponent *c : waiting) {
        if (auto *s = fastCast<TfrxStretcheable *>(c))
            s->InitPart();
        remaining.insert(c, c->Height());
        c->SetParent(nullptr);
    }
    struct GiveBack {
        TfrxBand *band;
        QList<TfrxComponent *> &all;
        ~GiveBack()
        {
            for (TfrxComponent *c : all) {
                if (c->Parent() == band)
                    c->SetParent(nullptr);
                c->SetParent(band);
            }
        }
    } giveBack{band, all};

    const double bandHeight = band->Height();
    const auto overlapsAcross = [](const TfrxComponent *a, const TfrxComponent *b) {
        return a->Left() < b->Left() + b->Width() && b->Left() < a->Left() + a->Width();
    };
    double free = FreeSpace();
    int emptyPasses = 0;
    int passes = 0;
    while (!waiting.isEmpty() && !report->Terminated) {
        if (!report->EngineOptions()->EnableThreadSafe)
            frxProcessMessages();
        const double emptyPage = GetPageHeight() - FooterHeight() - HeaderHeight();
        QList<TfrxComponent *> out;
        QList<TfrxComponent *> parted; // printed a part, more to come
        for (qsizetype i = 0; i < waiting.size(); ++i) {
            TfrxComponent *c = waiting[i];
            auto *s = fastCast<TfrxStretcheable *>(c);
            if (s && s->StretchMode() != TfrxStretchMode::smDontStretch) {
                const double need = remaining.value(c);
                if (c->Top() >= free)
                    continue;
                if (free >= c->Top() + need && !s->HasNextDataPart()) {
                    s->SetHeight(need);
                    out.append(c);
                    continue;
                }
                s->SetHeight(free - c->Top());
                const double unused = s->DrawPart();
                const double printed = s->Height() - unused;
                if (printed <= 0) {
                    continue; // nothing fitted: the whole object waits for the next page
                }
                s->SetHeight(printed);
                out.append(c);
                if (s->HasNextDataPart()) {
                    parted.append(c);
                    remaining[c] = qMax(need - printed, 0.0);
                }
                continue;
            }
            if (c->Top() + c->Height() <= free || c->Height() > emptyPage) {
                out.append(c);
            } else if (c->Top() < free) {
                // Moves below the cut with everything under it.
                const double delta = free - c->Top();
                for (TfrxComponent *o : waiting)
                    if (o != c && o->Top() >= c->Top() + c->Height() - 1e-6 && overlapsAcross(o, c))
                        o->SetTop(o->Top() + delta);
                c->SetTop(free);
            }
        }
        // Nothing fitted on a fresh page either, or a fresh page has no room at all (its
        // headers fill it): print the rest where it stands rather than break page after page.
        if ((out.isEmpty() && ++emptyPasses > 1) || (passes > 0 && free <= 1e-6)) {
            for (TfrxComponent *c : waiting) {
                auto *s = fastCast<TfrxStretcheable *>(c);
                if (!s || out.contains(c) || s->StretchMode() == TfrxStretchMode::smDontStretch)
                    continue;
                constexpr double whole = 1e6;
                s->SetHeight(whole);
                s->SetHeight(whole - s->DrawPart());
            }
            out = waiting;
            parted.clear();
        } else if (!out.isEmpty()) {
            emptyPasses = 0;
        }
        ++passes;
        for (TfrxComponent *c : out)
            if (!parted.contains(c))
                waiting.removeAll(c);

        double height = 0;
        for (TfrxComponent *c : out)
            height = qMax(height, c->Top() + c->Height());
        const bool last = waiting.isEmpty();
        if (last) {
            height = qMax(height, qMin(bandHeight, free));
            for (TfrxComponent *c : out) {
                auto *v = fastCast<TfrxView *>(c);
                auto *s = fastCast<TfrxStretcheable *>(c);
                if ((v && v->Align() == TfrxAlign::baBottom) || (s && s->StretchMode() == TfrxStretchMode::smMaxHeight))
                    c->SetHeight(height - c->Top());
            }
        }
        for (TfrxComponent *c : out)
            c->SetParent(band);
        band->SetHeight(height);
        band->SetLeft(CurX);
        band->SetTop(CurY);
        state(band).OutputTop = CurY;
        pages->AddObject(band);
        CurY += height;
        for (TfrxComponent *c : out)
            c->SetParent(nullptr);
        if (last)
            break;
        NewColumn();
        for (TfrxComponent *c : waiting) {
            c->SetTop(qMax(c->Top() - free, 0.0));
            if (fastCast<TfrxStretcheable *>(c))
                c->SetHeight(remaining.value(c));
            // A paragraph cut in two goes on without its first-line indent.
            if (auto *m = fastCast<TfrxCustomMemoView *>(c); m && parted.contains(c))
                m->SetFirstParaBreak(m->LastParaBreak());
        }
        free = FreeSpace();
    }
    band->SetHeight(bandHeight);
    return true;
}

void TfrxEngine::NewColumn()
{
    if (!m_page || CurColumn >= m_page->Columns()) {
        NewPage();
        return;
    }
    TfrxCustomPreviewPages *pages = PreviewPages();
    const bool moving = m_keeping;
    if (moving) {
        pages->CutObjects(m_keepPosition);
        CurY = pages->GetLastY(CurX);
    }
    const bool noBreak = m_noBreak;
    m_noBreak = true;
    if (TfrxBand *cf = pageBand(&TfrxColumnFooter::staticClassInfo()))
        ShowBand(cf);

    ++CurColumn;
    const double offset = columnPosition(CurColumn);
    CurY = m_firstColumnY;
    const QList<HeaderItem> list = m_headerList;
    for (const HeaderItem &item : list) {
        TfrxBand *b = item.Band;
        if (!b || as<TfrxPageHeader>(b) || b == m_lastBandOnPage || item.IsInKeepList)
            continue;
        BandState &st = state(b);
        st.Overflow = true;
        const double x = CurX;
        CurX = item.Left + offset;
        ShowBand(b);
        CurX = x;
        st.Overflow = false;
    }
    m_noBreak = noBreak;
    CurX = m_pageCurX + offset;

    if (moving) {
        const double newTop = CurY;
        pages->PasteObjects(CurX, newTop);
        pages->Outline()->ShiftItems(m_keepOutline, int(std::lround(newTop)));
        pages->ShiftAnchors(m_keepAnchor, int(std::lround(newTop)));
        CurY = pages->GetLastY(CurX);
    }
    BreakAllKeep();
}

void TfrxEngine::NewPage()
{
    TfrxCustomPreviewPages *pages = PreviewPages();
    if (m_keeping && m_keepBand
        && CurY - m_keepCurY + m_keepBand->Height() > GetPageHeight() - FooterHeight())
        BreakAllKeep();

    const bool moving = m_keeping;
    TfrxBand *droppedHeader = nullptr;
    if (moving) {
        if (m_keepFooter)
            Aggregates().DeleteValue(m_keepBand);
        pages->CutObjects(m_keepPosition);
        auto *data = fastCast<TfrxDataBand *>(CurBand());
        if (data && std::abs(pages->GetLastY() - CurY) > 1e-6) {
            droppedHeader = headerOf(data);
            removeFromHeaderList(droppedHeader);
        }
    }

    m_lastBandOnPage = CurBand();
    EndPage();
    finishEndlessPage();
    addPage();
    m_lastBandOnPage = nullptr;

    if (moving) {
        const double newTop = CurY;
        pages->PasteObjects(CurX, newTop);
        pages->Outline()->ShiftItems(m_keepOutline, int(std::lround(newTop)));
        pages->ShiftAnchors(m_keepAnchor, int(std::lround(newTop)));
        CurY = pages->GetLastY();
        if (m_keepFooter)
            Aggregates().AddValue(m_keepBand, CurVColumn);
        if (droppedHeader)
            addToHeaderList(droppedHeader);
    }
    BreakAllKeep();
    if (m_page && !m_page->OutlineText().isEmpty()) {
        Report()->CurObject = m_page->Name();
        pages->Outline()->AddItem(Report()->Calc(m_page->OutlineText()).toText(), 0);
    }
}

// ---------------------------------------------------------------------------------------
// Keep blocks

void TfrxEngine::startKeep(TfrxBand *band, int position, double y)
{
    if (m_keeping || !band || m_isFirstBand)
        return;
    TfrxCustomPreviewPages *pages = PreviewPages();
    m_keeping = true;
    m_keepBand = band;
    m_keepCurY = y >= 0 ? y : CurY;
    m_keepPosition = position >= 0 ? position : pages->GetCurPosition();
    m_keepOutline = pages->Outline()->GetCurPosition();
    m_keepAnchor = pages->GetAnchorCurPosition();
    Aggregates().StartKeep();
}

void TfrxEngine::endKeep(TfrxBand *band)
{
    if (m_keeping && m_keepBand == band)
        BreakAllKeep();
}

void TfrxEngine::BreakAllKeep()
{
    if (!m_keeping)
        return;
    m_keeping = false;
    m_keepBand = nullptr;
    m_keepOutline = nullptr;
    Aggregates().EndKeep();
    m_keepHeader = false;
}

// ---------------------------------------------------------------------------------------
// Heights

// Which objects move with which: every object that lies wholly below another and overlaps
// it across is its shift child, unless an object between the two overlaps both. Objects
// are in page order (their tops as "%9.2f" texts), after a one-pixel line just above the
// band whose children are the band's own.
void TfrxEngine::buildShiftTree(TfrxBand *band)
{
    ShiftTree &tree = m_shiftTrees[band];
    tree.Objects.clear();
    tree.Children.clear();
    struct Node {
        TfrxComponent *obj;
        double left, top, right, bottom;
        QString key;
    };
    const FormatSettings &fs = FormatSettings::current();
    QList<Node> nodes;
    for (TfrxComponent *c : band->Objects())
        if (fastCast<TfrxView *>(c))
            nodes.append({c, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height(),
                          tw::format(QStringLiteral("%9.2f"), {Variant(c->Top())}, fs)});
    std::stable_sort(nodes.begin(), nodes.end(), [](const Node &a, const Node &b) { return a.key < b.key; });
    nodes.prepend({nullptr, 0, -2, band->Width(), -1, QString()});

    const auto across = [](const Node &a, const Node &b) { return a.left < b.right && b.left < a.right; };
    const auto below = [](const Node &upper, const Node &lower) { return lower.top >= upper.bottom; };
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        QList<TfrxComponent *> children;
        for (qsizetype j = i + 1; j < nodes.size(); ++j) {
            if (!below(nodes[i], nodes[j]) || !across(nodes[i], nodes[j]))
                continue;
            bool screened = false;
            for (qsizetype k = i + 1; k < j && !screened; ++k)
                screened = below(nodes[i], nodes[k]) && below(nodes[k], nodes[j]) && across(nodes[k], nodes[i])
                    && across(nodes[k], nodes[j]);
            if (!screened)
                children.append(nodes[j].obj);
        }
        tree.Children.insert(nodes[i].obj, children);
        if (nodes[i].obj)
            tree.Objects.append(nodes[i].obj);
    }
}

void TfrxEngine::stretchBand(TfrxBand *band)
{
    if (band->Visible()) {
        if (!m_shiftTrees.contains(band))
            buildShiftTree(band);
        const ShiftTree &tree = m_shiftTrees[band];

        // Objects grow to their content, never shrink.
        QHash<TfrxComponent *, double> grown;
        bool any = false;
        for (TfrxComponent *c : band->Objects()) {
            auto *s = fastCast<TfrxStretcheable *>(c);
            if (!s || !s->Visible() || s->StretchMode() == TfrxStretchMode::smDontStretch)
                continue;
            const double h = s->CalcHeight();
            if (h > s->Height()) {
                grown.insert(c, h - s->Height());
                s->SetHeight(h);
                any = true;
            }
        }

        // Shifting walks the tree in page order, so every object's parents are done before
        // it. An object below several that grew moves by the largest amount, once.
        if (any) {
            QHash<TfrxComponent *, double> push;     // the largest amount handed to each
            QHash<TfrxComponent *, double> floorTop; // the lowest bottom of its parents
            for (TfrxComponent *k : tree.Objects) {
                auto *view = static_cast<TfrxView *>(k);
                const double x = push.value(k);
                const double amount = grown.value(k);
                double handed = 0;
                switch (view->ShiftMode()) {
                case TfrxShiftMode::smAlways:
                    k->SetTop(k->Top() + x);
                    handed = x + amount;
                    break;
                case TfrxShiftMode::smWhenOverlapped: {
                    const double oldTop = k->Top();
                    if (floorTop.contains(k) && floorTop[k] > oldTop)
                        k->SetTop(floorTop[k]);
                    handed = (k->Top() - oldTop) + amount;
                    break;
                }
                case TfrxShiftMode::smDontShift:
                    handed = x + amount;
                    break;
                }
                const double bottom = k->Top() + k->Height();
                for (TfrxComponent *child : tree.Children.value(k)) {
                    push[child] = qMax(push.value(child), handed);
                    floorTop[child] = qMax(floorTop.value(child, -1e300), bottom);
                }
            }
        }
    }

    runSubreportsOnParent(band);

    if (band->Stretched()) {
        double bottom = 0;
        for (TfrxComponent *c : band->Objects())
            bottom = qMax(bottom, c->Top() + c->Height());
        band->SetHeight(bottom);
    }
}

// ---------------------------------------------------------------------------------------
// Subreports

namespace {

QList<TfrxSubreport *> subreportsOf(TfrxBand *band, bool onParent)
{
    QList<TfrxSubreport *> out;
    for (TfrxComponent *c : band->Objects())
        if (auto *sub = fastCast<TfrxSubreport *>(c); sub && sub->Visible() && sub->Page()
            && sub->PrintOnParent() == onParent)
            out.append(sub);
    return out;
}

} // namespace

double TfrxEngine::columnPosition(int column) const
{
    if (!m_page || column <= 1)
        return 0;
    const QStringList &positions = m_page->ColumnPositions();
    if (column - 1 < positions.size()) {
        bool ok = false;
        const double mm = QString(positions[column - 1]).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (ok)
            return mm * fr01cm;
    }
    return (column - 1) * m_page->ColumnWidth() * fr01cm;
}

// Each subreport starts where the band was output; the run goes on from the furthest point
// any of them (or the band itself) reached.
void TfrxEngine::runSubreports(TfrxBand *band)
{
    const QList<TfrxSubreport *> subs = subreportsOf(band, false);
    if (subs.isEmpty())
        return;
    TfrxCustomPreviewPages *pages = PreviewPages();
    struct Point {
        int page;
        int column;
        double y;
        bool after(const Point &o) const
        {
            if (page != o.page)
                return page > o.page;
            if (column != o.column)
                return column > o.column;
            return y > o.y;
        }
    };
    const Point start{pages->CurPage, CurColumn, CurY};
    Point best = start;
    const double bandTop = state(band).OutputTop;
    const double savedCurX = CurX, savedPageCurX = m_pageCurX;
    TfrxBand *savedBand = CurBand();
    // A title replayed at the top of a page may hold a subreport: its rows are new output.
    const bool savedFromAddPage = m_callFromAddPage;
    m_callFromAddPage = false;
    for (TfrxSubreport *sub : subs) {
        pages->CurPage = start.page;
        CurColumn = start.column;
        CurX = savedCurX + sub->Left();
        m_pageCurX = savedPageCurX + sub->Left();
        CurY = bandTop + sub->Top();
        runDataBands(m_trees.value(sub->Page()).SubBands);
        const Point reached{pages->CurPage, CurColumn, CurY};
        if (reached.after(best))
            best = reached;
    }
    pages->CurPage = best.page;
    CurColumn = best.column;
    CurY = best.y;
    m_pageCurX = savedPageCurX;
    CurX = savedPageCurX + (best.column > 1 ? columnPosition(best.column) : 0);
    SetCurBand(savedBand);
    m_callFromAddPage = savedFromAddPage;
}

// A subreport printed on its parent band: its bands are collected in a target band and
// their objects become the parent's own for this output, at their absolute positions.
void TfrxEngine::runSubreportsOnParent(TfrxBand *band)
{
    const QList<TfrxSubreport *> subs = subreportsOf(band, true);
    if (subs.isEmpty())
        return;
    TfrxReport *report = Report();
    TfrxBand *savedBand = CurBand();
    const QString savedObject = report->CurObject;
    const double savedX = CurX, savedY = CurY;
    TfrxBand *savedTarget = m_outputTo;
    const bool savedFromAddPage = m_callFromAddPage;
    m_callFromAddPage = false;
    for (TfrxSubreport *sub : subs) {
        auto target = std::make_unique<TfrxNullBand>();
        m_outputTo = target.get();
        CurX = 0;
        CurY = 0;
        runDataBands(m_trees.value(sub->Page()).SubBands);
        m_outputTo = savedTarget;
        for (TfrxComponent *copy : QList<TfrxComponent *>(target->Objects())) {
            for (TfrxComponent *obj : QList<TfrxComponent *>(copy->Objects())) {
                obj->SetParent(band);
                obj->SetLeft(sub->Left() + copy->Left() + obj->Left());
                obj->SetTop(sub->Top() + copy->Top() + obj->Top());
                if (auto *s = fastCast<TfrxStretcheable *>(obj))
                    s->SetStretchMode(TfrxStretchMode::smDontStretch);
                m_addedObjects[band].append(obj);
            }
        }
    }
    m_outputTo = savedTarget;
    m_callFromAddPage = savedFromAddPage;
    CurX = savedX;
    CurY = savedY;
    SetCurBand(savedBand);
    report->CurObject = savedObject;
}

void TfrxEngine::outputToTarget(TfrxBand *band)
{
    TfrxComponent *copy = band->classInfo()->factory ? fastCast<TfrxComponent *>(band->classInfo()->create(nullptr, nullptr))
                                                     : nullptr;
    if (!copy)
        return;
    copy->AssignAll(band);
    copy->SetLeft(CurX);
    copy->SetTop(CurY);
    copy->SetParent(m_outputTo);
}

void TfrxEngine::dropAddedObjects(TfrxBand *band)
{
    const auto it = m_addedObjects.find(band);
    if (it == m_addedObjects.end())
        return;
    const QList<TfrxComponent *> added = *it;
    m_addedObjects.erase(it);
    qDeleteAll(added);
}

// ---------------------------------------------------------------------------------------
// Endless pages

void TfrxEngine::finishEndlessPage()
{
    if (!m_page || !m_page->EndlessHeight())
        return;
    auto *pages = fastCast<TfrxPreviewPages *>(PreviewPages());
    if (!pages)
        return;
    const double height = FooterHeight() + CurY + (m_page->TopMargin() + m_page->BottomMargin()) * fr01cm;
    pages->UpdatePageDimensions(m_page, m_page->PaperWidth() * fr01cm, height);
}

// ---------------------------------------------------------------------------------------
// Multi-column data bands

void TfrxEngine::beginBandColumns(TfrxDataBand *band)
{
    BandState &st = state(band);
    st.Column = 1;
    st.MaxY = CurY;
    st.RowY = CurY;
}

void TfrxEngine::rememberColumnStart(TfrxDataBand *band)
{
    BandState &st = state(band);
    if (band->Columns() > 1 && st.Column == 1) {
        st.RowY = CurY;
        st.RowPosition = PreviewPages()->GetCurPosition();
    }
}

void TfrxEngine::advanceBandColumn(TfrxDataBand *band)
{
    if (band->Columns() <= 1)
        return;
    BandState &st = state(band);
    st.MaxY = qMax(st.MaxY, CurY);
    if (st.Column < band->Columns()) {
        CurY = st.RowY;
        ++st.Column;
        return;
    }
    CurY = st.MaxY;
    st.Column = 1;
    if (m_page && m_page->EndlessHeight())
        return;
    // The row set ran below the printable area: it moves to the next column or page.
    if (CurY > GetPageHeight() - FooterHeight() + 1e-6 && st.RowY > m_firstColumnY + 1e-6) {
        if (m_keeping) {
            NewColumn();
        } else {
            TfrxCustomPreviewPages *pages = PreviewPages();
            pages->CutObjects(st.RowPosition);
            const double rowHeight = CurY - st.RowY;
            NewColumn();
            const double top = CurY;
            pages->PasteObjects(CurX, top);
            CurY = top + rowHeight;
        }
    }
    st.MaxY = CurY;
    st.RowY = CurY;
}

void TfrxEngine::endBandColumns(TfrxDataBand *band)
{
    BandState &st = state(band);
    if (band->Columns() <= 1 || st.Column == 1)
        return;
    st.Column = band->Columns();
    advanceBandColumn(band);
}

double TfrxEngine::bandColumnOffset(TfrxBand *band)
{
    auto *d = fastCast<TfrxDataBand *>(band);
    if (!d || d->Columns() <= 1)
        return 0;
    return (state(band).Column - 1) * (d->ColumnWidth() + d->ColumnGap());
}

} // namespace tw
