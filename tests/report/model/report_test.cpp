#include "model_support.h"

#include "report/xml/resources.h"
#include "report/xml/xmlserializer.h"
#include "support/testsupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override { registerModelTestClasses(); }
};

// The report element of a saved report.
QString rootAttributes(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    const qsizetype start = text.indexOf(QLatin1String("<TfrxReport "));
    const qsizetype end = text.indexOf(QLatin1Char('>'), start);
    return text.mid(start + 12, end - start - 12);
}

TEST_F(ReportTest, NewReportSavedAtOnceWritesOnlyTheseAttributesInThisOrder)
{
    TfrxReport report;
    const QByteArray bytes = saveReport(report);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>"));
    QString attrs = rootAttributes(bytes);
    if (attrs.endsWith(QLatin1Char('/')))
        attrs.chop(1);
    const QStringList expected{
        "Version",
        "DotMatrixReport",
        "IniFile",
        "PreviewOptions.Buttons",
        "PreviewOptions.Zoom",
        "PrintOptions.Printer",
        "PrintOptions.PrintOnSheet",
        "ReportOptions.CreateDate",
        "ReportOptions.Description.Text",
        "ReportOptions.LastChange",
        "ScriptLanguage",
        "ScriptText.Text",
        "PropData",
    };
    EXPECT_EQ(attributeNames(attrs), expected);
    EXPECT_EQ(attributeValue(attrs, "Version"), QStringLiteral("4.14"));
    EXPECT_EQ(attributeValue(attrs, "DotMatrixReport"), QStringLiteral("False"));
    EXPECT_EQ(attributeValue(attrs, "PreviewOptions.Buttons"), QStringLiteral("4095"));
    EXPECT_EQ(attributeValue(attrs, "PreviewOptions.Zoom"), QStringLiteral("1"));
    EXPECT_EQ(attributeValue(attrs, "PrintOptions.Printer"), QStringLiteral("Default"));
    EXPECT_EQ(attributeValue(attrs, "PrintOptions.PrintOnSheet"), QStringLiteral("0"));
    EXPECT_EQ(attributeValue(attrs, "ReportOptions.Description.Text"), QString());
    EXPECT_EQ(attributeValue(attrs, "ScriptLanguage"), QStringLiteral("RavidiReduva"));
    EXPECT_EQ(attributeValue(attrs, "ScriptText.Text"), QStringLiteral("begin&#13;&#10;&#13;&#10;end."));
    // Three empty collections in list form.
    EXPECT_EQ(attributeValue(attrs, "PropData"),
              QStringLiteral("0844617461736574730100095661726961626C65730100055374796C650100"));
    EXPECT_FALSE(QString::fromUtf8(bytes).contains(QLatin1String("<TfrxDataPage")));
}

TEST_F(ReportTest, ClearResetsEverythingButKeepsDescriptiveOptionsWithInfo)
{
    TfrxReport report;
    new TfrxReportPage(&report);
    report.DotMatrixReport = true;
    report.ScriptText = {QStringLiteral("x")};
    report.ScriptLanguage = QStringLiteral("JScript");
    report.EngineOptions()->DoublePass = true;
    report.EngineOptions()->NewSilentMode = simReThrow;
    report.PreviewOptions()->Zoom = 2;
    report.PrintOptions()->Copies = 3;
    report.ReportOptions()->Author = QStringLiteral("me");
    report.ReportOptions()->Password = QStringLiteral("pw");
    report.Variables().Set(QStringLiteral("v"), Variant(1));
    report.Styles().Add()->SetName(QStringLiteral("s"));
    report.DataSets().Add();
    report.OnStartReport = QStringLiteral("Start");

    report.ReportOptions()->Info = true;
    report.Clear();
    EXPECT_TRUE(report.Objects().isEmpty());
    EXPECT_FALSE(report.DotMatrixReport);
    EXPECT_EQ(report.ScriptText, (QStringList{"begin", "", "end."}));
    EXPECT_EQ(report.ScriptLanguage, QStringLiteral("RavidiReduva"));
    EXPECT_FALSE(report.EngineOptions()->DoublePass);
    EXPECT_EQ(report.EngineOptions()->NewSilentMode, simMessageBoxes);
    EXPECT_EQ(report.PreviewOptions()->Zoom, 1);
    EXPECT_EQ(report.PrintOptions()->Copies, 1);
    EXPECT_EQ(report.ReportOptions()->Author, QStringLiteral("me"));
    EXPECT_TRUE(report.ReportOptions()->Password.isEmpty());
    EXPECT_EQ(report.Variables().Count(), 0);
    EXPECT_EQ(report.Styles().Count(), 0);
    EXPECT_EQ(report.DataSets().Count(), 0);
    EXPECT_TRUE(report.OnStartReport.isEmpty());
    EXPECT_EQ(report.SysVariables(), (QStringList{"Date", "Time", "Page", "Page#", "TotalPages", "TotalPages#",
                                                  "Line", "Line#", "CopyName#"}));

    report.ReportOptions()->Info = false;
    report.Clear();
    EXPECT_TRUE(report.ReportOptions()->Author.isEmpty());
}

