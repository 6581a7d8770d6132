#include "apptestutil.h"
#include "tarnwellrun.h"

#include "app/commandline.h"
#include "support/testsupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tw::app;
using namespace tw::app::test;

TEST(CommandLineParse, HomeAndVerbs)
{
    const struct {
        QStringList args;
        bool ok;
        const char *home;
        const char *verb;
    } cases[] = {
        {{}, true, "", ""},
        {{"check"}, true, "", "check"},
        {{"--home", "/opt/t", "check"}, true, "/opt/t", "check"},
        {{"--home=/opt/t"}, true, "/opt/t", ""},
        {{"--home"}, false, "", ""},
        {{"--home", ""}, false, "", ""},
        {{"--verbose"}, false, "", ""},
        {{"frobnicate"}, false, "", ""},
        {{"check", "extra"}, false, "", ""},
        {{"check", "--home", "/x"}, false, "", ""},
        {{"--home", "/x", "prepare", "t.fr3", "-o", "t.fp3"}, true, "/x", "prepare"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        QString why;
        const auto cl = parseCommandLine(c.args, &why);
        ASSERT_EQ(cl.has_value(), c.ok);
        if (cl) {
            EXPECT_EQ(cl->home, QString::fromUtf8(c.home));
            EXPECT_EQ(cl->verb, QString::fromUtf8(c.verb));
        } else {
            EXPECT_FALSE(why.isEmpty());
        }
    }
}

TEST(TarnwellCheck, FatalStartUpPrintsTheBoxLineAndExitsOne)
{
    const struct {
        const char *name;
        bool logsDir;
        const char *ini;
        const char *line;
    } cases[] = {
        {"first start", false, nullptr,
         "Ошибка!: Некорректно определена переменная для параметра 'Тип' (MSSQL или Oracle)\n"},
        {"settings missing", true, nullptr,
         "Ошибка!: Не найден или нет доступа к файлу настроек (Tarnwell.ini)\n"},
        {"output dir missing", true, "[Настройки]\nТип=sqlite\nКаталогЗапросов=\n",
         "Ошибка!: Не определен параметр 'КаталогОтчетов'\n"},
        {"database file missing", true,
         "[Настройки]\nТип=sqlite\nКаталогЗапросов=\nКаталогОтчетов=/\nБД=none.db\n",
         "Ошибка!: Невозможно подключиться к БД :  Database file not found: {home}none.db\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Home home;
        if (c.logsDir)
            home.mkdir(QStringLiteral("logs"));
        if (c.ini)
            tw::test::writeBytes(home.file(QStringLiteral("Tarnwell.ini")), c.ini);
        const TarnwellRun r = runTarnwell({QStringLiteral("--home"), home.path(), QStringLiteral("check")});
        EXPECT_EQ(r.exitCode, 1);
        const QString line = QString::fromUtf8(c.line).replace(QStringLiteral("{home}"), home.path());
        EXPECT_EQ(r.err, line);
        EXPECT_TRUE(r.out.isEmpty());
        // The error log of today got its line.
        const QStringList logs = QDir(home.logsDir()).entryList({QStringLiteral("Tarnwell_*.error.txt")});
        ASSERT_EQ(logs.size(), 1);
        const QString text = QString::fromUtf8(tw::test::readBytes(home.logsDir() + QLatin1Char('/') + logs[0]));
        EXPECT_TRUE(text.endsWith(line.mid(9).chopped(1) + QStringLiteral("\r\n")))
            << text.toStdString();
    }
}

TEST(TarnwellCheck, SqliteStartUpSucceedsAndWritesTheLoginBack)
{
    Home home;
    home.mkdir(QStringLiteral("out"));
    tw::test::writeBytes(home.file(QStringLiteral("Tarnwell.ini")),
                         "[Настройки]\nТип=sqlite\nКаталогЗапросов=\nКаталогОтчетов=" + home.path().toUtf8()
                             + "out/\nБД=demo.db\nЛогин=demo\n");
    tw::test::writeBytes(home.file(QStringLiteral("demo.db")), QByteArray());
    const TarnwellRun r = runTarnwell({QStringLiteral("--home"), home.path(), QStringLiteral("check")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_TRUE(QFileInfo(home.logsDir()).isDir());
    EXPECT_TRUE(QString::fromUtf8(tw::test::readBytes(home.file(QStringLiteral("Tarnwell.ini"))))
                    .contains(QStringLiteral("\r\nЛогин=demo\r\n")));
}

TEST(TarnwellCheck, BadCommandLinePrintsUsage)
{
    for (const QStringList &args : {QStringList{QStringLiteral("frobnicate")}, QStringList{QStringLiteral("--home")},
                                    QStringList{QStringLiteral("-x"), QStringLiteral("check")}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const TarnwellRun r = runTarnwell(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: tarnwell"))) << r.err.toStdString();
    }
}
