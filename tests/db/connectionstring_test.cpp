#include "db/connectionstring.h"
#include "db/dbtest.h"

#include "base/error.h"
#include "db/database.h"

#include <gtest/gtest.h>

using namespace tw::db;

namespace {

struct Translation {
    const char *input;
    const char *driver; // configured ODBC driver, "" for the default
    const char *user;
    const char *password;
    const char *odbc;
};

class TranslationTest : public ::testing::TestWithParam<Translation> {};

TEST_P(TranslationTest, BuildsTheOdbcString)
{
    const Translation &c = GetParam();
    const ConnectionTarget t =
        resolveConnectionString(QString::fromUtf8(c.input), QString::fromUtf8(c.driver));
    EXPECT_EQ(t.qtDriver, "QODBC");
    EXPECT_EQ(buildOdbcString(t, QString::fromUtf8(c.user), QString::fromUtf8(c.password)),
              QString::fromUtf8(c.odbc));
}

INSTANTIATE_TEST_SUITE_P(
    Providers, TranslationTest,
    ::testing::Values(
        Translation{"Provider=SQLOLEDB.1;Persist Security Info=True;User ID=ivanov;"
                    "Initial Catalog=billing;Data Source=srv01;Application Name=Tarnwell",
                    "", "ivanov", "secret",
                    "DRIVER={FreeTDS};SERVER=srv01;DATABASE=billing;TDS_Version=7.4;"
                    "ClientCharset=UTF-8;APP=Tarnwell;UID=ivanov;PWD=secret"},
        Translation{"Provider=SQLOLEDB.1;User ID=;Initial Catalog=b;Data Source=db.local,1444",
                    "MSSQL18", "sa", "",
                    "DRIVER={MSSQL18};SERVER=db.local;PORT=1444;DATABASE=b;TDS_Version=7.4;"
                    "ClientCharset=UTF-8;UID=sa"},
        Translation{"Provider=SQLOLEDB.1;Initial Catalog=b;Data Source=(local)\\SQLEXPRESS", "",
                    "u", "p",
                    "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;DATABASE=b;TDS_Version=7.4;"
                    "ClientCharset=UTF-8;UID=u;PWD=p"},
        // a password must not be able to add attributes
        Translation{"Provider=MSDAORA.1;User ID=scott;Data Source=ORCL;Persist Security Info=False",
                    "", "scott", "ti;ger}=x",
                    "DRIVER={Oracle};DBQ=ORCL;UID=scott;PWD={ti;ger}}=x}"},
        Translation{"Provider=MSDAORA.1;User ID=scott;Data Source=ORCL", "Oracle 21 ODBC driver",
                    "scott", "t", "DRIVER={Oracle 21 ODBC driver};DBQ=ORCL;UID=scott;PWD=t"},
        Translation{"Provider=ODBC;DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=5;UID=a;PWD=b",
                    "", "c", "d",
                    "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=5;UID=c;PWD=d"}));

TEST(ConnectionStringTest, ProposedLoginComesFromTheString)
{
    const ConnectionTarget mssql = resolveConnectionString(QStringLiteral(
        "Provider=SQLOLEDB.1;Persist Security Info=True;User ID=petrov;Initial Catalog=x;Data Source=y"));
    EXPECT_EQ(mssql.kind, ConnectionTarget::SqlServer);
    EXPECT_EQ(mssql.userId, "petrov");
    EXPECT_TRUE(mssql.asksLogin);

    const ConnectionTarget odbc =
        resolveConnectionString(QStringLiteral("Provider=ODBC;DRIVER={X};UID=sidorov;PWD=pw"));
    EXPECT_EQ(odbc.userId, "sidorov");
    EXPECT_EQ(odbc.password, "pw");

    const ConnectionTarget sqlite =
        resolveConnectionString(QStringLiteral("Provider=SQLite;Data Source=/data/x.db"));
    EXPECT_EQ(sqlite.qtDriver, "QSQLITE");
    EXPECT_EQ(sqlite.file, "/data/x.db");
    EXPECT_FALSE(sqlite.asksLogin);
}

TEST(ConnectionStringTest, QuotedProviderValuesMayHoldSemicolons)
{
    const auto parts = parseConnectionString(
        QStringLiteral("Provider=SQLite; Data Source = \"C:\\a;b\"\"c.db\" ;;Extra='x'"));
    QString v;
    ASSERT_TRUE(findPart(parts, QStringLiteral("data source"), &v));
    EXPECT_EQ(v, "C:\\a;b\"c.db");
    ASSERT_TRUE(findPart(parts, QStringLiteral("EXTRA"), &v));
    EXPECT_EQ(v, "x");
}

TEST(ConnectionStringTest, BadStringsFailWithAMessage)
{
    for (const char *s : {"", "Data Source=x", "Provider=Jet.4.0;Data Source=x",
                          "Provider=SQLite", "Provider=ODBC;SERVER=x"}) {
        try {
            resolveConnectionString(QString::fromUtf8(s));
            ADD_FAILURE() << "accepted: " << s;
        } catch (const tw::Error &e) {
            EXPECT_FALSE(e.message().isEmpty()) << s;
        }
    }
}

struct Effective {
    const char *original;
    const char *login;
    const char *effective;
};

class EffectiveTest : public ::testing::TestWithParam<Effective> {};

TEST_P(EffectiveTest, CarriesTheLoginUsedFollowedBySemicolon)
{
    const Effective &c = GetParam();
    EXPECT_EQ(effectiveConnectionString(QString::fromUtf8(c.original), QString::fromUtf8(c.login)),
              QString::fromUtf8(c.effective));
}

INSTANTIATE_TEST_SUITE_P(
    Strings, EffectiveTest,
    ::testing::Values(
        Effective{"Provider=SQLOLEDB.1;Persist Security Info=True;User ID=old;Initial Catalog=db;"
                  "Data Source=srv;Application Name=Tarnwell",
                  "new",
                  "Provider=SQLOLEDB.1;Persist Security Info=True;User ID=new;Initial Catalog=db;"
                  "Data Source=srv;Application Name=Tarnwell;"},
        Effective{"Provider=MSDAORA.1;User ID=;Data Source=ORCL;Persist Security Info=False", "scott",
                  "Provider=MSDAORA.1;User ID=scott;Data Source=ORCL;Persist Security Info=False;"},
        // no "User ID=" yet, and a password that must not be kept
        Effective{"Provider=MSDAORA.1;Password=x;Data Source=ORCL", "u",
                  "Provider=MSDAORA.1;User ID=u;Data Source=ORCL;"},
        Effective{"Provider=ODBC;DRIVER={PostgreSQL Unicode};UID=a;PWD=b;PORT=1", "z",
                  "Provider=ODBC;User ID=z;DRIVER={PostgreSQL Unicode};PORT=1"}));

TEST(ConnectionStringTest, LoginReplacesTheStringsOwnAndKeepsAPasswordWithSemicolonWhole)
{
    for (const char *original : {"Provider=MSDAORA.1;User ID=old;Password=old;Data Source=ORCL",
                                 "Provider=SQLOLEDB.1;Data Source=srv;Initial Catalog=db",
                                 "Provider=ODBC;DRIVER={PostgreSQL Unicode};UID=a;PWD=b;PORT=1"}) {
        const QString s = connectionStringWithLogin(QString::fromUtf8(original), QStringLiteral("bob"),
                                                    QStringLiteral("p;w\"d"));
        const ConnectionTarget t = resolveConnectionString(s);
        EXPECT_EQ(t.userId, "bob") << original;
        EXPECT_EQ(t.password, "p;w\"d") << s.toStdString();
    }
}

TEST(ConnectionStringTest, DsnStringsReachQtWithoutTheirKey)
{
    EXPECT_EQ(qtOdbcDatabaseName(QStringLiteral("DSN=billing;UID=a;PWD=b")), "billing;UID=a;PWD=b");
    EXPECT_EQ(qtOdbcDatabaseName(QStringLiteral("UID=a;DSN=billing")), "billing;UID=a");
    const QString withDriver = QStringLiteral("DRIVER={FreeTDS};SERVER=x;UID=a");
    EXPECT_EQ(qtOdbcDatabaseName(withDriver), withDriver);
}

TEST(ConnectionStringTest, ConfiguredOdbcDriverIsUsedForServerProviders)
{
    Connection::setOdbcDriver(QStringLiteral(" Custom TDS "));
    EXPECT_EQ(Connection::odbcDriver(), "Custom TDS");
    Connection::setOdbcDriver(QString());
    EXPECT_EQ(Connection::odbcDriver(), "");
}

} // namespace
