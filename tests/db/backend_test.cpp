// The same cases against every backend the program reaches: SQLite directly, SQLite
// through ODBC, and PostgreSQL through ODBC (a server started by scripts/test-services.sh).
#include "base/datetime.h"
#include "base/error.h"
#include "base/formatsettings.h"
#include "db/database.h"
#include "db/dbtest.h"
#include "db/query.h"
#include "support/testsupport.h"

#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace tw;
using namespace tw::db;

namespace {

using test::odbcDriverRegistered;
using test::TestDb;
using test::underCi;

struct Backend {
    const char *name;
    TestDb kind;
};

std::string backendName(const ::testing::TestParamInfo<Backend> &info)
{
    return info.param.name;
}

class FakePrompt : public LoginPrompt {
public:
    bool answer = true;
    QString user;       // what the operator types; empty keeps the proposed one
    QString password;
    int calls = 0;
    QString proposed;
    bool ask(QString &userName, QString &pw) override
    {
        ++calls;
        proposed = userName;
        if (!user.isEmpty())
            userName = user;
        pw = password;
        return answer;
    }
};

class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        m_saved = FormatSettings::current(); // TearDown restores it, also after a skip
        ASSERT_TRUE(m_dir.isValid());
        test::requireTestDb(GetParam().kind, m_dir.path(), &m_string);
        if (m_string.isEmpty())
            return;
        m_conn.setConnectionString(m_string);
        ASSERT_NO_THROW(m_conn.open(nullptr));
    }

    void TearDown() override { FormatSettings::setCurrent(m_saved); }

    bool isPostgres() const { return GetParam().kind == TestDb::PostgresOdbc; }

    void run(const QString &script)
    {
        Command c(&m_conn);
        c.setCommandText(script);
        c.execute();
    }

    // Temporary tables die with the connection, so the cases never meet.
    void makeTable()
    {
        run(QStringLiteral(
            "create temporary table people (id integer, name varchar(20), score float, big bigint);\n"
            "insert into people values (1, 'Иванов', 1.5, 5000000000);\n"
            "insert into people values (2, 'it''s; ok', null, null);\n"
            "insert into people values (3, null, 3.25, 7);\n"));
    }

    QTemporaryDir m_dir;
    QString m_string;
    Connection m_conn;
    FormatSettings m_saved;
};

TEST_P(BackendTest, ParametersBindByPositionAndSkipLiterals)
{
    Query q(&m_conn);
    q.setSql(QStringLiteral("select :b as first, ':x' as lit, :a as second, :b as again"));
    ASSERT_EQ(q.params().count(), 3);
    EXPECT_EQ(q.params()[0].name, "b");
    // The package query's way: a list built afresh, filled by position whatever the names.
    q.params().clear();
    q.params().add(QStringLiteral("dt1"), ftString, Variant(QStringLiteral("2014-1-1")));
    q.params().add(QStringLiteral("dt2"), ftString, Variant(QStringLiteral("2014-1-31")));
    q.params().add(QStringLiteral("dt3"), ftString, Variant(QStringLiteral("third")));
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName(QStringLiteral("first")).asString(), "2014-1-1");
    EXPECT_EQ(q.fieldByName(QStringLiteral("lit")).asString(), ":x");
    EXPECT_EQ(q.fieldByName(QStringLiteral("second")).asString(), "2014-1-31");
    EXPECT_EQ(q.fieldByName(QStringLiteral("again")).asString(), "third");
}

TEST_P(BackendTest, MissingParameterValueIsAnError)
{
    Query q(&m_conn);
    q.setSql(QStringLiteral("select :a as x, :b as y"));
    q.params().clear();
    q.params().add(QStringLiteral("a"), ftString, Variant(QStringLiteral("1")));
    try {
        q.open();
        FAIL() << "opened with a marker left unbound";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("'b'"))) << e.message().toStdString();
    }
    EXPECT_FALSE(q.isActive());
}

