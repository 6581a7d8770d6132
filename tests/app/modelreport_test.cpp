#include "apptestutil.h"

#include "app/modelreport.h"
#include "report/engine/queries.h"
#include "report/model/objectmodel.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

// The demo's templates load without a single problem and read the package parameters.
TEST(TemplateModelReport, LoadsTheDemoTemplates)
{
    const struct {
        const char *file;
        const char *query; // the query that reads the package row
    } cases[] = {{"bill.fr3", "Bill"}, {"act.fr3", "Act"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        TemplateModelReport r;
        EXPECT_TRUE(r.LoadFromFile(tw::test::sourceDir() + QStringLiteral("/demo/templates/") + QString::fromLatin1(c.file), true));
        EXPECT_TRUE(r.report().Errors().isEmpty()) << r.report().Errors().join(QLatin1Char('\n')).toStdString();
        auto *query = dynamic_cast<TfrxCustomQuery *>(r.report().FindObject(QString::fromLatin1(c.query)));
        ASSERT_NE(query, nullptr);
        ASSERT_EQ(query->Params().Count(), 1);
        EXPECT_EQ(query->Params().Items(0)->Expression, QStringLiteral("<CUST.\"id1\">"));
        EXPECT_EQ(r.report().DataSets().Count(), 3);
    }
}

TEST(TemplateModelReport, MissingTemplateRaisesAndAnEmptyReportPrepares)
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
