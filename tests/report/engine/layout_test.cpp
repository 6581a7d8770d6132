// Where bands land: page footers, breaks with and without reprinted headers, keep blocks,
// stretching and shifting, pages continued and subreports.
#include "enginetestutil.h"

#include "report/engine/engine.h"
#include "report/model/views.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

// A view whose content needs a given height.
class GrowingView : public TfrxStretcheable {
    TW_OBJECT(GrowingView)
    using TfrxStretcheable::TfrxStretcheable;
    double Needed = 0;
    double CalcHeight() override { return Needed; }
};

} // namespace

TW_DEFINE_CLASS(GrowingView, &TfrxStretcheable::staticClassInfo()) {}

namespace {

QString page(const QString &name, const QString &bands, const QString &attrs = {})
{
    return QStringLiteral("<TfrxReportPage Name=\"%1\" PaperWidth=\"210\" PaperHeight=\"297\" PaperSize=\"9\" "
                          "LeftMargin=\"10\" RightMargin=\"10\" TopMargin=\"10\" BottomMargin=\"10\" %2>%3</TfrxReportPage>")
        .arg(name, attrs, bands);
}

QString report(const QStringList &datasets, const QString &pages, const QString &script = {})
{
    QString items;
    for (const QString &d : datasets)
        items += QStringLiteral("<item DataSet=\"%1\" DataSetName=\"%1\"/>").arg(d);
    const QString scriptAttr =
        script.isEmpty() ? QString() : QStringLiteral(" ScriptText.Text=\"%1\"").arg(attr(scriptText(script)));
    return QStringLiteral("<TfrxReport Version=\"4.14\" ScriptLanguage=\"RavidiReduva\"%3><Datasets>%1</Datasets>"
                          "<TfrxDataPage Name=\"Data\" Height=\"1000\" Width=\"1000\"/>%2</TfrxReport>")
        .arg(items, pages, scriptAttr);
}

constexpr double printable = (297 - 20) * fr01cm; // 1046.93 px

QList<RowTable::Row> numbers(int n)
{
    QList<RowTable::Row> rows;
    for (int i = 1; i <= n; ++i)
        rows << RowTable::Row{Variant(i)};
    return rows;
}

class Layout : public ::testing::Test {
protected:
    // Band name and top of every band on the prepared page.
    QList<QPair<QString, double>> tops(int pageIndex)
    {
        QList<QPair<QString, double>> out;
        if (TfrxPage *p = host.report->PreviewPages()->GetPage(pageIndex))
            for (TfrxComponent *c : p->Objects())
                out.append({c->Name(), c->Top()});
        return out;
    }
    EngineHost host;
};

TEST_F(Layout, PageFooterSitsAtTheBottomOnThePagesItsFlagsAllow)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(120));
    struct Case {
        const char *flags;
        QStringList footerPages;
    } cases[] = {{"", {"1", "2", "3"}},
                 {"PrintOnFirstPage=\"False\"", {"2", "3"}},
                 {"PrintOnLastPage=\"False\"", {"1", "2"}}};
    for (const Case &c : cases) {
        host.load(report({QStringLiteral("T")},
                         page(QStringLiteral("Page1"),
                              band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M1", "[<T.\"v\">]"))
                                  + band("TfrxPageFooter", "PageFooter1", 200, QString::fromLatin1(c.flags),
                                         memo("M2", "[Page#]"), 40))));
        ASSERT_EQ(host.prepare(), QString());
        ASSERT_EQ(host.report->PreviewPages()->Count(), 3);
        QStringList footerPages;
        for (int i = 0; i < 3; ++i)
            for (const auto &[name, top] : tops(i))
                if (name == QLatin1String("PageFooter1")) {
                    footerPages << QString::number(i + 1);
                    EXPECT_NEAR(top, printable - 40, 0.01);
                }
        EXPECT_EQ(footerPages, c.footerPages) << c.flags;
        // Rows never run into the footer's space, even where the footer is not printed.
        for (const auto &[name, top] : tops(0))
            if (name == QLatin1String("MasterData1"))
                EXPECT_LE(top + 20, printable - 40 + 1e-6);
    }
}