TEST_P(BackendTest, TypedParametersAndNull)
{
    Query q(&m_conn);
    q.setSql(QStringLiteral("select coalesce(:s, 'none') as s, :i + 1 as i"));
    q.params()[0].dataType = ftString;         // value never set: SQL NULL
    q.params()[1].dataType = ftInteger;
    q.params()[1].value = Variant(QStringLiteral("41")); // converted to the declared type
    q.open();
    EXPECT_EQ(q.field(0).asString(), "none");
    EXPECT_EQ(q.field(1).asVariant().kind(), Variant::Kind::Int32);
    EXPECT_EQ(q.field(1).asVariant().toInt(), 42);
}

TEST_P(BackendTest, TemporaryTableFromCommandIsReadByLaterQuery)
{
    makeTable();
    Query q(&m_conn);
    q.setSql(QStringLiteral("select id, name, score from people order by id"));
    q.open();
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(q.fieldCount(), 3);
    EXPECT_EQ(q.fieldNames(), (QStringList{"id", "name", "score"}));
    EXPECT_EQ(q.field(1).asString(), "Иванов");
    q.next();
    EXPECT_EQ(q.field(1).asString(), "it's; ok");
}

TEST_P(BackendTest, FieldValuesAndNull)
{
    makeTable();
    FormatSettings::setCurrent(FormatSettings::russian());
    Query q(&m_conn);
    q.setSql(QStringLiteral("select id, name, score, big from people order by id"));
    q.open();
    Field &id = q.fieldByName(QStringLiteral("ID")); // names without regard to case
    Field &name = q.field(1);
    Field &score = q.fieldByName(QStringLiteral("Score"));
    EXPECT_EQ(id.fieldName(), "id");
    EXPECT_TRUE(isIntegerType(id.dataType())) << fieldTypeName(id.dataType()).toStdString();
    EXPECT_TRUE(isFloatType(score.dataType())) << fieldTypeName(score.dataType()).toStdString();
    EXPECT_TRUE(isStringType(name.dataType())) << fieldTypeName(name.dataType()).toStdString();
    EXPECT_EQ(id.asVariant().kind(), Variant::Kind::Int32);
    const Variant big = q.fieldByName(QStringLiteral("big")).asVariant();
    EXPECT_EQ(big.kind(), Variant::Kind::Int64);
    EXPECT_EQ(big.toInt64(), 5000000000LL);
    EXPECT_EQ(score.asVariant().kind(), Variant::Kind::Double);
    EXPECT_EQ(score.asString(), "1,5"); // the locale's decimal separator

    q.next();
    EXPECT_TRUE(score.isNull());
    EXPECT_TRUE(score.asVariant().isNull());
    EXPECT_EQ(score.asString(), "");
    q.next();
    EXPECT_TRUE(name.isNull());
    EXPECT_TRUE(name.asVariant().isNull());
    EXPECT_EQ(name.asString(), "");
    EXPECT_EQ(score.asString(), "3,25");
    EXPECT_EQ(q.findField(QStringLiteral("nope")), nullptr);
    EXPECT_THROW(q.fieldByName(QStringLiteral("nope")), Error);
}

TEST_P(BackendTest, CursorMovesAndBookmarks)
{
    makeTable();
    Query q(&m_conn);
    q.setSql(QStringLiteral("select id from people order by id"));
    q.open();
    EXPECT_TRUE(q.bof());
    EXPECT_FALSE(q.eof());
    EXPECT_EQ(q.recNo(), 1);

    QList<int> seen;
    for (q.first(); !q.eof(); q.next())
        seen << q.field(0).asVariant().toInt();
    EXPECT_EQ(seen, (QList<int>{1, 2, 3}));
    EXPECT_EQ(q.recNo(), 3); // Next past the end stays on the last row

    q.prior();
    const Bookmark middle = q.bookmark();
    EXPECT_EQ(q.field(0).asVariant().toInt(), 2);
    q.prior();
    q.prior();
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(q.recNo(), 1);
    q.last();
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.field(0).asVariant().toInt(), 3);
    EXPECT_LT(q.compareBookmarks(middle, q.bookmark()), 0);

    q.gotoBookmark(middle);
    EXPECT_EQ(q.field(0).asVariant().toInt(), 2);
    EXPECT_FALSE(q.eof());
    EXPECT_FALSE(q.bof());

    // A bookmark belongs to one fetch of the result.
    q.close();
    q.open();
    EXPECT_FALSE(q.bookmarkValid(middle));
    EXPECT_THROW(q.gotoBookmark(middle), Error);
}

