// Report query objects on a real connection: parameters from expressions, the change rule
// of the SQL, runs closing the query, master/detail and the failures.
#include "base/error.h"
#include "db/database.h"
#include "db/query.h"
#include "report/engine/databaseobjects.h"
#include "report/engine/engine.h"
#include "report/model/objectmodel.h"
#include "report/model/pages.h"
#include "script/interpreter.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw;
using test::TestDb;

namespace {

// The package row the templates read as CUST."id1".
class PackageRow : public TfrxDataSet {
    TW_OBJECT(PackageRow)
    using TfrxDataSet::TfrxDataSet;
    Variant id1 = Variant(1);
    Variant GetValue(const QString &field) override
    {
        return field.compare(QLatin1String("id1"), Qt::CaseInsensitive) == 0 ? id1 : Variant::null();
    }
};

} // namespace

TW_DEFINE_CLASS(PackageRow, &TfrxDataSet::staticClassInfo()) {}

namespace {

QStringList names(const TfrxParams &params)
{
    QStringList out;
    for (int i = 0; i < params.Count(); ++i)
        out << params.Items(i)->Name;
    return out;
}

// Parameter lists need no database.
TEST(QueryParams, MarkersGiveItemsInOrderKeepingSettingsByName)
{
    frxRegisterClasses();
    TfrxADOQuery q;
    q.SetSQL({QStringLiteral("select * from items where bill_id=:bill_id"), QStringLiteral("or parent=:BILL_ID and s=':x'")});
    ASSERT_EQ(names(q.Params()), QStringList({"bill_id", "BILL_ID"}));
    for (int i = 0; i < 2; ++i) {
        q.Params().Items(i)->DataType = db::ftInteger;
        q.Params().Items(i)->Expression = QStringLiteral("<CUST.\"id1\">");
    }

    q.SetIgnoreDupParams(true);
    q.SetSQL(q.SQL());
    ASSERT_EQ(names(q.Params()), QStringList({"bill_id"}));
    EXPECT_EQ(q.Params().Items(0)->DataType, db::ftInteger);
    EXPECT_EQ(q.Params().Items(0)->Expression, "<CUST.\"id1\">");

    // Renaming the marker drops the settings; the name that stays keeps them.
    q.SetSQL({QStringLiteral("select :bill_id, :other")});
    ASSERT_EQ(names(q.Params()), QStringList({"bill_id", "other"}));
    EXPECT_EQ(q.Params().Items(0)->Expression, "<CUST.\"id1\">");
    EXPECT_EQ(q.Params().Items(1)->Expression, "");
    EXPECT_EQ(q.Params().Items(1)->DataType, db::ftUnknown);
    EXPECT_TRUE(q.Params().Items(1)->Value.isNull());

    EXPECT_EQ(q.ParamByName(QStringLiteral("OTHER")), q.Params().Items(1));
    try {
        q.ParamByName(QStringLiteral("nope"));
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), "Parameter \"nope\" not found");
    }
}

