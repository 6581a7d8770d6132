#include "model_support.h"

#include "base/datetime.h"
#include "base/formatsettings.h"
#include "report/engine/datasets.h"
#include "report/xml/resources.h"
#include "report/xml/xmlserializer.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>";

QByteArray doc(const char *body)
{
    return QByteArray(kHeader) + body;
}

class TemplateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerModelTestClasses();
        frxSetMessageBoxHandler([this](const QString &caption, const QString &text) {
            boxes.append(caption + QLatin1String(": ") + text);
        });
    }
    void TearDown() override { frxSetMessageBoxHandler(nullptr); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeBytes(path, bytes);
        return path;
    }

    QTemporaryDir dir;
    QStringList boxes;
};

TEST_F(TemplateTest, LoadFromFileReportsWhetherTheFileExists)
{
    TfrxReport report;
    new TfrxReportPage(&report);
    report.SetFileName(QStringLiteral("old.fr3"));
    EXPECT_FALSE(report.LoadFromFile(dir.filePath(QStringLiteral("missing.fr3"))));
    EXPECT_TRUE(report.Objects().isEmpty());
    EXPECT_TRUE(report.FileName().isEmpty());
    try {
        report.LoadFromFile(dir.filePath(QStringLiteral("missing.fr3")), true);
        ADD_FAILURE();
    } catch (const EFOpenError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot open file \"") + dir.filePath("missing.fr3") + "\". "))
            << e.message().toStdString();
    }
    const QString path = write("a.fr3", doc("<TfrxReport><TfrxReportPage Name=\"Page1\"/></TfrxReport>"));
    EXPECT_TRUE(report.LoadFromFile(path, true));
    EXPECT_EQ(report.FileName(), path);
    EXPECT_NE(report.FindObject("Page1"), nullptr);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(TemplateTest, VersionAndNameAreNeverTakenFromTheFile)
{
    TfrxReport report;
    report.SetName(QStringLiteral("frxReport1"));
    loadReport(report, doc("<TfrxReport Name=\"Other\" Version=\"3.2\"/>"));
    EXPECT_EQ(report.Version(), QStringLiteral("4.14"));
    EXPECT_EQ(report.Name(), QStringLiteral("frxReport1"));
}

TEST_F(TemplateTest, EngineOptionsKeptFromBeforeTheLoadExceptThreeTakenFromTheFile)
{
    TfrxReport report;
    report.EngineOptions()->MaxMemSize = 20;
    report.EngineOptions()->DoublePass = true;
    report.EngineOptions()->ConvertNulls = false;
    report.PreviewOptions()->Zoom = 3;
    report.PreviewOptions()->PagesInCache = 7;
    report.ShowProgress = false;
    loadReport(report, doc("<TfrxReport EngineOptions.MaxMemSize=\"5\" EngineOptions.IgnoreDevByZero=\"True\""
                           " EngineOptions.TempDir=\"/x\" PreviewOptions.Zoom=\"2\" ShowProgress=\"True\""
                           " PrintOptions.Copies=\"4\"/>"),
               simSilent);
    EXPECT_EQ(report.EngineOptions()->MaxMemSize, 20);
    EXPECT_TRUE(report.EngineOptions()->TempDir.isEmpty());
    EXPECT_EQ(report.EngineOptions()->NewSilentMode, simSilent);
    EXPECT_FALSE(report.EngineOptions()->DoublePass); // the file has none
    EXPECT_TRUE(report.EngineOptions()->ConvertNulls);
    EXPECT_TRUE(report.EngineOptions()->IgnoreDevByZero);
    EXPECT_EQ(report.PreviewOptions()->Zoom, 3);
    EXPECT_EQ(report.PreviewOptions()->PagesInCache, 50); // from the file (its default)
    EXPECT_FALSE(report.ShowProgress);
    EXPECT_EQ(report.PrintOptions()->Copies, 4);

    loadReport(report, doc("<TfrxReport EngineOptions.DoublePass=\"True\"/>"), simSilent);
    EXPECT_TRUE(report.EngineOptions()->DoublePass);

    // The same through a file: the clearing before the load keeps them too.
    const QString path = write("opts.fr3", doc("<TfrxReport EngineOptions.MaxMemSize=\"5\"/>"));
    report.LoadFromFile(path);
    EXPECT_EQ(report.EngineOptions()->MaxMemSize, 20);
    EXPECT_EQ(report.EngineOptions()->NewSilentMode, simSilent);
    EXPECT_FALSE(report.EngineOptions()->DoublePass);
}

