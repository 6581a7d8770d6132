// The bundled demo, end to end: the same steps as `make demo` in a temporary directory, then
// the package files as a reader of them sees them.
#include "support/testsupport.h"
#include "tarnwellrun.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <memory>

namespace {

// One document of a package file: its start tag's attributes and the texts of the prepared
// report's memos, in file order.
struct Document {
    QString type;
    QMap<QString, QString> params;
    QStringList texts;
    bool has(const QString &text) const { return texts.contains(text); }
    QString dump() const { return texts.join(QLatin1Char('\n')); }
};

struct DemoRun {
    QTemporaryDir dir;
    int exitCode = -1;
    QString out;
    QString err;
    QStringList packageFiles;
    QString parseError;
    QMap<QString, Document> bills; // by bill number
    QMap<QString, Document> acts;  // by bill number
};

std::unique_ptr<DemoRun> g_run;

Document readDocument(QXmlStreamReader &xml)
{
    Document d;
    const QXmlStreamAttributes attrs = xml.attributes();
    for (const QXmlStreamAttribute &a : attrs) {
        if (a.name() == QLatin1String("type"))
            d.type = a.value().toString();
        else
            d.params.insert(a.name().toString(), a.value().toString());
    }
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            // Placed memos carry their final text in "u".
            if (xml.attributes().hasAttribute(QLatin1String("u")))
                d.texts << xml.attributes().value(QLatin1String("u")).toString();
            break;
        case QXmlStreamReader::EndElement: --depth; break;
        default: break;
        }
    }
    return d;
}

void readPackage(const QString &file, DemoRun &run)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        run.parseError += file + QStringLiteral(": cannot open\n");
        return;
    }
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("document"))
            continue;
        Document d = readDocument(xml);
        if (d.type == QLatin1String("bill"))
            run.bills.insert(d.params.value(QStringLiteral("number")), d);
        else if (d.type == QLatin1String("act"))
            run.acts.insert(d.params.value(QStringLiteral("bill")), d);
    }
    if (xml.hasError())
        run.parseError += file + QStringLiteral(": ") + xml.errorString() + QLatin1Char('\n');
}

class Demo : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_run = std::make_unique<DemoRun>();
        DemoRun &r = *g_run;
        const tw::app::test::TarnwellRun demo =
            tw::app::test::runProgram(QStringLiteral("bash"),
                                      {tw::test::sourceDir() + QStringLiteral("/demo/run-demo.sh"),
                                       QStringLiteral(TARNWELL_EXE), r.dir.path() + QStringLiteral("/run")},
                                      120000);
        r.exitCode = demo.exitCode;
        r.out = demo.out;
        r.err = demo.err;
        const QDir output(r.dir.path() + QStringLiteral("/run/output"));
        for (const QString &name : output.entryList({QStringLiteral("*.xml")}, QDir::Files))
            r.packageFiles << output.filePath(name);
        for (const QString &file : r.packageFiles)
            readPackage(file, r);
    }
    static void TearDownTestSuite() { g_run.reset(); }

    static const DemoRun &run() { return *g_run; }
    static QString runText() { return run().out + run().err; }
};

} // namespace

TEST_F(Demo, ExportsEveryBillOfJanuaryIntoWellFormedPackages)
{
    ASSERT_EQ(run().exitCode, 0) << runText().toStdString();
    EXPECT_TRUE(run().out.contains(QStringLiteral("package files:  14 in ") + run().dir.path()
                                   + QStringLiteral("/run/output/")))
        << run().out.toStdString();
    ASSERT_EQ(run().packageFiles.size(), 14);
    for (const QString &file : run().packageFiles)
        EXPECT_EQ(tw::app::test::xmllintComplaint(file), QString()) << file.toStdString();
    EXPECT_TRUE(run().parseError.isEmpty()) << run().parseError.toStdString();

    // The period leaves out the bills of December and February; six bills have an act.
    EXPECT_EQ(run().bills.size(), 14);
    EXPECT_TRUE(run().bills.contains(QStringLiteral("С-2014/001")));
    EXPECT_TRUE(run().bills.contains(QStringLiteral("С-2014/014")));
    EXPECT_FALSE(run().bills.contains(QStringLiteral("С-2013/212")));
    EXPECT_FALSE(run().bills.contains(QStringLiteral("С-2014/016")));
    EXPECT_EQ(run().acts.keys(), QStringList({"101", "103", "106", "109", "112", "114"}));
}