TEST_F(ReportTest, SilentModeIsAViewOfNewSilentMode)
{
    TfrxEngineOptions o;
    EXPECT_FALSE(o.SilentMode());
    o.SetSilentMode(true);
    EXPECT_EQ(o.NewSilentMode, simSilent);
    o.NewSilentMode = simReThrow;
    EXPECT_FALSE(o.SilentMode());
    o.SetSilentMode(false);
    EXPECT_EQ(o.NewSilentMode, simMessageBoxes);
}

TEST_F(ReportTest, VersionIsAlwaysTheProgramsOwn)
{
    TfrxReport report;
    const PropInfo *p = report.classInfo()->findProperty(QStringLiteral("Version"));
    p->set(&report, Variant(QStringLiteral("3.0")));
    EXPECT_EQ(report.Version(), QStringLiteral("4.14"));
}

// ---------------------------------------------------------------------------------------
// Pages

TEST_F(ReportTest, NewReportPageIsA4PortraitInPixels)
{
    TfrxReportPage page;
    EXPECT_EQ(page.PaperSize(), 9);
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 210);
    EXPECT_DOUBLE_EQ(page.PaperHeight(), 297);
    EXPECT_DOUBLE_EQ(page.Width(), 794);
    EXPECT_DOUBLE_EQ(page.Height(), 1123);
    EXPECT_DOUBLE_EQ(page.LeftMargin(), 0);
    EXPECT_EQ(page.Orientation(), poPortrait);
    EXPECT_EQ(page.Bin(), 7);
    EXPECT_EQ(page.Color(), clTransparent);
}

TEST_F(ReportTest, LandscapeSwapsPaperAndRotatesMargins)
{
    TfrxReportPage page;
    page.SetLeftMargin(10);
    page.SetRightMargin(20);
    page.SetTopMargin(30);
    page.SetBottomMargin(40);
    page.SetOrientation(poLandscape);
    EXPECT_DOUBLE_EQ(page.LeftMargin(), 30);
    EXPECT_DOUBLE_EQ(page.RightMargin(), 40);
    EXPECT_DOUBLE_EQ(page.TopMargin(), 20);
    EXPECT_DOUBLE_EQ(page.BottomMargin(), 10);
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 297);
    EXPECT_DOUBLE_EQ(page.PaperHeight(), 210);
    EXPECT_DOUBLE_EQ(page.Width(), 1123);
    EXPECT_DOUBLE_EQ(page.Height(), 794);
    EXPECT_EQ(page.PaperSize(), 9);

    page.SetOrientation(poPortrait);
    EXPECT_DOUBLE_EQ(page.LeftMargin(), 10);
    EXPECT_DOUBLE_EQ(page.RightMargin(), 20);
    EXPECT_DOUBLE_EQ(page.TopMargin(), 30);
    EXPECT_DOUBLE_EQ(page.BottomMargin(), 40);
}

TEST_F(ReportTest, PaperSizesAndCustomPaper)
{
    TfrxReportPage page;
    page.SetPaperWidth(100);
    EXPECT_EQ(page.PaperSize(), 256);
    EXPECT_DOUBLE_EQ(page.Width(), 378);

    struct Case {
        int code;
        double w, h;
    } cases[] = {{1, 215.9, 279.4}, {11, 148, 210}, {47, 220, 220}, {50, 235.5, 304.8}, {68, 322, 445}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        page.SetPaperSize(c.code);
        EXPECT_DOUBLE_EQ(page.PaperWidth(), c.w);
        EXPECT_DOUBLE_EQ(page.PaperHeight(), c.h);
    }
    // Codes outside the table leave the size alone.
    for (int code : {48, 49, 69, 256}) {
        page.SetPaperSize(code);
        EXPECT_DOUBLE_EQ(page.PaperWidth(), 322);
        EXPECT_EQ(page.PaperSize(), code);
    }
}

