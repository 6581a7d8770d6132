// The band engine on small templates: what is printed, in which order, with which
// values, and how a run fails.
#include "enginetestutil.h"

#include "report/engine/engine.h"
#include "script/interpreter.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace tw::test {
TW_DEFINE_CLASS(RowTable, &TfrxDataSet::staticClassInfo()) {}
} // namespace tw::test

namespace {

// A report with one A4 page (10 mm margins) holding the bands; datasets by name.
QString report(const QStringList &datasets, const QString &bands, const QString &script = {},
               const QString &reportAttrs = {}, const QString &pageAttrs = {})
{
    QString items;
    for (const QString &d : datasets)
        items += QStringLiteral("<item DataSet=\"%1\" DataSetName=\"%1\"/>").arg(d);
    QString scriptAttr;
    if (!script.isEmpty())
        scriptAttr = QStringLiteral(" ScriptText.Text=\"%1\"").arg(attr(script));
    return QStringLiteral("<TfrxReport Version=\"4.14\" ScriptLanguage=\"RavidiReduva\"%1 %2>"
                          "<Datasets>%3</Datasets>"
                          "<TfrxDataPage Name=\"Data\" Height=\"1000\" Width=\"1000\"/>"
                          "<TfrxReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\" PaperSize=\"9\" "
                          "LeftMargin=\"10\" RightMargin=\"10\" TopMargin=\"10\" BottomMargin=\"10\" %4>%5</TfrxReportPage>"
                          "</TfrxReport>")
        .arg(scriptAttr, reportAttrs, items, pageAttrs, bands);
}

class Engine : public ::testing::Test {
protected:
    EngineHost host;
};

TEST_F(Engine, MissingDataSetFailsBeforeAnyScriptRuns)
{
    host.load(report({QStringLiteral("X")}, band("TfrxReportTitle", "ReportTitle1", 0, {}, memo("Memo1", "title")),
                     scriptText("begin\nSet('ran', 1);\nend.")));
    const QString error = host.prepare();
    EXPECT_TRUE(error.startsWith(QStringLiteral("The following error(s) have occured:\r\n"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Dataset \"X\" does not exist\r\n"))) << error.toStdString();
    EXPECT_LT(host.report->Variables().IndexOf(QStringLiteral("ran")), 0);
    EXPECT_EQ(host.report->PreviewPages()->Count(), 0);
}

TEST_F(Engine, StructuralErrorsNameTheBands)
{
    host.table(QStringLiteral("T"), {QStringLiteral("a")}, {{Variant(1)}});
    host.load(report({QStringLiteral("T")},
                     band("TfrxMasterData", "MasterData1", 40, "DataSetName=\"T\"")
                         + band("TfrxHeader", "Header1", 80, {})
                         + band("TfrxGroupFooter", "GroupFooter1", 120, {})
                         + band("TfrxGroupHeader", "GroupHeader1", 400, "Condition=\"1\"")));
    const QString error = host.prepare();
    for (const char *line : {"Unconnected header/footer Header1", "No group header for GroupFooter1",
                             "No data band for the group GroupHeader1"})
        EXPECT_TRUE(error.contains(QString::fromLatin1(line) + QStringLiteral("\r\n"))) << line << "\n" << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("Incorrect band position"))) << error.toStdString();
    EXPECT_EQ(host.report->PreviewPages()->Count(), 0);

    host.load(report({QStringLiteral("T")}, band("TfrxDetailData", "DetailData1", 40, "DataSetName=\"T\"")));
    EXPECT_TRUE(host.prepare().contains(QStringLiteral("Incorrect band position: DetailData1\r\n")));
}

