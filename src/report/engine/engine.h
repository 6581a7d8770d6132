#pragma once

#include "base/metadata.h"
#include "base/variant.h"
#include "report/model/bands.h"

#include <QString>
#include <memory>

namespace tw {

class TfrxAggregateList;
class TfrxReport;

// The state of a report run that expressions, aggregates and scripts read. The band
// engine fills it while it runs; scripts see it as "Engine".
class TfrxCustomEngine : public Object {
    TW_OBJECT(TfrxCustomEngine)
    explicit TfrxCustomEngine(TfrxReport *report);
    ~TfrxCustomEngine() override;
    TfrxCustomEngine(const TfrxCustomEngine &) = delete;
    TfrxCustomEngine &operator=(const TfrxCustomEngine &) = delete;

    TfrxReport *Report() const { return m_report; }

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

    // Page numbers as expressions see them (Page, Page#, TotalPages); the prepared pages
    // keep them once they exist.
    int LogicalPageNo = 1;
    int LogicalPageCount = 0;
    int PreparedPageIndex = 0;

    // Items of SUM/AVG/MIN/MAX/COUNT found in the report's memos.
    TfrxAggregateList &Aggregates() { return *m_aggregates; }
    // The aggregate value of the current band and vertical column; Null when no item matches.
    Variant GetAggregateValue(const QString &name, const QString &expression, TfrxBand *band, int flags);

    // Free space left on the page; the layout code overrides it.
    virtual double FreeSpace() { return PageHeight - CurY; }
    void StopReport();

private:
    TfrxReport *m_report;
    TfrxRef<TfrxBand> m_curBand;
    std::unique_ptr<TfrxAggregateList> m_aggregates;
};

class TfrxEngine : public TfrxCustomEngine {
    TW_OBJECT(TfrxEngine)
    using TfrxCustomEngine::TfrxCustomEngine;
};

} // namespace tw
