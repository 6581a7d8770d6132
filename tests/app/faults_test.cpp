// Faults an export run meets: the process killed at any moment, a full or read-only output
// directory, the database connection dropped in the middle, a template script that never
// ends. The file faults come from a preloaded library (tests/support/faultshim.cpp), so the
// real executable runs unchanged.
#include "exporttestutil.h"
#include "tarnwellrun.h"

#include "app/modelreport.h"
#include "db/query.h"
#include "support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <signal.h>

using namespace tw;
using namespace tw::app;
using namespace tw::app::test;

namespace {

// The memo texts of a package's documents, each list headed by the bill number; empty with
// *error set when the file is not a whole package.
QVector<QStringList> packageDocuments(const QByteArray &bytes, QString *error)
{
    QVector<QStringList> documents;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("document"))
            documents.append({xml.attributes().value(QStringLiteral("id1")).toString()});
        else if (!documents.isEmpty() && xml.attributes().hasAttribute(QStringLiteral("u")))
            documents.last().append(xml.attributes().value(QStringLiteral("u")).toString());
    }
    if (xml.hasError())
        *error = xml.errorString();
    else if (!bytes.endsWith("</document>\r\n</xml>\r\n"))
        *error = QStringLiteral("no end");
    return documents;
}

// A program directory for the executable: an SQLite database, one package query of bills
// and the template faults.fr3 (bill 2 raises an error, bill 9 loops for ever).
class FaultRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(makeBillHome(home, QStringLiteral("app/templates/faults.fr3"))); }

    // One package per bill number, in this order, all of the period's first day.
    void bills(const QList<int> &ids)
    {
        QString values;
        for (int i = 0; i < ids.size(); ++i)
            values += QStringLiteral("%1(%2, %3)").arg(i ? QStringLiteral(", ") : QString()).arg(i).arg(ids[i]);
        tw::test::writeBytes(home.file(QStringLiteral("q/bills.sql")),
                             (QStringLiteral("with ids(n, i) as (values ") + values
                              + QStringLiteral(") select i as bill_id1, :dt1 as bill_from from ids where :dt2 <> '' order by n"))
                                 .toUtf8());
    }

    QStringList exportArgs() const
    {
        return {QStringLiteral("--home"), home.path(), QStringLiteral("export"), QStringLiteral("--query"), QStringLiteral("bills"),
                QStringLiteral("--from"), QStringLiteral("2014-01-01"), QStringLiteral("--to"), QStringLiteral("2014-01-31")};
    }

    // An export run with the fault library preloaded and the given settings of it.
    TarnwellRun runWithFaults(const QStringList &faults) const
    {
        return runProgram(QStringLiteral(TARNWELL_EXE), exportArgs(), 20000,
                          QStringList{QStringLiteral("LD_PRELOAD=") + QStringLiteral(TARNWELL_FAULTSHIM)} + faults);
    }

    QString outDir() const { return home.file(QStringLiteral("out")); }

    QStringList outFiles() const { return QDir(outDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QStringList packageFiles() const { return QDir(outDir()).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name); }

    QString errorLog() const
    {
        const QStringList files = QDir(home.logsDir()).entryList({QStringLiteral("Tarnwell_*.error.txt")}, QDir::Files);
        return files.isEmpty() ? QString()
                               : QString::fromUtf8(tw::test::readBytes(home.logsDir() + QLatin1Char('/') + files.first()));
    }

    // The error log's entries (a failure's message may span lines), each without its date:
    // an entry starts with the date and the template's path.
    QStringList errorEntries() const
    {
        const QRegularExpression dated(QStringLiteral("^.*? (?=") + QRegularExpression::escape(templatePath())
                                           + QStringLiteral(";)"),
                                       QRegularExpression::MultilineOption);
        QString text = errorLog();
        text.replace(dated, QStringLiteral("\x01"));
        return text.split(QLatin1Char('\x01'), Qt::SkipEmptyParts);
    }

    QString templatePath() const { return home.file(QStringLiteral("tpl/b.fr3")); }

    void expectOnlyWholeFiles(const QString &failureEntry, QMap<QString, int> *bills) const;
    mutable QSet<QString> m_linted; // package files xmllint found well-formed

    // Removes what runs wrote to the output and logs directories; temporary files left by
    // killed runs stay when asked (they change nothing in what a run does).
    void clearRunFiles(bool keepTemporary = false) const
    {
        static const QRegularExpression finalName(QStringLiteral("(\\.xml|\\.fp3|\\.txt)$"));
        for (const QString &dir : {outDir(), home.logsDir()}) {
            QDir d(dir);
            for (const QString &f : d.entryList(QDir::Files | QDir::Hidden))
                if (!keepTemporary || finalName.match(f).hasMatch())
                    d.remove(f);
        }
    }

    Home home;
};

} // namespace