// Masters 1 and 2; only master 2 has detail rows.
TEST_F(Engine, PrintIfDetailEmptyDecidesWhetherAnEmptyMasterPrints)
{
    RowTable *m = host.table(QStringLiteral("M"), {QStringLiteral("id")}, {{Variant(1)}, {Variant(2)}});
    RowTable *d = host.table(QStringLiteral("D"), {QStringLiteral("txt")});
    d->RowSource = [m] {
        return m->GetValue(QStringLiteral("id")).toInt() == 2 ? QList<RowTable::Row>{{Variant(QStringLiteral("x"))}, {Variant(QStringLiteral("y"))}}
                                                            : QList<RowTable::Row>{};
    };
    for (bool printIfEmpty : {false, true}) {
        host.load(report({QStringLiteral("M"), QStringLiteral("D")},
                         band("TfrxMasterData", "MasterData1", 40,
                              QStringLiteral("DataSetName=\"M\" PrintIfDetailEmpty=\"%1\"").arg(printIfEmpty ? "True" : "False"),
                              memo("Memo1", "master [<M.\"id\">]"))
                             + band("TfrxDetailData", "DetailData1", 80, "DataSetName=\"D\"", memo("Memo2", "[<D.\"txt\">]"))));
        ASSERT_EQ(host.prepare(), QString());
        QStringList expected;
        if (printIfEmpty)
            expected << "1: MasterData1 master 1";
        expected << "1: MasterData1 master 2"
                 << "1: DetailData1 x"
                 << "1: DetailData1 y";
        EXPECT_EQ(host.output(), expected) << printIfEmpty;
    }
}

TEST_F(Engine, NestedGroupsPrintFootersWithThePreviousRowAndRestartInnerNumbers)
{
    host.table(QStringLiteral("T"), {QStringLiteral("g1"), QStringLiteral("g2"), QStringLiteral("v")},
               {{Variant(QStringLiteral("a")), Variant(QStringLiteral("x")), Variant(1)},
                {Variant(QStringLiteral("a")), Variant(QStringLiteral("x")), Variant(2)},
                {Variant(QStringLiteral("a")), Variant(QStringLiteral("y")), Variant(3)},
                {Variant(QStringLiteral("b")), Variant(QStringLiteral("y")), Variant(4)}});
    host.load(report({QStringLiteral("T")},
                     band("TfrxGroupHeader", "GroupHeader1", 40, "Condition=\"T.&#34;g1&#34;\"", memo("M1", "H1 [<T.\"g1\">]"))
                         + band("TfrxGroupHeader", "GroupHeader2", 70, "Condition=\"T.&#34;g2&#34;\"",
                                memo("M2", "H2 [<T.\"g2\">] [Line]"))
                         + band("TfrxMasterData", "MasterData1", 100, "DataSetName=\"T\"", memo("M3", "[Line] [Line#] [<T.\"v\">]"))
                         + band("TfrxGroupFooter", "GroupFooter2", 130, {}, memo("M4", "F2 [<T.\"g2\">] [SUM(<T.\"v\">)]"))
                         + band("TfrxGroupFooter", "GroupFooter1", 160, {}, memo("M5", "F1 [<T.\"g1\">] [SUM(<T.\"v\">)]"))));
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.output(), QStringList({"1: GroupHeader1 H1 a", "1: GroupHeader2 H2 x 1", "1: MasterData1 1 1 1",
                                          "1: MasterData1 2 2 2", "1: GroupFooter2 F2 x 3", "1: GroupHeader2 H2 y 2",
                                          "1: MasterData1 1 3 3", "1: GroupFooter2 F2 y 3", "1: GroupFooter1 F1 a 6",
                                          "1: GroupHeader1 H1 b", "1: GroupHeader2 H2 y 1", "1: MasterData1 1 4 4",
                                          "1: GroupFooter2 F2 y 4", "1: GroupFooter1 F1 b 4"}));
}

TEST_F(Engine, SingleRowGroupsHideTheirFooterAndStillResetItsSum)
{
    host.table(QStringLiteral("T"), {QStringLiteral("g"), QStringLiteral("v")},
               {{Variant(QStringLiteral("a")), Variant(5)},
                {Variant(QStringLiteral("b")), Variant(1)},
                {Variant(QStringLiteral("b")), Variant(2)}});
    host.load(report({QStringLiteral("T")},
                     band("TfrxGroupHeader", "GroupHeader1", 40, "Condition=\"T.&#34;g&#34;\"", memo("M1", "[<T.\"g\">]"))
                         + band("TfrxMasterData", "MasterData1", 70, "DataSetName=\"T\"", memo("M2", "[<T.\"v\">]"))
                         + band("TfrxGroupFooter", "GroupFooter1", 100, "HideIfSingleDataRecord=\"True\"",
                                memo("M3", "sum [SUM(<T.\"v\">)]"))));
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.output(), QStringList({"1: GroupHeader1 a", "1: MasterData1 5", "1: GroupHeader1 b", "1: MasterData1 1",
                                          "1: MasterData1 2", "1: GroupFooter1 sum 3"}));
}

