#include "app/virtualtable.h"
#include "base/formatsettings.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;

namespace {

QString rowText(TVirtualTable &t)
{
    QString s;
    for (int i = 0; i < t.fieldCount(); ++i)
        s += (i ? QStringLiteral(";") : QString()) + t.field(i).fieldName() + QLatin1Char('=')
             + (t.field(i).isNull() ? QStringLiteral("<null>") : t.field(i).asString());
    return s;
}

} // namespace

TEST(ParameterTable, StartsOpenWithTheStoredRow)
{
    TVirtualTable t;
    EXPECT_TRUE(t.isActive());
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(rowText(t), QStringLiteral("id1=128698"));
    EXPECT_EQ(t.field(0).dataType(), db::ftString);
    EXPECT_EQ(t.field(0).size(), 20);
}

TEST(ParameterTable, DocumentSequenceLeavesOneRowOfItsOwnParameters)
{
    FormatSettings::setCurrent(FormatSettings::russian());
    TVirtualTable t;
    fillDocumentRow(t, {{QStringLiteral("id1"), Variant(5)},
                     {QStringLiteral("name"), Variant(QStringLiteral("abcdefghijklmnopqrstuvwxy"))},
                     {QStringLiteral("sum"), Variant(12.5)},
                     {QStringLiteral("late"), Variant::null()}});
    EXPECT_EQ(t.recordCount(), 1);
    // 25 characters are cut to the field's 20; the locale's decimal comma; NULL is empty.
    EXPECT_EQ(rowText(t), QStringLiteral("id1=5;name=abcdefghijklmnopqrst;sum=12,5;late=<null>"));
    EXPECT_EQ(t.fieldByName(QStringLiteral("LATE")).asString(), QString());

    // The second document of the package keeps nothing of the first.
    fillDocumentRow(t, {{QStringLiteral("code"), Variant(QStringLiteral("x"))}});
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(rowText(t), QStringLiteral("code=x"));
    EXPECT_EQ(t.state(), TVirtualTable::State::Browse);
}

// The prepare verb without --param: one row, no field.
TEST(ParameterTable, DocumentWithoutParametersIsOneRowWithoutFields)
{
    TVirtualTable t;
    fillDocumentRow(t, {});
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.fieldCount(), 0);
    EXPECT_EQ(t.state(), TVirtualTable::State::Browse);
}

TEST(ParameterTable, DefinitionChangeKeepsRowsMatchedByName)
{
    TVirtualTable t;
    t.addFieldDef(QStringLiteral("extra"));
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(rowText(t), QStringLiteral("id1=128698;extra=<null>"));
    t.clearFieldDefs();
    EXPECT_EQ(t.fieldCount(), 0);
    EXPECT_EQ(t.recordCount(), 1);
    t.addFieldDef(QStringLiteral("ID1"));
    EXPECT_EQ(rowText(t), QStringLiteral("ID1=<null>"));
}

TEST(ParameterTable, DefinitionErrors)
{
    TVirtualTable t;
    try {
        t.addFieldDef(QString());
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Field name missing"));
    }
    try {
        t.addFieldDef(QStringLiteral("ID1"));
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Duplicate name 'ID1' in TFieldDefs"));
    }
    // The table is untouched by a refused definition.
    EXPECT_EQ(rowText(t), QStringLiteral("id1=128698"));
}

TEST(ParameterTable, ClearCancelsPendingEditAndAssigningNeedsEditState)
{
    TVirtualTable t;
    t.edit();
    t.field(0).setValue(Variant(QStringLiteral("changed")));
    t.clear();
    EXPECT_TRUE(t.isActive());
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(t.state(), TVirtualTable::State::Browse);
    EXPECT_TRUE(t.eof());
    EXPECT_THROW(t.field(0).setValue(Variant(1)), EDatabaseError);
    EXPECT_THROW(t.fieldByName(QStringLiteral("nope")), EDatabaseError);
}

TEST(ParameterTable, CursorOverTheSingleRow)
{
    TVirtualTable t;
    t.first();
    EXPECT_FALSE(t.eof());
    const auto b = t.bookmark();
    EXPECT_TRUE(t.bookmarkValid(b));
    t.next();
    EXPECT_TRUE(t.eof());
    t.gotoBookmark(b);
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.recNo(), 1);
    EXPECT_THROW(t.gotoBookmark(db::Bookmark{1, 5}), EDatabaseError);
}
