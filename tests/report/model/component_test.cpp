#include "model_support.h"

#include "report/xml/resources.h"

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerModelTestClasses();
        page = new TfrxReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        band = new TfrxMasterData(page);
        band->SetName(QStringLiteral("MasterData1"));
        band->SetTop(100);
        band->SetLeft(5);
    }
    TfrxMemoView *memo(const QString &name, TfrxComponent *parent = nullptr)
    {
        auto *m = new TfrxMemoView(parent ? parent : band);
        m->SetName(name);
        return m;
    }

    TfrxReport report;
    TfrxReportPage *page = nullptr;
    TfrxMasterData *band = nullptr;
};

TEST_F(ComponentTest, CreatingInsideAComponentMakesItTheParentAndTheReportTheOwner)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    EXPECT_EQ(m->Parent(), band);
    EXPECT_EQ(m->Owner(), &report);
    EXPECT_EQ(m->Report(), &report);
    EXPECT_EQ(m->Page(), page);
    EXPECT_EQ(band->Objects(), QList<TfrxComponent *>{m});
}

TEST_F(ComponentTest, AllObjectsIsDepthFirstEachBeforeItsDescendants)
{
    TfrxMemoView *m1 = memo(QStringLiteral("Memo1"));
    auto *child = new TfrxChild(page);
    child->SetName(QStringLiteral("Child1"));
    TfrxMemoView *m2 = memo(QStringLiteral("Memo2"), child);
    const QList<TfrxComponent *> expected{page, band, m1, child, m2};
    EXPECT_EQ(report.AllObjects(), expected);
}

TEST_F(ComponentTest, SettingTheParentMovesTheComponentAndReappliesTheParentFont)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    auto *title = new TfrxReportTitle(page);
    title->Font()->SetName(QStringLiteral("Tahoma"));
    m->SetParent(title);
    EXPECT_TRUE(band->Objects().isEmpty());
    EXPECT_EQ(title->Objects(), QList<TfrxComponent *>{m});
    EXPECT_EQ(m->Font()->Name(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(m->ParentFont());
}

TEST_F(ComponentTest, FontChangesFlowToChildrenThatTakeTheParentFont)
{
    TfrxMemoView *inherits = memo(QStringLiteral("Memo1"));
    TfrxMemoView *own = memo(QStringLiteral("Memo2"));
    own->Font()->SetName(QStringLiteral("Courier New"));
    EXPECT_FALSE(own->ParentFont()); // any change of its own font

    band->Font()->SetHeight(-20);
    EXPECT_FALSE(band->ParentFont());
    EXPECT_EQ(inherits->Font()->Height(), -20);
    EXPECT_TRUE(inherits->ParentFont());
    EXPECT_EQ(own->Font()->Height(), -13);

    TFont f;
    f.SetName(QStringLiteral("Times New Roman"));
    inherits->SetFont(f);
    EXPECT_FALSE(inherits->ParentFont());
    inherits->SetParentFont(true);
    EXPECT_EQ(inherits->Font()->Name(), QStringLiteral("Arial"));
    EXPECT_EQ(inherits->Font()->Height(), -20);
}

TEST_F(ComponentTest, NewFontIsArialTenInPixels)
{
    TFont f;
    EXPECT_EQ(f.Name(), QStringLiteral("Arial"));
    EXPECT_EQ(f.Height(), -13);
    EXPECT_EQ(f.Size(), 10);
    f.SetSize(8);
    EXPECT_EQ(f.Height(), -11);
    f.SetHeight(-16);
    EXPECT_EQ(f.Size(), 12);
}

TEST_F(ComponentTest, AbsolutePositionsAddUpToADialogPage)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    m->SetLeft(10);
    m->SetTop(20);
    EXPECT_DOUBLE_EQ(m->AbsLeft(), 15);
    EXPECT_DOUBLE_EQ(m->AbsTop(), 120);

    auto *dialog = new TfrxDialogPage(&report);
    dialog->SetLeft(300);
    dialog->SetTop(400);
    auto *control = new TfrxReportTitle(dialog);
    control->SetLeft(7);
    control->SetTop(8);
    EXPECT_DOUBLE_EQ(control->AbsLeft(), 7);
    EXPECT_DOUBLE_EQ(control->AbsTop(), 8);
}