// ---- killed at any moment -------------------------------------------------------------------

// What a killed run may leave: complete packages of bills 1 and 3, the complete 1.fp3, an
// unnamed temporary file given a name but not yet renamed ("<name>.XXXXXX"), a complete
// run log, whole error-log entries (each the given one). *bills gets the number of
// packages of each bill.
void FaultRun::expectOnlyWholeFiles(const QString &failureEntry, QMap<QString, int> *bills) const
{
    static const QRegularExpression package(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.xml$"));
    static const QRegularExpression temporary(
        QStringLiteral("^(1\\.fp3|[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.xml)\\.[A-Za-z0-9]{6}$"));
    const QDir out(outDir());
    for (const QString &name : out.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const QByteArray bytes = tw::test::readBytes(out.filePath(name));
        if (package.match(name).hasMatch()) {
            // A package file never changes once it has its name: one look by xmllint is enough.
            if (!m_linted.contains(name)) {
                EXPECT_EQ(xmllintComplaint(out.filePath(name)), QString()) << name.toStdString();
                m_linted.insert(name);
            }
            QString error;
            const QVector<QStringList> documents = packageDocuments(bytes, &error);
            ASSERT_EQ(error, QString()) << name.toStdString() << "\n" << bytes.constData();
            ASSERT_EQ(documents.size(), 1) << bytes.constData();
            const QString id = documents[0].first();
            const QString texts = documents[0].mid(1).join(QLatin1Char('|'));
            EXPECT_EQ(texts, QStringLiteral("Счёт № %1 с 2014-1-1|Десятикратно %2").arg(id).arg(id.toInt() * 10))
                << name.toStdString();
            (*bills)[id] += 1;
        } else if (name == QLatin1String("1.fp3")) {
            EXPECT_TRUE(bytes.startsWith("<?xml ") && bytes.endsWith("</preparedreport>")) << bytes.right(80).constData();
        } else {
            // Never a package by its name; the next run neither reads nor reuses it.
            EXPECT_TRUE(temporary.match(name).hasMatch()) << "unexpected file " << name.toStdString();
        }
    }

    const QDir logs(home.logsDir());
    for (const QString &name : logs.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const QString text = QString::fromUtf8(tw::test::readBytes(logs.filePath(name)));
        if (name == QLatin1String("Tarnwell.log.txt")) {
            EXPECT_TRUE(text.endsWith(QStringLiteral(" Закончили выгрузку.\r\n"))) << text.toStdString();
        } else if (name.endsWith(QLatin1String(".error.txt"))) {
            for (const QString &entry : errorEntries())
                EXPECT_EQ(entry, failureEntry);
        } else {
            static const QRegularExpression logTemporary(QStringLiteral("^Tarnwell(\\.log|_\\d+\\.error)\\.txt\\.[A-Za-z0-9]{6}$"));
            EXPECT_TRUE(logTemporary.match(name).hasMatch()) << "unexpected file " << name.toStdString();
        }
    }
}

// The run is killed before every file operation it makes (in the middle of every write):
// whatever it leaves is whole. On a file system without unnamed temporary files the
// temporary files have names from the start, and a killed run leaves them half written,
// under names no package has. A last run over the temporary files of all the killed ones
// writes its packages as ever.
TEST_F(FaultRun, KilledAtAnyMomentLeavesOnlyWholeFiles)
{
    tw::test::Watchdog watchdog(240, "the killed runs");
    const struct {
        const char *name;
        QStringList fault;
    } fileSystems[] = {
        {"unnamed temporary files", {}},
        {"named temporary files only", {QStringLiteral("TW_FAULT_NO_TMPFILE=1")}},
    };
    bills({1, 2, 3});
    const QString trace = home.file(QStringLiteral("trace.txt"));
    for (const auto &fileSystem : fileSystems) {
        SCOPED_TRACE(fileSystem.name);
        const QStringList fault = fileSystem.fault + QStringList{QStringLiteral("TW_FAULT_DIR=") + home.path()};

        // The moments: every file operation of a whole run in the program's directory.
        clearRunFiles();
        const TarnwellRun whole = runWithFaults(fault + QStringList{QStringLiteral("TW_FAULT_TRACE=") + trace});
        ASSERT_EQ(whole.exitCode, 2) << whole.err.toStdString();
        const QStringList operations =
            QString::fromUtf8(tw::test::readBytes(trace)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QFile::remove(trace);
        ASSERT_GE(operations.size(), 12) << operations.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(packageFiles().size(), 2);
        const QStringList entries = errorEntries();
        ASSERT_EQ(entries.size(), 1) << errorLog().toStdString();
        const QString failure = entries[0];
        EXPECT_TRUE(failure.startsWith(templatePath() + QStringLiteral(";  [id1]=2; [from]=2014-1-1; "))) << failure.toStdString();
        EXPECT_TRUE(failure.contains(QStringLiteral("счёт 2 не выгружается\r\n"))) << failure.toStdString();

        QMap<QString, int> before;
        for (int k = 1; k <= operations.size(); ++k) {
            SCOPED_TRACE(QStringLiteral("killed at %1: %2").arg(k).arg(operations[k - 1]).toStdString());
            clearRunFiles(true);
            const TarnwellRun killed = runWithFaults(fault + QStringList{QStringLiteral("TW_FAULT_KILL_AT=%1").arg(k)});
            ASSERT_EQ(killed.exitCode, -2) << "not killed: " << killed.err.toStdString();
            before.clear();
            expectOnlyWholeFiles(failure, &before);
            EXPECT_FALSE(before.contains(QStringLiteral("2")));
            if (HasFailure())
                return;
        }

        const QStringList leftOver = outFiles().filter(QRegularExpression(QStringLiteral("\\.[A-Za-z0-9]{6}$")));
        EXPECT_FALSE(leftOver.isEmpty()) << "no temporary file left to cope with";
        const TarnwellRun next = runTarnwell(exportArgs());
        ASSERT_EQ(next.exitCode, 2) << next.err.toStdString();
        EXPECT_TRUE(next.err.contains(QStringLiteral("Выгружено 2/3    За "))) << next.err.toStdString();
        EXPECT_EQ(outFiles().filter(QRegularExpression(QStringLiteral("\\.[A-Za-z0-9]{6}$"))), leftOver);
        QMap<QString, int> after;
        expectOnlyWholeFiles(failure, &after);
        EXPECT_EQ(after.value(QStringLiteral("1")), before.value(QStringLiteral("1")) + 1);
        EXPECT_EQ(after.value(QStringLiteral("3")), before.value(QStringLiteral("3")) + 1);
    }
}

// ---- full disk, read-only output directory --------------------------------------------------

// Every package fails with the system's reason, the run ends with its summary, and the
// output directory is left as it was: no package, no partial file.
TEST_F(FaultRun, OutputDirectoryThatCannotBeWrittenFailsEachPackage)
{
    tw::test::Watchdog watchdog(60, "the disk faults");
    const struct {
        const char *name;
        QString fault;
        QString reason;
    } cases[] = {
        {"full disk", QStringLiteral("TW_FAULT_SPACE=0"), QStringLiteral("No space left on device")},
        {"disk full in the middle of a file", QStringLiteral("TW_FAULT_SPACE=100"), QStringLiteral("No space left on device")},
        {"read-only", QStringLiteral("TW_FAULT_READONLY=1"), QStringLiteral("Read-only file system")},
    };
    bills({1, 3, 4});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        clearRunFiles();
        const TarnwellRun r = runWithFaults({QStringLiteral("TW_FAULT_DIR=") + outDir(), c.fault});
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Выгружено 0/3    За "))) << r.err.toStdString();
        EXPECT_EQ(outFiles(), QStringList());
        const QStringList entries = errorEntries();
        ASSERT_EQ(entries.size(), 3) << errorLog().toStdString();
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(entries[i].contains(QStringLiteral(" [id1]=%1; ").arg(QList<int>{1, 3, 4}[i]))) << entries[i].toStdString();
            EXPECT_TRUE(entries[i].endsWith(c.reason + QStringLiteral("\r\n"))) << entries[i].toStdString();
        }
    }
}

