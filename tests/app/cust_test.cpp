// The window's report dataset CUST over the parameter table: templates that list CUST in
// their DataSets reach it, and it reads each document's row.
#include "exporttestutil.h"

#include "app/modelreport.h"
#include "report/engine/datasets.h"
#include "report/model/objectmodel.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

namespace {

// The loop's way of filling the table for a document with one parameter.
void oneParameter(TVirtualTable &vt, const QString &name, const QString &value)
{
    vt.clearFieldDefs();
    vt.addFieldDef(name);
    vt.clear();
    vt.insert();
    vt.fieldByName(name).setValue(Variant(value));
    vt.post();
}

QString custValue(TfrxReport &report, const QString &complexName)
{
    TfrxDataSet *ds = nullptr;
    QString field;
    report.GetDatasetAndField(complexName, ds, field);
    if (!ds)
        return QStringLiteral("(no dataset)");
    return ds->GetValue(field).toText();
}

} // namespace

TEST(WindowCust, IsAReportDatasetOverTheParameterTable)
{
    TemplateModelReportFactory factory;
    WindowComponents c(factory);
    TfrxDBDataset &cust = c.CUST();
    EXPECT_EQ(cust.UserName(), QStringLiteral("CUST"));
    EXPECT_FALSE(cust.CloseDataSource);
    EXPECT_FALSE(cust.BCDToCurrency);
    EXPECT_EQ(cust.Owner(), c.host());
    EXPECT_EQ(c.host()->FindComponent(QStringLiteral("cust")), &cust);
    // The stored report belongs to the window too.
    auto *r1 = dynamic_cast<TemplateModelReport *>(c.FindComponent(QStringLiteral("frxReport1"))->report.get());
    ASSERT_NE(r1, nullptr);
    EXPECT_EQ(r1->report().Owner(), c.host());
}

// A template whose only dataset is CUST (memos showing the parameters).
TEST(WindowCust, TemplateFindsTheWindowsCustAndReadsEachDocument)
{
    ExportFixture f;
    f.start(); // another window's parts exist already: its CUST comes first in the global list
    TemplateModelReportFactory factory;
    RecordingView view;
    ExportWork work(*f.dm, view, factory);
    EXPECT_EQ(work.CUST().GetDataSet(), &work.vt());

    auto *r = dynamic_cast<TemplateModelReport *>(&work.components().createReport(QStringLiteral("ft9")));
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->LoadFromFile(tw::test::fixturePath(QStringLiteral("app/custonly.fr3")), true));
    TfrxReport &report = r->report();
    EXPECT_TRUE(report.Errors().isEmpty()) << report.Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(report.DataSets().Count(), 1);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), &work.CUST());

    for (const QString &id : {QStringLiteral("555"), QStringLiteral("556")}) {
        oneParameter(work.vt(), QStringLiteral("id1"), id);
        report.DataSets().Initialize();
        work.CUST().First();
        EXPECT_FALSE(work.CUST().Eof());
        EXPECT_EQ(custValue(report, QStringLiteral("cust.\"ID1\"")), id);
        work.CUST().Next();
        EXPECT_TRUE(work.CUST().Eof());
        report.DataSets().Finalize();
        EXPECT_TRUE(work.vt().isActive()); // CloseDataSource false
        EXPECT_TRUE(report.Errors().isEmpty()) << report.Errors().join(QLatin1Char('\n')).toStdString();
    }

    // A parameter the document does not have: Null and one error line.
    report.DataSets().Initialize();
    report.CurObject = QStringLiteral("Query1");
    EXPECT_TRUE(custValue(report, QStringLiteral("CUST.\"id2\"")).isEmpty());
    EXPECT_EQ(report.Errors(), QStringList{QStringLiteral("Query1: Field not found: CUST.\"id2\"")});
    report.DataSets().Finalize();
}