TEST_F(TemplateTest, TemplateWithoutDataPageGetsOneHoldingItsDataComponents)
{
    TfrxReport report;
    loadReport(report, doc("<TfrxReport><TfrxReportPage Name=\"Page1\">"
                           "<TTestDataSet Name=\"Q1\"/><TfrxMasterData Name=\"M\"><TTestDataSet Name=\"Q2\"/>"
                           "</TfrxMasterData></TfrxReportPage></TfrxReport>"));
    ASSERT_EQ(report.Objects().size(), 2);
    auto *data = dynamic_cast<TfrxDataPage *>(report.Objects()[0]);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->Name(), QStringLiteral("Data"));
    ASSERT_EQ(data->Objects().size(), 2);
    EXPECT_EQ(data->Objects()[0]->Name(), QStringLiteral("Q1"));
    EXPECT_DOUBLE_EQ(data->Objects()[0]->Left(), 60);
    EXPECT_DOUBLE_EQ(data->Objects()[0]->Top(), 20);
    EXPECT_DOUBLE_EQ(data->Objects()[1]->Left(), 124);

    // "Data" taken by another object: a generated name.
    TfrxReport other;
    loadReport(other, doc("<TfrxReport><TfrxReportPage Name=\"Data\"/></TfrxReport>"));
    ASSERT_EQ(other.Objects().size(), 2);
    EXPECT_EQ(other.Objects()[0]->Name(), QStringLiteral("Page1"));
}

TEST_F(TemplateTest, ErrorsAreReportedBySilentMode)
{
    const QByteArray bad = doc("<TfrxReport><TfrxNoSuchView Name=\"X\"><TfrxMemoView Name=\"Y\"/></TfrxNoSuchView>"
                               "<TfrxReportPage Name=\"Page1\"/><TfrxNoSuchView Name=\"Z\"/></TfrxReport>");
    {
        TfrxReport report;
        loadReport(report, bad, simSilent);
        EXPECT_EQ(report.Errors(), QStringList{"Cannot find class TfrxNoSuchView"});
        EXPECT_NE(report.FindObject("Page1"), nullptr);
        EXPECT_EQ(report.FindObject("Y"), nullptr);
        EXPECT_TRUE(boxes.isEmpty());
    }
    {
        TfrxReport report;
        try {
            loadReport(report, bad, simReThrow);
            ADD_FAILURE();
        } catch (const Error &e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("The following error(s) have occured:\r\nCannot find class TfrxNoSuchView\r\n"));
        }
        EXPECT_NE(report.FindObject("Page1"), nullptr);
    }
    {
        TfrxReport report;
        loadReport(report, bad, simMessageBoxes);
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_EQ(boxes[0], QStringLiteral("Error: The following error(s) have occured:\r\nCannot find class TfrxNoSuchView\r\n"));
    }
}

TEST_F(TemplateTest, DatasetListGivenTwiceKeepsTheLastAndResolvesIt)
{
    // Two Datasets entries: the first list's items are replaced while their references
    // are still pending.
    const QString item = QStringLiteral(" DataSet=\"Q1\" DataSetName=\"Q1\"");
    TfrxComponentWriter w;
    for (int i = 0; i < 2; ++i) {
        w.WriteName(QStringLiteral("Datasets"));
        w.WriteListBegin();
        w.WriteListBegin();
        w.WriteString(item);
        w.WriteListEnd();
        w.WriteListEnd();
    }
    const QByteArray bytes = doc("<TfrxReport PropData=\"") + BytesToHex(w.Data()).toLatin1()
        + "\"><TfrxDataPage Name=\"Data\"><TTestDataSet Name=\"Q1\"/></TfrxDataPage></TfrxReport>";
    TfrxReport report;
    loadReport(report, bytes);
    EXPECT_TRUE(report.Errors().isEmpty());
    ASSERT_EQ(report.DataSets().Count(), 1);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), report.FindObject("Q1"));
}

