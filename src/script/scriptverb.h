#pragma once

#include <QStringList>
#include <QTextStream>

namespace tw {

// The verb `tarnwell script FILE [--language NAME]`: compiles FILE with the function
// library and the class module and runs it. ShowMessage prints its text as a line on `out`.
// `args` are the arguments after "script"; with "--il" the intermediate-program tool runs
// instead. Returns the exit code: 0 done, 1 a compile error (printed as "line:col: message"
// on `err`), an unreadable file or bad arguments, 2 a run-time error (its message on `err`).
int runScriptTool(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace tw
