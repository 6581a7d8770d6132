// Printing bands: iterating data bands with their headers, footers and groups, showing one
// band with its children, and the event order around each output.
#include "report/engine/aggregates.h"
#include "base/fastcast.h"
#include "report/engine/datasets.h"
#include "report/engine/engine.h"
#include "report/engine/outline.h"
#include "report/engine/previewpages.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "script/interpreter.h"

#include <cmath>

namespace tw {

namespace {

bool isDataBand(const TfrxBand *b)
{
    return fastCast<const TfrxDataBand *>(b) != nullptr;
}

bool isMultiColumn(const TfrxBand *b)
{
    auto *d = fastCast<const TfrxDataBand *>(b);
    return d && d->Columns() > 1;
}

// Group values compare as the script's '=', Null only with Null; values that cannot be
// compared count as different.
bool sameGroupValue(const Variant &a, const Variant &b)
{
    if (a.isNull() || b.isNull() || a.isEmpty() || b.isEmpty())
        return (a.isNull() || a.isEmpty()) == (b.isNull() || b.isEmpty());
    try {
        return var::equals(a, b);
    } catch (const std::exception &) {
        return false;
    }
}

// The event of a view; other objects on a band have none.
const QString &viewEvent(TfrxComponent *c, QString TfrxView::*event)
{
    static const QString none;
    auto *v = fastCast<TfrxView *>(c);
    return v ? v->*event : none;
}

} // namespace

// A band's tree is that of its own page: a subreport's bands run while the outer page
// is being laid out.
const TfrxBandTree &TfrxEngine::treeOf(const TfrxBand *band) const
{
    static const TfrxBandTree none;
    const auto it = m_trees.constFind(band ? fastCast<const TfrxReportPage *>(band->Parent()) : nullptr);
    return it == m_trees.constEnd() ? none : *it;
}

const QList<TfrxDataBand *> &TfrxEngine::subBandsOf(TfrxDataBand *band) const
{
    static const QList<TfrxDataBand *> none;
    const auto &details = treeOf(band).Details;
    const auto d = details.constFind(band);
    return d == details.constEnd() ? none : *d;
}

TfrxHeader *TfrxEngine::headerOf(TfrxDataBand *band) const
{
    return treeOf(band).Headers.value(band);
}

TfrxFooter *TfrxEngine::footerOf(TfrxDataBand *band) const
{
    return treeOf(band).Footers.value(band);
}

const QList<TfrxGroupHeader *> &TfrxEngine::groupsOf(TfrxDataBand *band) const
{
    static const QList<TfrxGroupHeader *> none;
    const auto &groups = treeOf(band).Groups;
    const auto g = groups.constFind(band);
    return g == groups.constEnd() ? none : *g;
}

TfrxGroupFooter *TfrxEngine::groupFooterOf(TfrxGroupHeader *header) const
{
    return treeOf(header).GroupFooters.value(header);
}

void TfrxEngine::callEvent(TfrxComponent *c, const QString &event)
{
    if (!event.isEmpty())
        Report()->DoNotifyEvent(c, event);
}

void TfrxEngine::resetSuppressed(TfrxBand *band)
{
    if (!band)
        return;
    for (TfrxComponent *c : band->Objects())
        if (auto *m = fastCast<TfrxCustomMemoView *>(c))
            m->ResetSuppress();
}

void TfrxEngine::addBandOutline(TfrxBand *band)
{
    QString text;
    if (auto *d = fastCast<TfrxDataBand *>(band))
        text = d->OutlineText();
    else if (auto *g = fastCast<TfrxGroupHeader *>(band))
        text = g->OutlineText;
    if (text.isEmpty())
        return;
    Report()->CurObject = band->Name();
    const Variant v = Report()->Calc(text);
    PreviewPages()->Outline()->AddItem(v.toText(), int(std::lround(CurY - band->Height())));
}

void TfrxEngine::leaveBandOutline(TfrxBand *band)
{
    QString text;
    if (auto *d = fastCast<TfrxDataBand *>(band))
        text = d->OutlineText();
    else if (auto *g = fastCast<TfrxGroupHeader *>(band))
        text = g->OutlineText;
    if (!text.isEmpty())
        PreviewPages()->Outline()->LevelUp();
}

// ---------------------------------------------------------------------------------------
// Data bands

void TfrxEngine::runDataBands(const QList<TfrxDataBand *> &bands)
{
    TfrxReport *report = Report();
    if (!report->EngineOptions()->EnableThreadSafe)
        frxProcessMessages();
    if (report->Terminated)
        return;
    TfrxCustomPreviewPages *pages = PreviewPages();
    for (TfrxDataBand *band : bands) {
        TfrxDataSet *ds = bandDataSet(band);
        if (!ds)
            continue;
        BandState &st = state(band);
        ds->First();
        st.LineN = 1;
        st.LineThrough = 1;
        st.FirstRow = true;
        beginBandColumns(band);
        resetSuppressed(band);
        TfrxHeader *header = headerOf(band);
        const bool grouped = !groupsOf(band).isEmpty();
        bool printed = false;
        int keepFooterPosition = 0;
        double keepFooterY = 0;
        int rows = 0;

        while (!ds->Eof()) {
            if (hasData(band, subBandsOf(band), band->PrintIfDetailEmpty())) {
                const bool firstRow = state(band).FirstRow;
                if (firstRow) {
                    if (band->KeepHeader() && header) {
                        if (m_isFirstBand)
                            m_isFirstBand = !m_titlePrinted;
                        startKeep(header);
                        m_keepHeader = !m_isFirstBand;
                    }
                    if (header && header->ReprintOnNewPage())
                        addToHeaderList(header);
                    ShowBand(header);
                    if (band->KeepTogether())
                        startKeep(band);
                } else if (!grouped && band->KeepTogether()) {
                    startKeep(band);
                }

                if (firstRow)
                    showGroupHeaders(band, 0, true);
                else
                    checkGroups(band);

                keepFooterPosition = pages->GetCurPosition();
                keepFooterY = CurY;
                rememberColumnStart(band);

                CurLine = state(band).LineN;
                CurLineThrough = state(band).LineThrough;
                ShowBand(band);
                m_keepHeader = false;
                for (TfrxComponent *c : NotifyList)
                    c->OnNotify(band);
                if (firstRow && header)
                    endKeep(header);

                ++state(band).LineN;
                ++state(band).LineThrough;
                advanceBandColumn(band);
                addBandOutline(band);
                runDataBands(subBandsOf(band));
                leaveBandOutline(band);
                m_isFirstBand = false;
                if (band->FooterAfterEach())
                    ShowBand(footerOf(band));
                state(band).FirstRow = false;
                printed = true;
            }
            if (!grouped && band->KeepTogether())
                endKeep(band);
            ds->Next();
            ++rows;
            if ((band->DataSet() && band->RowCount() > 0 && rows >= band->RowCount()) || report->Terminated)
                break;
        }

        endBandColumns(band);
        if (printed) {
            showGroupFooters(band, 0);
            if (m_keeping)
                removeFromHeaderList(header);
            if (!band->FooterAfterEach()) {
                TfrxFooter *footer = footerOf(band);
                if (footer && band->KeepFooter()) {
                    startKeep(band, keepFooterPosition, keepFooterY);
                    m_keepFooter = true;
                    ShowBand(footer);
                    m_keepFooter = false;
                    endKeep(band);
                } else {
                    ShowBand(footer);
                }
            }
            removeFromHeaderList(header);
            if (grouped && band->KeepTogether())
                endKeep(band);
        }
        if (report->Terminated)
            break;
        m_isFirstBand = false;
    }
}

// ---------------------------------------------------------------------------------------
// Groups

void TfrxEngine::showGroupHeaders(TfrxDataBand *band, int from, bool firstRow)
{
    TfrxReport *report = Report();
    const QList<TfrxGroupHeader *> groups = groupsOf(band);
    for (int i = from; i < groups.size(); ++i) {
        BandState &hs = state(groups[i]);
        if (firstRow) {
            hs.LineN = 1;
            hs.LineThrough = 1;
            resetSuppressed(groups[i]);
        } else {
            ++hs.LineN;
            ++hs.LineThrough;
            if (i + 1 < groups.size())
                state(groups[i + 1]).LineN = 0;
        }
    }
    for (int i = from; i < groups.size(); ++i) {
        TfrxGroupHeader *h = groups[i];
        CurLine = state(h).LineN;
        CurLineThrough = state(h).LineThrough;
        report->CurObject = h->Name();
        state(h).LastValue = report->Calc(h->Condition);
        if (h->KeepTogether())
            startKeep(h);
        ShowBand(h);
        addBandOutline(h);
        if (h->ReprintOnNewPage())
            addToHeaderList(h);
    }
}

void TfrxEngine::checkGroups(TfrxDataBand *band)
{
    TfrxReport *report = Report();
    const QList<TfrxGroupHeader *> groups = groupsOf(band);
    int changed = -1;
    for (int i = 0; i < groups.size(); ++i) {
        report->CurObject = groups[i]->Name();
        if (!sameGroupValue(report->Calc(groups[i]->Condition), state(groups[i]).LastValue)) {
            changed = i;
            break;
        }
    }
    if (changed < 0)
        return;

    endBandColumns(band);
    TfrxDataSet *ds = bandDataSet(band);
    bool back = false;
    try {
        ds->Prior();
        back = true;
    } catch (const Error &) {
        // A dataset that cannot go back shows the footers with the new row.
    }
    showGroupFooters(band, changed);
    if (back)
        ds->Next();
    showGroupHeaders(band, changed, false);
    state(band).LineN = 1;
    resetSuppressed(band);
}

void TfrxEngine::showGroupFooters(TfrxDataBand *band, int from)
{
    const QList<TfrxGroupHeader *> groups = groupsOf(band);
    for (int i = int(groups.size()) - 1; i >= from; --i) {
        TfrxGroupHeader *h = groups[i];
        if (TfrxGroupFooter *f = groupFooterOf(h)) {
            if (f->HideIfSingleDataRecord && state(band).LineN < 3)
                Aggregates().Reset(f);
            else
                ShowBand(f);
        }
        leaveBandOutline(h);
        removeFromHeaderList(h);
        if (h->KeepTogether())
            endKeep(h);
    }
}

// ---------------------------------------------------------------------------------------
// Showing one band

void TfrxEngine::ShowBand(const ClassInfo *bandClass)
{
    ShowBand(pageBand(bandClass));
}

void TfrxEngine::ShowBand(TfrxBand *band)
{
    if (!band)
        return;
    if (band->KeepChild())
        startKeep(band);
    showBandItself(band);
    const bool laterColumn = isMultiColumn(band) && state(band).Column > 1;
    if (!laterColumn) {
        TfrxChild *child = band->Child();
        if (child && (band->Visible() || band->PrintChildIfInvisible()))
            ShowBand(child);
    }
    if (band->KeepChild())
        endKeep(band);
    if (isDataBand(band))
        Aggregates().AddValue(band, CurVColumn);
}

void TfrxEngine::showBandItself(TfrxBand *band)
{
    TfrxCustomPreviewPages *pages = PreviewPages();
    const bool nullBand = fastCast<TfrxNullBand *>(band) != nullptr;
    BandState &st = state(band);

    if (band->Visible() && band->StartNewPage() && !st.Overflow && !m_outputTo && !m_callFromAddPage
        && ((!isDataBand(band) && !fastCast<TfrxGroupHeader *>(band)) || st.LineN != 1)) {
        m_startNewPageBand = band;
        if (auto *g = fastCast<TfrxGroupHeader *>(band); g && g->ResetPageNumbers)
            pages->ResetLogicalPageNumber();
        NewPage();
    }

    prepareBand(band);
    state(band).StretchedHeight = band->Height();

    bool split = false;
    if (band->Visible() && !isMultiColumn(band) && !fastCast<TfrxOverlay *>(band) && !nullBand)
        split = fitBand(band);

    if (!split && band->Visible()) {
        band->SetLeft(isMultiColumn(band) ? CurX + bandColumnOffset(band) : CurX);
        if (!nullBand)
            band->SetTop(CurY);
        state(band).OutputTop = CurY;
        outputBand(band);
        if (!nullBand)
            CurY += band->Height();
    }

    unprepareBand(band);
    Aggregates().Reset(band);
    if (band->Visible())
        runSubreports(band);
}

void TfrxEngine::outputBand(TfrxBand *band)
{
    TfrxCustomPreviewPages *pages = PreviewPages();
    if (m_outputTo) {
        outputToTarget(band);
        return;
    }
    if (m_callFromAddPage && pages->BandExists(band))
        return;
    pages->AddObject(band);
}

void TfrxEngine::prepareBand(TfrxBand *band)
{
    TfrxReport *report = Report();
    SetCurBand(band);
    report->CurObject = band->Name();
    band->BeforePrint();
    callEvent(band, band->OnBeforePrint);

    TfsScript *script = report->Script();
    for (TfrxComponent *c : band->Objects()) {
        auto *obj = fastCast<TfrxReportComponent *>(c);
        if (!obj)
            continue;
        report->CurObject = obj->Name();
        obj->BeforePrint();
        if (fastCast<TfrxView *>(obj))
            script->SetVariables(QStringLiteral("Self"), Variant::fromObject(obj));
        if (!band->Visible())
            continue;
        callEvent(obj, viewEvent(obj, &TfrxView::OnBeforePrint));
        if (obj->Visible()) {
            obj->GetData();
            callEvent(obj, viewEvent(obj, &TfrxView::OnAfterData));
        }
    }

    stretchBand(band);
    report->CurObject = band->Name();
    callEvent(band, band->OnAfterCalcHeight);
    for (TfrxComponent *c : band->Objects())
        if (auto *s = fastCast<TfrxStretcheable *>(c); s && s->StretchMode() == TfrxStretchMode::smMaxHeight)
            s->SetHeight(band->Height() - s->Top());
}

void TfrxEngine::unprepareBand(TfrxBand *band)
{
    TfrxReport *report = Report();
    const QList<TfrxComponent *> objects = band->Objects();
    if (band->Visible())
        for (TfrxComponent *c : objects) {
            report->CurObject = c->Name();
            callEvent(c, viewEvent(c, &TfrxView::OnAfterPrint));
        }
    for (TfrxComponent *c : band->Objects())
        if (auto *obj = fastCast<TfrxReportComponent *>(c))
            obj->AfterPrint();
    report->CurObject = band->Name();
    callEvent(band, band->OnAfterPrint);
    band->AfterPrint();
    dropAddedObjects(band);
}

} // namespace tw
