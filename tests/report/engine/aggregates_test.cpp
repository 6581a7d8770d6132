#include "base/formatsettings.h"
#include "report/engine/aggregates.h"
#include "report/engine/engine.h"
#include "report/model/bands.h"
#include "report/model/memo.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "script/interpreter.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

std::string u8(const QString &s)
{
    return s.toStdString();
}

// A page with MasterData1 between a group and its footers, plus a page footer and a
// summary; rows are fed by setting the report variable "v" and calling AddValue.
class Aggregates : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setCurrent(FormatSettings::usEnglish());
        page = new TfrxReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        pageFooter = band<TfrxPageFooter>("PageFooter1", 500);
        groupHeader = band<TfrxGroupHeader>("GroupHeader1", 50);
        header = band<TfrxHeader>("Header1", 80);
        data = band<TfrxMasterData>("MasterData1", 100);
        data->SetRowCount(3);
        footer = band<TfrxFooter>("Footer1", 150);
        groupFooter = band<TfrxGroupFooter>("GroupFooter1", 200);
        summary = band<TfrxReportSummary>("ReportSummary1", 300);
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    template <class B>
    B *band(const char *name, double top)
    {
        auto *b = new B(page);
        b->SetName(QString::fromUtf8(name));
        b->SetTop(top);
        b->SetHeight(20);
        return b;
    }
    TfrxMemoView *memo(TfrxBand *parent, const QString &text)
    {
        auto *m = new TfrxMemoView(parent);
        m->SetName(QStringLiteral("Memo%1").arg(++memoCount));
        m->SetText(text);
        return m;
    }
    TfrxAggregateList &list() { return report.Engine()->Aggregates(); }
    void row(const Variant &v, TfrxBand *b = nullptr)
    {
        report.Variables().Set(QStringLiteral("v"), v);
        list().AddValue(b ? b : data);
    }
    double value(TfrxBand *parent, const char *fn, const char *expr, int flags = 0)
    {
        const Variant v = list().GetValue(parent, 0, QString::fromUtf8(fn), QString::fromUtf8(expr), nullptr, flags);
        EXPECT_FALSE(v.isNull()) << fn << "(" << expr << ") not found";
        return v.isNull() ? -1 : v.toDouble();
    }

    FormatSettings saved;
    TfrxReport report;
    TfrxReportPage *page = nullptr;
    TfrxPageFooter *pageFooter = nullptr;
    TfrxGroupHeader *groupHeader = nullptr;
    TfrxHeader *header = nullptr;
    TfrxMasterData *data = nullptr;
    TfrxFooter *footer = nullptr;
    TfrxGroupFooter *groupFooter = nullptr;
    TfrxReportSummary *summary = nullptr;
    int memoCount = 0;
};

} // namespace