TEST(QueryParams, TemplateRoundTripKeepsParametersAndSql)
{
    frxRegisterClasses();
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    data->SetName(QStringLiteral("Data"));
    auto *q = new TfrxADOQuery(data);
    q->SetName(QStringLiteral("Items"));
    q->SetSQL({QStringLiteral("select item from items"), QStringLiteral("where sbill_id=:sbill_id order by item")});
    TfrxParamItem *p = q->ParamByName(QStringLiteral("sbill_id"));
    p->DataType = db::ftInteger;
    p->Expression = QStringLiteral("<Bill.\"sbill_id\">");
    q->SetIgnoreDupParams(true);

    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    report.SaveToStream(&saved);
    EXPECT_TRUE(saved.data().contains("SQL.Text=\"select item from items&#13;&#10;where sbill_id=:sbill_id order by item\""))
        << saved.data().constData();

    TfrxReport loaded;
    QBuffer in(&saved.buffer());
    in.open(QIODevice::ReadOnly);
    loaded.LoadFromStream(&in);
    EXPECT_TRUE(loaded.Errors().isEmpty()) << loaded.Errors().join(QLatin1Char('|')).toStdString();
    auto *lq = dynamic_cast<TfrxADOQuery *>(loaded.FindObject(QStringLiteral("Items")));
    ASSERT_NE(lq, nullptr);
    EXPECT_EQ(lq->SQL(), q->SQL());
    EXPECT_TRUE(lq->IgnoreDupParams());
    EXPECT_TRUE(lq->CloseDataSource);
    ASSERT_EQ(lq->Params().Count(), 1);
    EXPECT_EQ(lq->Params().Items(0)->DataType, db::ftInteger);
    EXPECT_EQ(lq->Params().Items(0)->Expression, "<Bill.\"sbill_id\">");
    EXPECT_TRUE(lq->Params().Items(0)->Value.isNull());

    // Saving what was loaded gives the same document.
    QBuffer again;
    again.open(QIODevice::WriteOnly);
    loaded.SaveToStream(&again);
    EXPECT_EQ(again.data(), saved.data());
}

TEST(QueryParams, MastersInACircleGiveAnErrorLineAndNoLink)
{
    frxRegisterClasses();
    TfrxReport report;
    auto *data = new TfrxDataPage(&report);
    data->SetName(QStringLiteral("Data"));
    auto *a = new TfrxADOQuery(data);
    a->SetName(QStringLiteral("A"));
    auto *b = new TfrxADOQuery(data);
    b->SetName(QStringLiteral("B"));
    a->SetMaster(b);
    EXPECT_THROW(b->SetMaster(a), Error);
    EXPECT_EQ(b->Master(), nullptr);

    // The same circle written in a template: the second link is refused with its message.
    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    report.SaveToStream(&saved);
    QByteArray bytes = saved.data();
    bytes.replace("<TfrxADOQuery Name=\"B\"", "<TfrxADOQuery Name=\"B\" Master=\"A\"");
    TfrxReport loaded;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    loaded.LoadFromStream(&in);
    EXPECT_EQ(loaded.Errors(), QStringList({"Circular master link"}));
    auto *la = dynamic_cast<TfrxADOQuery *>(loaded.FindObject(QStringLiteral("A")));
    auto *lb = dynamic_cast<TfrxADOQuery *>(loaded.FindObject(QStringLiteral("B")));
    ASSERT_TRUE(la && lb);
    EXPECT_EQ(la->Master(), lb);
    EXPECT_EQ(lb->Master(), nullptr);
}

// ---- On a database ----

class QueryObjects : public ::testing::TestWithParam<TestDb> {
protected:
    void SetUp() override
    {
        frxRegisterClasses();
        ASSERT_TRUE(m_dir.isValid());
        test::requireTestDb(GetParam(), m_dir.path(), &m_cs);
        if (m_cs.isEmpty())
            return;
        m_conn.setConnectionString(m_cs);
        ASSERT_NO_THROW(m_conn.open(nullptr));
        db::Command c(&m_conn);
        c.setCommandText(QStringLiteral(
            "create temporary table bills (bill_id integer, num varchar(20));\n"
            "insert into bills values (1, 'A-1');\n"
            "insert into bills values (2, 'B-2');\n"
            "insert into bills values (3, 'C-3');\n"
            "insert into bills values (3, 'C-3b');\n"
            "create temporary table items (sbill_id integer, item varchar(30));\n"
            "insert into items values (1, 'pen');\n"
            "insert into items values (1, 'ink');\n"
            "insert into items values (3, 'box');\n"
            "insert into items values (3, 'lid');\n"
            "insert into items values (3, 'tape');\n"));
        c.execute();
        m_holder.SetDefaultDatabase(&m_conn);

        m_data = new TfrxDataPage(&m_report);
        m_data->SetName(QStringLiteral("Data"));
        m_cust = new PackageRow(&m_report);
        m_cust->SetName(QStringLiteral("CUST"));
        m_report.DataSets().Add(m_cust);
    }