TEST_F(Layout, ARowThatDoesNotFitMovesOnAndItsHeaderFollowsOnlyWhenAsked)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(60));
    for (bool reprint : {false, true}) {
        host.load(report({QStringLiteral("T")},
                         page(QStringLiteral("Page1"),
                              band("TfrxHeader", "Header1", 20,
                                   QStringLiteral("ReprintOnNewPage=\"%1\"").arg(reprint ? "True" : "False"), memo("M0", "head"))
                                  + band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M1", "[<T.\"v\">]")))));
        ASSERT_EQ(host.prepare(), QString());
        const QStringList out = host.output();
        // 1046.93 px: the header and 51 rows on the first page.
        ASSERT_TRUE(out.size() > 53);
        EXPECT_EQ(out[0], "1: Header1 head");
        EXPECT_EQ(out[51], "1: MasterData1 51");
        EXPECT_EQ(out[52], reprint ? QStringLiteral("2: Header1 head") : QStringLiteral("2: MasterData1 52"));
        EXPECT_EQ(out.count(QStringLiteral("2: Header1 head")), reprint ? 1 : 0);
        EXPECT_EQ(out.size(), 61 + (reprint ? 1 : 0));
    }
}

// Groups of 10 rows of 20 px under a 20 px header: the third group would straddle the
// first page's end and moves whole, with its outline item.
TEST_F(Layout, KeepTogetherMovesAGroupWithItsOutline)
{
    QList<RowTable::Row> rows;
    for (int i = 0; i < 60; ++i)
        rows << RowTable::Row{Variant(i / 10 + 1), Variant(i + 1)};
    host.table(QStringLiteral("T"), {QStringLiteral("g"), QStringLiteral("v")}, rows);
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxGroupHeader", "GroupHeader1", 20,
                               "Condition=\"T.&#34;g&#34;\" KeepTogether=\"True\" OutlineText=\"&#39;group &#39; + IntToStr(&#60;T.&#34;g&#34;&#62;)\""
                               " OnBeforePrint=\"GroupHeader1OnBeforePrint\"",
                               memo("M0", "group [<T.\"g\">]"))
                              + band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M1", "[<T.\"v\">]"))
                              + band("TfrxGroupFooter", "GroupFooter1", 100, {}, memo("M2", "end [<T.\"g\">]"),
                                     100)),
                     "procedure GroupHeader1OnBeforePrint(Sender: TfrxComponent);\n"
                     "begin\n"
                     "  Engine.AddAnchor('anchor ' + IntToStr(<T.\"g\">));\n"
                     "end;\n"
                     "begin\n"
                     "end."));
    ASSERT_EQ(host.prepare(), QString());
    const QStringList out = host.output();
    // A group takes 20 + 200 + 100 = 320 px: three fit into 1046.93, the fourth moves.
    const qsizetype g4 = out.indexOf(QStringLiteral("2: GroupHeader1 group 4"));
    ASSERT_GE(g4, 0) << out.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(out[g4 - 1], "1: GroupFooter1 end 3");
    EXPECT_EQ(out.count(QStringLiteral("1: GroupHeader1 group 4")), 0);
    EXPECT_EQ(out.filter(QStringLiteral("MasterData1")).size(), 60);
    const QByteArray xml = host.prepared();
    EXPECT_TRUE(xml.contains("<item text=\"group 4\" page=\"1\" top=\"0\"")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<item text=\"group 3\" page=\"0\" top=\"640\"")) << xml.toStdString();
    // The anchor went with its group.
    EXPECT_TRUE(xml.contains("<item text=\"anchor 4\" page=\"1\" top=\"0\"/>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<item text=\"anchor 3\" page=\"0\" top=\"640\"/>")) << xml.toStdString();
    auto *store = dynamic_cast<TfrxPreviewPages *>(host.report->PreviewPages());
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->GetAnchorPage(QStringLiteral("anchor 4")), 1);
    EXPECT_EQ(store->GetAnchorPage(QStringLiteral("anchor 1")), 0);
    EXPECT_EQ(store->GetAnchorPage(QStringLiteral("no such anchor")), -1);
}

