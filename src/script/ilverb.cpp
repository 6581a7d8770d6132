#include "script/ilverb.h"

#include "base/codepage.h"
#include "script/grammarwalker.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tw {

namespace {

// Script lines are compiled each followed by CR LF, whatever line ends the file has: the
// line-oriented language needs the last statement's line end too.
QString joinLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QString joined;
    for (const QString &line : lines)
        joined += line + QStringLiteral("\r\n");
    return joined;
}

} // namespace

QByteArray scriptILCode(const QString &source, const QString &language, QString *errorText,
                        const QStringList &includePath)
{
    ScriptCompileTarget target;
    target.IncludePath = includePath;
    TfsILParser parser(&target);
    try {
        parser.SelectLanguage(language);
    } catch (const Error &e) {
        if (errorText)
            *errorText = QStringLiteral("1:1: ") + e.message();
        return QByteArray();
    }
    if (!parser.MakeILScript(joinLines(source))) {
        if (errorText) {
            *errorText = target.ErrorPos + QStringLiteral(": ") + target.ErrorMsg;
            if (!target.ErrorUnit.isEmpty())
                *errorText = target.ErrorUnit + QLatin1Char(':') + *errorText;
        }
        return QByteArray();
    }
    parser.ILScript()->SetAutoIndent(true);
    return parser.ILScript()->SaveToBytes();
}

int runScriptIlTool(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString file;
    QString language = QStringLiteral("RavidiReduva");
    bool usage = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--il") && i == 0)
            continue;
        if (a == QLatin1String("--language")) {
            if (i + 1 >= args.size()) {
                usage = true;
                break;
            }
            language = args.at(++i);
        } else if (a.startsWith(QLatin1String("--language="))) {
            language = a.mid(11);
        } else if (file.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            file = a;
        } else {
            usage = true;
        }
    }
    if (usage || file.isEmpty()) {
        err << "usage: tarnwell script --il FILE [--language NAME]\n";
        err.flush();
        return 2;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        err << file << ": " << f.errorString() << "\n";
        err.flush();
        return 1;
    }
    const QString source = codepage::decode(f.readAll());
    QString error;
    const QByteArray il = scriptILCode(source, language, &error,
                                       {QString(), QFileInfo(file).absolutePath()});
    if (il.isEmpty()) {
        err << error << "\n";
        err.flush();
        return 1;
    }
    out << QString::fromUtf8(il);
    out.flush();
    return 0;
}

} // namespace tw
