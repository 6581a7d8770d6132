// Any bytes: the document either loads or fails with the format error; what loads must
// survive attribute access, reloading of unloaded items and writing.
#include "report/xml/xmldocument.h"
#include "streams.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using namespace tw;

namespace {
void touch(TfrxXMLDocument &doc, TfrxXMLItem *item, int depth)
{
    try {
        item->GetProp(QStringLiteral("x"));
    } catch (const EConvertError &) {
    }
    doc.LoadItem(item);
    for (int i = 0; i < item->Count() && depth < 64; ++i)
        touch(doc, item->Items(i), depth + 1);
}

void run(const QByteArray &bytes, bool partial)
{
    TfrxXMLDocument doc;
    if (!fuzz::loadBytes<TfrxInvalidXMLException>(bytes, partial,
                                                   [&doc](QIODevice *in, bool p) { doc.LoadFromStream(in, p); }))
        return;
    touch(doc, doc.Root(), 0);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    try {
        doc.SaveToStream(&out);
    } catch (const TfrxInvalidXMLException &) {
        // an unloaded item whose stored bytes no longer parse
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    run(bytes, false);
    run(bytes, true);
    try {
        DecodeXMLValue(QString::fromUtf8(bytes));
    } catch (const EConvertError &) {
    }
    return 0;
}