TEST_F(Layout, PrintOnPreviousPageContinuesBelowTheLastBand)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(3));
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M1", "[<T.\"v\">]")))
                         + page(QStringLiteral("Page2"), band("TfrxReportTitle", "ReportTitle2", 0, {}, memo("M2", "second")),
                                "PrintOnPreviousPage=\"True\"")));
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.report->PreviewPages()->Count(), 1);
    EXPECT_EQ(host.output(), QStringList({"1: MasterData1 1", "1: MasterData1 2", "1: MasterData1 3", "1: ReportTitle2 second"}));
    EXPECT_NEAR(tops(0).last().second, 60, 0.01);
}

// A view that grows by 30 px pushes what lies below it: smAlways objects by the growth,
// smWhenOverlapped ones only when they would be overlapped, smDontShift ones not at all.
TEST_F(Layout, StretchingShiftsTheObjectsBelow)
{
    host.load(report({}, page(QStringLiteral("Page1"),
                              band("TfrxReportTitle", "ReportTitle1", 0, "Stretched=\"True\"",
                                   memo("Below", "a", 30) + memo("Fixed", "b", 60, "ShiftMode=\"smDontShift\"")
                                       + memo("Aside", "c", 30, "Left=\"400\"")
                                       + memo("Overlapped", "d", 70, "ShiftMode=\"smWhenOverlapped\" Left=\"0\""),
                                   100))));
    auto *title = dynamic_cast<TfrxBand *>(host.report->FindObject(QStringLiteral("ReportTitle1")));
    ASSERT_NE(title, nullptr);
    auto *grow = new GrowingView(title);
    grow->SetName(QStringLiteral("Grow"));
    grow->SetBounds(0, 0, 300, 20);
    grow->SetStretchMode(TfrxStretchMode::smActualHeight);
    grow->Needed = 50;
    // Memos keep their height: only Grow changes.
    ASSERT_EQ(host.prepare(), QString());
    TfrxPage *p = host.report->PreviewPages()->GetPage(0);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->Objects().size(), 1);
    QHash<QString, double> top;
    for (TfrxComponent *c : p->Objects().first()->Objects())
        top[c->Name()] = c->Top();
    EXPECT_EQ(top.value(QStringLiteral("Below")), 60);      // 30 + 30
    EXPECT_EQ(top.value(QStringLiteral("Fixed")), 60);      // stays
    EXPECT_EQ(top.value(QStringLiteral("Aside")), 30);      // not under the grown view
    EXPECT_EQ(top.value(QStringLiteral("Overlapped")), 78); // moved below "Below" (60 + 18)
    // Stretched: the band ends at its lowest object (78 + 18).
    EXPECT_EQ(p->Objects().first()->Height(), 96);
    // The template is as it was.
    EXPECT_EQ(host.report->FindObject(QStringLiteral("Below"))->Top(), 30);

    grow = dynamic_cast<GrowingView *>(host.report->FindObject(QStringLiteral("Grow")));
    EXPECT_EQ(grow, nullptr); // the run's objects are the reloaded template's
}

TEST_F(Layout, AStretchedBandShrinksToItsObjects)
{
    host.load(report({}, page(QStringLiteral("Page1"),
                              band("TfrxReportTitle", "ReportTitle1", 0, "Stretched=\"True\"", memo("M1", "a", 10), 100)
                                  + band("TfrxReportSummary", "ReportSummary1", 200, {}, memo("M2", "b")))));
    ASSERT_EQ(host.prepare(), QString());
    const auto t = tops(0);
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t[1].second, 28); // summary right below the 10 + 18 px title
}

