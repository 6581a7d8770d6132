#include "report/model/templatetool.h"

#include "report/model/objectmodel.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <QFile>
#include <QTextStream>
#include <memory>

namespace tw {

QString templateToolUsageText()
{
    return QStringLiteral(
        "  template FILE [-o OUT]\n"
        "               load a report template, list its load errors on stderr and, with -o,\n"
        "               save it to OUT. Exit 0: no errors; 3: loaded with errors; 1: the file\n"
        "               cannot be read or is not a template\n");
}

namespace {

// Only a report element (or an inherited one) makes a template; anything else, even
// well-formed XML, is refused before the report is touched. The document, or nothing.
std::unique_ptr<TfrxXMLDocument> readTemplateDocument(const QString &fileName, QString &why)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString());
        return nullptr;
    }
    auto doc = std::make_unique<TfrxXMLDocument>();
    try {
        doc->LoadFromStream(&file);
    } catch (const Error &e) {
        why = e.message();
        return nullptr;
    }
    const QString root = doc->Root()->Name();
    if (root.compare(QLatin1String("TfrxReport"), Qt::CaseInsensitive) != 0
        && root.compare(QLatin1String("inherited"), Qt::CaseInsensitive) != 0) {
        why = QStringLiteral("Invalid file format");
        return nullptr;
    }
    return doc;
}

// A load keeps the report's own engine options (all but three), so the silent mode the
// tool loads with would be saved; the file's own options are put back instead: a new
// report's values, then the EngineOptions attributes of the file's report element.
void takeFileEngineOptions(TfrxReport &report, const TfrxXMLItem &root)
{
    TfrxEngineOptions *options = report.EngineOptions();
    options->Clear();
    const QString prefix = QStringLiteral("EngineOptions.");
    QString attributes;
    for (const PropInfo *p : TfrxEngineOptions::staticClassInfo().properties()) {
        const QString name = prefix + p->name;
        if (root.PropExists(name))
            attributes += QLatin1Char(' ') + name + QStringLiteral("=\"") + EncodeXMLValue(root.GetProp(name))
                          + QLatin1Char('"');
    }
    TfrxXMLSerializer serializer;
    serializer.XMLToObj(attributes, &report);
}

} // namespace

int runTemplateTool(const QStringList &args, QTextStream &, QTextStream &err)
{
    QString input, output;
    bool haveOutput = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (i + 1 >= args.size() || haveOutput) {
                err << "tarnwell template: -o needs one file name\n" << templateToolUsageText();
                return 1;
            }
            output = args[++i];
            haveOutput = true;
        } else if (input.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            input = a;
        } else {
            err << "tarnwell template: unexpected argument " << a << "\n" << templateToolUsageText();
            return 1;
        }
    }
    if (input.isEmpty()) {
        err << "tarnwell template: no template file given\n" << templateToolUsageText();
        return 1;
    }

    frxRegisterClasses();
    QString why;
    const std::unique_ptr<TfrxXMLDocument> document = readTemplateDocument(input, why);
    if (!document) {
        err << why << "\n";
        err.flush();
        return 1;
    }

    TfrxReport report;
    report.EngineOptions()->NewSilentMode = simSilent;
    try {
        report.LoadFromFile(input, true);
    } catch (const Error &e) {
        err << e.message() << "\n";
        err.flush();
        return 1;
    }
    const QStringList errors = report.Errors();
    for (const QString &line : errors)
        err << line << "\n";
    if (errors.contains(QStringLiteral("Invalid file format"))) {
        err.flush();
        return 1;
    }
    if (haveOutput) {
        if (errors.contains(QStringLiteral("Invalid password"))) {
            // The report was cleared: writing it would replace OUT with an empty template.
            err << "tarnwell template: not saved, the template is protected by a password\n";
        } else {
            try {
                takeFileEngineOptions(report, *document->Root());
                report.SaveToFile(output);
            } catch (const Error &e) {
                err << e.message() << "\n";
                err.flush();
                return 1;
            }
        }
    }
    err.flush();
    return errors.isEmpty() ? 0 : 3;
}

} // namespace tw