TEST_F(Engine, FooterAfterEachFollowsEveryRowAndNotTheEnd)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, {{Variant(1)}, {Variant(2)}});
    for (bool afterEach : {true, false}) {
        host.load(report({QStringLiteral("T")},
                         band("TfrxHeader", "Header1", 20, {}, memo("M0", "head"))
                             + band("TfrxMasterData", "MasterData1", 40,
                                    QStringLiteral("DataSetName=\"T\" FooterAfterEach=\"%1\"").arg(afterEach ? "True" : "False"),
                                    memo("M1", "[<T.\"v\">]"))
                             + band("TfrxFooter", "Footer1", 70, {}, memo("M2", "foot"))));
        ASSERT_EQ(host.prepare(), QString());
        EXPECT_EQ(host.output(), afterEach ? QStringList({"1: Header1 head", "1: MasterData1 1", "1: Footer1 foot",
                                                          "1: MasterData1 2", "1: Footer1 foot"})
                                           : QStringList({"1: Header1 head", "1: MasterData1 1", "1: MasterData1 2",
                                                          "1: Footer1 foot"}));
    }
}

TEST_F(Engine, TwoPassesRunTheEventsTwiceAndKnowTheTotalSecondTime)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, {{Variant(1)}});
    host.load(report({QStringLiteral("T")},
                     band("TfrxMasterData", "MasterData1", 40, "DataSetName=\"T\" OnBeforePrint=\"MasterData1OnBeforePrint\"",
                          memo("Memo1", "x")),
                     scriptText("var n: Integer;\n"
                            "    totals: String;\n"
                            "procedure MasterData1OnBeforePrint(Sender: TfrxComponent);\n"
                            "begin\n"
                            "  n := n + 1;\n"
                            "  totals := totals + IntToStr(<TotalPages#>) + ';';\n"
                            "  Memo1.Text := IntToStr(n) + '/' + totals;\n"
                            "end;\n"
                            "begin\n"
                            "end."),
                     QStringLiteral("EngineOptions.DoublePass=\"True\"")));
    ASSERT_EQ(host.prepare(), QString());
    // The first pass saw no total, the second the page count.
    EXPECT_EQ(host.output(), QStringList({"1: MasterData1 2/0;1;"}));
}

TEST_F(Engine, AnEventThatRaisesStopsTheRunWithTheErrorList)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, {{Variant(1)}, {Variant(2)}});
    host.load(report({QStringLiteral("T")},
                     band("TfrxMasterData", "MasterData1", 40, "DataSetName=\"T\" OnBeforePrint=\"MasterData1OnBeforePrint\"",
                          memo("Memo1", "[<T.\"v\">]")),
                     scriptText("procedure MasterData1OnBeforePrint(Sender: TfrxComponent);\n"
                            "begin\n"
                            "  if <T.\"v\"> = 2 then RaiseException('no rate for row 2');\n"
                            "end;\n"
                            "begin\n"
                            "end.")));
    const QString error = host.prepare();
    EXPECT_TRUE(error.startsWith(QStringLiteral("The following error(s) have occured:\r\n"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("no rate for row 2"))) << error.toStdString();
    // The pages produced before the error stay.
    EXPECT_EQ(host.output(), QStringList({"1: MasterData1 1"}));
}