TEST_P(BackendTest, EmptyResultAndClosedQuery)
{
    makeTable();
    Query q(&m_conn);
    q.setSql(QStringLiteral("select id, name from people where id < 0"));
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
    EXPECT_TRUE(q.eof());
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(q.recNo(), 0);
    EXPECT_EQ(q.fieldCount(), 2);
    EXPECT_TRUE(q.field(0).isNull());
    q.close();
    EXPECT_THROW(q.field(0).asVariant(), Error);
    EXPECT_THROW(q.next(), Error);
}

TEST_P(BackendTest, ServerErrorTextIsPassedThrough)
{
    Query q(&m_conn);
    q.setSql(QStringLiteral("select * from no_such_table"));
    try {
        q.open();
        FAIL() << "no error";
    } catch (const Error &e) {
        const QString msg = e.message();
        EXPECT_TRUE(msg.contains(QLatin1String("no_such_table"))) << msg.toStdString();
        EXPECT_FALSE(msg.startsWith(QLatin1Char('['))) << msg.toStdString();
    }
    EXPECT_FALSE(q.isActive());

    Command c(&m_conn);
    c.setCommandText(QStringLiteral("create temporary table t1 (a integer);\ninsert into missing_table values (1)"));
    try {
        c.execute();
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("missing_table"))) << e.message().toStdString();
    }
}

TEST_P(BackendTest, MasterMoveReexecutesDetailWithLinkedParameter)
{
    makeTable();
    Query master(&m_conn);
    master.setSql(QStringLiteral("select id from people order by id"));
    Query detail(&m_conn);
    detail.setSql(QStringLiteral("select name, :tag as tag from people where id = :id"));
    detail.params().byName(QStringLiteral("tag")).value = Variant(QStringLiteral("t"));
    detail.params().byName(QStringLiteral("ID")).dataType = ftInteger;
    detail.setMaster(&master);
    master.open();
    int opens = 0;
    detail.setBeforeOpen([&](Query &) { ++opens; });
    detail.open();
    EXPECT_EQ(detail.masterLinks(), "id");
    EXPECT_EQ(detail.field(0).asString(), "Иванов");
    Field *name = &detail.field(0);

    master.next();
    EXPECT_EQ(detail.field(0).asString(), "it's; ok");
    EXPECT_EQ(detail.field(1).asString(), "t"); // the unlinked parameter keeps its value
    EXPECT_EQ(&detail.field(0), name);          // same columns: same field objects
    EXPECT_EQ(opens, 1);                        // re-executed, not re-opened

    master.close(); // leaves the detail as it was
    EXPECT_TRUE(detail.isActive());
    EXPECT_EQ(detail.field(0).asString(), "it's; ok");
}

// A text with parameters is prepared once per connection and runs again with new values;
// two queries of one text each get their own rows, and a reopened connection prepares anew.
TEST_P(BackendTest, RepeatedTextsRunAgainWithTheirOwnValues)
{
    makeTable();
    const QString text = QStringLiteral("select name, :tag as tag from people where id = :id");
    Query a(&m_conn), b(&m_conn);
    for (Query *q : {&a, &b}) {
        q->setSql(text);
        q->params().byName(QStringLiteral("id")).dataType = ftInteger;
    }
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        a.params().byName(QStringLiteral("id")).value = Variant(1 + round % 2);
        a.params().byName(QStringLiteral("tag")).value = Variant(QStringLiteral("a%1").arg(round));
        b.params().byName(QStringLiteral("id")).value = Variant(2 - round % 2);
        b.params().byName(QStringLiteral("tag")).value = Variant(QStringLiteral("b%1").arg(round));
        a.open();
        b.open();
        EXPECT_EQ(a.field(0).asString(), round % 2 ? "it's; ok" : "Иванов");
        EXPECT_EQ(a.field(1).asString(), QStringLiteral("a%1").arg(round));
        EXPECT_EQ(b.field(0).asString(), round % 2 ? "Иванов" : "it's; ok");
        EXPECT_EQ(b.field(1).asString(), QStringLiteral("b%1").arg(round));
        a.close();
        b.close();
    }

    Query c(&m_conn);
    c.setSql(QStringLiteral("select :v as v"));
    c.params()[0].value = Variant(QStringLiteral("before"));
    c.open();
    EXPECT_EQ(c.field(0).asString(), "before");
    c.close();
    m_conn.close();
    m_conn.open(nullptr);
    c.params()[0].value = Variant(QStringLiteral("after"));
    c.open();
    EXPECT_EQ(c.field(0).asString(), "after");
}

