#pragma once

#include "base/metadata.h"
#include "base/variant.h"
#include "report/engine/bandtree.h"
#include "report/model/bands.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace tw {

class TfrxAggregateList;
class TfrxCustomPreviewPages;
class TfrxReport;
class TfrxReportPage;
class TfrxXMLItem;

// The platform's "process pending window messages": the window installs it so that its
// stop button stays responsive while a report runs, also from the loops of a running script
// (see fsSetRunCheck). Nothing happens without one.
void frxSetProcessMessages(std::function<void()> handler);
void frxProcessMessages();

// The state of a report run that expressions, aggregates and scripts read, and the
// operations the script may call ("Engine").
class TfrxCustomEngine : public Object {
    TW_OBJECT(TfrxCustomEngine)
    explicit TfrxCustomEngine(TfrxReport *report);
    ~TfrxCustomEngine() override;
    TfrxCustomEngine(const TfrxCustomEngine &) = delete;
    TfrxCustomEngine &operator=(const TfrxCustomEngine &) = delete;

    TfrxReport *Report() const { return m_report; }
    TfrxCustomPreviewPages *PreviewPages() const;

    // Published
    int CurColumn = 1;
    int CurVColumn = 0;
    double CurX = 0;
    double CurY = 0;
    bool DoublePass = false;
    bool FinalPass = true;
    double PageHeight = 0;
    double PageWidth = 0;
    double StartDate = 0; // date-time values taken once when a run starts
    double StartTime = 0;
    int TotalPages = 0; // 0 in a single-pass run and in the first pass
    bool SecondScriptCall = false;

    // Run state
    bool Running = false;
    int CurLine = 0;        // row of the current data band, from 1
    int CurLineThrough = 0; // row across all runs of the band
    TfrxBand *CurBand() const { return m_curBand.get(); }
    void SetCurBand(TfrxBand *band);
    // Components told after every printed data row (OnNotify).
    QList<TfrxComponent *> NotifyList;

    // Page numbers as expressions see them: from the prepared pages, or those of a first
    // page before any exists.
    int LogicalPageNumber();
    int LogicalTotalPages();
    int PreparedPageNumber();

    // Items of SUM/AVG/MIN/MAX/COUNT found in the report's memos.
    TfrxAggregateList &Aggregates() { return *m_aggregates; }
    // The aggregate value of the current band and vertical column; Null when no item matches.
    virtual Variant GetAggregateValue(const QString &name, const QString &expression, TfrxBand *band, int flags);

    // The layout and output operations.
    virtual double GetPageHeight() { return PageHeight; }
    virtual void EndPage() {}
    virtual void BreakAllKeep() {}
    virtual void NewColumn() {}
    virtual void NewPage() {}
    virtual void ShowBand(TfrxBand *) {}
    // The band of that class on the page being run.
    virtual void ShowBand(const ClassInfo *) {}
    virtual double HeaderHeight() { return 0; }
    virtual double FooterHeight() { return 0; }
    virtual double FreeSpace() { return PageHeight - CurY; }
    // True when the pages were produced.
    virtual bool Run() { return false; }
    // The object of that name in the report, shown now.
    void ShowBandByName(const QString &name);
    void StopReport();
    // An anchor at the current position; the page of the first anchor of that text (-1).
    void AddAnchor(const QString &text);
    int GetAnchorPage(const QString &text);

private:
    TfrxReport *m_report;
    TfrxRef<TfrxBand> m_curBand;
    std::unique_ptr<TfrxAggregateList> m_aggregates;
};

// The band engine: walks the report pages, iterates their data and prints the bands.
// The page layout (where bands land, breaks, keep blocks) is in pagelayout.cpp.
class TfrxEngine : public TfrxCustomEngine {
    TW_OBJECT(TfrxEngine)
    explicit TfrxEngine(TfrxReport *report);
    ~TfrxEngine() override;

    bool Run() override;
    void ShowBand(TfrxBand *band) override;
    void ShowBand(const ClassInfo *bandClass) override;

    // Layout (pagelayout.cpp)
    double GetPageHeight() override;
    void EndPage() override;
    void BreakAllKeep() override;
    void NewColumn() override;
    void NewPage() override;
    double HeaderHeight() override;
    double FooterHeight() override;
    double FreeSpace() override;

    // One entry of the list of bands replayed on every new page.
    struct HeaderItem {
        TfrxBand *Band = nullptr;
        double Left = 0;
        bool IsInKeepList = false;
    };

private:
    // Per band state of a run.
    struct BandState {
        int LineN = 0;
        int LineThrough = 0;
        bool FirstRow = true;
        Variant LastValue; // a group header's remembered condition value
        bool Overflow = false; // being reprinted on a new page
        double StretchedHeight = 0;
        int Column = 1;    // a multi-column data band's current column
        double MaxY = 0;   // the lowest Y its columns reached
        double RowY = 0;   // where the current row set began
        int RowPosition = 0; // the store's position there
        double OutputTop = 0; // where the band was last output
    };