TEST_F(TemplateTest, MalformedXmlLeavesOnlyTheDataPage)
{
    TfrxReport report;
    new TfrxReportPage(&report);
    loadReport(report, doc("<TfrxReport><TfrxReportPage Name=\"P\""), simSilent);
    EXPECT_EQ(report.Errors(), QStringList{"Invalid file format"});
    ASSERT_EQ(report.Objects().size(), 1);
    EXPECT_NE(dynamic_cast<TfrxDataPage *>(report.Objects()[0]), nullptr);
}

TEST_F(TemplateTest, PasswordIsStoredLoweredByTenAndChecked)
{
    TfrxReport report;
    report.ReportOptions()->Password = QStringLiteral("pass");
    const QByteArray bytes = saveReport(report);
    EXPECT_TRUE(bytes.contains("ReportOptions.Password=\"fWii\"")) << bytes.constData();
    EXPECT_EQ(report.ReportOptions()->Password, QStringLiteral("pass"));
    EXPECT_EQ(report.ReportOptions()->PrevPassword, QStringLiteral("pass"));

    // Refused without a prompt: the report is cleared.
    new TfrxReportPage(&report);
    loadReport(report, bytes, simSilent);
    EXPECT_EQ(report.Errors(), QStringList{"Invalid password"});
    EXPECT_TRUE(report.Objects().isEmpty());

    // The host's answer.
    int asked = 0;
    report.OnGetPassword = [&](TfrxReport *, QString &answer) {
        ++asked;
        answer = QStringLiteral("pass");
        return true;
    };
    loadReport(report, bytes, simSilent);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(report.Errors().isEmpty());
    EXPECT_EQ(report.ReportOptions()->Password, QStringLiteral("pass"));
    EXPECT_FALSE(report.Objects().isEmpty()); // the data page

    // A wrong answer in simReThrow raises and still clears.
    report.OnGetPassword = [](TfrxReport *, QString &answer) {
        answer = QStringLiteral("nope");
        return true;
    };
    EXPECT_THROW(loadReport(report, bytes, simReThrow), Error);
    EXPECT_TRUE(report.Objects().isEmpty());

    // Given in advance: no prompt.
    report.OnGetPassword = nullptr;
    report.ReportOptions()->HiddenPassword = QStringLiteral("pass");
    loadReport(report, bytes, simSilent);
    EXPECT_TRUE(report.Errors().isEmpty());
}

