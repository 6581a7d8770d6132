// Lays out a 200-row report with wrapped memos again and again: pages per second of the
// band engine with text measurement, stretching and page breaks.
#include "base/formatsettings.h"
#include "report/engine/datasets.h"
#include "report/engine/previewpages.h"
#include "report/model/objectmodel.h"
#include "report/model/report.h"

#include <QBuffer>
#include <benchmark/benchmark.h>

using namespace tw;

namespace {

const char *const kTemplate = R"(<?xml version="1.0" encoding="utf-8"?>
<TfrxReport Version="4.14" ScriptLanguage="RavidiReduva">
  <Datasets><item DataSet="Items" DataSetName="Items"/></Datasets>
  <TfrxDataPage Name="Data" Height="1000" Width="1000"/>
  <TfrxReportPage Name="Page1" PaperWidth="210" PaperHeight="297" PaperSize="9" LeftMargin="10" RightMargin="10" TopMargin="10" BottomMargin="10">
    <TfrxPageHeader Name="PageHeader1" Left="0" Top="0" Width="718" Height="30">
      <TfrxMemoView Name="Head" Left="0" Top="0" Width="500" Height="20" Font.Name="Arial" Font.Height="-13" Text="Invoice items, page [Page#]"/>
    </TfrxPageHeader>
    <TfrxGroupHeader Name="GroupHeader1" Left="0" Top="50" Width="718" Height="22" Condition="Items.&#34;category&#34;" KeepTogether="True">
      <TfrxMemoView Name="Cat" Left="0" Top="0" Width="500" Height="20" Font.Name="Arial" Font.Height="-13" Text="[&#60;Items.&#34;category&#34;&#62;]"/>
    </TfrxGroupHeader>
    <TfrxGroupHeader Name="GroupHeader2" Left="0" Top="80" Width="718" Height="22" Condition="Items.&#34;kind&#34;">
      <TfrxMemoView Name="Kind" Left="20" Top="0" Width="500" Height="20" Font.Name="Arial" Font.Height="-13" Text="[&#60;Items.&#34;kind&#34;&#62;]"/>
    </TfrxGroupHeader>
    <TfrxMasterData Name="MasterData1" Left="0" Top="110" Width="718" Height="20" DataSetName="Items" Stretched="True">
      <TfrxMemoView Name="Name" Left="40" Top="0" Width="380" Height="18" StretchMode="smActualHeight" Font.Name="Arial" Font.Height="-13" Text="[&#60;Items.&#34;name&#34;&#62;]"/>
      <TfrxMemoView Name="Sum" Left="440" Top="0" Width="120" Height="18" HAlign="haRight" Font.Name="Arial" Font.Height="-13" DisplayFormat.FormatStr="%2.2n" DisplayFormat.Kind="fkNumeric" Text="[&#60;Items.&#34;amount&#34;&#62;]"/>
    </TfrxMasterData>
    <TfrxGroupFooter Name="GroupFooter2" Left="0" Top="140" Width="718" Height="22">
      <TfrxMemoView Name="KindSum" Left="440" Top="0" Width="120" Height="18" HAlign="haRight" Font.Name="Arial" Font.Height="-13" Text="[SUM(&#60;Items.&#34;amount&#34;&#62;)]"/>
    </TfrxGroupFooter>
    <TfrxGroupFooter Name="GroupFooter1" Left="0" Top="170" Width="718" Height="22">
      <TfrxMemoView Name="CatSum" Left="440" Top="0" Width="120" Height="18" HAlign="haRight" Font.Name="Arial" Font.Height="-13" Text="[SUM(&#60;Items.&#34;amount&#34;&#62;)]"/>
    </TfrxGroupFooter>
    <TfrxPageFooter Name="PageFooter1" Left="0" Top="300" Width="718" Height="30">
      <TfrxMemoView Name="Foot" Left="0" Top="0" Width="300" Height="20" Font.Name="Arial" Font.Height="-13" Text="Page [Page#]"/>
    </TfrxPageFooter>
  </TfrxReportPage>
</TfrxReport>
)";

QString itemName(int i)
{
    static const QStringList words = {QStringLiteral("Поставка"),  QStringLiteral("оборудования"), QStringLiteral("for"),
                                      QStringLiteral("the"),       QStringLiteral("northern"),     QStringLiteral("warehouse"),
                                      QStringLiteral("с"),         QStringLiteral("монтажом"),     QStringLiteral("и"),
                                      QStringLiteral("наладкой"), QStringLiteral("cable"),        QStringLiteral("trays")};
    QStringList out;
    const int n = 3 + (i * 7) % 25;
    for (int k = 0; k < n; ++k)
        out << words[(i + k * 5) % words.size()];
    return out.join(QLatin1Char(' '));
}

void BM_LayOut200Rows(benchmark::State &state)
{
    FormatSettings::setCurrent(FormatSettings::usEnglish());
    frxRegisterClasses();
    Component host;
    auto *items = new TfrxUserDataSet(&host);
    items->SetName(QStringLiteral("Items"));
    items->Fields = {QStringLiteral("category"), QStringLiteral("kind"), QStringLiteral("name"), QStringLiteral("amount")};
    items->RangeEnd = reCount;
    items->RangeEndCount = 200;
    items->OnGetValue = [items](const QString &field, Variant &value) {
        const int i = items->RecNo;
        if (field == QLatin1String("category"))
            value = Variant(QStringLiteral("Category %1").arg(i / 40 + 1));
        else if (field == QLatin1String("kind"))
            value = Variant(QStringLiteral("Kind %1").arg(i / 8 + 1));
        else if (field == QLatin1String("name"))
            value = Variant(itemName(i));
        else
            value = Variant(100.0 + i * 3.25);
    };
    auto *report = new TfrxReport(&host);
    QByteArray bytes(kTemplate);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    report->LoadFromStream(&in);
    report->EngineOptions()->NewSilentMode = simReThrow;

    qint64 pages = 0;
    for (auto _ : state) {
        report->PrepareReport(true);
        pages += report->PreviewPages()->Count();
    }
    state.counters["pages_per_s"] = benchmark::Counter(double(pages), benchmark::Counter::kIsRate);
    state.counters["pages"] = double(report->PreviewPages()->Count());
}
BENCHMARK(BM_LayOut200Rows)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