TEST_F(Aggregates, DiscoveryScansFootersTheirChildrenAndPageBandsOnly)
{
    auto *child = new TfrxChild(page);
    child->SetName(QStringLiteral("Child1"));
    child->SetTop(170);
    footer->SetChild(child);
    report.Variables().Set(QStringLiteral("total"), Variant("MAX(<v>) + 1"));

    memo(footer, QStringLiteral("[SUM(<v>,MasterData1)] and [AVG( v )]"));
    memo(child, QStringLiteral("[IIF(COUNT(MasterData1, 1) > 0, 'SUM(no)', \"MIN(no)\")]"));
    memo(groupFooter, QStringLiteral("[SUM(v,,2)]"));
    memo(pageFooter, QStringLiteral("[MIN(v)] [total]"));
    memo(summary, QStringLiteral("[<CUST.\"id1\"> + (Max(v) * 2)]"));
    memo(header, QStringLiteral("[SUM(v)]"));  // headers hold no aggregates
    memo(data, QStringLiteral("[SUM(v)]"));    // nor do the rows themselves
    memo(footer, QStringLiteral("[SUM(v)]"))->SetAllowExpressions(false);

    list().AddItems(page);
    struct Want {
        TfrxAggregateFunction fn;
        const char *expression;
        TfrxBand *parent;
        const char *original;
        bool invisible, dontReset;
    } want[] = {
        {agSum, "<v>", footer, "SUM(<v>,MasterData1)", false, false},
        {agAvg, "v", footer, "AVG( v )", false, false},
        {agCount, "", child, "COUNT(MasterData1, 1)", true, false},
        {agSum, "v", groupFooter, "SUM(v,,2)", false, true},
        {agMin, "v", pageFooter, "MIN(v)", false, false},
        {agMax, "<v>", pageFooter, "MAX(<v>)", false, false},
        {agMax, "v", summary, "Max(v)", false, false},
    };
    ASSERT_EQ(list().Count(), int(std::size(want)));
    for (int i = 0; i < list().Count(); ++i) {
        const TfrxAggregateItem *item = list().Items(i);
        SCOPED_TRACE(want[i].original);
        EXPECT_EQ(item->AggregateFunction, want[i].fn);
        EXPECT_EQ(u8(item->Expression), want[i].expression);
        EXPECT_EQ(item->ParentBand, want[i].parent);
        EXPECT_EQ(item->Band, data);
        EXPECT_EQ(u8(item->OriginalName), want[i].original);
        EXPECT_EQ(item->CountInvisibleBands, want[i].invisible);
        EXPECT_EQ(item->DontReset, want[i].dontReset);
        EXPECT_EQ(item->IsPageFooter, want[i].parent == pageFooter);
    }
}

TEST_F(Aggregates, PageWithoutDataBandsHasNoPageFooterItems)
{
    TfrxReportPage *empty = new TfrxReportPage(&report);
    auto *pf = new TfrxPageFooter(empty);
    pf->SetName(QStringLiteral("PageFooter2"));
    memo(pf, QStringLiteral("[SUM(v)]"));
    list().AddItems(empty);
    EXPECT_EQ(list().Count(), 0);
}

TEST_F(Aggregates, ADataBandWithoutRowsGivesItsFooterNoItems)
{
    // A data band without rows of its own is never shown, so its footer counts nothing.
    data->SetRowCount(0);
    memo(footer, QStringLiteral("[SUM(v)]"));
    list().AddItems(page);
    EXPECT_EQ(list().Count(), 0);
}

TEST_F(Aggregates, SumAndAvgSkipNullRows)
{
    memo(footer, QStringLiteral("[SUM(v,MasterData1)] [AVG(v,MasterData1)] [MIN(v)] [MAX(v)] [COUNT(MasterData1)]"));
    list().AddItems(page);
    // Nothing counted yet reads as 0.
    EXPECT_EQ(value(footer, "SUM", "v"), 0);
    row(Variant(1.5));
    row(Variant(2));
    row(Variant::null());
    EXPECT_DOUBLE_EQ(value(footer, "SUM", "v"), 3.5);
    EXPECT_DOUBLE_EQ(value(footer, "AVG", "v"), 1.75);
    EXPECT_DOUBLE_EQ(value(footer, "MIN", "v"), 1.5);
    EXPECT_DOUBLE_EQ(value(footer, "MAX", "v"), 2);
    EXPECT_DOUBLE_EQ(value(footer, "COUNT", ""), 3);
    // Lookups are by the band that shows the memo, ignoring the expression's case.
    EXPECT_DOUBLE_EQ(value(footer, "sum", " V "), 3.5);
    EXPECT_TRUE(list().GetValue(summary, 0, "SUM", "v", nullptr, 0).isNull());
    EXPECT_TRUE(list().GetValue(footer, 0, "SUM", "v", nullptr, 1).isNull());
    EXPECT_TRUE(list().GetValue(footer, 0, "SUM", "v", footer, 0).isNull()); // another band
    EXPECT_DOUBLE_EQ(list().GetValue(footer, 0, "SUM", "v", data, 0).toDouble(), 3.5);
    // By the call text as written.
    EXPECT_DOUBLE_EQ(list().GetValue(footer, QStringLiteral(" SUM(v,MasterData1) ")).toDouble(), 3.5);
    EXPECT_TRUE(list().GetValue(footer, QStringLiteral("SUM(v, MasterData1)")).isNull());

    list().Reset(footer);
    EXPECT_EQ(value(footer, "SUM", "v"), 0);
    EXPECT_EQ(value(footer, "COUNT", ""), 0);
}