TEST_F(TemplateTest, RelativeParentReportIsLookedUpBesideTheChildFirst)
{
    const QByteArray parent = doc("<TfrxReport><TfrxReportPage Name=\"Page1\"><TfrxMasterData Name=\"MasterData1\""
                                  " Height=\"20\" Left=\"0\" Top=\"0\" Width=\"100\" RowCount=\"1\"/>"
                                  "</TfrxReportPage></TfrxReport>");
    const QByteArray appParent = doc("<TfrxReport><TfrxReportPage Name=\"AppPage\"/></TfrxReport>");
    write("app/base.fr3", appParent);
    write("tpl/base.fr3", parent);
    const QString child = write("tpl/child.fr3",
                                doc("<inherited ParentReport=\"base.fr3\"><inherited Name=\"Page1\">"
                                    "<inherited Name=\"MasterData1\" Height=\"40\"/>"
                                    "<TfrxMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"10\" Height=\"10\" Text=\"x\"/>"
                                    "</inherited></inherited>"));
    TfrxReport::SetApplicationDir(dir.filePath("app"));
    TfrxReport report;
    report.EngineOptions()->NewSilentMode = simSilent;
    EXPECT_TRUE(report.LoadFromFile(child));
    EXPECT_TRUE(report.Errors().isEmpty()) << report.Errors().join('\n').toStdString();
    EXPECT_EQ(report.FileName(), child);
    EXPECT_EQ(report.ParentReport(), QStringLiteral("base.fr3"));
    EXPECT_EQ(report.FindObject("AppPage"), nullptr);
    auto *band = dynamic_cast<TfrxMasterData *>(report.FindObject("MasterData1"));
    ASSERT_NE(band, nullptr);
    EXPECT_DOUBLE_EQ(band->Height(), 40);
    EXPECT_TRUE(band->IsAncestor());
    EXPECT_THROW(band->SetName(QStringLiteral("Renamed")), Error);
    TfrxComponent *memo = report.FindObject("Memo1");
    ASSERT_NE(memo, nullptr);
    EXPECT_FALSE(memo->IsAncestor());

    // Written back as inherited elements carrying only what differs.
    const QString saved = QString::fromUtf8(saveReport(report));
    EXPECT_TRUE(saved.contains(QLatin1String("<inherited ParentReport=\"base.fr3\""))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QLatin1String("<inherited Name=\"MasterData1\" Height=\"40\"/>"))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QLatin1String("<TfrxMemoView Name=\"Memo1\"")));

    // Without the file beside it, the application directory's copy is used.
    QFile::remove(dir.filePath("tpl/base.fr3"));
    TfrxReport again;
    again.EngineOptions()->NewSilentMode = simSilent;
    again.LoadFromFile(child);
    EXPECT_NE(again.FindObject("AppPage"), nullptr);
    TfrxReport::SetApplicationDir(QString());
}

TEST_F(TemplateTest, ThreadSafeLoadOfAnInheritedTemplateCompletes)
{
    write("base.fr3", doc("<TfrxReport><TfrxReportPage Name=\"Page1\"/></TfrxReport>"));
    const QString child = write("child.fr3", doc("<inherited ParentReport=\"base.fr3\"/>"));
    TfrxReport report;
    report.EngineOptions()->EnableThreadSafe = true;
    report.EngineOptions()->NewSilentMode = simSilent;
    report.LoadFromFile(child);
    EXPECT_NE(report.FindObject("Page1"), nullptr);
}

TEST_F(TemplateTest, InfoLoadKeepsOnlyTheDescriptiveOptions)
{
    TfrxReport report;
    report.ReportOptions()->Info = true;
    loadReport(report, doc("<TfrxReport ReportOptions.Author=\"Ivanov\" ReportOptions.Name=\"Sales\">"
                           "<TfrxReportPage Name=\"Page1\"/></TfrxReport>"));
    EXPECT_EQ(report.ReportOptions()->Author, QStringLiteral("Ivanov"));
    EXPECT_TRUE(report.ReportOptions()->Name.isEmpty());
    EXPECT_TRUE(report.Objects().isEmpty());
}

TEST_F(TemplateTest, HostCanLoadTheParentTemplate)
{
    TfrxReport report;
    QString asked;
    report.OnLoadTemplate = [&](TfrxReport *r, const QString &name) {
        asked = name;
        auto *p = new TfrxReportPage(r);
        p->SetName(QStringLiteral("FromHost"));
    };
    loadReport(report, doc("<inherited ParentReport=\"lib/base.fr3\"/>"));
    EXPECT_EQ(asked, QStringLiteral("lib/base.fr3"));
    ASSERT_NE(report.FindObject("FromHost"), nullptr);
    EXPECT_TRUE(report.FindObject("FromHost")->IsAncestor());
}

TEST_F(TemplateTest, TemplateNamingItselfAsParentDoesNotRecurseForever)
{
    const QString path = write("self.fr3", doc("<inherited ParentReport=\"self.fr3\"/>"));
    TfrxReport report;
    report.EngineOptions()->NewSilentMode = simSilent;
    report.LoadFromFile(path);
    EXPECT_FALSE(report.Errors().isEmpty());
}

