// Any bytes as a template file: the report loads them or reports errors (collected, or
// raised in the rethrow mode the prepare verb uses), and what it holds can be saved again.
// One report loads every input, as the export loop loads template after template into
// one report (and a new report with its script library costs more than most loads).
#include "reporthost.h"

#include <QBuffer>

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
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    h.report->SaveToStream(&out);
    return 0;
}