TEST_F(Aggregates, BooleansCountAsOneAndZero)
{
    memo(footer, QStringLiteral("[SUM(v)] [MIN(v)]"));
    list().AddItems(page);
    row(Variant(true));
    row(Variant(true));
    row(Variant(false));
    EXPECT_EQ(value(footer, "SUM", "v"), 2);
    EXPECT_EQ(value(footer, "MIN", "v"), 0);
}

TEST_F(Aggregates, InvisibleRowsCountOnlyWithFlagOne)
{
    memo(footer, QStringLiteral("[COUNT(MasterData1)] [COUNT(MasterData1,1)]"));
    list().AddItems(page);
    row(Variant(1));
    data->SetVisible(false);
    row(Variant(1));
    data->SetVisible(true);
    row(Variant(1));
    EXPECT_EQ(value(footer, "COUNT", "", 0), 2);
    EXPECT_EQ(value(footer, "COUNT", "", 1), 3);
}

TEST_F(Aggregates, RunningTotalSurvivesGroupsUntilClearValues)
{
    memo(groupFooter, QStringLiteral("[SUM(v)] [SUM(v,MasterData1,2)]"));
    list().AddItems(page);
    row(Variant(1));
    row(Variant(2));
    EXPECT_EQ(value(groupFooter, "SUM", "v", 0), 3);
    EXPECT_EQ(value(groupFooter, "SUM", "v", 2), 3);
    list().Reset(groupFooter); // the next group
    row(Variant(10));
    EXPECT_EQ(value(groupFooter, "SUM", "v", 0), 10);
    EXPECT_EQ(value(groupFooter, "SUM", "v", 2), 13);
    list().Reset(groupFooter);
    EXPECT_EQ(value(groupFooter, "SUM", "v", 2), 13);
    list().ClearValues(); // between the passes
    EXPECT_EQ(value(groupFooter, "SUM", "v", 2), 0);
}

TEST_F(Aggregates, DeleteValueTakesTheLastRowBack)
{
    memo(footer, QStringLiteral("[SUM(v)] [AVG(v)] [COUNT(MasterData1)]"));
    list().AddItems(page);
    row(Variant(1));
    row(Variant(5));
    list().DeleteValue(data);
    EXPECT_EQ(value(footer, "SUM", "v"), 1);
    EXPECT_EQ(value(footer, "AVG", "v"), 1);
    EXPECT_EQ(value(footer, "COUNT", ""), 1);
    row(Variant(3));
    EXPECT_EQ(value(footer, "SUM", "v"), 4);
}

TEST_F(Aggregates, KeptRowsReachThePageFooterOnlyWhenTheKeepEnds)
{
    memo(pageFooter, QStringLiteral("[SUM(v)]"));
    memo(footer, QStringLiteral("[SUM(v)]"));
    list().AddItems(page);
    row(Variant(1));
    list().StartKeep();
    row(Variant(2));
    EXPECT_EQ(value(pageFooter, "SUM", "v"), 1); // the kept row may still move on
    EXPECT_EQ(value(footer, "SUM", "v"), 3);
    list().Reset(pageFooter); // page footer shown, the kept row moves to the next page
    list().EndKeep();
    EXPECT_EQ(value(pageFooter, "SUM", "v"), 2);
}

