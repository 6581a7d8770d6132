#include "db/dbtest.h"
#include "db/sqltext.h"

#include <gtest/gtest.h>

using tw::db::parseSqlParams;
using tw::db::splitSqlStatements;

namespace {

struct MarkerCase {
    const char *sql;
    const char *sent;
    QStringList names;
};

class MarkerTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(MarkerTest, ReplacesMarkersOutsideLiteralsAndComments)
{
    const MarkerCase &c = GetParam();
    const auto parsed = parseSqlParams(QString::fromUtf8(c.sql));
    EXPECT_EQ(parsed.text, QString::fromUtf8(c.sent));
    EXPECT_EQ(parsed.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MarkerTest,
    ::testing::Values(
        MarkerCase{"select * from t where d between :dt1 and :dt2",
                   "select * from t where d between ? and ?", {"dt1", "dt2"}},
        // order of appearance, duplicates kept (binding is positional)
        MarkerCase{"where a=:b or c=:a or e=:b", "where a=? or c=? or e=?", {"b", "a", "b"}},
        MarkerCase{"select ':x', \"a:y\", 'it''s :z' from t where id=:id",
                   "select ':x', \"a:y\", 'it''s :z' from t where id=?", {"id"}},
        MarkerCase{"select x::int, :p::text", "select x::int, ?::text", {"p"}},
        MarkerCase{"select 1 -- at 10:30 :no\nwhere a=:yes /* :no2 */",
                   "select 1 -- at 10:30 :no\nwhere a=? /* :no2 */", {"yes"}},
        MarkerCase{"where a=:счет_1 and b = : c and t='10:00'",
                   "where a=? and b = : c and t='10:00'", {"счет_1"}},
        MarkerCase{"x := 1; :1", "x := 1; :1", {}},
        MarkerCase{"select ':unterminated", "select ':unterminated", {}}));

TEST(SplitStatementsTest, SplitsAtSemicolonsOutsideLiteralsAndComments)
{
    const QString script = QStringLiteral(
        "create table a (x text);\n"
        "insert into a values ('1;2');  -- note; here\n"
        "/* ; */ insert into a values (\"q;\");\n"
        ";;  \n"
        "-- only a comment;\n");
    EXPECT_EQ(splitSqlStatements(script),
              (QStringList{"create table a (x text)", "insert into a values ('1;2')",
                           "-- note; here\n/* ; */ insert into a values (\"q;\")"}));
}

TEST(SplitStatementsTest, LastStatementWithoutSemicolonIsKept)
{
    EXPECT_EQ(splitSqlStatements(QStringLiteral("select 1; select 2")),
              (QStringList{"select 1", "select 2"}));
    EXPECT_TRUE(splitSqlStatements(QStringLiteral("  \r\n ")).isEmpty());
}

} // namespace