    // reportrun.cpp
    bool initialize();
    void finalize();
    void preparePage(TfrxReportPage *page, bool vertical);
    TfrxDataSet *bandDataSet(TfrxDataBand *band) const;
    void runReportPages();
    void runPage(TfrxReportPage *page);
    void runPageOnce(TfrxReportPage *page);
    void showPageObjects(TfrxReportPage *page);
    bool hasData(TfrxComponent *c, const QList<TfrxDataBand *> &subBands, bool printIfDetailEmpty);

    // bandoutput.cpp
    void runDataBands(const QList<TfrxDataBand *> &bands);
    void showGroupHeaders(TfrxDataBand *band, int from, bool firstRow);
    void checkGroups(TfrxDataBand *band);
    void showGroupFooters(TfrxDataBand *band, int from);
    void showBandItself(TfrxBand *band);
    void prepareBand(TfrxBand *band);
    void unprepareBand(TfrxBand *band);
    void outputBand(TfrxBand *band);
    void addBandOutline(TfrxBand *band);
    void leaveBandOutline(TfrxBand *band);
    void resetSuppressed(TfrxBand *band);
    void callEvent(TfrxComponent *c, const QString &event);
    BandState &state(TfrxBand *band) { return m_bandState[band]; }
    const TfrxBandTree &treeOf(const TfrxBand *band) const;
    const QList<TfrxDataBand *> &subBandsOf(TfrxDataBand *band) const;
    TfrxFooter *footerOf(TfrxDataBand *band) const;
    TfrxHeader *headerOf(TfrxDataBand *band) const;
    const QList<TfrxGroupHeader *> &groupsOf(TfrxDataBand *band) const;
    TfrxGroupFooter *groupFooterOf(TfrxGroupHeader *header) const;

    // pagelayout.cpp: the seams the page layout fills in.
    void startPage(TfrxReportPage *page);
    void addPage();
    void showHeaderList();
    // Tests whether the band fits; may break to a new column or page. True when the band
    // was split and output there.
    bool fitBand(TfrxBand *band);
    void startKeep(TfrxBand *band, int position = -1, double y = -1);
    void endKeep(TfrxBand *band);
    void stretchBand(TfrxBand *band);
    void buildShiftTree(TfrxBand *band);
    void runSubreportsOnParent(TfrxBand *band);
    void runSubreports(TfrxBand *band);
    void outputToTarget(TfrxBand *band);
    void dropAddedObjects(TfrxBand *band);
    // Multi-column data bands.
    void beginBandColumns(TfrxDataBand *band);
    void rememberColumnStart(TfrxDataBand *band);
    void advanceBandColumn(TfrxDataBand *band);
    void endBandColumns(TfrxDataBand *band);
    double bandColumnOffset(TfrxBand *band);
    double columnPosition(int column) const;
    bool splitBand(TfrxBand *band);
    void addToHeaderList(TfrxBand *band);
    void removeFromHeaderList(TfrxBand *band);
    void finishEndlessPage();
    void showPageFooter(TfrxBand *footer);
    TfrxBand *pageBand(const ClassInfo *cls) const;

    TfrxReportPage *m_page = nullptr; // the report page being run
    QHash<const TfrxReportPage *, TfrxBandTree> m_trees;
    QHash<TfrxBand *, BandState> m_bandState;
    // Per band: its views in page order and each one's shift children (nullptr: the band).
    struct ShiftTree {
        QList<TfrxComponent *> Objects;
        QHash<TfrxComponent *, QList<TfrxComponent *>> Children;
    };
    QHash<TfrxBand *, ShiftTree> m_shiftTrees;
    // Objects a subreport printed on its parent added to a band for one output.
    QHash<TfrxBand *, QList<TfrxComponent *>> m_addedObjects;
    QList<HeaderItem> m_headerList;
    TfrxBand *m_lastBandOnPage = nullptr;
    TfrxBand *m_startNewPageBand = nullptr;
    TfrxBand *m_outputTo = nullptr;
    bool m_isFirstPage = true;
    bool m_isLastPage = false;
    bool m_isFirstBand = true;
    bool m_titlePrinted = false;
    bool m_firstReportPage = true;
    bool m_callFromAddPage = false;
    bool m_callFromEndPage = false;
    bool m_callFromPHeader = false;
    bool m_noBreak = false;
    double m_firstColumnY = 0;
    double m_pageCurX = 0;
    double m_prevFooterHeight = 0;
    // Keep block
    bool m_keeping = false;
    TfrxBand *m_keepBand = nullptr;
    double m_keepCurY = 0;
    int m_keepPosition = 0;
    TfrxXMLItem *m_keepOutline = nullptr;
    int m_keepAnchor = 0;
    bool m_keepHeader = false;
    bool m_keepFooter = false;
    std::unique_ptr<TfrxNullBand> m_nullBand;
};

} // namespace tw
