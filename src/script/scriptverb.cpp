#include "script/scriptverb.h"

#include "base/codepage.h"
#include "script/classregistry.h"
#include "script/interpreter.h"
#include "script/ilverb.h"
#include "script/library.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tw {

namespace {

class StreamSink : public TfsMessageSink {
public:
    explicit StreamSink(QTextStream &out) : m_out(out) {}
    void ShowMessage(const QString &text) override
    {
        m_out << text << '\n';
        m_out.flush();
    }

private:
    QTextStream &m_out;
};

// Restores the previous sink however the run ends.
struct SinkScope {
    TfsMessageSink *saved;
    explicit SinkScope(TfsMessageSink *sink) : saved(fsMessageSink()) { fsSetMessageSink(sink); }
    ~SinkScope() { fsSetMessageSink(saved); }
};

// Every line keeps a line end, the last one too: line-oriented languages need it.
QStringList sourceLines(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (lines.isEmpty() || !lines.last().isEmpty())
        lines.append(QString());
    return lines;
}

int usage(QTextStream &err)
{
    err << "usage: tarnwell script FILE [--language NAME]\n";
    err.flush();
    return 1;
}

} // namespace

int runScriptTool(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.contains(QStringLiteral("--il")))
        return runScriptIlTool(args, out, err);

    QString file;
    QString language = QStringLiteral("RavidiReduva");
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--language")) {
            if (i + 1 >= args.size())
                return usage(err);
            language = args.at(++i);
        } else if (a.startsWith(QLatin1String("--language="))) {
            language = a.mid(11);
        } else if (file.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            file = a;
        } else {
            return usage(err);
        }
    }
    if (file.isEmpty())
        return usage(err);

    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        err << file << ": " << f.errorString() << "\n";
        err.flush();
        return 1;
    }
    const QString source = codepage::decode(f.readAll());

    fsRegisterClassesRTTI();
    StreamSink sink(out);
    SinkScope scope(&sink);
    TfsScript script;
    script.AddRTTI();
    script.SyntaxType = language;
    script.IncludePath = {QString(), QFileInfo(file).absolutePath()};
    script.Lines = sourceLines(source);
    bool compiled = false;
    try {
        compiled = script.Compile();
    } catch (const Error &e) {
        script.ErrorMsg = e.message();
    }
    if (!compiled) {
        QString pos = script.ErrorPos.isEmpty() ? QStringLiteral("1:1") : script.ErrorPos;
        if (!script.ErrorUnit.isEmpty())
            pos = script.ErrorUnit + QLatin1Char(':') + pos;
        err << pos << ": " << script.ErrorMsg << "\n";
        err.flush();
        return 1;
    }
    try {
        script.Execute();
    } catch (const Error &e) {
        out.flush();
        err << e.message() << "\n";
        err.flush();
        return 2;
    } catch (const std::exception &e) {
        out.flush();
        err << QString::fromLocal8Bit(e.what()) << "\n";
        err.flush();
        return 2;
    }
    out.flush();
    return 0;
}

} // namespace tw
