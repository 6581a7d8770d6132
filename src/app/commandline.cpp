#include "app/commandline.h"

#include "app/exportverb.h"
#include "app/prepareverb.h"

namespace tw::app {

namespace {

bool isKnownVerb(const QString &verb)
{
    return verb == QLatin1String("check") || verb == QLatin1String("export")
           || verb == QLatin1String("prepare") || verb == QLatin1String("script")
           || verb == QLatin1String("template");
}

std::optional<CommandLine> fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

} // namespace

std::optional<CommandLine> parseCommandLine(const QStringList &args, QString *error)
{
    CommandLine cl;
    qsizetype i = 0;
    for (; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--home")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty())
                return fail(error, QStringLiteral("--home needs a directory"));
            cl.home = args[++i];
        } else if (a.startsWith(QLatin1String("--home="))) {
            cl.home = a.mid(7);
            if (cl.home.isEmpty())
                return fail(error, QStringLiteral("--home needs a directory"));
        } else if (a.startsWith(QLatin1Char('-'))) {
            return fail(error, QStringLiteral("unknown option: ") + a);
        } else {
            break;
        }
    }
    if (i < args.size()) {
        cl.verb = args[i];
        if (!isKnownVerb(cl.verb))
            return fail(error, QStringLiteral("unknown verb: ") + cl.verb);
        cl.verbArgs = args.mid(i + 1);
        if (cl.verb == QLatin1String("check") && !cl.verbArgs.isEmpty())
            return fail(error, QStringLiteral("check takes no arguments"));
    }
    return cl;
}

QString usageText()
{
    return QStringLiteral(
        "usage: tarnwell [--home DIR] [verb]\n"
        "  --home DIR   the program directory (settings file, logs); default: the executable's\n"
        "  (no verb)    start the program\n"
        "  check        run start-up without a window: exit 0 when it succeeds, else 1\n")
           + exportUsageText() + prepareUsageText()
           + QStringLiteral(
               "  script FILE [--language NAME]\n"
               "               compile and run a script; ShowMessage texts on stdout\n"
               "  script --il FILE [--language NAME]\n"
               "               print the intermediate program of a script\n"
               "  template FILE [-o OUT]\n"
               "               load a template, list its errors, optionally save it\n");
}

} // namespace tw::app