TEST_F(TemplateTest, SaveToFileMakesAnAbsoluteParentRelative)
{
    write("lib/base.fr3", doc("<TfrxReport/>"));
    TfrxReport report;
    report.EngineOptions()->NewSilentMode = simSilent;
    report.SetParentReport(dir.filePath("lib/base.fr3"));
    const QString target = dir.filePath("out/child.fr3");
    QDir().mkpath(dir.filePath("out"));
    report.SaveToFile(target);
    EXPECT_EQ(report.ParentReport(), QStringLiteral("../lib/base.fr3"));
    EXPECT_TRUE(readBytes(target).contains("ParentReport=\"../lib/base.fr3\""));
}

// Every band and view class, a script, datasets, variables, styles and a picture.
TEST_F(TemplateTest, FullTemplateLoadsWithoutErrorsAndSavesStably)
{
    TfrxReport report;
    report.EngineOptions()->NewSilentMode = simSilent;
    ASSERT_TRUE(report.LoadFromFile(fixturePath(QStringLiteral("report/model/full.fr3")), true));
    EXPECT_TRUE(report.Errors().isEmpty()) << report.Errors().join('\n').toStdString();

    for (const char *name : {"Data", "Page1", "ReportTitle1", "ReportSummary1", "PageHeader1", "PageFooter1",
                             "Header1", "Footer1", "MasterData1", "DetailData1", "SubdetailData1", "Data4_1",
                             "Data5_1", "Data6_1", "GroupHeader1", "GroupFooter1", "Child1", "ColumnHeader1",
                             "ColumnFooter1", "Overlay1", "NullBand1", "Memo1", "SysMemo1", "Line1", "Shape1",
                             "Picture1", "Subreport1", "CheckBox1", "Page2", "Dialog1", "Q1"})
        EXPECT_NE(report.FindObject(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(report.ScriptText.size(), 4);
    EXPECT_EQ(report.Styles().Count(), 2);
    EXPECT_EQ(report.Variables().Count(), 2);
    ASSERT_EQ(report.DataSets().Count(), 1);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), report.FindObject("Q1"));
    auto *title = dynamic_cast<TfrxReportTitle *>(report.FindObject("ReportTitle1"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->Child(), report.FindObject("Child1"));
    auto *picture = dynamic_cast<TfrxPictureView *>(report.FindObject("Picture1"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Picture()->GraphicClass(), QStringLiteral("TPngImage"));

    const QByteArray first = saveReport(report);
    TfrxReport again;
    loadReport(again, first, simSilent);
    EXPECT_TRUE(again.Errors().isEmpty()) << again.Errors().join('\n').toStdString();
    const QByteArray second = saveReport(again);
    if (first != second) {
        writeBytes(dir.filePath("first.fr3"), first);
        writeBytes(dir.filePath("second.fr3"), second);
        dir.setAutoRemove(false);
        ADD_FAILURE() << "saves differ, see " << dir.path().toStdString();
    }
}

// Damaged templates: the loader lists what it could not read and never crashes.
TEST_F(TemplateTest, MutatedTemplatesLoadWhatTheyCan)
{
    const QByteArray base = readBytes(fixturePath(QStringLiteral("report/model/full.fr3")));
    ASSERT_FALSE(base.isEmpty());
    QRandomGenerator rng(20261210);
    const char alphabet[] = "<>/\"=& #;0123456789.,-_abcXYZTfrx\r\n";
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = base;
        const int edits = 1 + int(rng.bounded(8));
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng.bounded(bytes.size()));
            switch (rng.bounded(3)) {
            case 0: bytes[pos] = alphabet[rng.bounded(int(sizeof(alphabet) - 1))]; break;
            case 1: bytes.remove(pos, 1 + int(rng.bounded(20))); break;
            default: bytes.insert(pos, bytes.mid(int(rng.bounded(bytes.size())), int(rng.bounded(40)))); break;
            }
        }
        TfrxReport report;
        loadReport(report, bytes, simSilent);
        // Whatever loaded can be saved and read again.
        TfrxReport again;
        loadReport(again, saveReport(report), simSilent);
    }
    SUCCEED();
}

