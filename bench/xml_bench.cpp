// Parse and write of a large prepared-report-like document, with a general DOM parser's
// parse of the same bytes as the reference.
#include "report/xml/xmldocument.h"

#include <QBuffer>
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

using namespace tw;

namespace {

// About 40 MB: pages of many small objects whose attributes need escaping.
const QByteArray &sampleDocument()
{
    static const QByteArray bytes = [] {
        TfrxXMLDocument doc;
        TfrxXMLItem *root = doc.Root();
        root->SetName(QStringLiteral("preparedreport"));
        for (int p = 0; p < 400; ++p) {
            TfrxXMLItem *page = root->Add(QStringLiteral("page"));
            page->SetText(QStringLiteral("PaperWidth=\"210\" PaperHeight=\"297\" Orientation=\"poPortrait\""));
            for (int i = 0; i < 500; ++i) {
                TfrxXMLItem *m = page->Add(QStringLiteral("TfrxMemoView"));
                m->SetProp(QStringLiteral("l"), QString::number(37.8 + i % 7));
                m->SetProp(QStringLiteral("t"), QString::number(18.9 * (i % 50)));
                m->SetProp(QStringLiteral("w"), QStringLiteral("120.5"));
                m->SetProp(QStringLiteral("h"), QStringLiteral("18.9"));
                m->SetProp(QStringLiteral("Font.Name"), QStringLiteral("Arial"));
                m->SetProp(QStringLiteral("x"), QStringLiteral("Row %1 <\"total\"> & Итого\r\n%2").arg(i).arg(p));
            }
        }
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        doc.SaveToStream(&buf);
        return buf.data();
    }();
    return bytes;
}

void BM_TarnwellParse(benchmark::State &state)
{
    const QByteArray &bytes = sampleDocument();
    for (auto _ : state) {
        QBuffer buf;
        buf.setData(bytes);
        buf.open(QIODevice::ReadOnly);
        TfrxXMLDocument doc;
        doc.LoadFromStream(&buf);
        benchmark::DoNotOptimize(doc.Root()->Count());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_PugixmlParse(benchmark::State &state)
{
    const QByteArray &bytes = sampleDocument();
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_parse_result r = doc.load_buffer(bytes.constData(), size_t(bytes.size()));
        benchmark::DoNotOptimize(r.status);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_TarnwellWrite(benchmark::State &state)
{
    const QByteArray &bytes = sampleDocument();
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    TfrxXMLDocument doc;
    doc.LoadFromStream(&in);
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        doc.SaveToStream(&out);
        benchmark::DoNotOptimize(out.size());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

BENCHMARK(BM_TarnwellParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarnwellWrite)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