// ---- a script that never ends ---------------------------------------------------------------

// Ctrl-C while the template's script loops: the report is ended at once, its package fails,
// and the run stops with its summary.
TEST_F(FaultRun, InterruptEndsAScriptThatNeverEnds)
{
    tw::test::Watchdog watchdog(60, "the endless script");
    bills({1, 9, 3});
    QProcess p;
    p.setProcessEnvironment(childEnvironment());
    p.setReadChannel(QProcess::StandardError);
    p.start(QStringLiteral(TARNWELL_EXE), exportArgs());
    p.closeWriteChannel();
    QByteArray err;
    while (!err.contains("Выгружено 2/3") && p.waitForReadyRead(10000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("Выгружено 2/3")) << err.toStdString();
    // Well inside the loop of bill 9 by now.
    EXPECT_FALSE(p.waitForFinished(300)) << "bill 9 came to an end";

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(p.processId()), SIGINT);
    const bool finished = p.waitForFinished(5000);
    const qint64 tookMs = stopping.elapsed();
    if (!finished) {
        p.kill();
        p.waitForFinished();
    }
    ASSERT_TRUE(finished) << "the script was not stopped";
    EXPECT_LT(tookMs, 1000);
    err += p.readAllStandardError();
    const QString text = QString::fromUtf8(err);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 2) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Внимание: Остановить выгрузку?\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Выгружено 1/3    За "))) << text.toStdString();
    EXPECT_EQ(packageFiles().size(), 1);
    const QStringList entries = errorEntries();
    ASSERT_EQ(entries.size(), 1) << errorLog().toStdString();
    EXPECT_TRUE(entries[0].endsWith(QStringLiteral(" [id1]=9; [from]=2014-1-1; ") + preparationStoppedText()
                                    + QStringLiteral("\r\n")))
        << entries[0].toStdString();
}

