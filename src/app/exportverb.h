#pragma once

#include "base/datetime.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tw::app {

class Tform_dm;
class ReportFactory;

// tarnwell export --query NAME --from YYYY-MM-DD --to YYYY-MM-DD
struct ExportArgs {
    QString query;
    TDateTime from = 0;
    TDateTime to = 0;
};

// The verb's arguments; nothing (and the reason) when they make no sense.
std::optional<ExportArgs> parseExportArgs(const QStringList &args, QString *error = nullptr);
QString exportUsageText();

// Exit codes of the verb.
enum ExportExitCode { ExportAllWritten = 0, ExportRunFailed = 1, ExportSomeFailed = 2 };

// One export run without a window, after start-up. Lists the queries as the window does
// (no query ends the process through ProcessExit{1}), picks the named one and runs it.
// 0: every package written (or none to write); 2: some package failed, or the run was
// stopped before the last one; 1: the run failed or the name is unknown.
int runExportVerb(Tform_dm &dm, const ExportArgs &args, ReportFactory &factory);

} // namespace tw::app
