#pragma once

#include "app/exportview.h"
#include "app/reportfacade.h"
#include "app/runlog.h"
#include "app/startupvalues.h"
#include "app/virtualtable.h"
#include "base/datetime.h"
#include "base/inifile.h"
#include "base/linelist.h"
#include "db/query.h"
#include "report/engine/databaseobjects.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace tw::app {

class Tform_dm;

// A millisecond tick counter that wraps around at 2^32, like the platform's.
class TickCounter {
public:
    virtual ~TickCounter() = default;
    virtual quint32 ticks() const = 0;
};

class SteadyTickCounter : public TickCounter {
public:
    quint32 ticks() const override;
};

// The texts and numbers of an export run, kept apart so they can be checked on their own.
namespace exporttext {

// The part of a file name before its first ".".
QString queryNameOf(const QString &fileName);
// Year-month-day without leading zeros: 1 March 2014 gives "2014-3-1".
QString periodText(TDateTime date);
// The text before the first "_" (empty without one) and everything after it.
QString columnPrefix(const QString &columnName);
QString parameterName(const QString &columnName);
// The server's temporary tables for the templates' own queries, lines ended by CR LF.
QString temporaryTableScript();

// num / den rounded to the nearest whole number, halves to the even one (num >= 0, den > 0).
qint64 roundHalfEven(qint64 num, qint64 den);
// The progress bar during package j of n.
int progressPosition(qint64 j, qint64 n);
// The status label at the start of package j, q packages having failed, elapsedMs since
// the first package started.
QString estimateText(qint64 j, qint64 q, qint64 n, quint32 elapsedMs);
// The status label after the run: d packages written of n in the time elapsed (days).
QString summaryText(qint64 d, qint64 n, TDateTime elapsed);

QString packageDeclaration();
// The second line of a package file, for the database type of the start-up values.
QString packageHeader(const StartupValues &values);
// <document type="P" name="value" ... > with the values escaped for an attribute.
QString documentStartTag(const QString &prefix, const QString &attributes);
// name="value" followed by a blank.
QString documentAttribute(const QString &name, const QString &value);
// A prepared-report file's text without its declaration: every line followed by CR LF.
QString preparedReportPiece(const QByteArray &fileBytes);

} // namespace exporttext

// The error of a package whose report was ended early by a stop request.
QString preparationStoppedText();

// The package query names of a directory (entries matching *.sql, in the order found).
QStringList listQueryNames(const QString &queryDir);

// What the last export run came to.
struct RunResult {
    enum class Outcome {
        None,      // no run yet
        Failed,    // a check or an error ended the run before or outside its package loop
        NoRows,    // the query gave no packages
        Completed, // every package was tried
        Stopped,   // the operator stopped between packages
    };
    Outcome outcome = Outcome::None;
    qint64 packages = 0; // N
    qint64 failed = 0;   // q
    qint64 written = 0;  // packages processed without failure
};

struct ExportOptions {
    const TickCounter *ticks = nullptr;   // null: a steady clock
    std::function<QString()> newGuid;     // empty: a new random GUID
};

// The main window's work without its widgets: listing the package queries, running the
// chosen one, and the package loop. The window (or the headless export) is the view.
class ExportWork {
public:
    ExportWork(Tform_dm &dm, ExportView &view, ReportFactory &factory, ExportOptions options = {});
    ~ExportWork();
    ExportWork(const ExportWork &) = delete;
    ExportWork &operator=(const ExportWork &) = delete;

    // Fills the query list; with no query at all reports it and raises ProcessExit{1}.
    void Ac_sqlfile();
    // One whole export run for the selected query and period, with its error guard.
    void Ac_sqltext();

    const RunResult &lastRun() const { return m_result; }

    // The engine's pending-messages hook (see EngineMessages): the view
    // handles its pending input; a stop request made while a report prepares ends that
    // report's loops (Terminated), and its package then fails with preparationStoppedText().
    // The stop request stays set, so the next package still asks whether to stop.
    void processMessagesWhilePreparing();

    // The window's non-visual parts.
    db::Query &tmp() { return m_tmp; }
    TVirtualTable &vt() { return m_vt; }
    // The report dataset over vt, owned by the window's components.
    TfrxDBDataset &CUST() { return m_components.CUST(); }
    db::Command &ADOCommand1() { return m_adoCommand1; }
    // frxADOComponents1: the holder of the default database of the templates' queries,
    // given the program's connection by a run before the package loop.
    TfrxADOComponents &frxADOComponents1() { return m_frxADOComponents1; }
    db::Connection *defaultDatabase() const { return m_frxADOComponents1.DefaultDatabase(); }
    WindowComponents &components() { return m_components; }
    const LineList &Memo1() const { return m_memo1; }
    const runlog::Lines &good_log() const { return m_goodLog; }
    const LineList &err_log() const { return m_errLog; }

private:
    void Ac_sqlrep();
    void checkFailed(const QString &message);
    void runFailed(const QString &message);
    ReportFacade &prefixReport(const QString &prefix);
    // PrepareReport(true) as the report that a stop request may end.
    void prepare(ReportFacade &report);
    QString templatePathToLoad(const QString &entry) const;

    Tform_dm &m_dm;
    ExportView &m_view;
    ExportOptions m_options;
    std::unique_ptr<TickCounter> m_ownTicks;

    db::Query m_tmp;
    TVirtualTable m_vt; // outlives m_components and so CUST
    db::Command m_adoCommand1;
    TfrxADOComponents m_frxADOComponents1;
    WindowComponents m_components;
    std::unique_ptr<IniFile> m_ini;
    LineList m_memo1;
    runlog::Lines m_goodLog;
    LineList m_errLog;
    RunResult m_result;
    ReportFacade *m_preparing = nullptr; // the report being prepared, if any
    bool m_preparationStopped = false;   // a stop request ended it
};

} // namespace tw::app
