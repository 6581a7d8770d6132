// Prepared pages as the engine fills them: 10,000 invoice pages (a page header, 30 rows of
// six memos, a footer with totals), with the file cache on and off. Reports the peak
// resident memory of the process, the fill and save times, and the save's bytes per second
// next to the XML writer's own rate on the same document. Run one benchmark per process
// (--benchmark_filter) for a meaningful peak.
#include "report/engine/previewpages.h"
#include "report/model/objectmodel.h"

#include <QCoreApplication>
#include <QIODevice>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace tw;

namespace {

// TARNWELL_BENCH_PAGES overrides the page count (to see that the peak does not follow it).
const int kPages = [] {
    const int n = qEnvironmentVariableIntValue("TARNWELL_BENCH_PAGES");
    return n > 0 ? n : 10000;
}();
constexpr int kRows = 30;

double peakRssMb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Counts what is written and drops it.
class NullDevice : public QIODevice {
public:
    NullDevice() { open(QIODevice::WriteOnly); }
    qint64 written = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 len) override
    {
        written += len;
        return len;
    }
};

struct Invoice {
    explicit Invoice(bool fileCache) : store(&report)
    {
        frxRegisterClasses();
        report.EngineOptions()->UseFileCache = fileCache;
        page = new TfrxReportPage(&report);
        page->SetName(QStringLiteral("Page1"));
        header = band<TfrxPageHeader>(QStringLiteral("PageHeader1"), 0, 60);
        for (int i = 0; i < 3; ++i)
            memo(header, QStringLiteral("Head%1").arg(i), i * 200, QStringLiteral("Invoice [No]"));
        master = band<TfrxMasterData>(QStringLiteral("MasterData1"), 80, 18.9);
        for (int i = 0; i < 6; ++i)
            rowMemos.append(memo(master, QStringLiteral("Cell%1").arg(i), i * 110, QStringLiteral("[Line.Field]")));
        footer = band<TfrxPageFooter>(QStringLiteral("PageFooter1"), 1000, 40);
        for (int i = 0; i < 2; ++i)
            totals.append(memo(footer, QStringLiteral("Total%1").arg(i), 400 + i * 150, QStringLiteral("[SUM(x)]")));
    }

    template <class T>
    T *band(const QString &name, double top, double height)
    {
        auto *b = new T(page);
        b->SetName(name);
        b->SetBounds(0, top, 718.1, height);
        return b;
    }
    TfrxMemoView *memo(TfrxComponent *parent, const QString &name, double left, const QString &text)
    {
        auto *m = new TfrxMemoView(parent);
        m->SetName(name);
        m->SetBounds(left, 0, 100, 18.9);
        m->SetText(text);
        return m;
    }

    void fill()
    {
        store.Initialize();
        store.AddSourcePage(page);
        store.BeginPass();
        store.Outline()->LevelRoot();
        int line = 0;
        for (int p = 0; p < kPages; ++p) {
            store.AddPage(page);
            header->SetTop(0);
            store.AddObject(header);
            double y = 60;
            double sum = 0;
            for (int r = 0; r < kRows; ++r) {
                ++line;
                rowMemos[0]->SetText(QString::number(line));
                rowMemos[1]->SetText(QStringLiteral("Article %1 & sons <%2>").arg(line % 977).arg(line % 13));
                rowMemos[2]->SetText(QString::number(line % 17 + 1));
                rowMemos[3]->SetText(QStringLiteral("pcs"));
                const double price = (line % 500) * 1.25;
                rowMemos[4]->SetText(QString::number(price, 'f', 2));
                rowMemos[5]->SetText(QString::number(price * (line % 17 + 1), 'f', 2));
                sum += price;
                master->SetTop(y);
                store.AddObject(master);
                y += 18.9;
            }
            totals[0]->SetText(QStringLiteral("Total"));
            totals[1]->SetText(QString::number(sum, 'f', 2));
            footer->SetTop(1050);
            store.AddObject(footer);
        }
        store.Finish();
    }

    TfrxReport report;
    TfrxPreviewPages store;
    TfrxReportPage *page = nullptr;
    TfrxPageHeader *header = nullptr;
    TfrxMasterData *master = nullptr;
    TfrxPageFooter *footer = nullptr;
    QList<TfrxMemoView *> rowMemos, totals;
};

void BM_Fill(benchmark::State &state)
{
    for (auto _ : state) {
        Invoice inv(state.range(0) != 0);
        inv.fill();
        benchmark::DoNotOptimize(inv.store.Count());
    }
    state.counters["peak_rss_MB"] = peakRssMb();
}

// The store's save against the XML writer alone writing the same document.
void BM_Save(benchmark::State &state)
{
    const bool writerOnly = state.range(1) != 0;
    Invoice inv(state.range(0) != 0);
    inv.fill();
    {
        // The first save adds the report, source pages and dictionary: both sides then
        // write the same document.
        NullDevice warm;
        inv.store.SaveToStream(&warm);
    }
    qint64 bytes = 0;
    for (auto _ : state) {
        NullDevice out;
        if (writerOnly)
            inv.store.XMLDocument().SaveToStream(&out);
        else
            inv.store.SaveToStream(&out);
        bytes = out.written;
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["MB_written"] = double(bytes) / 1048576.0;
    state.counters["peak_rss_MB"] = peakRssMb();
}

} // namespace

BENCHMARK(BM_Fill)->ArgName("file_cache")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)
    ->ArgNames({"file_cache", "xml_writer_only"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
