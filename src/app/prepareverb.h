#pragma once

#include "app/virtualtable.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tw::app {

class Tform_dm;
class ReportFactory;

// tarnwell prepare TEMPLATE -o OUT.fp3 [--param NAME=VALUE]...
struct PrepareArgs {
    QString templateFile;
    QString output;
    DocumentParameters parameters; // string values, in the order given
};

// The verb's arguments; nothing (and the reason) when they make no sense: no template, no
// -o, an extra argument, a --param without "=" or without a name, a name given twice
// (ignoring case, as the parameter table compares them).
std::optional<PrepareArgs> parsePrepareArgs(const QStringList &args, QString *error = nullptr);
QString prepareUsageText();

// Exit codes of the verb.
enum PrepareExitCode { PrepareWritten = 0, PrepareBadInput = 1, PrepareFailed = 3 };

// One preparation after start-up, as a package document is prepared: the template is
// loaded into a report of the window's components, CUST holds one row of the parameters
// (the parameter table's sequence), the template's queries run on the program's
// connection, and the report is prepared in re-throw silent mode; its prepared pages are
// saved with PreviewPages.SaveToFile.
// 0: OUT written. 3: the preparation raised; its text ("The following error(s) have
// occured:" and the lines) goes to stderr and OUT is not written. 1: the template cannot
// be opened or has load errors (their text on stderr), or OUT cannot be written.
int runPrepareVerb(Tform_dm &dm, const PrepareArgs &args, ReportFactory &factory);

} // namespace tw::app