    TfrxADOQuery *query(const QString &name, const QString &sql)
    {
        auto *q = new TfrxADOQuery(m_data);
        q->SetName(name);
        q->SetSQL(sql.split(QLatin1Char('\n')));
        m_report.DataSets().Add(q);
        return q;
    }

    // The rows of one column from the first row on.
    static QStringList column(TfrxDataSet *ds, const QString &field)
    {
        QStringList out;
        for (ds->First(); !ds->Eof(); ds->Next())
            out << ds->GetValue(field).toText();
        return out;
    }

    // What PrepareReport does around every run.
    void startRun()
    {
        m_report.ClearErrors();
        ASSERT_TRUE(m_report.PrepareScript()) << m_report.Errors().join(QLatin1Char('|')).toStdString();
        m_report.DataSets().Initialize();
    }
    void endRun() { m_report.DataSets().Finalize(); }

    QTemporaryDir m_dir;
    QString m_cs;
    db::Connection m_conn;
    TfrxADOComponents m_holder;
    TfrxReport m_report;
    TfrxDataPage *m_data = nullptr;
    PackageRow *m_cust = nullptr;
};

TEST_P(QueryObjects, EachRunTakesItsPackageValue)
{
    TfrxADOQuery *q = query(QStringLiteral("Items"), QStringLiteral("select item from items where sbill_id = :bill_id order by item"));
    TfrxParamItem *p = q->ParamByName(QStringLiteral("bill_id"));
    p->DataType = db::ftInteger;
    p->Expression = QStringLiteral("<CUST.\"id1\">");

    m_cust->id1 = Variant(1);
    startRun();
    EXPECT_EQ(column(q, QStringLiteral("item")), QStringList({"ink", "pen"}));
    EXPECT_EQ(m_report.CurObject, "Items");
    endRun();
    EXPECT_FALSE(q->Active()) << "closed at the end of the run";

    m_cust->id1 = Variant(3);
    startRun();
    EXPECT_FALSE(q->Active()) << "closed at the start of the run";
    EXPECT_EQ(column(q, QStringLiteral("item")), QStringList({"box", "lid", "tape"}));
    EXPECT_EQ(p->Value.toInt(), 3) << "the computed value is kept in the item";
    endRun();
    EXPECT_TRUE(m_report.Errors().isEmpty()) << m_report.Errors().join(QLatin1Char('|')).toStdString();
}

TEST_P(QueryObjects, DuplicateMarkersAndEmptyExpressionSendStoredValue)
{
    TfrxADOQuery *q = query(QStringLiteral("Q"),
                            QStringLiteral("select count(*) as n from items where sbill_id = :id or sbill_id = :id or sbill_id = :extra"));
    ASSERT_EQ(names(q->Params()), QStringList({"id", "id", "extra"}));
    for (int i = 0; i < 2; ++i) {
        q->Params().Items(i)->DataType = db::ftInteger;
        q->Params().Items(i)->Expression = QStringLiteral("<CUST.\"id1\">");
    }
    // Empty expression: the stored value goes (items of bill 1 or 3).
    q->Params().Items(2)->DataType = db::ftInteger;
    q->Params().Items(2)->Value = Variant(3);
    startRun();
    EXPECT_EQ(q->GetValue(QStringLiteral("n")).toInt(), 5);
    endRun();

    // Never set: Null, so the second condition matches nothing.
    q->Params().Items(2)->Value = Variant::null();
    startRun();
    EXPECT_EQ(q->GetValue(QStringLiteral("n")).toInt(), 2);
    endRun();
}

