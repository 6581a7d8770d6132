#include "apptestutil.h"

#include "app/datamodule.h"
#include "app/processexit.h"
#include "base/codepage.h"
#include "base/error.h"
#include "base/formatsettings.h"
#include "base/inifile.h"
#include "support/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <optional>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

namespace {

const QString kErrorLog = QStringLiteral("logs/Tarnwell_2024035.error.txt");

class Startup : public ::testing::Test {
protected:
    void SetUp() override { FormatSettings::setCurrent(FormatSettings::russian()); }

    // Replaces {home} with the program directory (trailing "/" included).
    QString expand(QString text) const { return text.replace(QStringLiteral("{home}"), home->path()); }

    void writeIni(const QString &text) const
    {
        tw::test::writeBytes(home->file(QStringLiteral("Tarnwell.ini")), expand(text).toUtf8());
    }

    // Runs start-up; the exit code when it ended the process.
    std::optional<int> run()
    {
        StartupEnvironment env;
        env.programDir = home->path();
        env.clock = &clock;
        env.messages = &sink;
        env.connect = [this](db::Connection &, const QString &cs, db::LoginPrompt *prompt) {
            connectionStrings.append(cs);
            promptGiven = prompt != nullptr;
            if (!connectError.isEmpty())
                throw Error(connectError);
            return effective.isNull() ? cs : effective;
        };
        env.loginPrompt = &noPrompt;
        try {
            dm = std::make_unique<Tform_dm>(std::move(env));
        } catch (const ProcessExit &e) {
            return e.exitCode;
        }
        return std::nullopt;
    }

    QString errorLog() const
    {
        return QString::fromUtf8(tw::test::readBytes(home->file(kErrorLog)));
    }
    QString iniText() const
    {
        return QString::fromUtf8(tw::test::readBytes(home->file(QStringLiteral("Tarnwell.ini"))));
    }

    struct NoPrompt : db::LoginPrompt {
        bool ask(QString &, QString &) override { return false; }
    } noPrompt;

    std::unique_ptr<Home> home = std::make_unique<Home>();
    FixedClock clock{marchFifth()};
    RecordingSink sink;
    QStringList connectionStrings;
    bool promptGiven = false;
    QString connectError;
    QString effective; // null: the string as given
    std::unique_ptr<Tform_dm> dm;
};

struct FatalCase {
    const char *name;
    bool logsDir;
    const char *ini; // nullptr: no settings file; "@dir": a directory of that name
    const char *message;
    const char *connectError = "";
};

// {home}out/ and {home}q/ exist in every case.
const FatalCase kFatalCases[] = {
    {"first start creates logs, empty type", false, nullptr,
     "Некорректно определена переменная для параметра 'Тип' (MSSQL или Oracle)"},
    {"no settings file", true, nullptr, "Не найден или нет доступа к файлу настроек (Tarnwell.ini)"},
    {"settings name taken by a directory", true, "@dir", "Не определен параметр 'Тип'"},
    {"type missing", true, "[Настройки]\nКаталогЗапросов=\n", "Не определен параметр 'Тип'"},
    {"type empty", true, "[Настройки]\nТип=\n", "Не определен параметр 'Тип'"},
    {"type missing on first start skips the check", false, "[Настройки]\nКаталогЗапросов=\n",
     "Некорректно определена переменная для параметра 'Тип' (MSSQL или Oracle)"},
    {"unknown type", true, "[Настройки]\nТип=db2\n",
     "Некорректно определена переменная для параметра 'Тип' (MSSQL или Oracle)"},
    {"query dir key missing (MsSql accepted)", true, "[Настройки]\nТип=MsSql\n",
     "Не определен параметр 'КаталогЗапросов'"},
    {"query dir literally f", true, "[Настройки]\nТип=mssql\nКаталогЗапросов=f\n",
     "Не определен параметр 'КаталогЗапросов'"},
    {"output dir missing", true, "[Настройки]\nТип=mssql\nКаталогЗапросов=\n",
     "Не определен параметр 'КаталогОтчетов'"},
    {"output dir empty", true, "[Настройки]\nТип=mssql\nКаталогЗапросов=\nКаталогОтчетов=  \n",
     "Не определен параметр 'КаталогОтчетов'"},
    {"output dir absent", true,
     "[Настройки]\nТип=mssql\nКаталогЗапросов=\nКаталогОтчетов={home}nowhere/\n",
     "Не найден или нет доступа к каталогу выгрузки ({home}nowhere/)"},
    {"query dir absent", true,
     "[Настройки]\nТип=oracle\nКаталогЗапросов={home}noq/\nКаталогОтчетов={home}out/\n",
     "Не найден или нет доступа к каталогу запросов ({home}noq/)"},
    {"mssql without database", true,
     "[Настройки]\nТип=mssql\nКаталогЗапросов={home}q/\nКаталогОтчетов={home}out/\nСервер=s\n",
     "Не определен параметр 'БД'"},
    {"mssql without server", true,
     "[Настройки]\nТип=mssql\nКаталогЗапросов={home}q/\nКаталогОтчетов={home}out/\nБД=bills\n",
     "Не определен параметр 'Сервер'"},
    {"oracle without schema", true,
     "[Настройки]\nТип=Oracle\nКаталогЗапросов={home}q/\nКаталогОтчетов={home}out/\nБД=b\nСервер=s\n",
     "Не определен параметр 'Схема'"},
    {"sqlite without database", true,
     "[Настройки]\nТип=sqlite\nКаталогЗапросов=\nКаталогОтчетов={home}out/\n",
     "Не определен параметр 'БД'"},
    {"connection fails", true,
     "[Настройки]\nТип=mssql\nКаталогЗапросов=\nКаталогОтчетов={home}out/\nБД=b\nСервер=s\n",
     "Невозможно подключиться к БД :  Login failed", "Login failed"},
};

} // namespace