// ---- the database connection dropped in the middle of a run ----------------------------------

// When package 2 starts, a second connection ends the export's server process: that
// package's query fails with the server's message, so do the later ones (the program
// does not connect again: the session's temporary tables would be gone), and the run ends
// with its summary. No package without its data is written.
TEST(FaultDatabase, DroppedConnectionFailsTheLaterPackagesAndTheRunEnds)
{
    QTemporaryDir dir;
    QString pg;
    tw::test::requireTestDb(tw::test::TestDb::PostgresOdbc, dir.path(), &pg);
    if (pg.isEmpty())
        return;
    tw::test::Watchdog watchdog(60, "the run on a dropped connection");

    TemplateModelReportFactory reports;
    ExportFixture f;
    const QString tpl = f.home.file(QStringLiteral("tpl/ft1.fr3"));
    QFile::remove(tpl);
    ASSERT_TRUE(QFile::copy(tw::test::fixturePath(QStringLiteral("app/templates/custparams.fr3")), tpl));
    f.writeQuery(QStringLiteral("pk.sql"),
                 QStringLiteral("select i as ft1_id1, cast(:dt1 as varchar(10)) as ft1_from "
                                "from generate_series(1, 4) as g(i) where :dt2 <> '' order by i"));
    f.reports = &reports;
    f.connectionString = pg;
    f.start();

    db::Query who;
    who.setConnection(&f.dm->Connection());
    who.setSql(QStringLiteral("select pg_backend_pid()"));
    who.open();
    const QString pid = who.field(0).asString();
    who.close();
    bool dropped = false;
    f.view.onStatus = [&](const QString &text) {
        if (dropped || !text.startsWith(QStringLiteral("Выгружено 2/4")))
            return;
        db::Connection admin;
        admin.setConnectionString(pg);
        admin.open(nullptr);
        db::Query end;
        end.setConnection(&admin);
        // Waits until the process is gone, so the next statement meets a closed connection.
        end.setSql(QStringLiteral("select pg_terminate_backend(") + pid + QStringLiteral(", 10000)"));
        end.open();
        dropped = end.field(0).asString() == QLatin1String("1") || end.field(0).asVariant().toBool();
    };
    f.run();
    ASSERT_TRUE(dropped);

    const RunResult &r = f.work->lastRun();
    EXPECT_EQ(r.outcome, RunResult::Outcome::Completed);
    EXPECT_EQ(r.packages, 4);
    EXPECT_EQ(r.failed, 3);
    EXPECT_TRUE(f.view.status.startsWith(QStringLiteral("Выгружено 1/4    За "))) << f.view.status.toStdString();
    ASSERT_EQ(f.packageFiles().size(), 1);
    QString error;
    const QVector<QStringList> documents = packageDocuments(f.package(1), &error);
    ASSERT_EQ(documents.size(), 1) << error.toStdString();
    EXPECT_EQ(documents[0].mid(1).join(QLatin1Char('|')), QStringLiteral("Счёт № 1 с 2014-1-1|Десятикратно 10"));

    const QString log = f.errorLog();
    for (int id = 2; id <= 4; ++id)
        EXPECT_TRUE(log.contains(QStringLiteral(" [id1]=%1; [from]=2014-1-1; ").arg(id))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("terminating connection due to administrator command"))) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("The following error(s) have occured:")), 3) << log.toStdString();
    EXPECT_TRUE(log.endsWith(QStringLiteral("\r\n")));
}

// ---- a logs directory that cannot be written ---------------------------------------------------

// The packages are written; the run log cannot be, and the run says so and fails instead of
// ending as if its log were there. No partial log is left.
TEST_F(FaultRun, LogsDirectoryThatCannotBeWrittenFailsTheRun)
{
    tw::test::Watchdog watchdog(60, "the logs faults");
    const struct {
        const char *name;
        QString fault;
        QString reason;
    } cases[] = {
        {"full disk", QStringLiteral("TW_FAULT_SPACE=0"), QStringLiteral("No space left on device")},
        {"read-only", QStringLiteral("TW_FAULT_READONLY=1"), QStringLiteral("Read-only file system")},
    };
    bills({1, 3});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        clearRunFiles();
        const TarnwellRun r = runWithFaults({QStringLiteral("TW_FAULT_DIR=") + home.logsDir(), c.fault});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Tarnwell.log.txt\". ") + c.reason)) << r.err.toStdString();
        EXPECT_EQ(packageFiles().size(), 2);
        EXPECT_EQ(QDir(home.logsDir()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
}