// Bill 101: six items in four sections, each with its subtotal, then the bill's totals.
TEST_F(Demo, BillShowsItemsGroupedWithSubtotalsAndTotals)
{
    ASSERT_TRUE(run().bills.contains(QStringLiteral("С-2014/001"))) << runText().toStdString();
    const Document &bill = run().bills[QStringLiteral("С-2014/001")];
    EXPECT_EQ(bill.params.value(QStringLiteral("id1")), "101");
    const QStringList expected = {
        "Счёт на оплату № С-2014/001 от 09.01.2014",
        "Покупатель: ООО «Северный ветер», ИНН 7701234567",
        "Работы и услуги",
        "1.", "Монтаж стеллажей", "12", "шт", "850,00", "10 200,00",
        "2.", "Вывоз упаковки", "1 200,00",
        "Итого по разделу «Работы и услуги»:", "11 400,00",
        "Материалы",
        "3.", "Стеллаж металлический 2000×1000", "4 200,00", "50 400,00",
        "4.", "Крепёж анкерный", "315,50", "1 893,00",
        "Итого по разделу «Материалы»:", "52 293,00",
        "Software licences", "Итого по разделу «Software licences»:", "14 980,00",
        "Доставка", "6.", "Доставка по Москве", "Итого по разделу «Доставка»:", "2 500,00",
        "Итого:", "81 173,00",
        "В том числе НДС (18%):", "12 382,32",
        "Позиций в счёте: 6",
    };
    qsizetype at = 0;
    for (const QString &text : expected) {
        // In this order in the prepared report.
        const qsizetype found = bill.texts.indexOf(text, at);
        ASSERT_GE(found, 0) << "missing after position " << at << ": " << text.toStdString() << "\n" << bill.dump().toStdString();
        at = found + 1;
    }
    EXPECT_TRUE(bill.has(QStringLiteral("Страница 1"))) << bill.dump().toStdString();
    EXPECT_TRUE(bill.has(QStringLiteral("Счёт № С-2014/001 от 09.01.2014"))) << bill.dump().toStdString();
}

// The bill's script: counters, the largest section kept with Set and read with Get,
// FormatFloat, IIF on a free item, a line hidden without a note.
TEST_F(Demo, BillScriptEffects)
{
    ASSERT_TRUE(run().bills.contains(QStringLiteral("С-2014/012"))) << runText().toStdString();
    const Document &b101 = run().bills[QStringLiteral("С-2014/001")];
    EXPECT_TRUE(b101.has(QStringLiteral("Всего наименований 6, на сумму 81173.00 руб."))) << b101.dump().toStdString();
    EXPECT_TRUE(b101.has(QStringLiteral("Крупнейший раздел: Материалы (52293.00 руб.)"))) << b101.dump().toStdString();
    EXPECT_TRUE(b101.has(QStringLiteral("Примечание: Оплата в течение 5 банковских дней."))) << b101.dump().toStdString();

    const Document &b112 = run().bills[QStringLiteral("С-2014/012")];
    EXPECT_TRUE(b112.has(QStringLiteral("Доставка до Омска (бесплатно)"))) << b112.dump().toStdString();
    EXPECT_TRUE(b112.has(QStringLiteral("Смазка пищевая"))) << b112.dump().toStdString();
    EXPECT_TRUE(b112.has(QStringLiteral("Всего наименований 7, на сумму 82734.00 руб."))) << b112.dump().toStdString();

    // Each package's report starts afresh: numbering and totals do not run on.
    const Document &b102 = run().bills[QStringLiteral("С-2014/002")];
    EXPECT_TRUE(b102.has(QStringLiteral("Всего наименований 1, на сумму 5400.00 руб."))) << b102.dump().toStdString();
    EXPECT_TRUE(b102.has(QStringLiteral("1."))) << b102.dump().toStdString();
    EXPECT_FALSE(b102.dump().contains(QStringLiteral("Примечание"))) << b102.dump().toStdString();

    // Texts that need escaping in XML reach the reader intact.
    const Document &b103 = run().bills[QStringLiteral("С-2014/003")];
    EXPECT_TRUE(b103.has(QStringLiteral("Покупатель: Lakeside Supplies & Co, ИНН 9909123456"))) << b103.dump().toStdString();
    const Document &b110 = run().bills[QStringLiteral("С-2014/010")];
    EXPECT_TRUE(b110.has(QStringLiteral("Hydraulic hose 1/2\""))) << b110.dump().toStdString();
}

TEST_F(Demo, ActListsTheBillsItemsWithTotals)
{
    ASSERT_TRUE(run().acts.contains(QStringLiteral("112"))) << runText().toStdString();
    const Document &act = run().acts[QStringLiteral("112")];
    EXPECT_EQ(act.params.value(QStringLiteral("number")), "А-2014/005");
    for (const char *text : {"Акт № А-2014/005 от 31.01.2014", "к счёту № С-2014/012 от 28.01.2014",
                             "Исполнитель: ООО «Тарнвелл Демо». Заказчик: АО «Тарнский молочный завод»",
                             "4", "Доставка до Омска", "1 рейс", "без оплаты", "Итого по акту (7 поз.):", "82 734,00",
                             "Самая крупная позиция: 48 700,00", "Без оплаты передано позиций: 1.",
                             "От исполнителя ______________ Гришина О. В.        От заказчика ______________",
                             "Страница 1"}) {
        EXPECT_TRUE(act.has(QString::fromUtf8(text))) << text << "\n" << act.dump().toStdString();
    }
    EXPECT_TRUE(act.dump().contains(QStringLiteral("на сумму 82734.00 руб."))) << act.dump().toStdString();

    // No free item: the line is hidden.
    const Document &act101 = run().acts[QStringLiteral("101")];
    EXPECT_TRUE(act101.dump().contains(QStringLiteral("на сумму 81173.00 руб."))) << act101.dump().toStdString();
    EXPECT_FALSE(act101.dump().contains(QStringLiteral("Без оплаты"))) << act101.dump().toStdString();
}
