#include "app/commandline.h"
#include "app/datamodule.h"
#include "app/exportverb.h"
#include "app/modelreport.h"
#include "app/messagesink.h"
#include "app/processexit.h"
#include "base/error.h"
#include "db/database.h"

#include <QCoreApplication>
#include <cstdio>
#include <optional>

namespace {

void printErr(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    using namespace tw::app;

    QString why;
    const auto cl = parseCommandLine(app.arguments().mid(1), &why);
    if (!cl) {
        printErr(QStringLiteral("tarnwell: ") + why + QLatin1Char('\n') + usageText());
        return 1;
    }

    std::optional<ExportArgs> exportArgs;
    if (cl->verb == QLatin1String("export")) {
        exportArgs = parseExportArgs(cl->verbArgs, &why);
        if (!exportArgs) {
            printErr(QStringLiteral("tarnwell: ") + why + QLatin1Char('\n') + usageText());
            return 1;
        }
    }

    StderrMessageSink messages;
    tw::db::TerminalLoginPrompt loginPrompt;
    StartupEnvironment env;
    env.programDir = cl->home.isEmpty() ? QCoreApplication::applicationDirPath() : cl->home;
    env.messages = &messages;
    env.loginPrompt = &loginPrompt;

    try {
        Tform_dm form_dm(std::move(env));
        if (cl->verb == QLatin1String("check"))
            return 0;
        if (exportArgs) {
            // Until the report engine is part of the build, templates load but do not prepare.
            TemplateModelReportFactory reports;
            return runExportVerb(form_dm, *exportArgs, reports);
        }
        // The main window comes here; until then a start without a verb ends after start-up.
        return 0;
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
