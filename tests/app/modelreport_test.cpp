#include "apptestutil.h"

#include "app/modelreport.h"
#include "report/model/objectmodel.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

// The demo's templates load without a single problem and read the package parameters.
TEST(TemplateModelReport, LoadsTheDemoTemplates)
{
    for (const char *name : {"bill.fr3", "act.fr3"}) {
        SCOPED_TRACE(name);
        TemplateModelReport r;
        EXPECT_TRUE(r.LoadFromFile(tw::test::sourceDir() + QStringLiteral("/demo/templates/") + QString::fromLatin1(name), true));
        EXPECT_TRUE(r.report().Errors().isEmpty()) << r.report().Errors().join(QLatin1Char('\n')).toStdString();
        auto *memo = dynamic_cast<TfrxCustomMemoView *>(r.report().FindObject(QStringLiteral("Memo1")));
        ASSERT_NE(memo, nullptr);
        EXPECT_TRUE(memo->Text().contains(QStringLiteral("<CUST.\"id1\">"))) << memo->Text().toStdString();
        ASSERT_EQ(r.report().DataSets().Count(), 1);
    }
}

TEST(TemplateModelReport, MissingTemplateRaisesAndPrepareNeedsTheEngine)
{
    Home home;
    TemplateModelReport r;
    const QString missing = home.file(QStringLiteral("none.fr3"));
    try {
        r.LoadFromFile(missing, true);
        FAIL();
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot open file \"") + missing + QStringLiteral("\". ")));
    }
    EXPECT_FALSE(r.LoadFromFile(missing, false));
    r.setSilentModeReThrow();
    EXPECT_EQ(r.report().EngineOptions()->NewSilentMode, simReThrow);
    // A report without pages prepares to no pages.
    EXPECT_TRUE(r.PrepareReport(true));
}
