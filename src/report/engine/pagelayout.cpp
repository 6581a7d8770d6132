// Where bands land: the printable area, page start and end, free space, breaks to a new
// page or column, keep blocks, and band heights.
#include "report/engine/aggregates.h"
#include "report/engine/engine.h"
#include "report/engine/outline.h"
#include "report/engine/previewpages.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"

#include <cmath>

namespace tw {

namespace {

template <class T>
T *as(TfrxBand *b)
{
    return dynamic_cast<T *>(b);
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
        if (auto *b = dynamic_cast<TfrxBand *>(c); b && b->classInfo()->inheritsFrom(cls))
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
    progressPage();
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
        if ((isHeader || as<TfrxGroupHeader>(b)) && m_dontShowHeaders)
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
        ShowBand(b);
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
            ShowBand(cf);
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

void TfrxEngine::finishEndlessPage() {}

// ---------------------------------------------------------------------------------------
// Breaks

bool TfrxEngine::fitBand(TfrxBand *band)
{
    if (m_outputTo || FreeSpace() >= band->Height())
        return false;
    // A band taller than a whole page runs off the page: breaking for it would not help.
    const bool tallerThanPage = band->Height() > GetPageHeight() - FooterHeight();
    if (tallerThanPage && CurY <= m_firstColumnY)
        return false;
    if (!m_keeping) {
        bool forgot = false;
        for (TfrxComponent *c : band->Objects())
            if (auto *m = dynamic_cast<TfrxCustomMemoView *>(c); m && m->SuppressRepeated())
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

void TfrxEngine::NewColumn()
{
    // Page columns are laid out by the page layout; every break here is a new page.
    NewPage();
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
        auto *data = dynamic_cast<TfrxDataBand *>(CurBand());
        if (data && std::abs(pages->GetLastY() - CurY) > 1e-6) {
            droppedHeader = headerOf(data);
            removeFromHeaderList(droppedHeader);
        }
    }

    m_lastBandOnPage = CurBand();
    EndPage();
    finishEndlessPage();
    addPage();

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

void TfrxEngine::stretchBand(TfrxBand *band)
{
    if (!band->Stretched())
        return;
    double bottom = 0;
    for (TfrxComponent *c : band->Objects())
        bottom = qMax(bottom, c->Top() + c->Height());
    band->SetHeight(bottom);
}

void TfrxEngine::runSubreports(TfrxBand *) {}

void TfrxEngine::outputToTarget(TfrxBand *band)
{
    PreviewPages()->AddObject(band);
}

void TfrxEngine::dropAddedObjects(TfrxBand *) {}

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
    if (band->Columns() > 1 && st.Column == 1)
        st.RowY = CurY;
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
    } else {
        CurY = st.MaxY;
        st.Column = 1;
    }
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
    auto *d = dynamic_cast<TfrxDataBand *>(band);
    if (!d || d->Columns() <= 1)
        return 0;
    return (state(band).Column - 1) * (d->ColumnWidth() + d->ColumnGap());
}

} // namespace tw