TEST_F(Startup, FatalSettingsEndTheProcessWithBoxAndDatedLogLine)
{
    for (const FatalCase &c : kFatalCases) {
        SCOPED_TRACE(c.name);
        home = std::make_unique<Home>();
        sink.boxes.clear();
        connectionStrings.clear();
        connectError = QString::fromUtf8(c.connectError);
        if (c.logsDir)
            home->mkdir(QStringLiteral("logs"));
        home->mkdir(QStringLiteral("out"));
        home->mkdir(QStringLiteral("q"));
        if (c.ini && QByteArray(c.ini) == "@dir")
            home->mkdir(QStringLiteral("Tarnwell.ini"));
        else if (c.ini)
            writeIni(QString::fromUtf8(c.ini));

        const auto code = run();
        const QString message = expand(QString::fromUtf8(c.message));
        ASSERT_EQ(code, std::optional<int>(1));
        ASSERT_EQ(sink.boxes.size(), 1);
        EXPECT_EQ(sink.boxes[0].first, QStringLiteral("Ошибка!"));
        EXPECT_EQ(sink.boxes[0].second, message);
        EXPECT_EQ(errorLog(), marchFifthText() + QLatin1Char(' ') + message + QStringLiteral("\r\n"));
        // Nothing after the failing step: no connection attempt unless connecting failed.
        EXPECT_EQ(connectionStrings.size(), c.connectError[0] ? 1 : 0);
    }
}

TEST_F(Startup, MssqlConnectsAndWritesBackTheLoginTheOperatorConfirmed)
{
    home->mkdir(QStringLiteral("logs"));
    home->mkdir(QStringLiteral("out"));
    home->mkdir(QStringLiteral("q"));
    writeIni(QStringLiteral("[Настройки]\r\nТип=MsSql\r\nКаталогЗапросов={home}q/\r\n"
                            "КаталогОтчетов={home}out/\r\nБД=bills\r\nСервер=srv1\r\nЛогин=ivan\r\n"
                            "[Отчеты]\r\nft1=a.fr3\r\n"));
    effective = QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;User ID=petr;"
                               "Initial Catalog=bills;Data Source=srv1;Application Name=Tarnwell");

    ASSERT_EQ(run(), std::nullopt);
    ASSERT_EQ(connectionStrings.size(), 1);
    EXPECT_EQ(connectionStrings[0],
              QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;User ID=ivan;"
                             "Initial Catalog=bills;Data Source=srv1;Application Name=Tarnwell"));
    EXPECT_TRUE(promptGiven);
    const StartupValues &v = dm->values();
    EXPECT_EQ(v.type, QStringLiteral("mssql"));
    EXPECT_EQ(v.server, QStringLiteral("srv1"));
    EXPECT_EQ(v.database, QStringLiteral("bills"));
    EXPECT_EQ(v.login, QStringLiteral("petr"));
    EXPECT_EQ(v.schema, QString());
    EXPECT_EQ(v.outputDir, home->path() + QStringLiteral("out/"));
    EXPECT_EQ(v.queryDir, home->path() + QStringLiteral("q/"));
    EXPECT_EQ(v.logsDir, home->path() + QStringLiteral("logs"));
    EXPECT_EQ(v.dateSuffix, QStringLiteral("2024035"));
    EXPECT_EQ(dm->logFiles().errorLogPath(), home->file(kErrorLog));
    // Rewritten in place; the rest of the file untouched.
    EXPECT_EQ(iniText(),
              expand(QStringLiteral("[Настройки]\r\nТип=MsSql\r\nКаталогЗапросов={home}q/\r\n"
                                    "КаталогОтчетов={home}out/\r\nБД=bills\r\nСервер=srv1\r\n"
                                    "Логин=petr\r\n[Отчеты]\r\nft1=a.fr3\r\n")));
    EXPECT_TRUE(sink.boxes.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(home->file(kErrorLog)));
}