// ---------------------------------------------------------------------------------------
// Collections written as child elements

// The export's set-up: a window owns the report and the program's CUST.
struct Host {
    Host()
    {
        form.SetName(QStringLiteral("Form1"));
        cust = new TfrxUserDataSet(&form);
        cust->SetName(QStringLiteral("CUST"));
        cust->OnGetValue = [](const QString &field, Variant &v) {
            if (field == QLatin1String("id1"))
                v = Variant(QStringLiteral("777"));
        };
        report = new TfrxReport(&form);
        report->EngineOptions()->NewSilentMode = simReThrow;
    }
    Component form;
    TfrxUserDataSet *cust = nullptr;
    TfrxReport *report = nullptr;
};

QString listFormsFixture()
{
    return fixturePath(QStringLiteral("report/model/listforms.fr3"));
}

QString shownText(TfrxCustomMemoView *memo)
{
    memo->BeforePrint();
    memo->GetData();
    const QString text = memo->Text();
    memo->AfterPrint();
    return text;
}

TEST_F(TemplateTest, ListFormsFillDatasetsVariablesStylesAndMemoFormats)
{
    SettingsScope settings(FormatSettings::usEnglish());
    Host host;
    TfrxReport &report = *host.report;
    ASSERT_NO_THROW(report.LoadFromFile(listFormsFixture(), true));
    EXPECT_TRUE(report.Errors().isEmpty()) << report.Errors().join('\n').toStdString();

    // Datasets: one of the template, and the host's CUST through the owner's container.
    auto *orders = dynamic_cast<TfrxUserDataSet *>(report.FindObject(QStringLiteral("OrdersData")));
    ASSERT_NE(orders, nullptr);
    ASSERT_EQ(report.DataSets().Count(), 2);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), orders);
    EXPECT_EQ(report.DataSets().Items(1)->DataSet(), host.cust);
    EXPECT_EQ(report.GetDataset(QStringLiteral("orders")), orders);

    // The data band reaches the listed dataset and its rows.
    auto *band = dynamic_cast<TfrxDataBand *>(report.FindObject(QStringLiteral("MasterData1")));
    ASSERT_NE(band, nullptr);
    ASSERT_EQ(band->DataSet(), orders);
    const QList<QList<Variant>> rows = {{Variant(2), Variant(3.5), Variant(encodeDate(2024, 3, 9)), Variant(7.0)},
                                        {Variant(5), Variant(1.24), Variant(encodeDate(2024, 3, 10)), Variant(6.2)},
                                        {Variant(1), Variant(10.0), Variant(encodeDate(2024, 3, 11)), Variant(10.0)}};
    const QStringList fields = {QStringLiteral("n"), QStringLiteral("price"), QStringLiteral("day"), QStringLiteral("sum")};
    orders->OnGetValue = [&](const QString &field, Variant &v) {
        if (orders->RecNo < rows.size() && fields.contains(field))
            v = rows[orders->RecNo][fields.indexOf(field)];
    };
    auto *total = dynamic_cast<TfrxCustomMemoView *>(report.FindObject(QStringLiteral("Total")));
    auto *who = dynamic_cast<TfrxCustomMemoView *>(report.FindObject(QStringLiteral("Who")));
    ASSERT_NE(total, nullptr);
    ASSERT_NE(who, nullptr);
    QStringList printed;
    report.DataSets().Initialize();
    TfrxDataSet *ds = band->DataSet();
    for (ds->First(); !ds->Eof() && printed.size() < 10; ds->Next())
        printed << shownText(total) + shownText(who);
    report.DataSets().Finalize();
    // First bracket: empty item, the memo's format; second: its item; third: its own
    // format wins over its item; fourth: past the list, the memo's format.
    EXPECT_EQ(printed, (QStringList{QStringLiteral("Qty 2.0 at 3.50 on 09.03.24, total 7.0\r\n777\r\n"),
                                    QStringLiteral("Qty 5.0 at 1.24 on 10.03.24, total 6.2\r\n777\r\n"),
                                    QStringLiteral("Qty 1.0 at 10.00 on 11.03.24, total 10.0\r\n777\r\n")}));

    // Variables with their categories.
    EXPECT_EQ(report.Variables().Count(), 4);
    EXPECT_EQ(report.Variables().GetCategoriesList(), (QStringList{QStringLiteral("Category"), QStringLiteral("Other")}));
    EXPECT_EQ(report.Variables().GetVariablesList(QStringLiteral("category")), QStringList{QStringLiteral("Rate")});
    EXPECT_EQ(report.Variables().GetVariablesList(QStringLiteral("Other")), QStringList{QStringLiteral("Label")});
    EXPECT_TRUE(report.Variables().Get(QStringLiteral("Rate")).sameAs(Variant(QStringLiteral("1.5"))));
    EXPECT_TRUE(report.Variables().Get(QStringLiteral("Label")).sameAs(Variant(QStringLiteral("'per unit'"))));

    // The style, and the memo that names it.
    const TfrxStyleItem *style = report.Styles().Find(QStringLiteral("header"));
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->Font()->Color(), 128);
    EXPECT_EQ(style->Font()->Height(), -13);
    EXPECT_EQ(style->Font()->Name(), QStringLiteral("Arial"));
    EXPECT_EQ(style->Font()->Style(), 1);
    EXPECT_EQ(total->Font()->Color(), 128);
}