// The script hides a memo for one package; the next package starts from the template,
// whether each run saves the state anew or puts back the one kept from the first run.
TEST_F(Engine, ScriptChangesDoNotOutliveTheRun)
{
    RowTable *cust = host.table(QStringLiteral("CUST"), {QStringLiteral("hide")});
    const QTemporaryDir cacheDir;
    ASSERT_TRUE(cacheDir.isValid());
    const struct {
        bool keep;
        bool fileCache; // the saved state in a temporary file, read from it each time
    } modes[] = {{false, false}, {true, false}, {true, true}};
    for (const auto &mode : modes) {
        const bool keep = mode.keep;
        SCOPED_TRACE(!keep ? "state saved by each run" : mode.fileCache ? "state kept in a file" : "state kept");
        cust->Rows = {{Variant(1)}};
        host.load(report({QStringLiteral("CUST")},
                         band("TfrxReportTitle", "ReportTitle1", 0, "OnBeforePrint=\"ReportTitle1OnBeforePrint\"",
                              memo("Memo1", "shown [<CUST.\"hide\">]") + memo("Memo2", "sometimes", 20)),
                         scriptText("procedure ReportTitle1OnBeforePrint(Sender: TfrxComponent);\n"
                                "begin\n"
                                "  if <CUST.\"hide\"> = 1 then Memo2.Visible := False;\n"
                                "  Memo1.Font.Size := 20;\n"
                                "end;\n"
                                "begin\n"
                                "end.")));
        host.report->SetKeepStateBetweenRuns(keep);
        host.report->EngineOptions()->UseFileCache = mode.fileCache;
        host.report->EngineOptions()->TempDir = cacheDir.path();
        const int designSize = host.report->FindObject(QStringLiteral("Memo1"))->Font()->Size();
        ASSERT_NE(designSize, 20);
        ASSERT_EQ(host.prepare(), QString());
        EXPECT_EQ(host.output(), QStringList({"1: ReportTitle1 shown 1"}));
        const QByteArray first = host.prepared();
        auto *memo2 = host.report->FindObject(QStringLiteral("Memo2"));
        ASSERT_NE(memo2, nullptr);
        EXPECT_TRUE(memo2->Visible());
        EXPECT_EQ(host.report->FindObject(QStringLiteral("Memo1"))->Font()->Size(), designSize);

        for (const int hide : {2, 1, 3}) {
            cust->Rows = {{Variant(hide)}};
            ASSERT_EQ(host.prepare(), QString());
            const QString shown = QStringLiteral("1: ReportTitle1 shown ") + QString::number(hide);
            EXPECT_EQ(host.output(), QStringList({hide == 1 ? shown : shown + QStringLiteral("|sometimes")}));
            EXPECT_TRUE(host.report->FindObject(QStringLiteral("Memo2"))->Visible());
            EXPECT_EQ(host.report->FindObject(QStringLiteral("Memo1"))->Font()->Size(), designSize);
        }
        // Independent prepared reports.
        EXPECT_TRUE(first.contains("shown 1"));
        EXPECT_FALSE(first.contains("shown 3"));
        EXPECT_FALSE(host.prepared().contains("shown 1"));

        // Another template loaded into the same report is what the next run starts from.
        host.load(report({QStringLiteral("CUST")},
                         band("TfrxReportTitle", "ReportTitle1", 0, {}, memo("Memo1", "other [<CUST.\"hide\">]"))));
        ASSERT_EQ(host.prepare(), QString());
        EXPECT_EQ(host.output(), QStringList({"1: ReportTitle1 other 3"}));
        ASSERT_EQ(host.prepare(), QString());
        EXPECT_EQ(host.output(), QStringList({"1: ReportTitle1 other 3"}));
        EXPECT_EQ(host.report->FindObject(QStringLiteral("Memo2")), nullptr);
    }
    // The last report keeps its state in a file till it is loaded again or freed.
    host.report->SetKeepStateBetweenRuns(false);
    EXPECT_TRUE(QDir(cacheDir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(Engine, AKeptScriptStartsEachRunFromItsCompiledValues)
{
    // Globals of each kind, a procedure's local and an expression reading a global: each
    // run sees them as compiled, whether the script is compiled again or kept.
    RowTable *cust = host.table(QStringLiteral("CUST"), {QStringLiteral("hide")});
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "compiled each run");
        cust->Rows = {{Variant(1)}};
        host.load(report({QStringLiteral("CUST")},
                         band("TfrxReportTitle", "ReportTitle1", 0, "OnBeforePrint=\"ReportTitle1OnBeforePrint\"",
                              memo("Memo1", "") + memo("Memo2", "[Counter * 10]", 20)),
                         scriptText("var\n"
                                    "  Counter: Integer;\n"
                                    "  Names: String = 'a';\n"
                                    "  Totals: array[0..1] of Integer;\n"
                                    "function Bump(Step: Integer): Integer;\n"
                                    "var Calls: Integer;\n"
                                    "begin\n"
                                    "  Calls := Calls + 1;\n"
                                    "  Result := Calls * 100 + Step;\n"
                                    "end;\n"
                                    "procedure ReportTitle1OnBeforePrint(Sender: TfrxComponent);\n"
                                    "begin\n"
                                    "  Counter := Counter + 1;\n"
                                    "  Names := Names + 'x';\n"
                                    "  Totals[1] := Totals[1] + 5;\n"
                                    "  Memo1.Text := IntToStr(Counter) + ' ' + Names + ' ' + IntToStr(Totals[1]) + ' '\n"
                                    "    + IntToStr(Bump(<CUST.\"hide\">));\n"
                                    "end;\n"
                                    "begin\n"
                                    "  Counter := Counter + 1;\n"
                                    "end.")));
        host.report->SetKeepStateBetweenRuns(keep);
        TfsCustomVariable *first = nullptr;
        for (const int hide : {1, 2, 3}) {
            cust->Rows = {{Variant(hide)}};
            ASSERT_EQ(host.prepare(), QString());
            EXPECT_EQ(host.output(),
                      QStringList({QStringLiteral("1: ReportTitle1 2 ax 5 10%1|20").arg(hide)}));
            TfsCustomVariable *counter = host.report->Script()->Find(QStringLiteral("Counter"));
            ASSERT_NE(counter, nullptr);
            if (!first)
                first = counter;
            // Kept, the symbols compiled for the first run serve every run.
            if (keep)
                EXPECT_EQ(counter, first);
        }
    }
}

TEST_F(Engine, KeptSourcePagesGiveWhatFreshCopiesGive)
{
    // The start-of-report handler changes the page now and then before its copy is made:
    // a changed page is copied again, an unchanged one takes the kept copy, and either
    // way the prepared report is the one a fresh copy gives.
    RowTable *cust = host.table(QStringLiteral("CUST"), {QStringLiteral("hide")});
    const QString tpl = report(
        {QStringLiteral("CUST")},
        band("TfrxReportTitle", "ReportTitle1", 0, {}, memo("Memo1", "shown [<CUST.\"hide\">]") + memo("Memo2", "size", 20))
            + band("TfrxMasterData", "MasterData1", 60, "DataSet=\"CUST\" DataSetName=\"CUST\"",
                   memo("Memo3", "[<CUST.\"hide\">]")),
        scriptText("procedure StartReport(Sender: TfrxComponent);\n"
                   "begin\n"
                   "  if <CUST.\"hide\"> = 2 then Memo2.Font.Size := 20;\n"
                   "  if <CUST.\"hide\"> = 3 then Memo2.Visible := False;\n"
                   "end;\n"
                   "begin\n"
                   "end."),
        QStringLiteral("OnStartReport=\"StartReport\""));
    const int rows[] = {1, 1, 2, 2, 1, 3, 1};
    QList<QByteArray> fresh;
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "fresh");
        host.load(tpl);
        host.report->SetKeepStateBetweenRuns(keep);
        for (size_t i = 0; i < std::size(rows); ++i) {
            cust->Rows = {{Variant(rows[i])}};
            ASSERT_EQ(host.prepare(), QString());
            const QByteArray prepared = host.prepared();
            EXPECT_TRUE(prepared.contains("shown " + QByteArray::number(rows[i])));
            if (!keep)
                fresh.append(prepared);
            else
                EXPECT_EQ(prepared, fresh.at(qsizetype(i))) << "run " << i;
        }
    }
    EXPECT_NE(fresh.at(0), fresh.at(2)); // the handler did change the page
}