TEST_F(Startup, OracleNeedsNoServerAndEmptyQueryDirMeansProgramDir)
{
    home->mkdir(QStringLiteral("out"));
    writeIni(QStringLiteral("[настройки]\nтип=ORACLE\nКаталогЗапросов=\nКаталогОтчетов={home}out/\n"
                            "Схема=ORCL\nodbcдрайвер=Site Oracle\n"));

    ASSERT_EQ(run(), std::nullopt);
    EXPECT_EQ(db::Connection::odbcDriver(), QStringLiteral("Site Oracle"));
    db::Connection::setOdbcDriver(QString());
    ASSERT_EQ(connectionStrings.size(), 1);
    EXPECT_EQ(connectionStrings[0],
              QStringLiteral("Provider=MSDAORA.1;User ID=;Data Source=ORCL;Persist Security Info=False"));
    EXPECT_EQ(dm->values().type, QStringLiteral("oracle"));
    EXPECT_EQ(dm->values().queryDir, home->path());
    EXPECT_EQ(dm->values().schema, QStringLiteral("ORCL"));
    // The first start made the logs directory.
    EXPECT_TRUE(QFileInfo(home->logsDir()).isDir());
}

TEST_F(Startup, LoginReadBackUpToTheNextSemicolon)
{
    const struct {
        const char *effective;
        const char *login;
    } cases[] = {
        {"Provider=MSDAORA.1;User ID=scott;Data Source=ORCL", "scott"},
        {"Provider=MSDAORA.1;Data Source=ORCL;User ID=scott", ""},
        {"User ID=a;User ID=b;", "a"},
        {"Provider=MSDAORA.1;User ID=;Data Source=ORCL", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.effective);
        EXPECT_EQ(loginFromConnectionString(QString::fromUtf8(c.effective), QStringLiteral("fallback")),
                  QString::fromUtf8(c.login));
    }
    EXPECT_EQ(loginFromConnectionString(QStringLiteral("Provider=SQLite;Data Source=/x.db"),
                                        QStringLiteral("kept")),
              QStringLiteral("kept"));

    // And start-up writes the empty login back.
    home->mkdir(QStringLiteral("out"));
    writeIni(QStringLiteral("[Настройки]\nТип=oracle\nКаталогЗапросов=\nКаталогОтчетов={home}out/\n"
                            "Схема=ORCL\nЛогин=scott\n"));
    effective = QStringLiteral("Provider=MSDAORA.1;Data Source=ORCL;User ID=scott");
    ASSERT_EQ(run(), std::nullopt);
    EXPECT_EQ(dm->values().login, QString());
    EXPECT_TRUE(iniText().contains(QStringLiteral("\r\nЛогин=\r\n"))) << iniText().toStdString();
}

TEST_F(Startup, SqliteNamesAFileBesideTheProgramAndAsksNoLogin)
{
    home->mkdir(QStringLiteral("out"));
    home->mkdir(QStringLiteral("data"));
    writeIni(QStringLiteral("[Настройки]\nТип=SQLite\nКаталогЗапросов=\nКаталогОтчетов={home}out/\n"
                            "БД=data/../data/demo.db\nЛогин=demo\n"));

    ASSERT_EQ(run(), std::nullopt);
    ASSERT_EQ(connectionStrings.size(), 1);
    EXPECT_EQ(connectionStrings[0],
              QStringLiteral("Provider=SQLite;Data Source=") + home->path() + QStringLiteral("data/demo.db"));
    EXPECT_FALSE(promptGiven);
    EXPECT_EQ(dm->values().type, QStringLiteral("sqlite"));
    EXPECT_EQ(dm->values().login, QStringLiteral("demo"));
    EXPECT_TRUE(iniText().contains(QStringLiteral("Логин=demo")));
}