TEST_F(ComponentTest, FindObjectIgnoresCase)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    EXPECT_EQ(report.FindObject(QStringLiteral("mEmO1")), m);
    EXPECT_EQ(report.FindObject(QStringLiteral("Memo2")), nullptr);
    EXPECT_EQ(report.FindObject(QString()), nullptr);
}

TEST_F(ComponentTest, CreateUniqueNameFillsTheFirstGap)
{
    memo(QStringLiteral("Memo1"));
    memo(QStringLiteral("Memo3"));
    auto *m = new TfrxMemoView(band);
    m->CreateUniqueName();
    EXPECT_EQ(m->Name(), QStringLiteral("Memo2"));
    auto *m4 = new TfrxMemoView(band);
    m4->CreateUniqueName();
    EXPECT_EQ(m4->Name(), QStringLiteral("Memo4"));

    auto *p = new TfrxReportPage(&report);
    p->CreateUniqueName();
    EXPECT_EQ(p->Name(), QStringLiteral("Page2"));
    auto *h = new TfrxGroupHeader(page);
    h->CreateUniqueName();
    EXPECT_EQ(h->Name(), QStringLiteral("GroupHeader1"));
}

TEST_F(ComponentTest, CreateUniqueNameWithoutAReportLooksAtTheParentsSubtree)
{
    TfrxReportPage loose;
    auto *b = new TfrxMasterData(&loose);
    auto *m1 = new TfrxMemoView(b);
    m1->SetName(QStringLiteral("Memo1"));
    auto *m = new TfrxMemoView(b);
    m->CreateUniqueName();
    EXPECT_EQ(m->Name(), QStringLiteral("Memo2"));
}

TEST_F(ComponentTest, RenamingRules)
{
    TfrxMemoView *m1 = memo(QStringLiteral("Memo1"));
    memo(QStringLiteral("Memo2"));

    struct Case {
        const char *name;
        const char *message; // nullptr: accepted
    } cases[] = {
        {"memo2", "Duplicate name"},
        {"MEMO2", "Duplicate name"},
        {"1abc", "''1abc'' is not a valid component name"},
        {"a b", "''a b'' is not a valid component name"},
        {"Total_1", nullptr},
        {"_x9", nullptr},
        {"Итог1", nullptr},
        {"9", "''9'' is not a valid component name"},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m1->SetName(QStringLiteral("Memo1"));
        const QString name = QString::fromUtf8(c.name);
        if (!c.message) {
            m1->SetName(name);
            EXPECT_EQ(m1->Name(), name);
            continue;
        }
        try {
            m1->SetName(name);
            ADD_FAILURE() << "accepted";
        } catch (const Error &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
        }
        EXPECT_EQ(m1->Name(), QStringLiteral("Memo1"));
    }
    m1->SetName(QStringLiteral("Memo1"));
    EXPECT_THROW(m1->SetName(QStringLiteral("memo2")), EDuplicateName);

    // Same name in another case: no effect at all.
    m1->SetName(QStringLiteral("MEMO1"));
    EXPECT_EQ(m1->Name(), QStringLiteral("Memo1"));
}

TEST_F(ComponentTest, ObjectsOfTheParentReportCannotBeRenamed)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    m->SetIsAncestor(true);
    try {
        m->SetName(QStringLiteral("Other"));
        ADD_FAILURE();
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), frxResources().Get(QStringLiteral("clCantRen")));
    }
    EXPECT_EQ(m->Name(), QStringLiteral("Memo1"));
}