TEST_F(ReportTest, LoadedPageTakesOrientationFirstThenTheTabledPaper)
{
    TfrxReport report;
    loadReport(report, "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>"
                       "<TfrxReport><TfrxReportPage Name=\"Page1\" Orientation=\"poLandscape\" PaperWidth=\"1\""
                       " PaperHeight=\"2\" PaperSize=\"9\" LeftMargin=\"5\"/></TfrxReport>");
    ASSERT_TRUE(report.Errors().isEmpty()) << report.Errors().join('\n').toStdString();
    auto *page = dynamic_cast<TfrxReportPage *>(report.FindObject(QStringLiteral("Page1")));
    ASSERT_NE(page, nullptr);
    EXPECT_DOUBLE_EQ(page->PaperWidth(), 297);
    EXPECT_DOUBLE_EQ(page->PaperHeight(), 210);
    EXPECT_DOUBLE_EQ(page->LeftMargin(), 5);
    EXPECT_DOUBLE_EQ(page->Width(), 1123);
}

TEST_F(ReportTest, ColumnsSpreadOverThePrintableWidth)
{
    FormatSettings fs = FormatSettings::usEnglish();
    const FormatSettings saved = FormatSettings::current();
    FormatSettings::setCurrent(fs);
    TfrxReportPage page;
    page.SetLeftMargin(10);
    page.SetRightMargin(10);
    page.SetColumns(4);
    EXPECT_DOUBLE_EQ(page.ColumnWidth(), 47.5);
    EXPECT_EQ(page.ColumnPositions(), (QStringList{"0", "47.5", "95", "142.5"}));
    page.SetColumns(0);
    EXPECT_TRUE(page.ColumnPositions().isEmpty());
    FormatSettings::setCurrent(saved);
}

// ---------------------------------------------------------------------------------------
// Bands

TEST_F(ReportTest, BandNumbersAndNames)
{
    struct Case {
        TfrxBand *band;
        int number;
        const char *name;
    };
    TfrxReportPage page;
    const Case cases[] = {
        {new TfrxReportTitle(&page), 0, "ReportTitle"},   {new TfrxReportSummary(&page), 1, "ReportSummary"},
        {new TfrxPageHeader(&page), 2, "PageHeader"},     {new TfrxPageFooter(&page), 3, "PageFooter"},
        {new TfrxHeader(&page), 4, "Header"},             {new TfrxFooter(&page), 5, "Footer"},
        {new TfrxMasterData(&page), 6, "MasterData"},     {new TfrxDetailData(&page), 7, "DetailData"},
        {new TfrxSubdetailData(&page), 8, "SubdetailData"}, {new TfrxDataBand4(&page), 9, "Data4"},
        {new TfrxDataBand5(&page), 10, "Data5"},          {new TfrxDataBand6(&page), 11, "Data6"},
        {new TfrxGroupHeader(&page), 12, "GroupHeader"},  {new TfrxGroupFooter(&page), 13, "GroupFooter"},
        {new TfrxChild(&page), 14, "Child"},              {new TfrxColumnHeader(&page), 15, "ColumnHeader"},
        {new TfrxColumnFooter(&page), 16, "ColumnFooter"}, {new TfrxOverlay(&page), 17, "Overlay"},
        {new TfrxNullBand(&page), 0, "Null"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.band->BandNumber(), c.number);
        EXPECT_EQ(c.band->BandName(), QString::fromLatin1(c.name));
        EXPECT_NE(findClass(c.band->classInfo()->name), nullptr);
    }
}

TEST_F(ReportTest, ChildChainsThatLoopAreRefused)
{
    TfrxReportPage page;
    auto *title = new TfrxReportTitle(&page);
    auto *c1 = new TfrxChild(&page);
    auto *c2 = new TfrxChild(&page);
    title->SetChild(c1);
    c1->SetChild(c2);
    EXPECT_THROW(c2->SetChild(c1), Error);
    EXPECT_EQ(c2->Child(), nullptr);
    EXPECT_THROW(c1->SetChild(c1), Error);
    EXPECT_EQ(c1->Child(), c2);
    try {
        c2->SetChild(c1);
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), frxResources().Get(QStringLiteral("clCirRefNotAllow")));
    }
    delete c2;
    EXPECT_EQ(c1->Child(), nullptr); // no dangling link to a destroyed band
}

