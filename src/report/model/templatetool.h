#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace tw {

// `tarnwell template FILE [-o OUT]`: loads a template silently, prints each line of its
// error list on err and, with -o, saves it to OUT. Exit 0: loaded without errors; 3:
// loaded with errors; 1: the file cannot be read or is not a template, or bad arguments.
// `args` are the arguments after the verb.
int runTemplateTool(const QStringList &args, QTextStream &out, QTextStream &err);
QString templateToolUsageText();

} // namespace tw
