#include "ilhelpers.h"

#include <gtest/gtest.h>

using namespace tw;
using tw::test::parseScript;

TEST(ILParser, Smoke)
{
    auto r = parseScript(QStringLiteral("begin end."));
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.outline.toStdString(), "compoundstmt");
    r = parseScript(QStringLiteral("var a, b: Integer; begin a := 1 + <A.\"b\"> * f(1,); if a > 0 then b := 2 end."));
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.outline.toStdString(), "");
}
