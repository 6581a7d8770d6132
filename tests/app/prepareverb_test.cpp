// tarnwell prepare TEMPLATE -o OUT.fp3 [--param NAME=VALUE]...
#include "apptestutil.h"
#include "tarnwellrun.h"

#include "app/prepareverb.h"
#include "support/testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

TEST(PrepareArgs, Parse)
{
    const struct {
        QStringList args;
        const char *params; // "name=value;..." when accepted, null when refused
    } cases[] = {
        {{"t.fr3", "-o", "t.fp3"}, ""},
        {{"t.fr3", "--output=t.fp3", "--param", "id1=5", "--param=from=a=b"}, "id1=5;from=a=b"},
        {{"--param", "id1=", "-o", "t.fp3", "t.fr3"}, "id1="},
        {{"t.fr3"}, nullptr},
        {{"-o", "t.fp3"}, nullptr},
        {{"t.fr3", "-o"}, nullptr},
        {{"t.fr3", "-o", "a.fp3", "-o", "b.fp3"}, nullptr},
        {{"t.fr3", "-o", "t.fp3", "extra"}, nullptr},
        {{"t.fr3", "-o", "t.fp3", "--param", "id1"}, nullptr},
        {{"t.fr3", "-o", "t.fp3", "--param", "=5"}, nullptr},
        {{"t.fr3", "-o", "t.fp3", "--param", "id1=5", "--param", "ID1=6"}, nullptr},
        {{"t.fr3", "-o", "t.fp3", "--fast"}, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        QString why;
        const auto a = parsePrepareArgs(c.args, &why);
        ASSERT_EQ(a.has_value(), c.params != nullptr) << why.toStdString();
        if (!a) {
            EXPECT_FALSE(why.isEmpty());
            continue;
        }
        EXPECT_EQ(a->templateFile, QStringLiteral("t.fr3"));
        EXPECT_EQ(a->output, QStringLiteral("t.fp3"));
        QStringList params;
        for (const auto &p : a->parameters)
            params.append(p.first + QLatin1Char('=') + p.second.toText());
        EXPECT_EQ(params.join(QLatin1Char(';')), QString::fromUtf8(c.params));
    }
}

namespace {

// An installation on an SQLite database, and the bill template of the parameters id1 and
// from with a query of its own.
class PrepareVerb : public ::testing::Test {
protected:
    void SetUp() override
    {
        home.mkdir(QStringLiteral("out"));
        QFile::copy(tw::test::fixturePath(QStringLiteral("app/templates/custparams.fr3")), templatePath());
        tw::test::writeBytes(home.file(QStringLiteral("t.db")), QByteArray());
        const QString ini = QStringLiteral("[Настройки]\nТип=sqlite\nБД=t.db\nКаталогЗапросов=\nКаталогОтчетов=")
                            + home.file(QStringLiteral("out/")) + QStringLiteral("\n");
        tw::test::writeBytes(home.file(QStringLiteral("Tarnwell.ini")), ini.toUtf8());
    }

    QString templatePath() const { return home.file(QStringLiteral("bill.fr3")); }
    QString outPath() const { return home.file(QStringLiteral("bill.fp3")); }

    TarnwellRun run(const QStringList &verbArgs) const
    {
        return runTarnwell(QStringList{QStringLiteral("--home"), home.path(), QStringLiteral("prepare")} + verbArgs);
    }

    Home home;
};

} // namespace

// Exit 0: the prepared report of the parameters, with the template's query run on the
// installation's database, in the prepared-report file's one line.
TEST_F(PrepareVerb, WritesThePreparedReport)
{
    const TarnwellRun r = run({templatePath(), QStringLiteral("-o"), outPath(), QStringLiteral("--param"),
                              QStringLiteral("id1=7"), QStringLiteral("--param"), QStringLiteral("from=2014-1-1")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, QString());
    const QString fp3 = QString::fromUtf8(tw::test::readBytes(outPath()));
    EXPECT_TRUE(fp3.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?><preparedreport")))
        << fp3.left(200).toStdString();
    EXPECT_FALSE(fp3.contains(QLatin1Char('\n')));
    EXPECT_TRUE(fp3.contains(QStringLiteral("u=\"Счёт № 7 с 2014-1-1\""))) << fp3.toStdString();
    EXPECT_TRUE(fp3.contains(QStringLiteral("u=\"Десятикратно 70\""))) << fp3.toStdString();
}

// Exit 3: the preparation's errors on stderr, no output file.
TEST_F(PrepareVerb, FailedPreparationPrintsItsErrors)
{
    // The second memo's expression calls a function that does not exist.
    QByteArray bytes = tw::test::readBytes(templatePath());
    bytes.replace("Десятикратно [&#60;Total.&#34;tenfold&#34;&#62;]", "Десятикратно [NoSuchFunction(1)]");
    tw::test::writeBytes(templatePath(), bytes);
    const TarnwellRun r = run({templatePath(), QStringLiteral("-o"), outPath(), QStringLiteral("--param"), QStringLiteral("id1=7")});
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("The following error(s) have occured:\n"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("NoSuchFunction"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QLatin1Char('\r')));
    EXPECT_FALSE(QFile::exists(outPath()));
}

// Exit 1: a template that cannot be read, or arguments that make no sense.
TEST_F(PrepareVerb, UnreadableTemplateOrBadArgumentsExitOne)
{
    const QString missing = home.file(QStringLiteral("none.fr3"));
    TarnwellRun r = run({missing, QStringLiteral("-o"), outPath()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Cannot open file \"") + missing + QStringLiteral("\". ")))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(outPath()));

    tw::test::writeBytes(templatePath(), "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?><TfrxReport><TfrxRep");
    r = run({templatePath(), QStringLiteral("-o"), outPath()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("The following error(s) have occured:\nInvalid file format\n"));
    EXPECT_FALSE(QFile::exists(outPath()));

    r = run({templatePath()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("prepare needs -o OUT.fp3"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("usage: tarnwell"))) << r.err.toStdString();
    r = run({templatePath(), QStringLiteral("-o"), outPath(), QStringLiteral("--param"), QStringLiteral("id1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--param needs NAME=VALUE"))) << r.err.toStdString();
}