TEST_F(Engine, BandsThatDoNotFitStartANewPageWithHeaderAndFooter)
{
    QList<RowTable::Row> rows;
    for (int i = 1; i <= 60; ++i)
        rows << RowTable::Row{Variant(i)};
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, rows);
    // Printable height: (297 - 20) mm = 1046.93 px; header 40 + footer 40 leave 966.93,
    // so 48 rows of 20 px fit on the first page.
    host.load(report({QStringLiteral("T")},
                     band("TfrxPageHeader", "PageHeader1", 0, {}, memo("M1", "page [Page#]"), 40)
                         + band("TfrxMasterData", "MasterData1", 60, "DataSetName=\"T\"", memo("M2", "[<T.\"v\">]"))
                         + band("TfrxPageFooter", "PageFooter1", 200, {}, memo("M3", "foot [Page#]"), 40)));
    ASSERT_EQ(host.prepare(), QString());
    const QStringList out = host.output();
    ASSERT_EQ(out.size(), 60 + 4);
    EXPECT_EQ(out[0], "1: PageHeader1 page 1");
    EXPECT_EQ(out[48], "1: MasterData1 48");
    EXPECT_EQ(out[49], "1: PageFooter1 foot 1");
    EXPECT_EQ(out[50], "2: PageHeader1 page 2");
    EXPECT_EQ(out[51], "2: MasterData1 49");
    EXPECT_EQ(out.last(), "2: PageFooter1 foot 2");

    TfrxPage *page = host.report->PreviewPages()->GetPage(0);
    ASSERT_NE(page, nullptr);
    const TfrxComponent *footer = page->Objects().last();
    EXPECT_NEAR(footer->Top(), (297 - 20) * fr01cm - 40, 0.01);
}

} // namespace

