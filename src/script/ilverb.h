#pragma once

#include <QStringList>
#include <QTextStream>

namespace tw {

// The verb `tarnwell script --il FILE [--language NAME]`: prints the intermediate program of
// FILE on `out`, or its first syntax error as "line:col: message" on `err`.
// `args` are the arguments after "script" (a leading "--il" is accepted and skipped).
// Returns the exit code: 0 done, 1 the script did not parse or could not be read, 2 usage.
int runScriptIlTool(const QStringList &args, QTextStream &out, QTextStream &err);

// The intermediate program of a source text as indented XML (CR LF line ends), or an
// empty array when it does not parse; errorText then gets "line:col: message".
QByteArray scriptILCode(const QString &source, const QString &language, QString *errorText,
                        const QStringList &includePath = {QString()});

} // namespace tw