TEST_F(Layout, ASubreportRunsItsPageInPlaceAndTheBandsGoOnBelowIt)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(3));
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxReportTitle", "ReportTitle1", 0, {},
                               QStringLiteral("<TfrxSubreport Name=\"Subreport1\" Left=\"0\" Top=\"20\" Width=\"300\" Height=\"20\" Page=\"Page2\"/>"),
                               40)
                              + band("TfrxReportSummary", "ReportSummary1", 200, {}, memo("M9", "after")))
                         + page(QStringLiteral("Page2"),
                                band("TfrxMasterData", "MasterData2", 40, "DataSetName=\"T\"", memo("M1", "sub [<T.\"v\">]")))));
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.output(), QStringList({"1: ReportTitle1 ", "1: MasterData2 sub 1", "1: MasterData2 sub 2",
                                          "1: MasterData2 sub 3", "1: ReportSummary1 after"}));
    const auto t = tops(0);
    ASSERT_EQ(t.size(), 5);
    EXPECT_EQ(t[1].second, 20);
    EXPECT_EQ(t[4].second, 80);
}

TEST_F(Layout, PageColumnsFillLeftToRight)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(60));
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M1", "[<T.\"v\">]")),
                          "Columns=\"2\" ColumnWidth=\"95\" ColumnPositions.Text=\"0&#13;&#10;95&#13;&#10;\"")));
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.report->PreviewPages()->Count(), 1);
    TfrxPage *p = host.report->PreviewPages()->GetPage(0);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->Objects().size(), 60);
    EXPECT_EQ(p->Objects()[51]->Left(), 0);
    EXPECT_NEAR(p->Objects()[52]->Left(), 95 * fr01cm, 0.01);
    EXPECT_EQ(p->Objects()[52]->Top(), 0);
}

} // namespace

namespace {

TEST_F(Layout, AMultiColumnBandFillsItsColumnsRowByRow)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(5));
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\" Columns=\"2\" ColumnWidth=\"200\" ColumnGap=\"10\"",
                               memo("M1", "[<T.\"v\">]"))
                              + band("TfrxReportSummary", "ReportSummary1", 200, {}, memo("M2", "end")))));
    ASSERT_EQ(host.prepare(), QString());
    QList<QPair<double, double>> at;
    TfrxPage *p = host.report->PreviewPages()->GetPage(0);
    ASSERT_NE(p, nullptr);
    for (TfrxComponent *c : p->Objects())
        at.append({c->Left(), c->Top()});
    EXPECT_EQ(at, (QList<QPair<double, double>>{{0, 0}, {210, 0}, {0, 20}, {210, 20}, {0, 40}, {0, 60}}));
}

// An endless page is as tall as what was printed on it.
TEST_F(Layout, AnEndlessPageGrowsWithItsContent)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(200));
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M1", "[<T.\"v\">]"))
                              + band("TfrxPageFooter", "PageFooter1", 200, {}, memo("M2", "foot"), 40),
                          "EndlessHeight=\"True\"")));
    ASSERT_EQ(host.prepare(), QString());
    TfrxCustomPreviewPages *pages = host.report->PreviewPages();
    ASSERT_EQ(pages->Count(), 1);
    auto *p = dynamic_cast<TfrxReportPage *>(pages->GetPage(0));
    ASSERT_NE(p, nullptr);
    EXPECT_NEAR(p->PaperHeight(), (200 * 20 + 40) / fr01cm + 20, 0.01);
    EXPECT_EQ(p->PaperSize(), DMPAPER_USER);
    EXPECT_NEAR(tops(0).last().second, 200 * 20, 0.01); // the footer right below the rows
}

