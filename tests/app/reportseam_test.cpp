#include "exporttestutil.h"

#include "app/reportfacade.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

TEST(WindowComponents, NameRules)
{
    FakeReportFactory factory;
    WindowComponents c(factory);
    const struct {
        const char *name;
        const char *error; // null: accepted
    } cases[] = {
        {"ft1", nullptr},
        {"_x9", nullptr},
        {"", nullptr},
        {"1abc", "''1abc'' is not a valid component name"},
        {"a-b", "''a-b'' is not a valid component name"},
        {"счет", nullptr},
        {"a b", "''a b'' is not a valid component name"},
        {"FT1", "A component named FT1 already exists"},
        {"Memo1", "A component named Memo1 already exists"},
        {"frxreport1", "A component named frxreport1 already exists"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        const int before = c.componentCount();
        try {
            c.createReport(QString::fromUtf8(k.name));
            EXPECT_EQ(k.error, nullptr);
            EXPECT_EQ(c.componentCount(), before + 1);
        } catch (const EComponentError &e) {
            ASSERT_NE(k.error, nullptr);
            EXPECT_EQ(e.message(), QString::fromUtf8(k.error));
            // No nameless report is left behind.
            EXPECT_EQ(c.componentCount(), before);
        }
    }
    EXPECT_EQ(factory.shared.alive, 5); // frxReport1, ft1, _x9, счет and the unnamed one
}

TEST(WindowComponents, FindIgnoresCaseAndFreeRemoves)
{
    FakeReportFactory factory;
    WindowComponents c(factory);
    ReportFacade &r = c.createReport(QStringLiteral("Bills"));
    ASSERT_NE(c.FindComponent(QStringLiteral("bILLS")), nullptr);
    EXPECT_EQ(c.FindComponent(QStringLiteral("bills"))->report.get(), &r);
    EXPECT_EQ(c.FindComponent(QStringLiteral("vt"))->report, nullptr);
    EXPECT_NE(c.FindComponent(QStringLiteral("FRXREPORT1"))->report, nullptr);
    EXPECT_EQ(c.FindComponent(QString()), nullptr);
    c.freeReport(&r);
    EXPECT_EQ(c.FindComponent(QStringLiteral("bills")), nullptr);
    EXPECT_EQ(factory.shared.alive, 1);
}