namespace {

TEST_F(Engine, ManualBuildShowsBandsFromTheScript)
{
    host.load(report({}, band("TfrxMasterData", "MasterData1", 40, "RowCount=\"5\"", memo("Memo1", "row")),
                     scriptText("procedure Page1OnManualBuild(Sender: TfrxComponent);\n"
                            "var i: Integer;\n"
                            "begin\n"
                            "  for i := 1 to 3 do\n"
                            "  begin\n"
                            "    Memo1.Text := 'manual ' + IntToStr(i);\n"
                            "    Outline.AddItem('item ' + IntToStr(i));\n"
                            "    Outline.LevelRoot;\n"
                            "    Engine.ShowBand(MasterData1);\n"
                            "  end;\n"
                            "end;\n"
                            "begin\n"
                            "end."),
                     {}, QStringLiteral("OnManualBuild=\"Page1OnManualBuild\"")));
    ASSERT_EQ(host.prepare(), QString());
    // The script's text is the template's own again for every output.
    EXPECT_EQ(host.output(), QStringList({"1: MasterData1 manual 1", "1: MasterData1 manual 2", "1: MasterData1 manual 3"}));
    const QByteArray xml = host.prepared();
    EXPECT_TRUE(xml.contains("<item text=\"item 2\" page=\"0\" top=\"20\"/>")) << xml.toStdString();
}

TEST_F(Engine, StopReportEndsTheLoopsAndKeepsThePages)
{
    QList<RowTable::Row> rows;
    for (int i = 1; i <= 5; ++i)
        rows << RowTable::Row{Variant(i)};
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, rows);
    host.load(report({QStringLiteral("T")},
                     band("TfrxMasterData", "MasterData1", 40, "DataSetName=\"T\" OnAfterPrint=\"MasterData1OnAfterPrint\"",
                          memo("Memo1", "[<T.\"v\">]"))
                         + band("TfrxFooter", "Footer1", 80, {}, memo("Memo2", "end")),
                     scriptText("procedure MasterData1OnAfterPrint(Sender: TfrxComponent);\n"
                            "begin\n"
                            "  if <T.\"v\"> = 2 then Engine.StopReport;\n"
                            "end;\n"
                            "begin\n"
                            "end.")));
    std::vector<std::pair<int, int>> progress;
    host.report->OnProgress = [&](TfrxReport *, TfrxPreviewProgress kind, int page) {
        progress.emplace_back(int(kind), page);
    };
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_TRUE(host.report->Terminated);
    EXPECT_EQ(host.output(), QStringList({"1: MasterData1 1", "1: MasterData1 2", "1: Footer1 end"}));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{int(TfrxPreviewProgress::Start), 0},
                                                          {int(TfrxPreviewProgress::Page), 1},
                                                          {int(TfrxPreviewProgress::Stop), 0}}));
}

} // namespace

