#pragma once

#include "apptestutil.h"

#include "app/datamodule.h"
#include "app/exportview.h"
#include "app/exportwork.h"
#include "app/processexit.h"
#include "app/reportfacade.h"
#include "base/formatsettings.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <memory>

namespace tw::app::test {

// The window as the run sees it, remembering what was shown.
class RecordingView : public ExportView {
public:
    void setQueryNames(const QStringList &n) override
    {
        names = n;
        selected = n.isEmpty() ? QString() : n.first();
    }
    QString selectedQueryName() const override { return selected; }
    TDateTime periodStart() const override { return start; }
    TDateTime periodEnd() const override { return end; }
    void setButtonCaption(const QString &c) override { button = c; }
    QString buttonCaption() const override { return button; }
    void setProgressVisible(bool v) override { progressVisible = v; }
    void setProgressPosition(int p) override { positions.append(p); }
    void setStatusText(const QString &t) override
    {
        status = t;
        statuses.append(t);
        if (onStatus)
            onStatus(t);
    }
    QString statusText() const override { return status; }
    void setStatusErrorLink(bool on) override { errorLink = on; }
    bool stopRequested() const override { return stop; }
    void clearStopRequest() override { stop = false; }
    bool askOkCancel(const QString &caption, const QString &text) override
    {
        questions.append(caption + QStringLiteral(": ") + text);
        return answerOk;
    }
    void processPendingMessages() override
    {
        ++pendingProcessed;
        if (onProcessPending)
            onProcessPending();
    }

    QStringList names;
    QString selected;
    TDateTime start = encodeDate(2014, 1, 1);
    TDateTime end = encodeDate(2014, 1, 31);
    QString button = QStringLiteral("Выгрузить");
    bool progressVisible = false;
    QVector<int> positions;
    QString status;
    QStringList statuses;
    bool errorLink = false;
    bool stop = false;
    bool answerOk = true;
    QStringList questions;
    std::function<void(const QString &)> onStatus; // may raise
    int pendingProcessed = 0;
    std::function<void()> onProcessPending; // the window's input at that moment
};

// A report whose prepared report is a fixed one-line file naming the parameters it saw in
// the parameter table.
class FakeReport : public ReportFacade {
public:
    struct Shared {
        TVirtualTable *vt = nullptr;
        QStringList loaded;                            // files loaded, in order
        QStringList prepared;                          // "id1=5;id2=" per preparation
        std::function<void(const QString &params)> onPrepare; // may raise
        std::function<void(const QString &file)> onLoad;      // may raise
        int preparedWithoutReThrow = 0; // preparations not preceded by setSilentModeReThrow
        int alive = 0;
    };
    explicit FakeReport(Shared &s) : m_s(s) { ++m_s.alive; }
    ~FakeReport() override { --m_s.alive; }

    bool LoadFromFile(const QString &fileName, bool) override
    {
        if (!QFile::exists(fileName))
            throw EInOutError(QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(fileName));
        if (m_s.onLoad)
            m_s.onLoad(fileName);
        m_s.loaded.append(fileName);
        return true;
    }
    void setSilentModeReThrow() override { m_reThrow = true; }
    bool PrepareReport(bool) override
    {
        // As if the template set its own silent mode again on every run.
        if (!m_reThrow)
            ++m_s.preparedWithoutReThrow;
        m_reThrow = false;
        QString params;
        for (int i = 0; i < m_s.vt->fieldCount(); ++i)
            params += (i ? QStringLiteral(";") : QString()) + m_s.vt->field(i).fieldName()
                      + QLatin1Char('=') + m_s.vt->field(i).asString();
        m_s.prepared.append(params);
        if (m_s.onPrepare)
            m_s.onPrepare(params);
        m_last = params;
        return true;
    }
    void savePreparedToFile(const QString &fileName) override
    {
        tw::test::writeBytes(fileName,
                             (QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>"
                                             "<preparedreport params=\"")
                              + m_last.toHtmlEscaped() + QStringLiteral("\"/>"))
                                 .toUtf8());
    }

private:
    Shared &m_s;
    QString m_last;
    bool m_reThrow = false;
};

class FakeReportFactory : public ReportFactory {
public:
    std::unique_ptr<ReportFacade> createReport() override { return std::make_unique<FakeReport>(shared); }
    FakeReport::Shared shared;
};

