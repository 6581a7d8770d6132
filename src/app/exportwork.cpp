#include "app/exportwork.h"

#include "app/datamodule.h"
#include "app/errorlog.h"
#include "app/processexit.h"
#include "app/runlog.h"
#include "app/settingsnames.h"
#include "base/formatsettings.h"
#include "base/guid.h"
#include "report/engine/datasets.h"
#include "report/xml/xmldocument.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>

namespace tw::app {

quint32 SteadyTickCounter::ticks() const
{
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace exporttext {

QString queryNameOf(const QString &fileName)
{
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

QString periodText(TDateTime date)
{
    int y = 0, m = 0, d = 0;
    decodeDate(date, y, m, d);
    return QStringLiteral("%1-%2-%3").arg(y).arg(m).arg(d);
}

QString columnPrefix(const QString &columnName)
{
    const qsizetype at = columnName.indexOf(QLatin1Char('_'));
    return at < 0 ? QString() : columnName.left(at);
}

QString parameterName(const QString &columnName)
{
    const qsizetype at = columnName.indexOf(QLatin1Char('_'));
    return at < 0 ? columnName : columnName.mid(at + 1);
}

QString temporaryTableScript()
{
    static const char *const lines[] = {
        "if object_id('tempdb.dbo.[#TCalcs]') is not null DROP TABLE [dbo].[#TCalcs]",
        "CREATE TABLE  #TCalcs (calc_id int null) ",
        "CREATE  INDEX [Tcalc_id] ON [dbo].[#tcalcs]([calc_id]) ON [PRIMARY]",
        "if object_id('tempdb.dbo.[#Tbills]') is not null DROP TABLE [dbo].[#Tbills]",
        "CREATE TABLE  #Tbills (bill_id int) ",
        "CREATE  INDEX [Tbill_id] ON [dbo].[#tbills]([bill_id]) ON [PRIMARY]",
        "if object_id('tempdb.dbo.[#fincalcs]') is not null DROP TABLE [dbo].[#fincalcs] ",
        "select f.* into #fincalcs from fincalcs f where 0!=0 ",
        "CREATE INDEX [idx_fincalcs_bill_#id] ON [dbo].[#fincalcs]([bill_id] ,[pay_id])ON [PRIMARY] ",
        "CREATE INDEX [idx_fincalcs_calc_#id] ON [dbo].[#fincalcs]([calc_id]) ON [PRIMARY] ",
        "CREATE INDEX [idx_fincalcs_#payer] ON [dbo].[#fincalcs]([pay_id])  ON [PRIMARY] ",
        "ALTER TABLE #fincalcs ADD",
        "isExistFinc bit NULL,",
        "DEFAULT (0) FOR base,",
        "DEFAULT (0) FOR tax1,",
        "DEFAULT (0) FOR tax2,",
        "DEFAULT (0) FOR tax3,",
        "DEFAULT (0) FOR tax4,",
        "DEFAULT (0) FOR tax5,",
        "DEFAULT (0) FOR total,",
        "DEFAULT (0) FOR xtar_lgot,",
        "DEFAULT (0) FOR limDem,",
        "DEFAULT (1) FOR conductsU,",
        "DEFAULT (0) FOR fWithNds,",
        "DEFAULT (0) FOR AsCalcCalcs,",
        "DEFAULT (0) FOR aggr_delta,",
        "DEFAULT (0) FOR Inverse,",
        "DEFAULT (0) FOR forCorrect,",
        "DEFAULT (0) FOR forFillBudget,",
        "DEFAULT (0) FOR bitComplement",
    };
    QString text;
    for (const char *l : lines)
        text += QString::fromLatin1(l) + QStringLiteral("\r\n");
    return text;
}

qint64 roundHalfEven(qint64 num, qint64 den)
{
    qint64 q = num / den;
    const qint64 twice = 2 * (num % den);
    if (twice > den || (twice == den && (q & 1)))
        ++q;
    return q;
}

int progressPosition(qint64 j, qint64 n)
{
    return n > 0 ? int(roundHalfEven(100 * j, n)) : 0;
}

QString estimateText(qint64 j, qint64 q, qint64 n, quint32 elapsedMs)
{
    QString text = QStringLiteral("Выгружено ") + QString::number(j - q) + QLatin1Char('/')
                   + QString::number(n);
    if (j <= 1)
        return text;
    const qint64 g = roundHalfEven((n - j) * qint64(elapsedMs), j * 1000);
    text += QStringLiteral("   Осталось ");
    if (g > 3600)
        text += QString::number(g / 3600) + QStringLiteral(" час. ")
                + QString::number((g % 3600) / 60) + QStringLiteral(" мин.");
    else if (g > 60)
        text += QString::number(g / 60) + QStringLiteral(" мин. ") + QString::number(g % 60)
                + QStringLiteral(" сек.");
    else
        text += QString::number(g) + QStringLiteral(" сек.");
    return text;
}

QString summaryText(qint64 d, qint64 n, TDateTime elapsed)
{
    int h = 0, m = 0, s = 0, ms = 0;
    decodeTime(elapsed > 0 ? elapsed : 0.0, h, m, s, ms);
    QString text = QStringLiteral("Выгружено ") + QString::number(d) + QLatin1Char('/')
                   + QString::number(n) + QStringLiteral("    За ");
    if (h > 0)
        text += QString::number(h) + QStringLiteral(" час. ") + QString::number(m) + QStringLiteral(" мин.");
    else if (m > 0)
        text += QString::number(m) + QStringLiteral(" мин. ") + QString::number(s) + QStringLiteral(" сек.");
    else
        text += QString::number(s) + QStringLiteral(" сек.");
    return text;
}

QString packageDeclaration()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>");
}

QString packageHeader(const StartupValues &v)
{
    if (v.type == QLatin1String("oracle"))
        return QStringLiteral("<xml Type=\"") + v.type + QStringLiteral("\" Schema=\"") + v.schema
               + QStringLiteral("\">");
    if (v.type == QLatin1String("sqlite"))
        return QStringLiteral("<xml Type=\"") + v.type + QStringLiteral("\" Database=\"") + v.database
               + QStringLiteral("\">");
    return QStringLiteral("<xml Type=\"") + v.type + QStringLiteral("\" Server=\"") + v.server
           + QStringLiteral("\" Database=\"") + v.database + QStringLiteral("\">");
}

QString documentAttribute(const QString &name, const QString &value)
{
    // Escaped, so that a quote, "<" or "&" in the data cannot break the package file.
    return name + QStringLiteral("=\"") + EncodeXMLValue(value) + QStringLiteral("\" ");
}

QString documentStartTag(const QString &prefix, const QString &attributes)
{
    return QStringLiteral("<document type=\"") + prefix + QStringLiteral("\" ") + attributes
           + QLatin1Char('>');
}

QString preparedReportPiece(const QByteArray &fileBytes)
{
    // One pass over the text: the first line loses what ends at its first '>', and every
    // line, the last one too, ends in CR LF whatever break it had. The breaks are found
    // with the string search, which looks at many characters at a time.
    const QString text = QString::fromUtf8(fileBytes);
    const QStringView view(text);
    const qsizetype n = text.size();
    auto next = [&](char16_t c, qsizetype from) {
        const qsizetype at = view.indexOf(QChar(c), from);
        return at < 0 ? n : at;
    };
    qsizetype cr = next(u'\r', 0), lf = next(u'\n', 0);
    const qsizetype firstEnd = qMin(cr, lf);
    QString out;
    out.reserve(n + n / 32 + 2);
    qsizetype start = view.left(firstEnd).indexOf(u'>') + 1;
    for (;;) {
        const qsizetype at = qMin(cr, lf);
        if (at >= n)
            break;
        out.append(view.mid(start, at - start));
        out.append(QLatin1String("\r\n"));
        start = at == cr && lf == cr + 1 ? lf + 1 : at + 1;
        if (cr < start)
            cr = next(u'\r', start);
        if (lf < start)
            lf = next(u'\n', start);
    }
    // The rest, or a first line that was all declaration.
    if (start < n || (n > 0 && firstEnd == n)) {
        out.append(view.mid(start));
        out.append(QLatin1String("\r\n"));
    }
    return out;
}

} // namespace exporttext

QString preparationStoppedText()
{
    return QStringLiteral("Подготовка отчета прервана: выгрузку остановили");
}

QStringList listQueryNames(const QString &queryDir)
{
    QDir dir(queryDir.isEmpty() ? QStringLiteral(".") : queryDir);
    const QStringList entries =
        dir.entryList({QStringLiteral("*.sql")},
                      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDir::Unsorted);
    QStringList names;
    for (const QString &e : entries)
        names.append(exporttext::queryNameOf(e));
    return names;
}

namespace {

const QString kIdle = QStringLiteral("Выгрузить");
const QString kRunning = QStringLiteral("Отмена");
const QString kDone = QStringLiteral("Ok");

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString errorText(const std::exception &e)
{
    if (const auto *te = dynamic_cast<const Error *>(&e))
        return te->message();
    return QString::fromUtf8(e.what());
}

// What the parameter table is given for a column: dates as the column's own text (the value
// alone no longer tells a date from a number), everything else as its value.
Variant tableValue(const db::Field &f)
{
    if (f.isNull())
        return Variant::null();
    if (db::isDateTimeType(f.dataType()))
        return Variant(f.asString());
    return f.asVariant();
}

} // namespace

ExportWork::ExportWork(Tform_dm &dm, ExportView &view, ReportFactory &factory, ExportOptions options)
    : m_dm(dm), m_view(view), m_options(std::move(options)), m_components(factory)
{
    if (!m_options.ticks) {
        m_ownTicks = std::make_unique<SteadyTickCounter>();
        m_options.ticks = m_ownTicks.get();
    }
    if (!m_options.newGuid)
        m_options.newGuid = [] { return newGuidText(); };
    m_tmp.setConnection(&m_dm.Connection());
    m_components.CUST().SetDataSet(&m_vt);
    m_adoCommand1.setCommandText(exporttext::temporaryTableScript());
}

ExportWork::~ExportWork() = default;

void ExportWork::Ac_sqlfile()
{
    const QString queryDir = m_dm.values().queryDir;
    const QStringList names = listQueryNames(queryDir);
    m_view.setQueryNames(names);
    if (names.isEmpty()) {
        reportError(m_errLog,
                    QStringLiteral("Не найдены или нет доступа к файлам запросов к БД (маска поиска ")
                        + queryDir + QStringLiteral("*.sql)"),
                    0, m_dm.errorReporting());
        throw ProcessExit{1};
    }
}

void ExportWork::checkFailed(const QString &message)
{
    m_view.setButtonCaption(kIdle);
    m_view.setProgressVisible(false);
    m_result.outcome = RunResult::Outcome::Failed;
    reportError(m_errLog, message, 0, m_dm.errorReporting());
}

void ExportWork::runFailed(const QString &message)
{
    m_view.setButtonCaption(kIdle);
    m_view.setProgressVisible(false);
    m_view.setStatusText(QString());
    m_result.outcome = RunResult::Outcome::Failed;
    try {
        reportError(m_errLog, QStringLiteral("Ошибка: ") + message, 0, m_dm.errorReporting());
    } catch (const std::exception &e) {
        // The error log itself failed: the operator must still learn what happened.
        m_dm.messages().showMessage(errorCaption(), QStringLiteral("Ошибка: ") + message);
        m_dm.messages().showMessage(errorCaption(), errorText(e));
    }
}

void ExportWork::Ac_sqltext()
{
    using namespace exporttext;
    m_result = RunResult{};
    try {
        // 1-3
        m_view.setButtonCaption(kRunning);
        m_view.setProgressVisible(true);
        m_ini = std::make_unique<IniFile>(m_dm.settingsPath());
        const QString dt1 = periodText(m_view.periodStart());
        const QString dt2 = periodText(m_view.periodEnd());
        const QString queryName = m_view.selectedQueryName();

        // 4-6
        m_memo1.clear();
        m_memo1.loadFromFile(m_dm.values().queryDir + queryName + QStringLiteral(".sql"));
        m_tmp.setSql(m_memo1.text());
        db::Params &params = m_tmp.params();
        params.clear();
        params.add(QStringLiteral("dt1"), db::ftString, Variant(dt1));
        params.add(QStringLiteral("dt2"), db::ftString, Variant(dt2));
        m_tmp.open();

        // 7
        if (m_tmp.recordCount() == 0) {
            m_view.setButtonCaption(kDone);
            m_view.setProgressVisible(false);
            m_view.setStatusText(QStringLiteral("Выгружено 0/0"));
            m_result.outcome = RunResult::Outcome::NoRows;
            return;
        }

        // 8
        const QString section = settings::sectionReports();
        for (int i = 0; i < m_tmp.fieldCount(); ++i) {
            const QString prefix = columnPrefix(m_tmp.field(i).fieldName());
            if (m_ini->readString(section, prefix, QStringLiteral("0")) == QLatin1String("0")) {
                checkFailed(QStringLiteral("Не определен шаблон '") + prefix + QStringLiteral("'")
                            + QStringLiteral(" для запроса ") + QStringLiteral("'") + queryName
                            + QStringLiteral(".sql") + QStringLiteral("'"));
                return;
            }
            const QString entry = m_ini->readString(section, prefix, QString());
            if (!fileExists(entry) && !fileExists(m_dm.programDir() + entry)) {
                checkFailed(QStringLiteral("Не найден или нет доступа к файлу шаблона  '") + prefix
                            + QStringLiteral("'") + QStringLiteral(" (") + entry + QStringLiteral(")"));
                return;
            }
        }

        // 9. The script is T-SQL: other servers would reject it and no run could succeed.
        m_adoCommand1.setConnection(&m_dm.Connection());
        m_frxADOComponents1.SetDefaultDatabase(&m_dm.Connection());
        if (m_dm.values().type == QLatin1String("mssql"))
            m_adoCommand1.execute();
        Ac_sqlrep();
    } catch (const ProcessExit &) {
        throw;
    } catch (const std::exception &e) {
        runFailed(errorText(e));
    }
}

QString ExportWork::templatePathToLoad(const QString &entry) const
{
    // The check accepts an entry found under the program's directory; load that file when
    // the entry does not name one from the current directory.
    if (!fileExists(entry) && QFileInfo(entry).isRelative() && fileExists(m_dm.programDir() + entry))
        return m_dm.programDir() + entry;
    return entry;
}

ReportFacade &ExportWork::prefixReport(const QString &prefix)
{
    WindowComponents::Component *c = m_components.FindComponent(prefix);
    if (!c)
        throw Error(QStringLiteral("Не найден отчет '") + prefix + QStringLiteral("'"));
    if (!c->report)
        throw Error(QStringLiteral("Префикс колонок '") + prefix
                    + QStringLiteral("' совпадает с именем компонента главного окна (")
                    + c->name + QStringLiteral("), который не является отчетом"));
    return *c->report;
}

void ExportWork::prepare(ReportFacade &report)
{
    m_preparing = &report;
    m_preparationStopped = false;
    struct Done {
        ReportFacade *&preparing;
        ~Done() { preparing = nullptr; }
    } done{m_preparing};
    report.PrepareReport(true);
    // The pages of a report ended early are incomplete: the document is not written.
    if (m_preparationStopped)
        throw Error(preparationStoppedText());
}

void ExportWork::processMessagesWhilePreparing()
{
    m_view.processPendingMessages();
    if (m_preparing && !m_preparationStopped && m_view.stopRequested()) {
        m_preparationStopped = true;
        m_preparing->Terminate();
    }
}

void ExportWork::Ac_sqlrep()
{
    using namespace exporttext;
    const ErrorReporting ctx = m_dm.errorReporting();
    const Clock &clock = m_dm.clock();
    const StartupValues &values = m_dm.values();
    const QString section = settings::sectionReports();
    const QString fp3Path = values.outputDir + QStringLiteral("1.fp3");

    // Start 1-2
    m_goodLog.clear();
    m_errLog.clear();
    runlog::remove(ctx.files);
    const TDateTime startTime = clock.now();

    const int columns = m_tmp.fieldCount();
    QStringList names, prefixes, paramNames;
    for (int i = 0; i < columns; ++i) {
        names.append(m_tmp.field(i).fieldName());
        prefixes.append(columnPrefix(names.back()));
        paramNames.append(parameterName(names.back()));
    }

    // Start 3
    ReportFacade *lastCreated = nullptr;
    for (int i = 0; i < columns; ++i) {
        const QString &prefix = prefixes[i];
        if (WindowComponents::Component *c = m_components.FindComponent(prefix)) {
            prefixReport(c->name); // refuses a part of the window that is not a report
            continue;
        }
        ReportFacade &report = m_components.createReport(prefix);
        try {
            report.LoadFromFile(templatePathToLoad(m_ini->readString(section, prefix, QString())), true);
        } catch (...) {
            // Left in place, the empty report would be found by name and used by later runs.
            m_components.freeReport(&report);
            throw;
        }
        lastCreated = &report;
    }

    // Start 4-6
    m_view.setProgressPosition(0);
    const qint64 n = m_tmp.recordCount();
    m_goodLog.add(runlog::startLine(logDateTime(clock), m_view.caption()));
    m_goodLog.add(runlog::beginLine(logDateTime(clock), values.queryDir, m_view.selectedQueryName(),
                                    m_view.periodStart(), m_view.periodEnd(), n,
                                    FormatSettings::current()));
    qint64 q = 0;
    m_tmp.first();
    const quint32 startTick = m_options.ticks->ticks();
    quint32 lastTick = startTick;

    QString currentPrefix = columns > 0 ? prefixes.back() : QString();
    bool stopped = false;
    qint64 j = 1;
    for (; j <= n; ++j) {
        // Before the column loop, a failure names the last column's template, not the
        // column where the previous package failed.
        currentPrefix = columns > 0 ? prefixes.back() : QString();
        try {
            // 1
            if (m_view.stopRequested()) {
                const bool stop = m_view.askOkCancel(QStringLiteral("Внимание"),
                                                     QStringLiteral("Остановить выгрузку?"));
                m_view.clearStopRequest();
                if (stop) {
                    stopped = true;
                    break;
                }
            } else {
                m_view.setProgressPosition(progressPosition(j, n));
            }
            // 2-3
            LineList package;
            package.setEncoding(TextEncoding::Utf8);
            package.add(packageDeclaration());
            package.add(packageHeader(values));
            m_view.setStatusText(estimateText(j, q, n, lastTick - startTick));

            // 4
            for (int i = 0; i < columns; ++i) {
                currentPrefix = prefixes[i];
                const QString &prefix = prefixes[i];
                if (prefixes.indexOf(prefix) < i || m_tmp.field(i).isNull())
                    continue;
                DocumentParameters parameters;
                QString attributes;
                for (int k = i; k < columns; ++k) {
                    if (prefixes[k] != prefix)
                        continue;
                    parameters.append({paramNames[k], tableValue(m_tmp.field(k))});
                    attributes += documentAttribute(paramNames[k], m_tmp.field(k).asString());
                }
                fillDocumentRow(m_vt, parameters);
                package.add(documentStartTag(prefix, attributes));

                ReportFacade &report = prefixReport(prefix);
                report.setSilentModeReThrow();
                prepare(report);
                package.add(preparedReportPiece(report.writePreparedScratch(fp3Path)));
                package.add(QStringLiteral("</document>"));
            }
            currentPrefix = columns > 0 ? prefixes.back() : QString();

            // 5. Saved through a temporary file renamed when complete: a reader of the
            // directory never sees half a package.
            package.add(QStringLiteral("</xml>"));
            const QString guid = m_options.newGuid();
            if (guid.isEmpty())
                throw Error(QStringLiteral("Не удалось получить GUID для имени файла пакета"));
            const QString packagePath = values.outputDir + guid + QStringLiteral(".xml");
            package.saveToFile(packagePath);

            // 6-7
            QVector<QPair<QString, QString>> row;
            for (int i = 0; i < columns; ++i)
                row.append({names[i], m_tmp.field(i).asString()});
            m_goodLog.add(runlog::exportedLine(logDateTime(clock), row, packagePath));
            lastTick = m_options.ticks->ticks();
            m_tmp.next();
        } catch (const ProcessExit &) {
            throw;
        } catch (const std::exception &e) {
            m_view.setStatusErrorLink(true);
            ++q;
            QString dump;
            for (int f = 0; f < m_vt.fieldCount(); ++f)
                dump += QStringLiteral(" [") + m_vt.field(f).fieldName() + QStringLiteral("]=")
                        + m_vt.field(f).asString() + QLatin1Char(';');
            reportError(m_errLog,
                        logDateTime(clock) + QLatin1Char(' ')
                            + m_ini->readString(section, currentPrefix, QString()) + QStringLiteral("; ")
                            + dump + QLatin1Char(' ') + errorText(e),
                        1, ctx);
            lastTick = m_options.ticks->ticks();
            m_tmp.next();
        }
    }

    // End 1-4
    if (lastCreated)
        m_components.freeReport(lastCreated);
    m_goodLog.add(runlog::endLine(logDateTime(clock)));
    runlog::write(m_goodLog, ctx.files);
    const qint64 d = stopped ? j - 1 - q : n - q;
    m_view.setStatusText(summaryText(d, n, clock.now() - startTime));
    m_view.setButtonCaption(kDone);

    m_result.outcome = stopped ? RunResult::Outcome::Stopped : RunResult::Outcome::Completed;
    m_result.packages = n;
    m_result.failed = q;
    m_result.written = d;
}

} // namespace tw::app