namespace {

// Conflicting datasets and a script that does not compile stop a run before any page.
TEST_F(Engine, DataSetConflictsAndScriptErrorsStopTheRun)
{
    host.table(QStringLiteral("T"), {QStringLiteral("v")}, {{Variant(1)}});
    host.table(QStringLiteral("U"), {QStringLiteral("v")}, {{Variant(1)}});
    const QString dataBand = band("TfrxMasterData", "MasterData1", 40, "DataSetName=\"T\"", memo("Memo1", "x"));
    const struct {
        QString reportAttrs, pageAttrs, script, line;
    } cases[] = {
        {"DataSetName=\"U\"", "DataSetName=\"U\"", {}, "Cannot use the same dataset for Report.DataSet and Page.DataSet"},
        {"DataSetName=\"T\"", {}, {}, "Cannot use the same dataset for Report.DataSet and Band.DataSet"},
        {{}, "DataSetName=\"T\"", {}, "Cannot use the same dataset for Page.DataSet and Band.DataSet"},
        {{}, {}, scriptText("begin\n  x := ;\nend."), "Script error at 2:"},
    };
    for (const auto &c : cases) {
        host.load(report({QStringLiteral("T"), QStringLiteral("U")}, dataBand, c.script, c.reportAttrs, c.pageAttrs));
        const QString error = host.prepare();
        EXPECT_TRUE(error.startsWith(QStringLiteral("The following error(s) have occured:\r\n"))) << error.toStdString();
        EXPECT_TRUE(error.contains(c.line)) << c.line.toStdString() << "\n" << error.toStdString();
        EXPECT_EQ(host.report->PreviewPages()->Count(), 0) << c.line.toStdString();
    }
}

// OnRunDialogs decides whether the run goes on; a refusal is no error.
TEST_F(Engine, RunDialogsCanStopTheRun)
{
    for (bool go : {true, false}) {
        host.load(report({}, band("TfrxReportTitle", "ReportTitle1", 0, {}, memo("Memo1", "title")),
                         scriptText(QStringLiteral("procedure Dialogs(var Result: Boolean);\n"
                                                   "begin\n"
                                                   "  Result := %1;\n"
                                                   "end;\n"
                                                   "begin\n"
                                                   "end.")
                                        .arg(go ? "True" : "False")),
                         QStringLiteral("OnRunDialogs=\"Dialogs\"")));
        bool prepared = false;
        try {
            prepared = host.report->PrepareReport(true);
        } catch (const Error &e) {
            FAIL() << e.message().toStdString();
        }
        EXPECT_EQ(prepared, go);
        EXPECT_EQ(host.output(), go ? QStringList({"1: ReportTitle1 title"}) : QStringList());
    }
}

// With the file cache the report is kept in a temporary file during the run, and put back
// from it just as from memory.
TEST_F(Engine, TheFileCacheKeepsTheReportAcrossTheRunToo)
{
    host.load(report({}, band("TfrxReportTitle", "ReportTitle1", 0, "OnBeforePrint=\"ReportTitle1OnBeforePrint\"",
                              memo("Memo1", "title")),
                     scriptText("procedure ReportTitle1OnBeforePrint(Sender: TfrxComponent);\n"
                                "begin\n"
                                "  Memo1.Visible := False;\n"
                                "end;\n"
                                "begin\n"
                                "end.")));
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    host.report->EngineOptions()->UseFileCache = true;
    host.report->EngineOptions()->TempDir = temp.path() + QLatin1Char('/');
    ASSERT_EQ(host.prepare(), QString());
    EXPECT_EQ(host.output(), QStringList({"1: ReportTitle1 "}));
    EXPECT_TRUE(host.report->FindObject(QStringLiteral("Memo1"))->Visible());
    // Nothing of the saved report is left behind.
    EXPECT_TRUE(QDir(temp.path()).entryList({QStringLiteral("*.fr3")}, QDir::Files).isEmpty());
}

} // namespace
