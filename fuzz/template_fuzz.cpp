// Any bytes as a template file: the report loads them or reports errors (collected, or
// raised in the rethrow mode the prepare verb uses), and what it holds can be saved again.
// Read again through read plans, it must come out the same.
// One report loads every input, as the export loop loads template after template into
// one report (and a new report with its script library costs more than most loads).
#include "reporthost.h"

#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <QBuffer>

#include <cstdio>
#include <cstdlib>

#include <cstddef>
#include <cstdint>

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    static fuzz::ReportHost &h = *new fuzz::ReportHost; // never destroyed, like the registries
    h.report->EngineOptions()->NewSilentMode = size % 2 == 1 ? simReThrow : simSilent;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    try {
        h.report->LoadFromStream(&in);
    } catch (const Error &) {
        return 0;
    }
    // A report without dates (nested ones too) gets the time of the load: left out.
    const auto save = [&] {
        h.report->ReportOptions()->CreateDate = h.report->ReportOptions()->LastChange = 0;
        for (TfrxComponent *c : h.report->AllObjects())
            if (auto *nested = dynamic_cast<TfrxReport *>(c))
                nested->ReportOptions()->CreateDate = nested->ReportOptions()->LastChange = 0;
        QBuffer to;
        to.open(QIODevice::WriteOnly);
        h.report->SaveToStream(&to);
        return QString::fromUtf8(to.data());
    };
    const QString out = save();

    // The same document read again through read plans, twice, gives what the plain read
    // gave: the same saved text and the same errors.
    if (size % 2 == 0) {
        const QStringList errors = h.report->Errors();
        TfrxXMLDocument doc;
        QBuffer again(&bytes);
        again.open(QIODevice::ReadOnly);
        try {
            doc.LoadFromStream(&again);
        } catch (const Error &) {
            return 0;
        }
        TfrxReadPlans plans;
        for (int pass = 0; pass < 2; ++pass) {
            h.report->LoadFromDocument(doc, &plans);
            const QString planned = save();
            if (planned != out || h.report->Errors() != errors) {
                fprintf(stderr, "read through plans (pass %d) differs\n-- plain:\n%s\n-- errors: %s\n-- planned:\n%s\n-- errors: %s\n",
                        pass, qPrintable(out), qPrintable(errors.join(QLatin1Char('|'))), qPrintable(planned),
                        qPrintable(h.report->Errors().join(QLatin1Char('|'))));
                std::abort();
            }
        }
    }
    return 0;
}