TEST_F(Aggregates, VerticalColumnsCountSeparately)
{
    memo(footer, QStringLiteral("[SUM(v)]"));
    list().AddItems(page);
    report.Variables().Set(QStringLiteral("v"), Variant(4));
    list().AddValue(data, 1);
    list().AddValue(data, 2);
    list().AddValue(data, 2);
    EXPECT_EQ(list().GetValue(footer, 1, "SUM", "v", nullptr, 0).toInt(), 4);
    EXPECT_EQ(list().GetValue(footer, 2, "SUM", "v", nullptr, 0).toInt(), 8);
    EXPECT_EQ(list().GetValue(footer, 3, "SUM", "v", nullptr, 0).toInt(), 0);
    list().DeleteValue(data);
    EXPECT_EQ(list().GetValue(footer, 2, "SUM", "v", nullptr, 0).toInt(), 4);
}

TEST_F(Aggregates, ReportVariablesAreScannedThroughTheirValues)
{
    report.Variables().Set(QStringLiteral("inner"), Variant("SUM(v)"));
    report.Variables().Set(QStringLiteral("outer"), Variant("<inner> * 2"));
    report.Variables().Set(QStringLiteral("loop"), Variant("loop + 1"));
    memo(footer, QStringLiteral("[outer] [loop]"));
    list().AddItems(page);
    ASSERT_EQ(list().Count(), 1);
    EXPECT_EQ(u8(list().Items(0)->OriginalName), "SUM(v)");
}

TEST_F(Aggregates, GroupsAndDetailsFindTheirFootersByPosition)
{
    // A second group level and a detail band with its own footer below the master.
    auto *inner = band<TfrxGroupHeader>("GroupHeader2", 60);
    auto *innerFooter = band<TfrxGroupFooter>("GroupFooter2", 180);
    auto *detail = band<TfrxDetailData>("DetailData1", 120);
    detail->SetRowCount(2);
    auto *detailFooter = band<TfrxFooter>("Footer2", 130);
    (void)inner;
    // The master's footer now sits below the detail's.
    footer->SetTop(140);
    memo(innerFooter, QStringLiteral("[SUM(v)]"));
    memo(groupFooter, QStringLiteral("[SUM(v)]"));
    memo(detailFooter, QStringLiteral("[SUM(v)]"));
    memo(footer, QStringLiteral("[SUM(v)]"));
    list().AddItems(page);
    ASSERT_EQ(list().Count(), 4);
    QList<QPair<TfrxBand *, TfrxBand *>> got;
    for (int i = 0; i < list().Count(); ++i)
        got.append({list().Items(i)->ParentBand, list().Items(i)->Band});
    const QList<QPair<TfrxBand *, TfrxBand *>> expected{
        {footer, data}, {groupFooter, data}, {innerFooter, data}, {detailFooter, detail}};
    EXPECT_EQ(got, expected);
}

TEST_F(Aggregates, FooterMemoReadsItsSumThroughTheScript)
{
    TfrxMemoView *m = memo(footer, QStringLiteral("Total [SUM(<v>,MasterData1) #n%2,2f]"));
    ASSERT_TRUE(report.PrepareScript()) << u8(report.Errors().join(QLatin1Char('\n')));
    list().AddItems(page);
    ASSERT_EQ(list().Count(), 1);
    row(Variant(1.5));
    row(Variant(2));
    row(Variant::null());
    report.Engine()->SetCurBand(footer);
    m->BeforePrint();
    m->GetData();
    EXPECT_EQ(u8(m->Text()), "Total 3,50\r\n");
    // The memo's events see the value through the script variable.
    EXPECT_DOUBLE_EQ(report.Script()->Variables(QStringLiteral("Value")).toDouble(), 3.5);
    m->AfterPrint();
    EXPECT_TRUE(report.Errors().isEmpty()) << u8(report.Errors().join(QLatin1Char('\n')));
}