TEST_F(Startup, LogsDirectoryThatCannotBeMadeShowsOnlyItsBox)
{
    // A plain file where the directory should be.
    tw::test::writeBytes(home->logsDir(), "x");
    writeIni(QStringLiteral("[Настройки]\nТип=nonsense\n"));

    EXPECT_EQ(run(), std::optional<int>(1));
    ASSERT_EQ(sink.boxes.size(), 1);
    EXPECT_EQ(sink.boxes[0].first, QStringLiteral("Ошибка!"));
    EXPECT_EQ(sink.boxes[0].second, QStringLiteral("Не возможно создать каталог 'Logs'"));
    EXPECT_EQ(tw::test::readBytes(home->logsDir()), QByteArray("x"));
    QStringList entries = QDir(home->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    entries.sort();
    EXPECT_EQ(entries, QStringList({QStringLiteral("Tarnwell.ini"), QStringLiteral("logs")}));
}

TEST_F(Startup, ErrorLogThatCannotBeWrittenStillEndsWithExitCodeOne)
{
    home->mkdir(QStringLiteral("logs"));
    // The day's log is a directory: loading it fails after the box was shown.
    home->mkdir(kErrorLog);
    EXPECT_EQ(run(), std::optional<int>(1));
    ASSERT_EQ(sink.boxes.size(), 1);
    EXPECT_EQ(sink.boxes[0].second, QStringLiteral("Не найден или нет доступа к файлу настроек (Tarnwell.ini)"));
    EXPECT_TRUE(QFileInfo(home->file(kErrorLog)).isDir());
}

TEST_F(Startup, FailedLoginWriteIsFatalAndKeepsTheSettingsFile)
{
    home->mkdir(QStringLiteral("logs"));
    home->mkdir(QStringLiteral("out"));
    // Long enough that rewriting it runs into the size limit, while the error line fits.
    const QString ini = QStringLiteral("[Настройки]\r\nТип=oracle\r\nКаталогЗапросов=\r\n"
                                       "КаталогОтчетов={home}out/\r\nСхема=ORCL\r\nЛогин=scott\r\n; ")
                        + QString(3000, QLatin1Char('-')) + QStringLiteral("\r\n");
    writeIni(ini);
    const QByteArray before = tw::test::readBytes(home->file(QStringLiteral("Tarnwell.ini")));
    effective = QStringLiteral("Provider=MSDAORA.1;User ID=petr;Data Source=ORCL;");

    std::optional<int> code;
    {
        FileSizeLimit limit(1024);
        code = run();
    }
    const QString message = QStringLiteral("Невозможно подключиться к БД :  Unable to write to ")
                            + home->file(QStringLiteral("Tarnwell.ini"));
    EXPECT_EQ(code, std::optional<int>(1));
    ASSERT_EQ(sink.boxes.size(), 1);
    EXPECT_EQ(sink.boxes[0].second, message);
    EXPECT_EQ(errorLog(), marchFifthText() + QLatin1Char(' ') + message + QStringLiteral("\r\n"));
    EXPECT_EQ(tw::test::readBytes(home->file(QStringLiteral("Tarnwell.ini"))), before);
}

TEST_F(Startup, Windows1251SettingsFileReadsAndStaysInItsCodePage)
{
    const int oldCodePage = codepage::ansiCodePage();
    codepage::setAnsiCodePage(1251);
    home->mkdir(QStringLiteral("out"));
    home->mkdir(QStringLiteral("logs"));
    const QString text = expand(QStringLiteral("[Настройки]\r\nТип=mssql\r\nКаталогЗапросов=\r\n"
                                               "КаталогОтчетов={home}out/\r\nБД=Счета\r\n"
                                               "Сервер=сервер1\r\nЛогин=иван\r\n"));
    tw::test::writeBytes(home->file(QStringLiteral("Tarnwell.ini")), codepage::toCodePage(text, 1251));
    effective = QStringLiteral("Provider=SQLOLEDB.1;User ID=пётр;Initial Catalog=Счета;");

    const auto code = run();
    const QByteArray after = tw::test::readBytes(home->file(QStringLiteral("Tarnwell.ini")));
    codepage::setAnsiCodePage(oldCodePage);

    ASSERT_EQ(code, std::nullopt);
    EXPECT_EQ(dm->values().server, QStringLiteral("сервер1"));
    EXPECT_EQ(dm->values().database, QStringLiteral("Счета"));
    EXPECT_TRUE(connectionStrings[0].contains(QStringLiteral("User ID=иван;Initial Catalog=Счета;")));
    EXPECT_EQ(codepage::fromCodePage(after, 1251), QString(text).replace(QStringLiteral("иван"), QStringLiteral("пётр")));
}

TEST_F(Startup, RealSqliteConnectionOpens)
{
    home->mkdir(QStringLiteral("out"));
    writeIni(QStringLiteral("[Настройки]\nТип=sqlite\nКаталогЗапросов=\nКаталогОтчетов={home}out/\n"
                            "БД=demo.db\n"));
    // An empty file is an empty database.
    tw::test::writeBytes(home->file(QStringLiteral("demo.db")), QByteArray());
    StartupEnvironment env;
    env.programDir = home->path();
    env.clock = &clock;
    env.messages = &sink;
    std::unique_ptr<Tform_dm> real;
    ASSERT_NO_THROW(real = std::make_unique<Tform_dm>(std::move(env)));
    EXPECT_TRUE(real->Connection().isOpen());
    EXPECT_TRUE(sink.boxes.isEmpty());
    EXPECT_EQ(real->values().login, QString());
}
