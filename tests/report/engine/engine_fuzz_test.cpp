// Random band layouts with random options: the engine never crashes or hangs, and when a
// run succeeds every data row is printed exactly once.
#include "enginetestutil.h"

#include "report/engine/engine.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

QString flag(QRandomGenerator &rng, const char *name, int oneIn = 3)
{
    return rng.bounded(oneIn) == 0 ? QStringLiteral(" %1=\"True\"").arg(QLatin1String(name)) : QString();
}

// A band with its memo and, now and then, a stretching memo of several wrapped lines below.
QString bandXml(QRandomGenerator &rng, const QString &cls, const QString &name, double top, double height,
                const QString &attrs, const QString &memoText)
{
    QString extra;
    if (rng.bounded(3) == 0) {
        const int words = 1 + int(rng.bounded(200));
        extra = QStringLiteral("<TfrxMemoView Name=\"S%1\" Left=\"0\" Top=\"%2\" Width=\"250\" Height=\"18\" "
                               "StretchMode=\"smActualHeight\" Text=\"%3\"/>")
                    .arg(name)
                    .arg(height)
                    .arg(QStringLiteral("слово word ").repeated(words));
    }
    return QStringLiteral("<%1 Name=\"%2\" Left=\"0\" Top=\"%3\" Width=\"700\" Height=\"%4\"%5>"
                          "<TfrxMemoView Name=\"M%2\" Left=\"0\" Top=\"0\" Width=\"300\" Height=\"%6\" Text=\"%7\"/>%8</%1>")
        .arg(cls, name)
        .arg(top)
        .arg(height)
        .arg(attrs + (extra.isEmpty() || rng.bounded(2) ? QString() : QStringLiteral(" Stretched=\"True\"")))
        .arg(qMax(height - 2, 1.0))
        .arg(attr(memoText), extra);
}

TEST(EngineFuzz, RandomLayoutsPrintEveryRowOnce)
{
    QRandomGenerator rng(qEnvironmentVariableIntValue("FUZZ_SEED") ? quint32(qEnvironmentVariableIntValue("FUZZ_SEED")) : 20261210u);
    for (int round = 0; round < 150; ++round) {
        EngineHost host;
        const int n = int(rng.bounded(120));
        QList<RowTable::Row> rows;
        for (int i = 0; i < n; ++i)
            rows << RowTable::Row{Variant(i / (1 + int(rng.bounded(9)))), Variant(i + 1)};
        // Group keys must not go back: sort by the first column.
        std::stable_sort(rows.begin(), rows.end(), [](const RowTable::Row &a, const RowTable::Row &b) {
            return a[0].toInt() < b[0].toInt();
        });
        host.table(QStringLiteral("T"), {QStringLiteral("g"), QStringLiteral("v")}, rows);

        const auto height = [&] {
            // Now and then a band taller than a page.
            return rng.bounded(25) == 0 ? 1100.0 : 10.0 + rng.bounded(120);
        };
        QString bands;
        double top = 0;
        const auto add = [&](const QString &cls, const QString &name, const QString &attrs, const QString &text) {
            const double h = height();
            bands += bandXml(rng, cls, name, top, h, attrs, text);
            top += h + 5;
        };
        if (rng.bounded(2))
            add(QStringLiteral("TfrxPageHeader"), QStringLiteral("PageHeader1"), flag(rng, "PrintOnFirstPage", 4), QStringLiteral("[Page#]"));
        if (rng.bounded(2))
            add(QStringLiteral("TfrxReportTitle"), QStringLiteral("ReportTitle1"), QString(), QStringLiteral("title"));
        if (rng.bounded(2))
            add(QStringLiteral("TfrxColumnHeader"), QStringLiteral("ColumnHeader1"), QString(), QStringLiteral("columns"));
        const bool header = rng.bounded(2);
        if (header)
            add(QStringLiteral("TfrxHeader"), QStringLiteral("Header1"), flag(rng, "ReprintOnNewPage"), QStringLiteral("head"));
        const bool group = rng.bounded(2);
        if (group)
            add(QStringLiteral("TfrxGroupHeader"), QStringLiteral("GroupHeader1"),
                QStringLiteral(" Condition=\"T.&#34;g&#34;\"") + flag(rng, "KeepTogether") + flag(rng, "StartNewPage", 6)
                    + flag(rng, "ReprintOnNewPage", 4),
                QStringLiteral("group [<T.\"g\">]"));
        add(QStringLiteral("TfrxMasterData"), QStringLiteral("MasterData1"),
            QStringLiteral(" DataSetName=\"T\"") + flag(rng, "KeepTogether") + flag(rng, "KeepHeader") + flag(rng, "KeepFooter")
                + flag(rng, "AllowSplit") + flag(rng, "StartNewPage", 10) + flag(rng, "FooterAfterEach", 6)
                + (rng.bounded(5) == 0 ? QStringLiteral(" Columns=\"3\" ColumnWidth=\"200\"") : QString()),
            QStringLiteral("row [<T.\"v\">]"));
        if (group)
            add(QStringLiteral("TfrxGroupFooter"), QStringLiteral("GroupFooter1"), flag(rng, "HideIfSingleDataRecord", 4),
                QStringLiteral("sum [SUM(<T.\"v\">)]"));
        if (rng.bounded(2))
            add(QStringLiteral("TfrxFooter"), QStringLiteral("Footer1"), QString(), QStringLiteral("foot"));
        if (rng.bounded(2))
            add(QStringLiteral("TfrxReportSummary"), QStringLiteral("ReportSummary1"), QString(), QStringLiteral("total"));
        if (rng.bounded(2))
            add(QStringLiteral("TfrxPageFooter"), QStringLiteral("PageFooter1"), flag(rng, "PrintOnLastPage", 4), QStringLiteral("[Page#]"));
        if (rng.bounded(4) == 0)
            add(QStringLiteral("TfrxOverlay"), QStringLiteral("Overlay1"), flag(rng, "PrintOnTop"), QStringLiteral("draft"));

        const QString pageAttrs = rng.bounded(5) == 0 ? QStringLiteral(" Columns=\"2\"") : QString();
        host.load(QStringLiteral("<TfrxReport Version=\"4.14\"><Datasets><item DataSet=\"T\" DataSetName=\"T\"/></Datasets>"
                                 "<TfrxReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\" LeftMargin=\"10\" "
                                 "RightMargin=\"10\" TopMargin=\"10\" BottomMargin=\"10\"%1>%2</TfrxReportPage></TfrxReport>")
                      .arg(pageAttrs, bands));
        if (rng.bounded(4) == 0)
            host.report->EngineOptions()->DoublePass = true;
        const QString error = host.prepare();
        ASSERT_EQ(error, QString()) << "round " << round << "\n" << bands.toStdString();
        QStringList printed = host.output().filter(QStringLiteral(": MasterData1 row "));
        for (QString &line : printed)
            line = line.mid(line.indexOf(QStringLiteral("row "))).section(QLatin1Char('|'), 0, 0);
        QStringList expected;
        for (const RowTable::Row &r : rows)
            expected << QStringLiteral("row %1").arg(r[1].toInt());
        ASSERT_EQ(printed, expected) << "round " << round << "\n" << bands.toStdString();
        ASSERT_LT(host.report->PreviewPages()->Count(), 20000) << "round " << round << "\n" << bands.toStdString();
    }
}

} // namespace