// A kept statement whose run fails is not kept: once the table is back, the text is
// prepared anew and runs.
TEST_P(BackendTest, AFailedRunDropsTheKeptStatement)
{
    makeTable();
    Query q(&m_conn);
    q.setSql(QStringLiteral("select name from people where id = :id"));
    q.params()[0].dataType = ftInteger;
    q.params()[0].value = Variant(1);
    q.open();
    EXPECT_EQ(q.field(0).asString(), "Иванов");
    q.close();

    run(QStringLiteral("drop table people"));
    EXPECT_THROW(q.open(), Error);
    EXPECT_FALSE(q.isActive());

    run(QStringLiteral("create temporary table people (id integer, name varchar(20));\n"
                       "insert into people values (1, 'back');"));
    q.open();
    EXPECT_EQ(q.field(0).asString(), "back");
}

TEST_P(BackendTest, BlobContent)
{
    if (isPostgres())
        run(QStringLiteral("create temporary table bin (b bytea);\n"
                           "insert into bin values (decode('00ff41', 'hex'))"));
    else
        run(QStringLiteral("create temporary table bin (b blob);\ninsert into bin values (x'00ff41')"));
    Query q(&m_conn);
    q.setSql(QStringLiteral("select b from bin"));
    q.open();
    // The ODBC drivers report these columns as bounded binary, so only the content is the
    // same there.
    if (GetParam().kind == TestDb::Sqlite) {
        EXPECT_TRUE(q.field(0).isBlob()) << fieldTypeName(q.field(0).dataType()).toStdString();
    }
    EXPECT_EQ(q.field(0).asBytes(), QByteArray("\x00\xff\x41", 3));
}

TEST_P(BackendTest, DatesAreDaysSince1899)
{
    if (GetParam().kind == TestDb::Sqlite)
        GTEST_SKIP() << "the embedded engine has no date type: dates stay text";
    FormatSettings::setCurrent(FormatSettings::russian());
    run(QStringLiteral("create temporary table days (d date, ts timestamp);\n"
                       "insert into days values ('2014-03-01', '2014-03-01 10:30:00')"));
    Query q(&m_conn);
    q.setSql(QStringLiteral("select d, ts from days"));
    q.open();
    EXPECT_EQ(q.field(0).dataType(), ftDate);
    EXPECT_DOUBLE_EQ(q.field(0).asVariant().toDouble(), encodeDate(2014, 3, 1));
    EXPECT_EQ(q.field(0).asString(), "01.03.2014");
    EXPECT_TRUE(isDateTimeType(q.field(1).dataType()));
    EXPECT_DOUBLE_EQ(q.field(1).asVariant().toDouble(),
                     encodeDate(2014, 3, 1) + encodeTime(10, 30, 0, 0));
    EXPECT_EQ(q.field(1).asString(), "01.03.2014 10:30:00");
}

const Backend kBackends[] = {
    {"Sqlite", TestDb::Sqlite},
    {"SqliteOdbc", TestDb::SqliteOdbc},
    {"PostgresOdbc", TestDb::PostgresOdbc},
};

INSTANTIATE_TEST_SUITE_P(All, BackendTest, ::testing::ValuesIn(kBackends), backendName);

// ---- Login through the prompt, on the server that checks passwords ----

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pg = QString::fromUtf8(qgetenv("TARNWELL_TEST_PG"));
        if (m_pg.isEmpty()) {
            if (underCi())
                FAIL() << "TARNWELL_TEST_PG is not set";
            GTEST_SKIP() << "TARNWELL_TEST_PG is not set; login cases skipped";
        }
        // The password is what the operator types; the string only proposes the user.
        QString rest;
        for (const QString &part : m_pg.split(QLatin1Char(';'))) {
            if (part.startsWith(QLatin1String("PWD="), Qt::CaseInsensitive))
                m_password = part.mid(4);
            else if (part.startsWith(QLatin1String("UID="), Qt::CaseInsensitive))
                m_user = part.mid(4);
            else
                rest += part + QLatin1Char(';');
        }
        m_string = QStringLiteral("Provider=ODBC;User ID=") + m_user + QLatin1Char(';') + rest;
    }

    QString m_pg, m_user, m_password, m_string;
};