TEST_P(QueryObjects, ScriptCloseAndOpenEvaluatesParametersAgain)
{
    TfrxADOQuery *q = query(QStringLiteral("Items"), QStringLiteral("select count(*) as n from items where sbill_id = :bill_id"));
    q->ParamByName(QStringLiteral("bill_id"))->DataType = db::ftInteger;
    q->ParamByName(QStringLiteral("bill_id"))->Expression = QStringLiteral("<CUST.\"id1\">");
    m_report.ScriptText = QStringLiteral(
        "function Reopen: Integer;\n"
        "begin\n"
        "  Items.Close;\n"
        "  Items.Open;\n"
        "  Result := Items.FieldByName('n').AsInteger;\n"
        "end;\n"
        "begin\n"
        "end.").split(QLatin1Char('\n'));
    m_cust->id1 = Variant(1);
    startRun();
    EXPECT_EQ(q->GetValue(QStringLiteral("n")).toInt(), 2);
    m_cust->id1 = Variant(3);
    EXPECT_EQ(m_report.Script()->CallFunction(QStringLiteral("Reopen"), Variant::arrayOf({})).toInt(), 3);
    EXPECT_EQ(q->GetValue(QStringLiteral("n")).toInt(), 3);
    endRun();
    EXPECT_TRUE(m_report.Errors().isEmpty()) << m_report.Errors().join(QLatin1Char('|')).toStdString();
}

TEST_P(QueryObjects, ScriptChangesTheSqlAndReadsParameters)
{
    TfrxADOQuery *q = query(QStringLiteral("Q"), QStringLiteral("select 1 as n"));
    m_report.ScriptText = QStringLiteral(
        "function Change: String;\n"
        "begin\n"
        "  Q.SQL.Text := 'select num from bills where bill_id = :b';\n"
        "  Q.ParamByName('b').Value := 2;\n"
        "  Q.Open;\n"
        "  Result := Q.FieldByName('num').AsString + '/' + IntToStr(Q.Params.Count);\n"
        "end;\n"
        "begin\n"
        "end.").split(QLatin1Char('\n'));
    startRun();
    EXPECT_EQ(m_report.Script()->CallFunction(QStringLiteral("Change"), Variant::arrayOf({})).toText(), "B-2/1");
    EXPECT_EQ(names(q->Params()), QStringList({"b"}));
    endRun();
}

TEST_P(QueryObjects, DetailFollowsTheMasterRowAndIsNotRerunForTheSameValue)
{
    // Bills 3 and 3b share their key, so moving between them changes no linked value.
    TfrxADOQuery *bill = query(QStringLiteral("Bill"),
                               QStringLiteral("select bill_id as sbill_id, num from bills order by bill_id, num"));
    TfrxADOQuery *items = query(QStringLiteral("Items"),
                                QStringLiteral("select item from items where sbill_id = :sbill_id order by item"));
    TfrxParamItem *p = items->ParamByName(QStringLiteral("sbill_id"));
    p->DataType = db::ftInteger;
    p->Expression = QStringLiteral("<Bill.\"sbill_id\">");
    items->SetMaster(bill);
    EXPECT_EQ(items->Master(), bill);
    const auto fetch = [&] { return items->Query().bookmark().fetch; };

    startRun();
    const QList<QStringList> expected = {{"ink", "pen"}, {}, {"box", "lid", "tape"}, {"box", "lid", "tape"}};
    QList<quint64> fetches;
    int row = 0;
    for (bill->First(); !bill->Eof(); bill->Next(), ++row) {
        ASSERT_LT(row, expected.size());
        EXPECT_EQ(column(items, QStringLiteral("item")), expected[row]) << "bill row " << row;
        fetches << (items->Query().isActive() ? fetch() : 0);
    }
    EXPECT_EQ(row, 4);
    EXPECT_EQ(items->Query().masterLinks(), "sbill_id");
    EXPECT_NE(fetches[1], fetches[0]);
    EXPECT_NE(fetches[2], fetches[1]);
    EXPECT_EQ(fetches[3], fetches[2]) << "same linked value: the detail was not run again";
    endRun();
    EXPECT_TRUE(m_report.Errors().isEmpty()) << m_report.Errors().join(QLatin1Char('|')).toStdString();
}

