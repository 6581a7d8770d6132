// Any bytes as a prepared report (.fp3): the pages load, whole or partially, or fail with
// an error; every page that loads can be built, measured and saved again. One report's
// store loads every input (a load starts from an empty store).
#include "reporthost.h"
#include "streams.h"

#include "report/engine/previewpages.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using namespace tw;

namespace {

void run(const QByteArray &bytes, bool partial)
{
    static fuzz::ReportHost &h = *new fuzz::ReportHost; // never destroyed, like the registries
    auto *pages = static_cast<TfrxPreviewPages *>(h.report->PreviewPages());
    if (!fuzz::loadBytes<Error>(bytes, partial, [pages](QIODevice *in, bool p) { pages->LoadFromStream(in, p); }))
        return;
    try {
        for (int i = 0; i < pages->Count() && i < 16; ++i) {
            pages->GetPage(i);
            pages->GetPageSize(i);
        }
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        pages->SaveToStream(&out);
    } catch (const Error &) {
        // a partially loaded page whose bytes do not parse
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    run(bytes, false);
    run(bytes, true);
    return 0;
}
