#pragma once

#include "base/variant.h"

#include <QString>
#include <QVector>
#include <memory>
#include <vector>

namespace tw {

class TfrxBand;
class TfrxCustomMemoView;
class TfrxDataBand;
class TfrxReport;
class TfrxReportPage;

enum TfrxAggregateFunction { agSum, agAvg, agMin, agMax, agCount };

// SUM, AVG, MIN, MAX, anything else COUNT (ignoring case).
TfrxAggregateFunction aggregateFunctionByName(const QString &name);

// Columns of a vertical band the per-column values cover (1..1000).
constexpr int frxMaxVColumns = 1001;

// One SUM/AVG/MIN/MAX/COUNT call found in a memo: what it accumulates and over which band.
class TfrxAggregateItem {
public:
    TfrxAggregateFunction AggregateFunction = agSum;
    QString Expression;
    TfrxDataBand *Band = nullptr;   // the band whose rows are accumulated
    TfrxBand *ParentBand = nullptr; // the band holding the memo that shows the result
    bool CountInvisibleBands = false;
    bool DontReset = false;
    bool IsPageFooter = false;
    QString OriginalName; // the call text as written, trimmed
    QString MemoName;
    int ItemsCount = 0;
    Variant ItemsValue = Variant::null();
    int LastCount = 0;
    Variant LastValue = Variant::null();
    bool Keeping = false;
    int TempItemsCount = 0;
    Variant TempItemsValue = Variant::null();
    // Per vertical column (frxMaxVColumns entries each once used).
    QVector<Variant> ItemsArray;
    QVector<int> ItemsCountArray;

    // One row's value (already evaluated; Null for COUNT). vColumn > 0 counts into that
    // vertical column; an open keep block counts separately.
    void AddValue(const Variant &value, int vColumn = 0);
    // Back to the state before the last AddValue.
    void DeleteValue();
    void StartKeep();
    // Merges what was counted while the keep block was open.
    void EndKeep();
    // Starts again, unless a running total (DontReset) has counted something.
    void Reset();
    // Starts again regardless of DontReset.
    void Clear();
    // AVG the value divided by the count, COUNT the count, else the value; Null gives 0.
    Variant Value(int vColumn = 0) const;

private:
    bool m_lastKept = false; // where the last AddValue went, for DeleteValue
    int m_lastVColumn = 0;
};

// All aggregate items of a report (owned by the engine).
class TfrxAggregateList {
public:
    explicit TfrxAggregateList(TfrxReport *report);
    ~TfrxAggregateList();
    TfrxAggregateList(const TfrxAggregateList &) = delete;
    TfrxAggregateList &operator=(const TfrxAggregateList &) = delete;

    void Clear();
    int Count() const { return int(m_items.size()); }
    TfrxAggregateItem *Items(int index) const { return m_items.at(size_t(index)).get(); }

    // Scans the memos of the page's bands (once per page at the start of a run).
    void AddItems(TfrxReportPage *page);
    // Scans one memo shown in parentBand; calls without a band name count defaultBand.
    void AddMemoItems(TfrxCustomMemoView *memo, TfrxBand *parentBand, TfrxDataBand *defaultBand);
    // After a data band row was shown.
    void AddValue(TfrxBand *band, int vColumn = 0);
    // Undoes the last row of the band (the row moved to the next page).
    void DeleteValue(TfrxBand *band);
    // After a band was shown: its items start again (unless DontReset with a count).
    void Reset(TfrxBand *parentBand);
    void StartKeep();
    void EndKeep();
    // Between the passes of a two-pass run: every item, DontReset or not.
    void ClearValues();
    // By function, expression, band and flags among the items shown in parentBand.
    Variant GetValue(TfrxBand *parentBand, int vColumn, const QString &name, const QString &expression,
                     TfrxBand *band, int flags) const;
    // By the whole call text, compared with OriginalName.
    Variant GetValue(TfrxBand *parentBand, const QString &name, int vColumn = 0) const;

private:
    struct ScanContext;
    void scanBandChain(TfrxBand *band, TfrxDataBand *defaultBand);
    void scanExpression(const QString &text, ScanContext &ctx, int depth);
    void scanWords(const QString &text, ScanContext &ctx, int depth);
    void addItem(const QString &callText, const QString &function, const QStringList &args, ScanContext &ctx);

    TfrxReport *m_report;
    std::vector<std::unique_ptr<TfrxAggregateItem>> m_items;
};

} // namespace tw