TEST_F(TemplateTest, ListFormsResaveAsPropDataAndKeepTheMemoFormatsStably)
{
    Host host;
    host.report->LoadFromFile(listFormsFixture(), true);
    const QByteArray first = saveReport(*host.report);
    for (const char *gone : {"<Datasets", "<Variables", "<Styles"})
        EXPECT_FALSE(first.contains(gone)) << gone;
    EXPECT_TRUE(first.contains("<Formats>\r\n          <item/>\r\n          <item FormatStr=\"%2.2f\" Kind=\"fkNumeric\"/>\r\n"
                               "          <item FormatStr=\"%d\" Kind=\"fkNumeric\"/>\r\n        </Formats>\r\n"))
        << first.toStdString();
    // Only the memo that came with a list writes one.
    EXPECT_EQ(first.count("<Formats>"), 1);

    Host again;
    loadReport(*again.report, first, simReThrow);
    EXPECT_TRUE(again.report->Errors().isEmpty()) << again.report->Errors().join('\n').toStdString();
    ASSERT_EQ(again.report->DataSets().Count(), 2);
    EXPECT_EQ(again.report->DataSets().Items(0)->DataSet(), again.report->FindObject(QStringLiteral("OrdersData")));
    EXPECT_EQ(again.report->DataSets().Items(1)->DataSet(), again.cust);
    EXPECT_EQ(again.report->Variables().GetCategoriesList(), host.report->Variables().GetCategoriesList());
    EXPECT_NE(again.report->Styles().Find(QStringLiteral("Header")), nullptr);
    auto *memo = dynamic_cast<TfrxCustomMemoView *>(again.report->FindObject(QStringLiteral("Total")));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->Formats().Count(), 3);
    EXPECT_EQ(saveReport(*again.report), first);
}

