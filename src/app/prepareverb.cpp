#include "app/prepareverb.h"

#include "app/datamodule.h"
#include "app/reportfacade.h"
#include "report/engine/databaseobjects.h"

#include <cstdio>

namespace tw::app {

namespace {

std::optional<PrepareArgs> fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

// The text as lines on stderr: the engine's CR LF line ends become LF.
void printText(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!lines.endsWith(QLatin1Char('\n')))
        lines += QLatin1Char('\n');
    const QByteArray bytes = lines.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QString messageOf(const std::exception &e)
{
    if (const auto *te = dynamic_cast<const Error *>(&e))
        return te->message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace

std::optional<PrepareArgs> parsePrepareArgs(const QStringList &args, QString *error)
{
    PrepareArgs a;
    bool haveOutput = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        QString value;
        if (arg == QLatin1String("-o") || arg == QLatin1String("--output") || arg == QLatin1String("--param")) {
            if (i + 1 >= args.size())
                return fail(error, arg + QStringLiteral(" needs a value"));
            value = args[++i];
        } else if (arg.startsWith(QLatin1String("--output=")) || arg.startsWith(QLatin1String("--param="))) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
        } else if (arg.startsWith(QLatin1Char('-'))) {
            return fail(error, QStringLiteral("unknown prepare option: ") + arg);
        } else if (a.templateFile.isEmpty() && !arg.isEmpty()) {
            a.templateFile = arg;
            continue;
        } else {
            return fail(error, QStringLiteral("unexpected prepare argument: ") + arg);
        }

        if (arg.startsWith(QLatin1String("--param"))) {
            const qsizetype eq = value.indexOf(QLatin1Char('='));
            if (eq <= 0)
                return fail(error, QStringLiteral("--param needs NAME=VALUE, not '") + value + QLatin1Char('\''));
            const QString name = value.left(eq);
            for (const auto &p : a.parameters)
                if (p.first.compare(name, Qt::CaseInsensitive) == 0)
                    return fail(error, QStringLiteral("--param ") + name + QStringLiteral(" is given twice"));
            a.parameters.append({name, Variant(value.mid(eq + 1))});
        } else {
            if (haveOutput || value.isEmpty())
                return fail(error, QStringLiteral("-o needs one output file"));
            a.output = value;
            haveOutput = true;
        }
    }
    if (a.templateFile.isEmpty())
        return fail(error, QStringLiteral("prepare needs a template file"));
    if (!haveOutput)
        return fail(error, QStringLiteral("prepare needs -o OUT.fp3"));
    return a;
}

QString prepareUsageText()
{
    return QStringLiteral(
        "  prepare TEMPLATE -o OUT.fp3 [--param NAME=VALUE]...\n"
        "               prepare a template once with a one-row CUST of the parameters, on the\n"
        "               installation's connection, and save the prepared report to OUT.fp3.\n"
        "               Exit 0: written; 3: the preparation failed (its errors on stderr);\n"
        "               1: the template cannot be read or bad arguments\n");
}

int runPrepareVerb(Tform_dm &dm, const PrepareArgs &args, ReportFactory &factory)
{
    // As the window holds them for a package: the parameter table, the default database of
    // the templates' queries, and CUST over the table among the window's components.
    TVirtualTable vt; // outlives the components and so CUST
    TfrxADOComponents defaultDatabase;
    defaultDatabase.SetDefaultDatabase(&dm.Connection());
    WindowComponents components(factory);
    components.CUST().SetDataSet(&vt);

    ReportFacade &report = components.createReport(QString());
    report.setSilentModeReThrow(); // load errors raise too: such a template is not read
    try {
        report.LoadFromFile(args.templateFile, true);
    } catch (const std::exception &e) {
        printText(messageOf(e));
        return PrepareBadInput;
    }

    try {
        fillDocumentRow(vt, args.parameters);
        report.setSilentModeReThrow();
        report.PrepareReport(true);
    } catch (const std::exception &e) {
        printText(messageOf(e));
        return PrepareFailed;
    }

    try {
        report.savePreparedToFile(args.output);
    } catch (const std::exception &e) {
        printText(messageOf(e));
        return PrepareBadInput;
    }
    return PrepareWritten;
}

} // namespace tw::app