TEST_F(LoginTest, PromptIsPrefilledAndEffectiveStringHasTheLoginUsed)
{
    Connection c;
    FakePrompt prompt;
    prompt.password = m_password;
    c.setConnectionString(m_string);
    c.open(&prompt);
    EXPECT_EQ(prompt.calls, 1);
    EXPECT_EQ(prompt.proposed, m_user);
    EXPECT_TRUE(c.connectionString().contains(QStringLiteral("User ID=") + m_user + QLatin1Char(';')))
        << c.connectionString().toStdString();
    EXPECT_FALSE(c.connectionString().contains(m_password));
}

TEST_F(LoginTest, ChangedLoginIsTheOneUsed)
{
    // A second role, so the login typed differs from the proposed one.
    {
        Connection admin;
        admin.setConnectionString(QStringLiteral("Provider=ODBC;") + m_pg);
        admin.open(nullptr);
        Command c(&admin);
        c.setCommandText(QStringLiteral(
            "do $$ begin if not exists (select 1 from pg_roles where rolname = 'operator2') then "
            "create role operator2 login password 'op2-pass'; end if; end $$"));
        c.execute();
    }
    Connection c;
    FakePrompt prompt;
    prompt.user = QStringLiteral("operator2");
    prompt.password = QStringLiteral("op2-pass");
    c.setConnectionString(m_string);
    c.open(&prompt);
    Query q(&c);
    q.setSql(QStringLiteral("select current_user as u"));
    q.open();
    EXPECT_EQ(q.field(0).asString(), "operator2");
    EXPECT_TRUE(c.connectionString().contains(QLatin1String("User ID=operator2;")));
}

TEST_F(LoginTest, CancelAndWrongPasswordFail)
{
    Connection c;
    FakePrompt cancel;
    cancel.answer = false;
    c.setConnectionString(m_string);
    EXPECT_THROW(c.open(&cancel), Error);
    EXPECT_FALSE(c.isOpen());

    FakePrompt wrong;
    wrong.password = QStringLiteral("not;the=password}");
    try {
        c.open(&wrong);
        FAIL() << "opened with a wrong password";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("password authentication failed")))
            << e.message().toStdString();
    }
    EXPECT_FALSE(c.isOpen());

    // The connection can still be opened afterwards.
    FakePrompt right;
    right.password = m_password;
    c.open(&right);
    EXPECT_TRUE(c.isOpen());
}

TEST(ConnectionTest, SqliteOpensWithoutLogin)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("x.db"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString s = QStringLiteral("Provider=SQLite;Data Source=") + file;
    Connection c;
    FakePrompt prompt;
    c.setConnectionString(s);
    c.open(&prompt);
    EXPECT_TRUE(c.isOpen());
    EXPECT_EQ(prompt.calls, 0);
    EXPECT_EQ(c.connectionString(), s);
    EXPECT_THROW(c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=y")), Error);
    c.close();
    EXPECT_FALSE(c.isOpen());
    c.open(nullptr); // a closed connection opens again under the same name
    EXPECT_TRUE(c.isOpen());
}

TEST(ConnectionTest, ServerStringReachesTheTdsDriverAndReportsItsText)
{
    if (!odbcDriverRegistered(QStringLiteral("FreeTDS"))) {
        if (underCi())
            FAIL() << "FreeTDS ODBC driver not registered in /etc/odbcinst.ini";
        GTEST_SKIP() << "FreeTDS ODBC driver not registered (install tdsodbc)";
    }
    Connection c;
    // Port 1 on loopback: nothing listens, so the driver itself must answer.
    c.setConnectionString(QStringLiteral(
        "Provider=SQLOLEDB.1;Persist Security Info=True;User ID=sa;Initial Catalog=billing;"
        "Data Source=127.0.0.1,1;Application Name=Tarnwell"));
    try {
        c.open(nullptr);
        FAIL() << "opened a server that does not exist";
    } catch (const Error &e) {
        const QString msg = e.message();
        EXPECT_TRUE(msg.contains(QLatin1String("connect"), Qt::CaseInsensitive)) << msg.toStdString();
        EXPECT_FALSE(msg.contains(QLatin1Char('['))) << msg.toStdString();
    }
    EXPECT_FALSE(c.isOpen());
}

TEST(ConnectionTest, UnknownConfiguredDriverIsNamedInTheError)
{
    struct Reset {
        ~Reset() { Connection::setOdbcDriver(QString()); }
    } reset;
    Connection::setOdbcDriver(QStringLiteral("No Such Driver 42"));
    Connection c;
    c.setConnectionString(QStringLiteral(
        "Provider=MSDAORA.1;User ID=scott;Data Source=ORCL;Persist Security Info=False"));
    FakePrompt prompt;
    prompt.password = QStringLiteral("tiger");
    try {
        c.open(&prompt);
        ADD_FAILURE() << "opened through a driver that does not exist";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("No Such Driver 42"))) << e.message().toStdString();
    }
    EXPECT_EQ(prompt.proposed, "scott");
    EXPECT_FALSE(c.isOpen());
}

