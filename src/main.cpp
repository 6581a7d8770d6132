#include "app/commandline.h"
#include "app/datamodule.h"
#include "app/enginemessages.h"
#include "app/exportverb.h"
#include "app/exportwork.h"
#include "app/gui/logindialog.h"
#include "app/gui/mainform.h"
#include "app/gui/qtmessagesink.h"
#include "app/messagesink.h"
#include "app/modelreport.h"
#include "app/prepareverb.h"
#include "app/processexit.h"
#include "base/error.h"
#include "db/database.h"
#include "report/engine/reportclasses.h"
#include "report/model/report.h"
#include "report/model/templatetool.h"
#include "script/scriptverb.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace {

using namespace tw::app;
using namespace tw::app::gui;

void printErr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

QString programDir(const CommandLine &cl)
{
    return cl.home.isEmpty() ? QCoreApplication::applicationDirPath() : cl.home;
}

// Tools for template and script authors: no settings, no database.
int runTool(const CommandLine &cl)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int rc = cl.verb == QLatin1String("script") ? tw::runScriptTool(cl.verbArgs, out, err)
                                                      : tw::runTemplateTool(cl.verbArgs, out, err);
    out.flush();
    err.flush();
    return rc;
}

// A verb that runs after start-up on the installation's settings and connection.
using HeadlessVerb = std::function<int(Tform_dm &)>;

// A verb that works with the program's reports, on its parsed arguments.
template <class Args>
HeadlessVerb reportVerb(Args args, int (*run)(Tform_dm &, const Args &, ReportFactory &))
{
    return [args = std::move(args), run](Tform_dm &dm) {
        TemplateModelReportFactory reports;
        return run(dm, args, reports);
    };
}

// Start-up without a window, then the verb (none: `check`, start-up only).
int runHeadless(const CommandLine &cl, const HeadlessVerb &verb)
{
    StderrMessageSink messages;
    tw::db::TerminalLoginPrompt loginPrompt;
    StartupEnvironment env;
    env.programDir = programDir(cl);
    env.messages = &messages;
    env.loginPrompt = &loginPrompt;

    try {
        Tform_dm form_dm(std::move(env));
        return verb ? verb(form_dm) : 0;
    } catch (const ProcessExit &e) {
        return e.exitCode;
    } catch (const tw::Error &e) {
        messages.showMessage(errorCaption(), e.message());
        return 1;
    } catch (const std::exception &e) {
        messages.showMessage(errorCaption(), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}

int runWindow(const CommandLine &cl)
{
    QtMessageSink messages;
    LoginDialog loginPrompt;
    StartupEnvironment env;
    env.programDir = programDir(cl);
    env.messages = &messages;
    env.loginPrompt = &loginPrompt;

    try {
        Tform_dm form_dm(std::move(env));
        TForm1 form1;
        messages.setParent(&form1);
        // Template errors of a report in simMessageBoxes mode appear as boxes too.
        tw::frxSetMessageBoxHandler(
            [&](const QString &caption, const QString &text) { messages.showMessage(caption, text); });
        struct ResetBoxes {
            ~ResetBoxes() { tw::frxSetMessageBoxHandler({}); }
        } resetBoxes;
        TemplateModelReportFactory reports;
        ExportWork work(form_dm, form1, reports);
        // The window handles its input while a report prepares; a stop ends that report.
        EngineMessages engineMessages(work);

        // An exception must not cross a Qt event handler: an ending requested from inside
        // one (the empty query directory on show) is kept here and acted on by the caller.
        std::optional<int> exitCode;
        auto guarded = [&](const std::function<void()> &action) {
            try {
                action();
            } catch (const ProcessExit &e) {
                exitCode = e.exitCode;
                QCoreApplication::exit(e.exitCode);
            } catch (const tw::Error &e) {
                messages.showMessage(errorCaption(), e.message());
            } catch (const std::exception &e) {
                messages.showMessage(errorCaption(), QString::fromLocal8Bit(e.what()));
            }
        };
        form1.setActions(ExportActions{[&] { guarded([&] { work.Ac_sqlfile(); }); },
                                       [&] { guarded([&] { work.Ac_sqltext(); }); }});
        form1.setErrorLogPath(form_dm.logFiles().errorLogPath());
        form1.show();
        if (exitCode)
            return *exitCode;
        const int rc = QApplication::exec();
        return exitCode ? *exitCode : rc;
    } catch (const ProcessExit &e) {
        return e.exitCode;
    } catch (const tw::Error &e) {
        messages.showMessage(errorCaption(), e.message());
        return 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QString why;
    const auto cl = parseCommandLine(argumentsOf(argc, argv), &why);
    if (!cl) {
        printErr(QStringLiteral("tarnwell: ") + why + QLatin1Char('\n') + usageText());
        return 1;
    }
    // Script messages come from the report's message table, for the window and every verb.
    tw::frxInstallScriptMessages();

    if (cl->verb.isEmpty()) {
        QApplication app(argc, argv);
        return runWindow(*cl);
    }

    QCoreApplication app(argc, argv);
    if (cl->verb == QLatin1String("script") || cl->verb == QLatin1String("template"))
        return runTool(*cl);

    auto badArguments = [&why] {
        printErr(QStringLiteral("tarnwell: ") + why + QLatin1Char('\n') + usageText());
        return 1;
    };
    HeadlessVerb verb;
    if (cl->verb == QLatin1String("export")) {
        const auto args = parseExportArgs(cl->verbArgs, &why);
        if (!args)
            return badArguments();
        verb = reportVerb(*args, runExportVerb);
    } else if (cl->verb == QLatin1String("prepare")) {
        const auto args = parsePrepareArgs(cl->verbArgs, &why);
        if (!args)
            return badArguments();
        verb = reportVerb(*args, runPrepareVerb);
    }
    return runHeadless(*cl, verb);
}