TEST_F(ReportTest, BandWithOnlyNonDefaultsWritesItsAlwaysStoredProperties)
{
    TfrxReport report;
    auto *page = new TfrxReportPage(&report);
    page->SetName(QStringLiteral("Page1"));
    auto *band = new TfrxMasterData(page);
    band->SetName(QStringLiteral("MasterData1"));
    band->SetHeight(20);
    band->m_printOnFirstPage = false; // not published by data bands: never written
    auto *footer = new TfrxPageFooter(page);
    footer->SetName(QStringLiteral("PageFooter1"));
    footer->SetPrintOnLastPage(false);

    TfrxXMLSerializer s;
    s.SetOwner(&report);
    EXPECT_EQ(attributeNames(s.ObjToXML(band)),
              (QStringList{"Height", "Left", "Top", "Width", "ColumnWidth", "ColumnGap", "RowCount"}));
    EXPECT_EQ(attributeNames(s.ObjToXML(footer)), (QStringList{"Height", "Left", "Top", "Width", "PrintOnLastPage"}));
    band->Font()->SetName(QStringLiteral("Tahoma"));
    EXPECT_TRUE(attributeNames(s.ObjToXML(band)).contains(QStringLiteral("Font.Name")));
    EXPECT_TRUE(attributeNames(s.ObjToXML(band)).contains(QStringLiteral("ParentFont")));
}

TEST_F(ReportTest, DataSetReferencesFollowTheDataset)
{
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    auto *ds = new TTestDataSet(data);
    ds->SetName(QStringLiteral("Orders"));
    auto *page = new TfrxReportPage(&report);
    auto *band = new TfrxMasterData(page);

    band->SetDataSetName(QStringLiteral("orders"));
    EXPECT_EQ(band->DataSet(), ds);
    EXPECT_EQ(band->DataSetName(), QStringLiteral("Orders"));
    band->SetDataSet(nullptr);
    EXPECT_TRUE(band->DataSetName().isEmpty());
    band->SetDataSet(ds);
    delete ds;
    EXPECT_EQ(band->DataSet(), nullptr);

    TfrxDataSetItem *item = report.DataSets().Add();
    auto *ds2 = new TTestDataSet(data);
    ds2->SetName(QStringLiteral("CUST"));
    item->SetDataSetName(QStringLiteral("cust"));
    EXPECT_EQ(item->DataSet(), ds2);
    EXPECT_EQ(report.DataSets().Find(QStringLiteral("Cust")), item);
    EXPECT_EQ(report.GetDataset(QStringLiteral("CUST")), ds2);
    item->SetDataSetName(QString());
    EXPECT_EQ(item->DataSet(), nullptr);
}

TEST_F(ReportTest, DataBandKeepsItsCountingDatasetInStepWithRowCount)
{
    int lastCount = -1;
    TfrxDataBand::CreateVirtualDataSet = [](TfrxDataBand *) -> TfrxDataSet * { return new TTestDataSet; };
    TfrxDataBand::SetVirtualRecordCount = [&](TfrxDataSet *, int n) { lastCount = n; };
    {
        TfrxReport report;
        auto *page = new TfrxReportPage(&report);
        auto *band = new TfrxMasterData(page);
        ASSERT_NE(band->VirtualDataSet(), nullptr);
        EXPECT_EQ(band->VirtualDataSet()->Owner(), nullptr);
        band->SetRowCount(5);
        EXPECT_EQ(lastCount, 5);
    }
    TfrxDataBand::CreateVirtualDataSet = nullptr;
    TfrxDataBand::SetVirtualRecordCount = nullptr;
    EXPECT_EQ(TfrxMasterData().VirtualDataSet(), nullptr);
}

TEST_F(ReportTest, DataComponentsKeepTheirPlaceInPropData)
{
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    auto *ds = new TTestDataSet(data);
    ds->SetName(QStringLiteral("Q1"));
    ds->SetLeft(100.4);
    ds->SetTop(-3);
    const QByteArray bytes = saveReport(report);
    EXPECT_EQ(ds->Width(), 28);

    TfrxReport loaded;
    loadReport(loaded, bytes);
    auto *back = dynamic_cast<TTestDataSet *>(loaded.FindObject(QStringLiteral("Q1")));
    ASSERT_NE(back, nullptr);
    EXPECT_DOUBLE_EQ(back->Left(), 100);
    EXPECT_DOUBLE_EQ(back->Top(), -3);
}

