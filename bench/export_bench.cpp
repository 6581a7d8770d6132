// The export measured end to end, in process: start-up, the package query, every package
// prepared and written, exactly as `tarnwell --home DIR export ...` does it. Afterwards every
// statement the run sent (the package query and each template query with that package's
// parameters) is run once more through the same database layer, alone, to give the
// database's share. Figures go to the summary file as "key=value" lines.
//
// usage: export_bench --home DIR --query NAME --from YYYY-MM-DD --to YYYY-MM-DD --summary FILE
#include "app/datamodule.h"
#include "app/exportverb.h"
#include "app/messagesink.h"
#include "app/modelreport.h"
#include "app/processexit.h"
#include "db/database.h"
#include "db/query.h"
#include "report/engine/reportclasses.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTemporaryFile>
#include <QTextStream>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

namespace {

// The run's statements go to a temporary file as they run, so recording them adds nothing
// to the run's own memory: the text's number among the distinct texts, then the parameters
// as (field type, kind, value).
class StatementLog {
public:
    StatementLog()
    {
        if (!m_file.open())
            throw std::runtime_error("cannot create the statement log");
        m_out.setDevice(&m_file);
    }

    void add(const QString &sql, const tw::db::Params &params)
    {
        auto it = m_ids.constFind(sql);
        if (it == m_ids.constEnd()) {
            it = m_ids.insert(sql, quint32(m_texts.size()));
            m_texts.append(sql);
        }
        m_out << *it << quint32(params.count());
        for (const tw::db::Param &p : params) {
            const tw::Variant &v = p.value;
            m_out << qint32(p.dataType) << qint32(v.kind());
            switch (v.kind()) {
            case tw::Variant::Kind::Boolean:
            case tw::Variant::Kind::Int32:
            case tw::Variant::Kind::Int64: m_out << qint64(v.toInt64()); break;
            case tw::Variant::Kind::Double: m_out << v.toDouble(); break;
            case tw::Variant::Kind::Empty:
            case tw::Variant::Kind::Null: break;
            default: m_out << v.toText(); break;
            }
        }
        ++m_count;
    }

    qint64 count() const { return m_count; }