// A program directory with an SQLite database, a query directory, an output directory and
// two templates; the run works on a fake report engine.
class ExportFixture {
public:
    ExportFixture(const QString &reports = QStringLiteral("ft1=tpl/ft1.fr3\r\nft2=tpl/ft2.fr3\r\n"),
                  const QString &type = QStringLiteral("sqlite"))
    {
        FormatSettings::setCurrent(FormatSettings::russian());
        home.mkdir(QStringLiteral("logs"));
        home.mkdir(QStringLiteral("q"));
        home.mkdir(QStringLiteral("out"));
        home.mkdir(QStringLiteral("tpl"));
        tw::test::writeBytes(home.file(QStringLiteral("tpl/ft1.fr3")), "<TfrxReport/>");
        tw::test::writeBytes(home.file(QStringLiteral("tpl/ft2.fr3")), "<TfrxReport/>");
        tw::test::writeBytes(home.file(QStringLiteral("t.db")), QByteArray()); // an empty database
        const QString ini = QStringLiteral("[Настройки]\r\nТип=") + type + QStringLiteral("\r\nБД=t.db\r\nСервер=srv\r\n")
                            + QStringLiteral("КаталогЗапросов=") + home.file(QStringLiteral("q/"))
                            + QStringLiteral("\r\nКаталогОтчетов=") + home.file(QStringLiteral("out/"))
                            + QStringLiteral("\r\n[Отчеты]\r\n") + reports;
        tw::test::writeBytes(home.file(QStringLiteral("Tarnwell.ini")), ini.toUtf8());
    }

    // Start-up; for a server type the connection is opened on the SQLite file (or the
    // connection string given) instead.
    void start()
    {
        StartupEnvironment env;
        env.programDir = home.path();
        env.clock = &clock;
        env.messages = &sink;
        const QString database = connectionString.isEmpty()
                                     ? QStringLiteral("Provider=SQLite;Data Source=") + home.file(QStringLiteral("t.db"))
                                     : connectionString;
        env.connect = [database](db::Connection &c, const QString &, db::LoginPrompt *) {
            c.setConnectionString(database);
            c.open(nullptr);
            return c.connectionString();
        };
        dm = std::make_unique<Tform_dm>(std::move(env));
        ExportOptions opts;
        opts.newGuid = [this] { return guids.isEmpty() ? QString() : guids.takeFirst(); };
        for (int i = 1; i <= 50; ++i)
            guids.append(QStringLiteral("00000000-0000-0000-0000-%1").arg(i, 12, 10, QLatin1Char('0')));
        opts.ticks = &ticks;
        work = std::make_unique<ExportWork>(*dm, view, reports ? *reports : factory, opts);
        factory.shared.vt = &work->vt();
    }

    void writeQuery(const QString &name, const QString &sql)
    {
        tw::test::writeBytes(home.file(QStringLiteral("q/") + name), sql.toUtf8());
    }

    // One run of the query.
    void run(const QString &queryName = QStringLiteral("pk"))
    {
        if (!work)
            start();
        work->Ac_sqlfile();
        view.selected = queryName;
        work->Ac_sqltext();
    }

    QString packagePath(int n) const
    {
        return home.file(QStringLiteral("out/00000000-0000-0000-0000-%1.xml").arg(n, 12, 10, QLatin1Char('0')));
    }
    QByteArray package(int n) const { return tw::test::readBytes(packagePath(n)); }
    QStringList packageFiles() const
    {
        return QDir(home.file(QStringLiteral("out"))).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    }
    QString errorLog() const
    {
        return QString::fromUtf8(tw::test::readBytes(home.file(QStringLiteral("logs/Tarnwell_2024035.error.txt"))));
    }
    QString runLog() const
    {
        return QString::fromUtf8(tw::test::readBytes(home.file(QStringLiteral("logs/Tarnwell.log.txt"))));
    }

    struct Ticks : TickCounter {
        quint32 ticks() const override { return now; }
        quint32 now = 0;
    } ticks;

    Home home;
    FixedClock clock{marchFifth()};
    RecordingSink sink;
    RecordingView view;
    FakeReportFactory factory;
    ReportFactory *reports = nullptr; // set before start(): the reports of the run instead of the fakes
    QString connectionString;         // set before start(): the database instead of t.db
    QStringList guids;
    std::unique_ptr<Tform_dm> dm;
    std::unique_ptr<ExportWork> work;
};

} // namespace tw::app::test