TEST(ConnectionTest, MissingSqliteFileIsAnErrorNotANewDatabase)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("absent.db"));
    Connection c;
    c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
    EXPECT_THROW(c.open(nullptr), Error);
    EXPECT_FALSE(QFile::exists(file));
}

TEST(QueryParamsTest, NewTextRebuildsTheListKeepingSettingsOfNamesThatStay)
{
    Query q;
    q.setSql(QStringLiteral("select * from t where a = :bill_id or b = :bill_id or c = :x"));
    ASSERT_EQ(q.params().count(), 3);
    q.params()[0].dataType = ftInteger;
    q.params()[0].value = Variant(7);
    q.params().byName(QStringLiteral("X")).value = Variant(QStringLiteral("old"));

    q.setSql(QStringLiteral("select * from t where a = :BILL_ID and d = :y"));
    ASSERT_EQ(q.params().count(), 2);
    EXPECT_EQ(q.params()[0].name, "BILL_ID");
    EXPECT_EQ(q.params()[0].dataType, ftInteger);
    EXPECT_EQ(q.params()[0].value.toInt(), 7);
    EXPECT_EQ(q.params()[1].dataType, ftUnknown);
    EXPECT_TRUE(q.params()[1].value.isEmpty());
    EXPECT_EQ(q.params().find(QStringLiteral("x")), nullptr);
    try {
        q.params().byName(QStringLiteral("x"));
        ADD_FAILURE() << "found a dropped parameter";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), "Parameter 'x' not found");
    }
}

TEST(ConnectionTest, QueryForgetsADestroyedConnection)
{
    Query q;
    {
        Connection c;
        q.setConnection(&c);
        EXPECT_EQ(q.connection(), &c);
    }
    EXPECT_EQ(q.connection(), nullptr);
    q.setSql(QStringLiteral("select 1"));
    EXPECT_THROW(q.open(), Error);
}

} // namespace

// The measuring hook sees each statement that ran, as written and with the values sent,
// and nothing of one that failed.
TEST_P(BackendTest, StatementObserverSeesWhatRan)
{
    struct Seen {
        QString sql;
        QString first;
    };
    std::vector<Seen> seen;
    setStatementObserver([&seen](const QString &sql, const Params &params, qint64 ns) {
        EXPECT_GE(ns, 0);
        seen.push_back({sql, params.isEmpty() ? QString() : params[0].value.toText()});
    });
    struct Uninstall {
        ~Uninstall() { setStatementObserver({}); }
    } uninstall;

    Query q(&m_conn);
    q.setSql(QStringLiteral("select :a as x"));
    q.params()[0].value = Variant(QStringLiteral("one"));
    q.open();
    q.params()[0].value = Variant(QStringLiteral("two"));
    q.requery();
    Query bad(&m_conn);
    bad.setSql(QStringLiteral("select * from no_such_table_here"));
    EXPECT_THROW(bad.open(), Error);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].sql, "select :a as x");
    EXPECT_EQ(seen[0].first, "one");
    EXPECT_EQ(seen[1].first, "two");
}
