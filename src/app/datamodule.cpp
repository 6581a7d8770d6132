#include "app/datamodule.h"

#include "app/datesuffix.h"
#include "app/processexit.h"
#include "app/settingsnames.h"
#include "base/error.h"
#include "base/inifile.h"

#include <QDir>
#include <QFileInfo>

namespace tw::app {

namespace {

QString withTrailingSeparator(const QString &dir)
{
    if (dir.isEmpty())
        return QDir::currentPath() + QLatin1Char('/');
    QString d = QDir::cleanPath(QDir(dir).absolutePath());
    if (!d.endsWith(QLatin1Char('/')))
        d += QLatin1Char('/');
    return d;
}

bool isDirectory(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString defaultConnect(db::Connection &c, const QString &connectionString, db::LoginPrompt *prompt)
{
    c.setConnectionString(connectionString);
    c.open(prompt);
    return c.connectionString();
}

} // namespace

QString loginFromConnectionString(const QString &connectionString, const QString &fallback)
{
    static const QString marker = QStringLiteral("User ID=");
    const qsizetype at = connectionString.indexOf(marker);
    if (at < 0)
        return fallback;
    const QString rest = connectionString.mid(at + marker.size());
    const qsizetype end = rest.indexOf(QLatin1Char(';'));
    return end < 0 ? QString() : rest.left(end);
}

Tform_dm::Tform_dm(StartupEnvironment env)
    : m_programDir(withTrailingSeparator(env.programDir)),
      m_messages(env.messages),
      m_loginPrompt(env.loginPrompt),
      m_connect(env.connect ? std::move(env.connect) : ConnectFunction(defaultConnect)),
      m_connection(std::make_unique<db::Connection>())
{
    if (env.clock) {
        m_clock = env.clock;
    } else {
        m_ownClock = std::make_unique<SystemClock>();
        m_clock = m_ownClock.get();
    }
    if (!m_messages)
        throw Error(QStringLiteral("no message sink for start-up"));
    startUp();
}

Tform_dm::~Tform_dm() = default;

QString Tform_dm::settingsPath() const
{
    return m_programDir + settings::fileName();
}

ErrorReporting Tform_dm::errorReporting() const
{
    return ErrorReporting{m_logFiles, m_clock, m_messages};
}

void Tform_dm::errorRoutine()
{
    reportStartupError(m_errorBuffer, message, errorReporting());
}

void Tform_dm::fatal(const QString &text)
{
    message = text;
    errorRoutine();
    throw ProcessExit{1};
}

void Tform_dm::startUp()
{
    using namespace settings;

    // 1. The suffix is taken once: the error log keeps the start-up day's name.
    m_values.dateSuffix = dateSuffix(m_clock->now());
    m_values.logsDir = m_programDir + QStringLiteral("logs");
    m_logFiles = LogFiles{m_values.logsDir, m_values.dateSuffix};
    IniFile ini(settingsPath());
    const QString section = sectionSettings();

    if (QFileInfo(m_values.logsDir).isDir()) {
        // 2.
        if (!QFileInfo::exists(ini.fileName()))
            fatal(QStringLiteral("Не найден или нет доступа к файлу настроек (Tarnwell.ini)"));
        if (ini.readString(section, keyType(), QString()).isEmpty())
            fatal(QStringLiteral("Не определен параметр 'Тип'"));
    } else if (!QDir().mkdir(m_values.logsDir)) {
        // 3. There is nowhere to log this one.
        m_messages->showMessage(errorCaption(), QStringLiteral("Не возможно создать каталог 'Logs'"));
        throw ProcessExit{1};
    }

    // 4.
    m_values.type = ini.readString(section, keyType(), QString()).toLower();
    if (m_values.type != QLatin1String("mssql") && m_values.type != QLatin1String("oracle")
        && m_values.type != QLatin1String("sqlite"))
        fatal(QStringLiteral("Некорректно определена переменная для параметра 'Тип' (MSSQL или Oracle)"));

    // 5.
    const QString queryDir = ini.readString(section, keyQueryDir(), QStringLiteral("f"));
    if (queryDir == QLatin1String("f"))
        fatal(QStringLiteral("Не определен параметр 'КаталогЗапросов'"));

    // 6.
    const QString outputDir = ini.readString(section, keyOutputDir(), QString());
    if (outputDir.isEmpty())
        fatal(QStringLiteral("Не определен параметр 'КаталогОтчетов'"));
    if (!isDirectory(outputDir))
        fatal(QStringLiteral("Не найден или нет доступа к каталогу выгрузки (") + outputDir
              + QLatin1Char(')'));

    // 7.
    const bool queryDirExists = isDirectory(queryDir);
    if (!queryDirExists && !queryDir.isEmpty())
        fatal(QStringLiteral("Не найден или нет доступа к каталогу запросов (") + queryDir
              + QLatin1Char(')'));

    // 8.
    m_values.outputDir = outputDir;
    m_values.queryDir = queryDirExists ? queryDir : m_programDir;

    // 9.
    m_values.database = ini.readString(section, keyDatabase(), QString());
    m_values.server = ini.readString(section, keyServer(), QString());
    m_values.login = ini.readString(section, keyLogin(), QString());
    m_values.schema = ini.readString(section, keySchema(), QString());

    // An empty or absent key leaves the database layer's own drivers.
    const QString odbcDriver = ini.readString(section, keyOdbcDriver(), QString());

    QString connectionString;
    db::LoginPrompt *prompt = m_loginPrompt;
    if (m_values.type == QLatin1String("mssql")) {
        // 10.
        if (m_values.database.isEmpty())
            fatal(QStringLiteral("Не определен параметр 'БД'"));
        if (m_values.server.isEmpty())
            fatal(QStringLiteral("Не определен параметр 'Сервер'"));
        connectionString = QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;User ID=")
                           + m_values.login + QStringLiteral(";Initial Catalog=") + m_values.database
                           + QStringLiteral(";Data Source=") + m_values.server
                           + QStringLiteral(";Application Name=Tarnwell");
    } else if (m_values.type == QLatin1String("oracle")) {
        // 11.
        if (m_values.schema.isEmpty())
            fatal(QStringLiteral("Не определен параметр 'Схема'"));
        connectionString = QStringLiteral("Provider=MSDAORA.1;User ID=") + m_values.login
                           + QStringLiteral(";Data Source=") + m_values.schema
                           + QStringLiteral(";Persist Security Info=False");
    } else {
        // The embedded database: a file beside the program, nobody to log in.
        if (m_values.database.isEmpty())
            fatal(QStringLiteral("Не определен параметр 'БД'"));
        const QString file = QDir::cleanPath(QDir(m_programDir).absoluteFilePath(m_values.database));
        connectionString = QStringLiteral("Provider=SQLite;Data Source=") + file;
        prompt = nullptr;
    }

    // 12.
    try {
        db::Connection::setOdbcDriver(odbcDriver);
        const QString effective = m_connect(*m_connection, connectionString, prompt);
        m_values.login = loginFromConnectionString(effective, m_values.login);
        ini.writeString(section, keyLogin(), m_values.login);
    } catch (const Error &e) {
        fatal(QStringLiteral("Невозможно подключиться к БД :  ") + e.message());
    } catch (const std::exception &e) {
        fatal(QStringLiteral("Невозможно подключиться к БД :  ") + QString::fromLocal8Bit(e.what()));
    }
}

} // namespace tw::app