TEST_P(QueryObjects, QueryWithoutConnectionNamesItself)
{
    m_holder.SetDefaultDatabase(nullptr);
    TfrxADOQuery *q = query(QStringLiteral("Lonely"), QStringLiteral("select 1 as n"));
    startRun();
    try {
        q->First();
        FAIL() << "opened without a connection";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), "Lonely: the query has no database connection");
    }
    endRun();
}

TEST_P(QueryObjects, ServerErrorPassesThroughUnchanged)
{
    db::Query direct(&m_conn);
    direct.setSql(QStringLiteral("select nothing_here from bills"));
    QString serverText;
    try {
        direct.open();
    } catch (const Error &e) {
        serverText = e.message();
    }
    ASSERT_FALSE(serverText.isEmpty());

    TfrxADOQuery *q = query(QStringLiteral("Broken"), QStringLiteral("select nothing_here from bills"));
    startRun();
    try {
        q->First();
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), serverText);
    }
    endRun();
}

TEST_P(QueryObjects, ParameterExpressionErrorNamesTheQuery)
{
    TfrxADOQuery *q = query(QStringLiteral("Items"), QStringLiteral("select item from items where sbill_id = :b"));
    q->ParamByName(QStringLiteral("b"))->Expression = QStringLiteral("1 div 0");
    startRun();
    EXPECT_THROW(q->First(), Error);
    ASSERT_EQ(m_report.Errors().size(), 1);
    EXPECT_TRUE(m_report.Errors().first().startsWith(QStringLiteral("Items: "))) << m_report.Errors().first().toStdString();
    endRun();
}

TEST_P(QueryObjects, TemplateDatabaseOpensItsOwnConnection)
{
    auto *database = new TfrxADODatabase(m_data);
    database->SetName(QStringLiteral("Db"));
    database->DatabaseName = m_cs;
    TfrxADOQuery *q = query(QStringLiteral("Q"), QStringLiteral("select 42 as v"));
    q->SetDatabase(database);
    m_holder.SetDefaultDatabase(nullptr);
    startRun();
    EXPECT_EQ(q->GetValue(QStringLiteral("v")).toInt(), 42);
    EXPECT_TRUE(database->Connected());
    EXPECT_NE(q->Query().connection(), &m_conn);
    endRun();

    // A string naming no known provider fails with the connection layer's text.
    database->SetConnected(false);
    database->DatabaseName = QStringLiteral("Provider=Nothing.1;Data Source=x");
    startRun();
    try {
        q->First();
        FAIL() << "opened with a bad string";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), "Provider cannot be found: Nothing.1");
    }
    endRun();
}

const TestDb kDbs[] = {TestDb::Sqlite, TestDb::PostgresOdbc};

INSTANTIATE_TEST_SUITE_P(All, QueryObjects, ::testing::ValuesIn(kDbs), test::testDbParamName);

TEST(QueryHolders, NewestHolderIsCurrentUntilDestroyed)
{
    auto *outer = TfrxADOComponents::Current();
    {
        TfrxADOComponents a;
        EXPECT_EQ(TfrxADOComponents::Current(), &a);
        {
            TfrxADOComponents b;
            EXPECT_EQ(TfrxADOComponents::Current(), &b);
        }
        EXPECT_EQ(TfrxADOComponents::Current(), &a);
        // A destroyed connection is forgotten.
        auto c = std::make_unique<db::Connection>();
        a.SetDefaultDatabase(c.get());
        c.reset();
        EXPECT_EQ(a.DefaultDatabase(), nullptr);
    }
    EXPECT_EQ(TfrxADOComponents::Current(), outer);
}

} // namespace