// The same item strings as child elements and as PropData lists give the same items.
TEST_F(TemplateTest, ListElementItemsReadAsTheirPropDataStrings)
{
    struct Collection {
        const char *element, *propData;
        QStringList items;
    } collections[] = {
        {"Datasets", "Datasets", {QStringLiteral("DataSet=\"Q1\" DataSetName=\"Q1\""), QStringLiteral("DataSetName=\"Nowhere\"")}},
        {"Variables", "Variables",
         {QStringLiteral("Name=\" Category\""), QStringLiteral("Name=\"Rate\" Value=\"1.5\""), QStringLiteral("Name=\"Empty\"")}},
        {"Styles", "Style",
         {QStringLiteral("Name=\"Header\" Color=\"255\" Font.Style=\"1\" Frame.Typ=\"15\""),
          QStringLiteral("Name=\"header\" Font.Name=\"Tahoma\"")}}, // a clashing name stays unset
    };
    const QByteArray data = "<TfrxDataPage Name=\"Data\"><TTestDataSet Name=\"Q1\"/></TfrxDataPage>";

    QByteArray elements;
    TfrxComponentWriter w;
    for (const Collection &c : collections) {
        elements += QByteArray("<") + c.element + ">";
        w.WriteName(QString::fromLatin1(c.propData));
        w.WriteListBegin();
        for (const QString &item : c.items) {
            elements += "<item " + item.toUtf8() + "/>";
            w.WriteListBegin();
            w.WriteString(QLatin1Char(' ') + item);
            w.WriteListEnd();
        }
        elements += QByteArray("</") + c.element + ">";
        w.WriteListEnd();
    }
    TfrxReport fromElements, fromPropData;
    loadReport(fromElements, doc("<TfrxReport>") + elements + data + "</TfrxReport>");
    loadReport(fromPropData, doc("<TfrxReport PropData=\"") + BytesToHex(w.Data()).toLatin1() + "\">" + data + "</TfrxReport>");
    EXPECT_EQ(fromElements.Errors(), fromPropData.Errors());

    const auto itemStrings = [](TfrxReport &r, const TfrxCollection &list) {
        TfrxXMLSerializer s;
        s.SetOwner(&r);
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out << s.ObjToXML(list.Item(i));
        return out;
    };
    EXPECT_EQ(itemStrings(fromElements, fromElements.DataSets()), itemStrings(fromPropData, fromPropData.DataSets()));
    EXPECT_EQ(fromElements.DataSets().Items(0)->DataSet(), fromElements.FindObject(QStringLiteral("Q1")));
    EXPECT_EQ(itemStrings(fromElements, fromElements.Variables()), itemStrings(fromPropData, fromPropData.Variables()));
    for (int i = 0; i < fromElements.Variables().Count(); ++i)
        EXPECT_TRUE(fromElements.Variables().Items(i)->Value.sameAs(fromPropData.Variables().Items(i)->Value)) << i;
    EXPECT_EQ(fromElements.Variables().GetVariablesList(QStringLiteral("Category")),
              (QStringList{QStringLiteral("Rate"), QStringLiteral("Empty")}));
    EXPECT_EQ(itemStrings(fromElements, fromElements.Styles()), itemStrings(fromPropData, fromPropData.Styles()));
    EXPECT_EQ(fromElements.Styles().Count(), 2);
}

TEST_F(TemplateTest, ListElementsOnlyWhereTheyBelongOtherwiseCannotFindClass)
{
    TfrxReport report;
    loadReport(report, doc("<TfrxReport><Parameters><item/></Parameters>"
                           "<Datasets><row DataSet=\"Q1\"/><item DataSet=\"Q1\"/></Datasets>"
                           "<TfrxDataPage Name=\"Data\"><TTestDataSet Name=\"Q1\"/></TfrxDataPage>"
                           "<TfrxReportPage Name=\"Page1\"><Datasets><item DataSet=\"Q1\"/></Datasets>"
                           "<TfrxMasterData Name=\"MasterData1\"><Formats><item/></Formats>"
                           "<TfrxMemoView Name=\"Memo1\"><Formats><item/><format Kind=\"fkNumeric\"/></Formats>"
                           "</TfrxMemoView></TfrxMasterData></TfrxReportPage></TfrxReport>"));
    EXPECT_EQ(report.Errors(), (QStringList{QStringLiteral("Cannot find class Datasets"), QStringLiteral("Cannot find class format"),
                                            QStringLiteral("Cannot find class Formats"), QStringLiteral("Cannot find class Parameters"),
                                            QStringLiteral("Cannot find class row")}));
    // What was in place still loaded.
    ASSERT_EQ(report.DataSets().Count(), 1);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), report.FindObject(QStringLiteral("Q1")));
    auto *memo = dynamic_cast<TfrxCustomMemoView *>(report.FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->Formats().Count(), 1);
}

} // namespace