TEST_F(ReportTest, VariablesByCategory)
{
    TfrxVariables vars;
    vars.AddVariable(QStringLiteral("Main"), QStringLiteral("A"), Variant(1));
    vars.AddVariable(QStringLiteral("Other"), QStringLiteral("X"), Variant(2));
    vars.AddVariable(QStringLiteral("Main"), QStringLiteral("B"), Variant(3));
    vars.AddVariable(QStringLiteral("Other"), QStringLiteral("a"), Variant(4)); // existing: updated only
    QStringList names;
    for (int i = 0; i < vars.Count(); ++i)
        names.append(vars.Items(i)->Name);
    EXPECT_EQ(names, (QStringList{" Main", "A", "B", " Other", "X"}));
    EXPECT_EQ(vars.Get(QStringLiteral("a")).toInt(), 4);
    EXPECT_TRUE(vars.Get(QStringLiteral("none")).isNull());
    EXPECT_EQ(vars.GetCategoriesList(), (QStringList{"Main", "Other"}));
    EXPECT_EQ(vars.GetVariablesList(QStringLiteral("main")), (QStringList{"A", "B"}));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("v.xml"));
    vars.SaveToFile(file);
    EXPECT_TRUE(readBytes(file).contains("<variables>"));
    TfrxVariables back;
    back.LoadFromFile(file);
    EXPECT_EQ(back.Count(), 5);
    EXPECT_EQ(back.Get(QStringLiteral("B")).toText(), QStringLiteral("3"));

    vars.DeleteCategory(QStringLiteral("Main"));
    EXPECT_EQ(vars.Count(), 2);
    vars.DeleteVariable(QStringLiteral("x"));
    EXPECT_EQ(vars.IndexOf(QStringLiteral("X")), -1);
}

// ---------------------------------------------------------------------------------------
// Styles

TEST_F(ReportTest, StyleNamesAreUniqueAndApplyToMemos)
{
    TfrxReport report;
    TfrxStyleItem *s1 = report.Styles().Add();
    s1->CreateUniqueName();
    EXPECT_EQ(s1->Name(), QStringLiteral("Style1"));
    TfrxStyleItem *s2 = report.Styles().Add();
    s2->CreateUniqueName();
    EXPECT_EQ(s2->Name(), QStringLiteral("Style2"));
    EXPECT_THROW(s2->SetName(QStringLiteral("style1")), Error);
    EXPECT_EQ(s2->Name(), QStringLiteral("Style2"));
    s1->SetColor(255);

    auto *page = new TfrxReportPage(&report);
    auto *band = new TfrxMasterData(page);
    auto *m1 = new TfrxMemoView(band);
    auto *m2 = new TfrxMemoView(band);
    m1->SetStyle(QStringLiteral("Style1"));
    EXPECT_EQ(m1->Color(), 255);
    m2->SetStyle(QStringLiteral("Gone"));
    s1->SetColor(65280);
    report.Styles().Apply();
    EXPECT_EQ(m1->Color(), 65280);
    EXPECT_TRUE(m2->Style().isEmpty());
}

TEST_F(ReportTest, StyleSheetFilesRoundTrip)
{
    QTemporaryDir dir;
    TfrxStyleSheet sheet;
    TfrxStyles *a = sheet.Add();
    a->SetName(QStringLiteral("Blue"));
    TfrxStyleItem *item = a->Add();
    item->SetName(QStringLiteral("Title"));
    item->SetColor(16711680);
    item->Font()->SetStyle(fsBold);
    sheet.Add()->SetName(QStringLiteral("Plain"));
    const QString file = dir.filePath(QStringLiteral("s.fss"));
    sheet.SaveToFile(file);
    EXPECT_TRUE(readBytes(file).contains("<stylesheet"));

    TfrxStyleSheet back;
    back.LoadFromFile(file);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.IndexOf(QStringLiteral("plain")), 1);
    TfrxStyleItem *t = back.Find(QStringLiteral("Blue"))->Find(QStringLiteral("title"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Color(), 16711680);
    EXPECT_EQ(t->Font()->Style(), fsBold);
}

} // namespace
