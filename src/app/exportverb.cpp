#include "app/exportverb.h"

#include "app/datamodule.h"
#include "app/enginemessages.h"
#include "app/exportwork.h"
#include "app/headlessview.h"

#include <QRegularExpression>

#include <cstdio>

namespace tw::app {

namespace {

std::optional<ExportArgs> fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

bool parseDate(const QString &text, TDateTime &out)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const auto m = form.match(text);
    if (!m.hasMatch())
        return false;
    return tryEncodeDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), out);
}

void printLine(const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

std::optional<ExportArgs> parseExportArgs(const QStringList &args, QString *error)
{
    ExportArgs a;
    bool haveQuery = false, haveFrom = false, haveTo = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString raw = args[i];
        QString opt = raw;
        QString value;
        const qsizetype eq = opt.indexOf(QLatin1Char('='));
        if (opt.startsWith(QLatin1String("--")) && eq > 0) {
            value = opt.mid(eq + 1);
            opt = opt.left(eq);
        } else {
            if (!opt.startsWith(QLatin1String("--")))
                return fail(error, QStringLiteral("unknown export argument: ") + raw);
            if (i + 1 >= args.size())
                return fail(error, opt + QStringLiteral(" needs a value"));
            value = args[++i];
        }
        if (opt == QLatin1String("--query")) {
            if (value.isEmpty())
                return fail(error, QStringLiteral("--query needs a query name"));
            a.query = value;
            haveQuery = true;
        } else if (opt == QLatin1String("--from") || opt == QLatin1String("--to")) {
            TDateTime d = 0;
            if (!parseDate(value, d))
                return fail(error, opt + QStringLiteral(" needs a date YYYY-MM-DD, not '") + value
                                       + QLatin1Char('\''));
            (opt == QLatin1String("--from") ? a.from : a.to) = d;
            (opt == QLatin1String("--from") ? haveFrom : haveTo) = true;
        } else {
            return fail(error, QStringLiteral("unknown export option: ") + raw);
        }
    }
    if (!haveQuery || !haveFrom || !haveTo)
        return fail(error, QStringLiteral("export needs --query, --from and --to"));
    if (a.from > a.to)
        return fail(error, QStringLiteral("--from is after --to"));
    return a;
}

QString exportUsageText()
{
    return QStringLiteral(
        "  export --query NAME --from YYYY-MM-DD --to YYYY-MM-DD\n"
        "               export the packages of a query without a window; progress on stderr,\n"
        "               Ctrl-C stops the run (a report being prepared is ended and its package\n"
        "               fails), a second Ctrl-C ends the program. Exit 0: every package written;\n"
        "               2: some failed or the run was stopped; 1: the run failed\n");
}

int runExportVerb(Tform_dm &dm, const ExportArgs &args, ReportFactory &factory)
{
    HeadlessExportView view;
    view.setPeriod(args.from, args.to);
    ExportWork work(dm, view, factory);
    work.Ac_sqlfile();
    if (!view.selectQuery(args.query)) {
        QStringList known = view.queryNames();
        known.removeDuplicates();
        printLine(QStringLiteral("tarnwell export: unknown query '") + args.query
                  + QStringLiteral("'; known queries: ") + known.join(QStringLiteral(", ")));
        return ExportRunFailed;
    }
    HeadlessExportView::installInterruptHandler();
    // Ctrl-C ends a report in the middle too, a script that never ends included.
    EngineMessages engineMessages(work);
    work.Ac_sqltext();
    const RunResult &r = work.lastRun();
    switch (r.outcome) {
    case RunResult::Outcome::NoRows:
        return ExportAllWritten;
    case RunResult::Outcome::Completed:
        return r.failed == 0 ? ExportAllWritten : ExportSomeFailed;
    case RunResult::Outcome::Stopped:
        return ExportSomeFailed;
    default:
        return ExportRunFailed;
    }
}

} // namespace tw::app