TEST_F(ComponentTest, ReportNamesFollowTheOwnersComponents)
{
    Component form;
    auto *r1 = new TfrxReport(&form);
    r1->SetName(QStringLiteral("frx1"));
    auto *r2 = new TfrxReport(&form);
    try {
        r2->SetName(QStringLiteral("FRX1"));
        ADD_FAILURE();
    } catch (const EComponentError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("A component named FRX1 already exists"));
    }
    EXPECT_EQ(form.FindComponent(QStringLiteral("FRX1")), r1);
    delete r1; // leaves the owner's list
    EXPECT_EQ(form.FindComponent(QStringLiteral("frx1")), nullptr);
    r2->SetName(QStringLiteral("frx1"));
    EXPECT_EQ(form.FindComponent(QStringLiteral("frx1")), r2);
}

TEST_F(ComponentTest, DestroyingDetachesFromTheParentAndFreesTheChildren)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    TfrxRef<TfrxMemoView> ref(m);
    auto *other = new TfrxMasterData(page);
    other->SetChild(nullptr);
    delete band;
    band = nullptr;
    EXPECT_EQ(ref.get(), nullptr);
    EXPECT_EQ(page->Objects(), QList<TfrxComponent *>{other});
    EXPECT_EQ(report.FindObject(QStringLiteral("Memo1")), nullptr);

    page->Clear();
    EXPECT_TRUE(page->Objects().isEmpty());
    EXPECT_EQ(report.Components().size(), 1); // the page itself
}

TEST_F(ComponentTest, AssignCopiesStoredStateButNotChildren)
{
    TfrxMemoView *m = memo(QStringLiteral("Memo1"));
    band->SetHeight(40);
    band->Font()->SetName(QStringLiteral("Tahoma"));
    band->SetRowCount(3);

    auto *copy = new TfrxMasterData(page);
    copy->SetName(QStringLiteral("MasterData2"));
    auto *old = new TfrxMemoView(copy);
    old->SetName(QStringLiteral("Old"));
    copy->Assign(band);
    EXPECT_DOUBLE_EQ(copy->Height(), 40);
    EXPECT_EQ(copy->Font()->Name(), QStringLiteral("Tahoma"));
    EXPECT_EQ(copy->RowCount(), 3);
    EXPECT_EQ(copy->Name(), QStringLiteral("MasterData2"));
    EXPECT_TRUE(copy->Objects().isEmpty()); // cleared first, nothing copied
    EXPECT_EQ(m->Parent(), band);
}

TEST_F(ComponentTest, AssignAllCopiesTheChildren)
{
    TfrxReport source;
    auto *p = new TfrxReportPage(&source);
    p->SetName(QStringLiteral("Page1"));
    auto *b = new TfrxMasterData(p);
    b->SetName(QStringLiteral("MasterData1"));
    auto *m = new TfrxMemoView(b);
    m->SetName(QStringLiteral("Memo1"));
    m->SetText(QStringLiteral("hello"));

    TfrxReport target;
    auto *tp = new TfrxReportPage(&target);
    tp->AssignAll(p);
    ASSERT_EQ(tp->Objects().size(), 1);
    auto *tb = dynamic_cast<TfrxMasterData *>(tp->Objects()[0]);
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(tb->Name(), QStringLiteral("MasterData1"));
    ASSERT_EQ(tb->Objects().size(), 1);
    auto *tm = dynamic_cast<TfrxMemoView *>(tb->Objects()[0]);
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm->Text(), QStringLiteral("hello\r\n"));
    EXPECT_EQ(tm->Owner(), &target);
    EXPECT_EQ(m->Parent(), b); // source untouched
}

TEST_F(ComponentTest, BaseNames)
{
    EXPECT_EQ(TfrxMemoView().BaseName(), QStringLiteral("Memo"));
    EXPECT_EQ(TfrxReportPage().BaseName(), QStringLiteral("Page"));
    EXPECT_EQ(TfrxDataPage().BaseName(), QStringLiteral("Page"));
    EXPECT_EQ(TfrxMasterData().BaseName(), QStringLiteral("MasterData"));
}

} // namespace