TEST_F(Layout, ASubreportOnItsParentBecomesPartOfTheBand)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, numbers(3));
    host.load(report({QStringLiteral("T")},
                     page(QStringLiteral("Page1"),
                          band("TfrxReportTitle", "ReportTitle1", 0, "Stretched=\"True\"",
                               memo("M0", "title")
                                   + QStringLiteral("<TfrxSubreport Name=\"Subreport1\" Left=\"100\" Top=\"20\" Width=\"300\" "
                                                    "Height=\"20\" Page=\"Page2\" PrintOnParent=\"True\"/>"),
                               40)
                              + band("TfrxReportSummary", "ReportSummary1", 200, {}, memo("M9", "after")))
                         + page(QStringLiteral("Page2"),
                                band("TfrxMasterData", "MasterData2", 40, "DataSetName=\"T\"", memo("M1", "sub [<T.\"v\">]")))));
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.output(), QStringList({"1: ReportTitle1 title|sub 1|sub 2|sub 3", "1: ReportSummary1 after"}));
    TfrxPage *p = host.report->PreviewPages()->GetPage(0);
    ASSERT_NE(p, nullptr);
    const TfrxComponent *title = p->Objects().first();
    ASSERT_EQ(title->Objects().size(), 4);
    EXPECT_EQ(title->Objects()[3]->Left(), 100);
    EXPECT_EQ(title->Objects()[3]->Top(), 60);
    EXPECT_EQ(title->Height(), 78);
    EXPECT_EQ(tops(0).last().second, 78);
    // The added objects were the run's own.
    EXPECT_EQ(host.report->FindObject(QStringLiteral("ReportTitle1"))->Objects().size(), 2);
}

} // namespace

namespace {

// 200 rows in two group levels kept together, long wrapped names, page header and footer:
// every row once, nothing below the printable area, the header on every page.
TEST_F(Layout, TwoHundredRowsLayOutAcrossPagesWithEveryRowOnce)
{
    QList<RowTable::Row> rows;
    const QString words = QStringLiteral("Поставка оборудования для северного склада with cable trays and mounting kits ");
    for (int i = 0; i < 200; ++i)
        rows << RowTable::Row{Variant(i / 40 + 1), Variant(i / 8 + 1), Variant(i + 1),
                              Variant(words.repeated(1 + (i * 7) % 5).trimmed())};
    host.table(QStringLiteral("T"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("n"), QStringLiteral("name")}, rows);
    host.load(report(
        {QStringLiteral("T")},
        page(QStringLiteral("Page1"),
             band("TfrxPageHeader", "PageHeader1", 0, {}, memo("H", "head [Page#]"), 30)
                 + band("TfrxGroupHeader", "GroupHeader1", 40, "Condition=\"T.&#34;a&#34;\" KeepTogether=\"True\"",
                        memo("GA", "A [<T.\"a\">]"))
                 + band("TfrxGroupHeader", "GroupHeader2", 70, "Condition=\"T.&#34;b&#34;\" KeepTogether=\"True\"",
                        memo("GB", "B [<T.\"b\">]"))
                 + band("TfrxMasterData", "MasterData1", 100, "DataSetName=\"T\" Stretched=\"True\"",
                        memo("N", "[<T.\"n\">]") + memo("Name", "[<T.\"name\">]", 0,
                                                        "Left=\"60\" Width=\"200\" StretchMode=\"smActualHeight\""))
                 + band("TfrxGroupFooter", "GroupFooter2", 130, {}, memo("FB", "end B [<T.\"b\">]"))
                 + band("TfrxGroupFooter", "GroupFooter1", 160, {}, memo("FA", "end A [<T.\"a\">]"))
                 + band("TfrxPageFooter", "PageFooter1", 300, {}, memo("F", "foot [Page#]"), 30))));
    ASSERT_EQ(host.prepare(), QString());
    TfrxCustomPreviewPages *pages = host.report->PreviewPages();
    ASSERT_GT(pages->Count(), 1);
    QList<int> seen;
    for (int i = 0; i < pages->Count(); ++i) {
        TfrxPage *p = pages->GetPage(i);
        ASSERT_NE(p, nullptr);
        ASSERT_FALSE(p->Objects().isEmpty());
        EXPECT_EQ(p->Objects().first()->Name(), "PageHeader1") << "page " << i + 1;
        for (TfrxComponent *b : p->Objects()) {
            const double bottom = b->Top() + b->Height();
            if (b->Name() != QLatin1String("PageFooter1"))
                EXPECT_LE(bottom, printable - 30 + 1e-6) << b->Name().toStdString() << " on page " << i + 1;
            if (b->Name() == QLatin1String("MasterData1"))
                seen << static_cast<TfrxCustomMemoView *>(b->Objects().first())->Text().trimmed().toInt();
        }
    }
    QList<int> expected;
    for (int i = 1; i <= 200; ++i)
        expected << i;
    EXPECT_EQ(seen, expected);
}

} // namespace