    // Calls `run` with each statement in the order they ran.
    template <class Run>
    void replay(Run run)
    {
        m_file.flush();
        m_file.seek(0);
        QDataStream in(&m_file);
        for (qint64 n = 0; n < m_count; ++n) {
            quint32 id = 0, count = 0;
            in >> id >> count;
            std::vector<std::pair<tw::db::FieldType, tw::Variant>> values;
            for (quint32 i = 0; i < count; ++i) {
                qint32 type = 0, kind = 0;
                in >> type >> kind;
                tw::Variant v;
                qint64 whole = 0;
                switch (tw::Variant::Kind(kind)) {
                case tw::Variant::Kind::Boolean:
                    in >> whole;
                    v = tw::Variant(whole != 0);
                    break;
                case tw::Variant::Kind::Int32:
                    in >> whole;
                    v = tw::Variant(int(whole));
                    break;
                case tw::Variant::Kind::Int64:
                    in >> whole;
                    v = tw::Variant(whole);
                    break;
                case tw::Variant::Kind::Double: {
                    double x = 0;
                    in >> x;
                    v = tw::Variant(x);
                    break;
                }
                case tw::Variant::Kind::Empty: break;
                case tw::Variant::Kind::Null: v = tw::Variant::null(); break;
                default: {
                    QString x;
                    in >> x;
                    v = tw::Variant(x);
                    break;
                }
                }
                values.emplace_back(tw::db::FieldType(type), v);
            }
            run(m_texts.at(int(id)), values);
        }
    }

private:
    QTemporaryFile m_file;
    QDataStream m_out;
    QHash<QString, quint32> m_ids;
    QStringList m_texts;
    qint64 m_count = 0;
};

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "export_bench: %s\n", what.toLocal8Bit().constData());
    std::exit(1);
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Processor time of the process so far, user and system: unlike the wall clock, not
// stretched by whatever else the machine runs.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Prepared pages of the run: every page of every document in the package files.
qint64 countPages(const QString &outputDir, int *files)
{
    const QByteArray pageTag("<TfrxReportPage");
    qint64 pages = 0;
    const QFileInfoList list = QDir(outputDir).entryInfoList({QStringLiteral("*.xml")}, QDir::Files);
    *files = int(list.size());
    for (const QFileInfo &info : list) {
        QFile f(info.filePath());
        if (!f.open(QIODevice::ReadOnly))
            fail(f.fileName() + QStringLiteral(": ") + f.errorString());
        const QByteArray bytes = f.readAll();
        for (qsizetype at = bytes.indexOf(pageTag); at >= 0; at = bytes.indexOf(pageTag, at + 1))
            ++pages;
    }
    return pages;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    tw::frxInstallScriptMessages();

    QString home, summaryPath;
    QStringList exportArgs;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            fail(args[i] + QStringLiteral(" needs a value"));
        if (args[i] == QLatin1String("--home"))
            home = args[++i];
        else if (args[i] == QLatin1String("--summary"))
            summaryPath = args[++i];
        else {
            exportArgs << args[i] << args[i + 1];
            ++i;
        }
    }
    QString why;
    const auto exportWhat = tw::app::parseExportArgs(exportArgs, &why);
    if (home.isEmpty() || summaryPath.isEmpty() || !exportWhat)
        fail(QStringLiteral("usage: export_bench --home DIR --query NAME --from D --to D --summary FILE ") + why);

    StatementLog statements;
    qint64 sqlInRunNs = 0;
    tw::db::setStatementObserver([&](const QString &sql, const tw::db::Params &params, qint64 ns) {
        statements.add(sql, params);
        sqlInRunNs += ns;
    });

    tw::app::StderrMessageSink messages;
    tw::app::StartupEnvironment env;
    env.programDir = home;
    env.messages = &messages;
    std::unique_ptr<tw::app::Tform_dm> started;
    try {
        started = std::make_unique<tw::app::Tform_dm>(std::move(env));
    } catch (const tw::app::ProcessExit &e) {
        fail(QStringLiteral("start-up failed (exit code %1)").arg(e.exitCode));
    }
    tw::app::Tform_dm &dm = *started;
    tw::app::TemplateModelReportFactory reports;

    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    const int rc = tw::app::runExportVerb(dm, *exportWhat, reports);
    const qint64 runNs = clock.nsecsElapsed();
    const double runCpu = cpuSeconds() - cpuBefore;
    const long peakKiB = peakResidentKiB();
    const struct mallinfo2 heap = mallinfo2();
    tw::db::setStatementObserver({});

    // The same statements alone, one query object each, every row fetched.
    clock.restart();
    statements.replay([&](const QString &sql, const std::vector<std::pair<tw::db::FieldType, tw::Variant>> &values) {
        tw::db::Query q(&dm.Connection());
        q.setSql(sql);
        for (int i = 0; i < q.params().count() && i < int(values.size()); ++i) {
            q.params()[i].dataType = values[i].first;
            q.params()[i].value = values[i].second;
        }
        q.open();
    });
    const qint64 sqlAloneNs = clock.nsecsElapsed();

    int files = 0;
    const qint64 pages = countPages(dm.values().outputDir, &files);

    QFile summary(summaryPath);
    if (!summary.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(summaryPath + QStringLiteral(": ") + summary.errorString());
    QTextStream out(&summary);
    out << "exit_code=" << rc << '\n'
        << "packages=" << files << '\n'
        << "pages=" << pages << '\n'
        << "statements=" << statements.count() << '\n'
        << "run_seconds=" << double(runNs) / 1e9 << '\n'
        << "run_cpu_seconds=" << runCpu << '\n'
        << "sql_in_run_seconds=" << double(sqlInRunNs) / 1e9 << '\n'
        << "sql_alone_seconds=" << double(sqlAloneNs) / 1e9 << '\n'
        << "peak_rss_kib=" << peakKiB << '\n'
        << "heap_in_use_kib=" << heap.uordblks / 1024 << '\n'
        << "heap_from_system_kib=" << (heap.arena + heap.hblkhd) / 1024 << '\n';
    return 0;
}