namespace {

QString numberedLines(int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

QStringList memoLinesOf(TfrxComponent *bandCopy)
{
    QStringList out;
    for (TfrxComponent *c : bandCopy->Objects())
        if (auto *m = dynamic_cast<TfrxCustomMemoView *>(c))
            out << m->Lines();
    return out;
}

// A band that may split prints what fits of its long memo and the rest on the next page.
TEST_F(Layout, ASplitBandCarriesTheRestOfItsMemoOver)
{
    host.load(report({}, page(QStringLiteral("Page1"),
                              band("TfrxReportTitle", "ReportTitle1", 0, {}, memo("M0", "title"), 900)
                                  + band("TfrxReportSummary", "ReportSummary1", 1000, "AllowSplit=\"True\" Stretched=\"True\"",
                                         memo("Long", numberedLines(30), 0, "StretchMode=\"smActualHeight\"")))));
    ASSERT_EQ(host.prepare(), QString());
    TfrxCustomPreviewPages *pages = host.report->PreviewPages();
    ASSERT_EQ(pages->Count(), 2);
    TfrxComponent *first = pages->GetPage(0)->Objects().last();
    const QStringList part1 = memoLinesOf(first);
    TfrxComponent *second = pages->GetPage(1)->Objects().first();
    const QStringList part2 = memoLinesOf(second);
    ASSERT_FALSE(part1.isEmpty());
    ASSERT_FALSE(part2.isEmpty());
    EXPECT_EQ(part1.first(), "line 1");
    EXPECT_EQ(part1 + part2, numberedLines(30).split(QStringLiteral("\r\n")));
    EXPECT_LE(first->Top() + first->Height(), printable + 1e-6);
    EXPECT_EQ(second->Top(), 0);
}

TEST_F(Layout, TextThatDoesNotFitFlowsToTheTargetMemo)
{
    host.load(report({}, page(QStringLiteral("Page1"),
                              band("TfrxReportTitle", "ReportTitle1", 0, {},
                                   memo("A", numberedLines(5), 0, "Height=\"36\" FlowTo=\"B\"")
                                       + memo("B", "[never evaluated]", 50, "Height=\"100\""),
                                   200))));
    ASSERT_EQ(host.prepare(), QString());
    TfrxComponent *title = host.report->PreviewPages()->GetPage(0)->Objects().first();
    ASSERT_EQ(title->Objects().size(), 2);
    const QStringList a = static_cast<TfrxCustomMemoView *>(title->Objects()[0])->Lines();
    const QStringList b = static_cast<TfrxCustomMemoView *>(title->Objects()[1])->Lines();
    ASSERT_FALSE(a.isEmpty());
    EXPECT_EQ(a + b, numberedLines(5).split(QStringLiteral("\r\n")));
    EXPECT_EQ(a.size(), 2);
}

} // namespace
