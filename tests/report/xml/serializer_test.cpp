#include "report/xml/xmlserializer.h"

#include "base/codepage.h"
#include "report/xml/xmldocument.h"
#include "testclasses.h"

#include <QBuffer>
#include <cmath>
#include <functional>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace tw;
using namespace tw::test;

namespace {

// Texts compared as UTF-8 so that a failure shows them.
std::string u8(const QString &s)
{
    return s.toStdString();
}

class Serializer : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerTestClasses();
        host = new TTestHost;
        host->SetName(QStringLiteral("Form1"));
        report = new TTestReport(host);
        report->SetName(QStringLiteral("Report1"));
        ser.SetOwner(report);
        ser.SetFormatSettings(FormatSettings::russian());
    }
    void TearDown() override { delete host; }

    TTestView *view(const QString &name)
    {
        auto *v = new TTestView(report, report);
        v->SetName(name);
        return v;
    }

    TTestHost *host = nullptr;
    TTestReport *report = nullptr;
    TfrxXMLSerializer ser;
};

} // namespace

TEST_F(Serializer, OmitsDefaultsAndFormatsEveryKind)
{
    TTestView *v = view(QStringLiteral("V1"));
    // Everything at its default: floats, variants, the Boolean without a default and text
    // lists stay.
    EXPECT_EQ(u8(ser.ObjToXML(v)), u8(QStringLiteral(" Left=\"0\" Top=\"0\" Width=\"0\" Height=\"0\" ReadOnlyTag=\"1\""
                                              " Font.Name=\"Arial\" Value=\"\" Lines.Text=\"\"")));
    EXPECT_EQ(u8(ser.ObjToXML(report)), u8(QStringLiteral(" DotMatrixReport=\"False\" ScriptText.Text=\"\""
                                                   " PropData=\"095661726961626C65730100\"")));

    TTestView *ds = view(QStringLiteral("DS"));
    v->left = 10.5;
    v->top = 0.000001;
    v->width = 1e20;
    v->hAlign = 2;
    v->visible = false;
    v->tag = -7;
    v->font.style = 1 | 4;
    v->font.size = 12;
    v->dataSet = ds;
    v->caption = QStringLiteral("a\"<b>&\r\n");
    v->value = Variant(42);
    v->ch = QLatin1Char('Z');
    v->big = qint64(1) << 40;
    v->lines = QStringLiteral("one\r\ntwo\r\n");
    v->onClick = QStringLiteral("V1OnClick");
    v->events = QStringLiteral("x");
    EXPECT_EQ(u8(ser.ObjToXML(v)), u8(QStringLiteral(" Left=\"10,5\" Top=\"1E-6\" Width=\"1E20\" Height=\"0\" HAlign=\"haCenter\" Visible=\"False\""
                             " Tag=\"-7\" ReadOnlyTag=\"-6\" Font.Name=\"Arial\" Font.Size=\"12\" Font.Style=\"5\""
                             " DataSet=\"DS\" Caption=\"a&#34;&#60;b&#62;&#38;&#13;&#10;\" Value=\"42\" Ch=\"90\""
                             " Big=\"1099511627776\" Lines.Text=\"one&#13;&#10;two\" OnClick=\"V1OnClick\"")));

    // The font follows its stored rule.
    v->parentFont = true;
    EXPECT_FALSE(ser.ObjToXML(v).contains(QLatin1String("Font.")));

    // Written with every default when asked to.
    TTestView *w = view(QStringLiteral("W"));
    ser.SetSerializeDefaultValues(true);
    const QString all = ser.ObjToXML(w);
    for (const char *attr : {" HAlign=\"haLeft\"", " Visible=\"True\"", " Tag=\"0\"", " Caption=\"\"", " DataSet=\"\"", " Font.Style=\"0\""})
        EXPECT_TRUE(all.contains(QLatin1String(attr))) << attr;
    EXPECT_FALSE(all.contains(QLatin1String("Hidden")));
    EXPECT_FALSE(all.contains(QLatin1String("OnHostEvent")));
}

TEST_F(Serializer, FloatsKeepFixedNotationDownToAHundredThousandth)
{
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.0001, "0,0001"},       {0.00001, "0,00001"},  {0.000012345, "0,000012345"},
        {-0.00005, "-0,00005"},   {0.0000099, "9,9E-6"}, {1e-6, "1E-6"},
        {1.0 / 30000, "0,0000333333333333333"},          {123456789012345678.0, "1,23456789012346E17"},
        {10.5, "10,5"},
    };
    TTestView *v = view(QStringLiteral("F"));
    for (const auto &c : cases) {
        v->left = c.value;
        const QString out = ser.ObjToXML(v);
        EXPECT_TRUE(out.startsWith(QStringLiteral(" Left=\"%1\"").arg(QString::fromUtf8(c.text)))) << u8(out);
        v->left = 0;
        ser.XMLToObj(out, v);
        EXPECT_NEAR(v->left, c.value, std::fabs(c.value) * 1e-14) << c.text;
    }
}

TEST_F(Serializer, MemoTextAndPropData)
{
    auto *m = new TTestMemo(report, report);
    m->SetName(QStringLiteral("Memo1"));
    EXPECT_TRUE(ser.ObjToXML(m).endsWith(QLatin1String(" Text=\"\"")));
    m->text = QStringLiteral("Итого\r\n");
    m->picture.data = QByteArray("\x00\x01\xFF", 3);
    const QString out = ser.ObjToXML(m);
    EXPECT_TRUE(out.contains(QStringLiteral(" Text=\"Итого\""))) << out.toStdString();
    // Name, vaBinary, length 3, bytes.
    EXPECT_TRUE(out.contains(QLatin1String(" Picture.PropData=\"04446174610A030000000001FF\""))) << u8(out);

    auto *back = new TTestMemo(report, report);
    ser.XMLToObj(out, back);
    EXPECT_EQ(back->text, QStringLiteral("Итого"));
    EXPECT_EQ(back->picture.data, m->picture.data);
    EXPECT_TRUE(ser.Errors().isEmpty());

    // The host design position: "Left", vaInt8 3; kept by a class without a published Left.
    report->setDesignPosition(3, 0);
    const QString rep = ser.ObjToXML(report);
    EXPECT_TRUE(rep.endsWith(QLatin1String(" PropData=\"044C6566740203095661726961626C65730100\""))) << rep.toStdString();
    TTestReport other;
    ser.XMLToObj(rep, &other);
    EXPECT_EQ(other.designLeft(), 3);

    // A broken PropData is dropped without a message; the attributes after it still apply.
    ser.XMLToObj(QStringLiteral(" PropData=\"04446174610A0300\" Tag=\"5\" PropData=\"ZZ\""), back);
    EXPECT_EQ(back->tag, 5);
    EXPECT_TRUE(ser.Errors().isEmpty());
}

TEST_F(Serializer, PropDataEntriesSetPublishedProperties)
{
    TTestView *ds = view(QStringLiteral("DS"));
    TfrxComponentWriter w;
    w.WriteName(QStringLiteral("Tag"));
    w.WriteInteger(300);
    w.WriteName(QStringLiteral("HAlign"));
    w.WriteIdent(QStringLiteral("haBlock"));
    w.WriteName(QStringLiteral("Visible"));
    w.WriteBoolean(false);
    w.WriteName(QStringLiteral("Font.Style"));
    w.WriteSet({QStringLiteral("fsItalic")});
    w.WriteName(QStringLiteral("Caption"));
    w.WriteString(QStringLiteral("Итог"));
    w.WriteName(QStringLiteral("Left"));
    w.WriteFloat(2.5);
    w.WriteName(QStringLiteral("Value"));
    w.WriteDouble(0.5);
    w.WriteName(QStringLiteral("DataSet"));
    w.WriteIdent(QStringLiteral("DS"));
    w.WriteName(QStringLiteral("Lines"));
    w.WriteListBegin();
    w.WriteString(QStringLiteral("a"));
    w.WriteString(QStringLiteral("b"));
    w.WriteListEnd();
    w.WriteName(QStringLiteral("ReadOnlyTag"));
    w.WriteInteger(1);
    w.WriteName(QStringLiteral("Ch"));
    w.WriteString(QStringLiteral("Q"));
    TTestView *v = view(QStringLiteral("V"));
    ser.XMLToObj(QStringLiteral("PropData=\"") + BytesToHex(w.Data()) + QLatin1Char('"'), v);
    ser.ResolveReferences();
    EXPECT_EQ(v->tag, 300);
    EXPECT_EQ(v->hAlign, 3);
    EXPECT_FALSE(v->visible);
    EXPECT_EQ(v->font.style, 2);
    EXPECT_EQ(v->caption, QStringLiteral("Итог"));
    EXPECT_DOUBLE_EQ(v->left, 2.5);
    EXPECT_TRUE(v->value.sameAs(Variant(0.5)));
    EXPECT_EQ(v->dataSet, ds);
    EXPECT_EQ(v->lines, QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(v->ch, QLatin1Char('Q'));
    EXPECT_TRUE(ser.Errors().isEmpty());

    // An entry nobody knows ends the reading there, silently.
    TfrxComponentWriter u;
    u.WriteName(QStringLiteral("Tag"));
    u.WriteInteger(1);
    u.WriteName(QStringLiteral("Mystery"));
    u.WriteInteger(2);
    u.WriteName(QStringLiteral("Caption"));
    u.WriteString(QStringLiteral("never"));
    ser.XMLToObj(QStringLiteral("PropData=\"") + BytesToHex(u.Data()) + QLatin1Char('"'), v);
    EXPECT_EQ(v->tag, 1);
    EXPECT_EQ(v->caption, QStringLiteral("Итог"));
    EXPECT_TRUE(ser.Errors().isEmpty());
}

TEST_F(Serializer, AncestorComparison)
{
    TTestView *anc = view(QStringLiteral("V"));
    TTestView *v = view(QStringLiteral("V"));
    TTestView *ds = view(QStringLiteral("DS"));
    anc->dataSet = ds;
    anc->caption = v->caption = QStringLiteral("same");
    anc->left = 1.0;
    v->left = 1.0000001;
    v->tag = 4;
    EXPECT_EQ(u8(ser.ObjToXML(v, QString(), anc)), u8(QStringLiteral(" Tag=\"4\" ReadOnlyTag=\"5\" DataSet=\"nil\"")));
    ser.OnGetAncestor = [&](const QString &name) -> Object * { return name == QLatin1String("V") ? anc : nullptr; };
    EXPECT_EQ(u8(ser.ObjToXML(v)), u8(QStringLiteral(" Tag=\"4\" ReadOnlyTag=\"5\" DataSet=\"nil\"")));
}

TEST_F(Serializer, ReadsAttributesByKind)
{
    TTestView *v = view(QStringLiteral("V"));
    ser.XMLToObj(QStringLiteral("Left=\"10,5\" Top=\"10.5\" Width=\"1 000,25\" HAlign=\"haRIGHT\" Visible=\"False\""
                                " Font.Style=\"1\" Font.Name=\"Times\" Tag=\"$10\" Big=\"0x10000000000\" Ch=\"66\""
                                " Caption=\"a&#34;b\" Value=\"x&#60;\" Lines.Text=\"1&#13;&#10;2\" Font.Unknown.X=\"1\""
                                " NoSuch=\"1\" ReadOnlyTag=\"9\" OnHostEvent=\"e\""),
                 v);
    EXPECT_DOUBLE_EQ(v->left, 10.5);
    EXPECT_DOUBLE_EQ(v->top, 10.5);
    EXPECT_DOUBLE_EQ(v->width, 1000.25);
    EXPECT_EQ(v->hAlign, 1);
    EXPECT_FALSE(v->visible);
    EXPECT_EQ(v->font.style, 1);
    EXPECT_EQ(v->font.name, QStringLiteral("Times"));
    EXPECT_EQ(v->tag, 16);
    EXPECT_EQ(v->big, qint64(1) << 40);
    EXPECT_EQ(v->ch, QLatin1Char('B'));
    EXPECT_EQ(v->caption, QStringLiteral("a\"b"));
    EXPECT_TRUE(v->value.sameAs(Variant(QStringLiteral("x<"))));
    EXPECT_EQ(v->lines, QStringLiteral("1\r\n2"));
    EXPECT_TRUE(v->events.isEmpty());
    EXPECT_TRUE(ser.Errors().isEmpty()) << ser.Errors().join(QLatin1Char('|')).toStdString();

    ser.XMLToObj(QStringLiteral("HAlign=\"2\""), v);
    EXPECT_EQ(v->hAlign, 2);

    // Bad values are recorded and the scan goes on.
    ser.XMLToObj(QStringLiteral("Tag=\"abc\" HAlign=\"haNowhere\" Left=\"1,2,x\" Caption=\"&#zz;\" Top=\"7\""), v);
    EXPECT_EQ(v->tag, 16);
    EXPECT_EQ(v->hAlign, 2);
    EXPECT_DOUBLE_EQ(v->top, 7);
    ASSERT_EQ(ser.Errors().size(), 4) << ser.Errors().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(ser.Errors().contains(QStringLiteral("'abc' is not a valid integer value")));
}

TEST_F(Serializer, CompactPreparedPageAttributes)
{
    auto *m = new TTestMemo(report, report);
    ser.XMLToObj(QStringLiteral("l=\"1,5\" t=\"2\" w=\"30.25\" h=\"4\" x=\"a&#13;&#10;&#60;b&#62;\""), m);
    EXPECT_DOUBLE_EQ(m->left, 1.5);
    EXPECT_DOUBLE_EQ(m->top, 2);
    EXPECT_DOUBLE_EQ(m->width, 30.25);
    EXPECT_DOUBLE_EQ(m->height, 4);
    EXPECT_EQ(m->text, QStringLiteral("a\r\n<b>"));

    // In an old-kind document the value of u (and of Text) is UTF-8 read as single bytes.
    codepage::setAnsiCodePage(1252);
    const QString mangled = codepage::fromAnsi(QStringLiteral("Сумма").toUtf8());
    ser.SetOldFormat(true);
    ser.XMLToObj(QStringLiteral("u=\"") + mangled + QLatin1Char('"'), m);
    EXPECT_EQ(m->text, QStringLiteral("Сумма"));
    ser.XMLToObj(QStringLiteral("x=\"") + mangled + QLatin1Char('"'), m);
    EXPECT_EQ(m->text, mangled);
    ser.XMLToObj(QStringLiteral("Text=\"") + mangled + QLatin1Char('"'), m);
    EXPECT_EQ(m->text, QStringLiteral("Сумма"));
}

TEST_F(Serializer, TreeRoundTripWithReferencesAndUnknownClasses)
{
    auto *param = new TTestView(host); // the host's parameter dataset
    param->SetName(QStringLiteral("CUST"));
    TTestView *page = view(QStringLiteral("Page1"));
    auto *memo = new TTestMemo(report, page);
    memo->SetName(QStringLiteral("Memo1"));
    memo->text = QStringLiteral("<CUST.\"id\">");
    memo->dataSet = param;
    TTestView *band = view(QStringLiteral("Band1"));
    band->dataSet = memo;
    report->script = QStringLiteral("begin\r\nend.\r\n");
    auto *var = static_cast<TTestVariable *>(report->variables.AddItem());
    var->name = QStringLiteral("v1");
    var->value = Variant(QStringLiteral("<CUST.\"x\">"));
    var->dataSet = param;

    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    TfrxXMLSerializer writer(&buf);
    writer.SetOwner(report);
    writer.WriteRootComponent(report);
    QByteArray xml = buf.data();
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n<TTestReport "));
    EXPECT_TRUE(xml.contains("<TTestMemo Name=\"Memo1\" ")) << xml.constData();
    // An unknown class twice, with a child: one message, no objects.
    xml.replace("</TTestReport>", "<TfrxChartView Name=\"C1\"><TTestView Name=\"Inner\"/></TfrxChartView>"
                                  "<TfrxChartView Name=\"C2\"/><TTestView Name=\"Band2\" DataSet=\"Nobody\"/></TTestReport>");

    TTestHost host2;
    host2.SetName(QStringLiteral("Form2"));
    auto *param2 = new TTestView(&host2);
    param2->SetName(QStringLiteral("cust"));
    auto *report2 = new TTestReport(&host2);
    QBuffer in;
    in.setData(xml);
    in.open(QIODevice::ReadOnly);
    TfrxXMLSerializer reader(&in);
    reader.SetOwner(report2);
    reader.ReadRootComponent(report2);

    EXPECT_EQ(reader.Errors(), QStringList{QStringLiteral("Cannot find class TfrxChartView")});
    EXPECT_EQ(report2->Name(), QString()); // a template never renames the report
    EXPECT_EQ(report2->script, QStringLiteral("begin\r\nend."));
    ASSERT_EQ(report2->objects.size(), 3);
    TTestComponent *page2 = report2->objects[0];
    ASSERT_EQ(page2->objects.size(), 1);
    auto *memo2 = dynamic_cast<TTestMemo *>(page2->objects[0]);
    ASSERT_TRUE(memo2);
    EXPECT_EQ(memo2->text, memo->text);
    EXPECT_EQ(memo2->dataSet, param2);  // resolved in the host container
    auto *band2 = static_cast<TTestView *>(report2->objects[1]);
    EXPECT_EQ(band2->dataSet, memo2); // a report object anywhere below
    EXPECT_EQ(static_cast<TTestView *>(report2->objects[2])->dataSet, nullptr);
    EXPECT_EQ(report2->FindComponent(QStringLiteral("Inner")), nullptr);
    EXPECT_EQ(memo2->loadedCalls, 1);
    EXPECT_FALSE(memo2->loadingSeenByLoaded);
    EXPECT_EQ(report2->loadedCalls, 0);
    ASSERT_EQ(report2->variables.Count(), 1);
    EXPECT_EQ(report2->variables.items[0]->name, QStringLiteral("v1"));
    EXPECT_TRUE(report2->variables.items[0]->value.sameAs(Variant(QStringLiteral("<CUST.\"x\">"))));
    EXPECT_EQ(report2->variables.items[0]->dataSet, param2);
}

TEST_F(Serializer, ReferenceNamesAcrossContainers)
{
    TTestHost dm;
    dm.SetName(QStringLiteral("DM"));
    Component::registerGlobalContainer(&dm);
    auto *q = new TTestView(&dm);
    q->SetName(QStringLiteral("Query"));
    auto *frame = new TTestHost(&dm); // owner kind of the frame's children is decided by the frame
    frame->SetName(QStringLiteral("Fr"));
    TTestView *v = view(QStringLiteral("V"));
    v->dataSet = q;
    EXPECT_TRUE(ser.ObjToXML(v).contains(QLatin1String(" DataSet=\"DM.Query\"")));
    v->dataSet = nullptr;
    ser.XMLToObj(QStringLiteral("DataSet=\"dm.query\""), v);
    ser.ResolveReferences();
    EXPECT_EQ(v->dataSet, q);
    ser.XMLToObj(QStringLiteral("DataSet=\"nil\""), v);
    ser.ResolveReferences();
    EXPECT_EQ(v->dataSet, q);
    Component::unregisterGlobalContainer(&dm);
}

TEST_F(Serializer, ComponentStrings)
{
    auto *m = new TTestMemo(report, report);
    m->SetName(QStringLiteral("M"));
    m->left = 2;
    m->text = QStringLiteral("x");
    TTestView *ds = view(QStringLiteral("DS"));
    m->dataSet = ds;
    const QString s = ser.WriteComponentStr(m);
    EXPECT_TRUE(s.startsWith(QLatin1String("TTestMemo Left=\"2\"")));

    Component *c = ser.ReadComponentStr(report, QStringLiteral("  ") + s + QStringLiteral(" "));
    auto *back = dynamic_cast<TTestMemo *>(c);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Owner(), report);
    EXPECT_EQ(back->text, QStringLiteral("x"));
    EXPECT_EQ(back->dataSet, ds);
    EXPECT_EQ(back->loadedCalls, 1);

    auto *pending = dynamic_cast<TTestMemo *>(ser.ReadComponentStr(report, s, true));
    EXPECT_EQ(pending->dataSet, nullptr);
    QList<TfrxFixupItem> fixups;
    ser.CopyFixupList(fixups);
    ASSERT_EQ(fixups.size(), 1);
    EXPECT_EQ(fixups[0].Value, QStringLiteral("DS"));

    // References held back and not copied out are dropped by the next read of any kind,
    // not resolved onto an object the caller may no longer own.
    for (int kind = 0; kind < 2; ++kind) {
        auto *held = dynamic_cast<TTestMemo *>(ser.ReadComponentStr(report, s, true));
        ASSERT_TRUE(held);
        if (kind == 0) {
            TTestVariable var;
            ser.ReadPersistentStr(report, &var, QStringLiteral("Name=\"v\""));
        } else {
            TfrxXMLItem item;
            ser.ReadRootComponent(report, &item);
        }
        EXPECT_EQ(held->dataSet, nullptr) << kind;
        EXPECT_TRUE(ser.Fixups().isEmpty()) << kind;
    }

    EXPECT_EQ(ser.ReadComponentStr(report, QStringLiteral("   ")), nullptr);
    EXPECT_THROW(ser.ReadComponentStr(report, QStringLiteral("TNoSuchView l=\"1\"")), EClassNotFound);

    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    ser.SetStream(&buf);
    ser.WriteComponent(m);
    ser.WriteComponent(back);
    buf.seek(0);
    auto *r1 = dynamic_cast<TTestMemo *>(ser.ReadComponent(report));
    auto *r2 = dynamic_cast<TTestMemo *>(ser.ReadComponent(report));
    ASSERT_TRUE(r1 && r2);
    EXPECT_EQ(r2->text, QStringLiteral("x"));
    EXPECT_EQ(ser.ReadComponent(report), nullptr);
}

TEST_F(Serializer, RandomAttributeStringsNeverCrash)
{
    const QString seed = QStringLiteral("Left=\"1,5\" Font.Style=\"1\" HAlign=\"haRight\" x=\"a&#10;\" DataSet=\"DS\""
                                        " Lines.Text=\"a\" PropData=\"0446617461140100000041\" Text=\"&amp;\"");
    QRandomGenerator rng(7);
    const QString alphabet = QStringLiteral("=\" .&#;$x0A9-");
    for (int round = 0; round < 20000; ++round) {
        QString s = seed;
        for (int e = 0, n = 1 + int(rng.bounded(5)); e < n; ++e) {
            const int pos = int(rng.bounded(qsizetype(s.size() + 1)));
            if (rng.bounded(2))
                s.insert(pos, alphabet[int(rng.bounded(qsizetype(alphabet.size())))]);
            else
                s.remove(pos, 1 + int(rng.bounded(3)));
        }
        auto *m = new TTestMemo(report, report);
        ser.XMLToObj(s, m);
        ser.ResolveReferences();
        delete m;
    }
    SUCCEED();
}

// A copy must leave the target exactly as writing the source and reading the text would,
// including what the text loses: float digits past fifteen, the sign of zero, "&quot;",
// final line breaks, a variant's type.
TEST_F(Serializer, CopyEqualsWritingAndReading)
{
    auto *param = new TTestView(host);
    param->SetName(QStringLiteral("CUST"));
    TTestView *other = view(QStringLiteral("Other"));
    const double nan = std::nan("");
    const struct {
        const char *what;
        std::function<void(TTestMemo *)> setup;
    } cases[] = {
        {"defaults", [](TTestMemo *) {}},
        {"floats with digits the text drops",
         [](TTestMemo *m) {
             m->left = 1.0 / 3;
             m->top = -0.0;
             m->width = 0.0000123456789012345678;
             m->height = 18.897637795275593;
         }},
        {"floats the text keeps", [](TTestMemo *m) { m->left = 94.48819; m->top = -2.5; m->width = 1e20; m->height = 1.5e-10; }},
        {"floats that cannot be read", [nan](TTestMemo *m) { m->left = nan; m->top = HUGE_VAL; }},
        {"texts with entities and breaks",
         [](TTestMemo *m) {
             m->caption = QStringLiteral("a &quot;b&quot; <c> & d\r\ne");
             m->lines = QStringLiteral("one\r\ntwo &quot;\r\n");
             m->text = QStringLiteral("Итого: &quot;[SUM]&quot;\r\n");
             m->onClick = QStringLiteral("Memo1OnClick");
         }},
        {"memo text with a final break", [](TTestMemo *m) { m->text = QStringLiteral("line\r\n\r\n"); }},
        {"ordinals", [](TTestMemo *m) { m->hAlign = 2; m->tag = -7; m->ch = QChar(0x416); m->big = 1LL << 40; m->visible = false; }},
        {"an enumeration out of its range", [](TTestMemo *m) { m->hAlign = 9; }},
        {"variants become text", [](TTestMemo *m) { m->value = Variant(5); }},
        {"references", [param](TTestMemo *m) { m->dataSet = param; }},
        {"a reference inside the report", [other](TTestMemo *m) { m->dataSet = other; }},
        {"nested objects and their data",
         [](TTestMemo *m) {
             m->font.name = QStringLiteral("Times & Sons");
             m->font.size = 14;
             m->picture.data = QByteArray("\x00\x01\xFF", 3);
         }},
        {"a nested object not stored", [](TTestMemo *m) { m->parentFont = true; m->font.size = 20; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto *source = new TTestMemo(report, report);
        source->SetName(QStringLiteral("Source"));
        c.setup(source);

        auto *viaText = new TTestMemo(report, report);
        QStringList textErrors;
        {
            TfrxXMLItem item;
            TfrxXMLSerializer w;
            w.SetOwner(report);
            w.SetFormatSettings(FormatSettings::russian());
            w.SetSerializeDefaultValues(true);
            w.WriteRootComponent(source, false, false, &item);
            TfrxXMLSerializer r;
            r.SetOwner(report);
            r.ReadRootComponent(viaText, &item);
            textErrors = r.Errors();
        }
        auto *copied = new TTestMemo(report, report);
        TfrxXMLSerializer s;
        s.SetOwner(report);
        s.SetFormatSettings(FormatSettings::russian());
        s.CopyRootComponent(copied, source);

        for (auto [a, b] : {std::pair{viaText->left, copied->left}, {viaText->top, copied->top},
                            {viaText->width, copied->width}, {viaText->height, copied->height}}) {
            EXPECT_EQ(std::isnan(a), std::isnan(b));
            if (!std::isnan(a)) {
                EXPECT_EQ(a, b);
                EXPECT_EQ(std::signbit(a), std::signbit(b));
            }
        }
        EXPECT_EQ(u8(viaText->caption), u8(copied->caption));
        EXPECT_EQ(u8(viaText->lines), u8(copied->lines));
        EXPECT_EQ(u8(viaText->text), u8(copied->text));
        EXPECT_EQ(u8(viaText->onClick), u8(copied->onClick));
        EXPECT_TRUE(viaText->value.sameAs(copied->value));
        EXPECT_EQ(viaText->hAlign, copied->hAlign);
        EXPECT_EQ(viaText->tag, copied->tag);
        EXPECT_EQ(viaText->ch, copied->ch);
        EXPECT_EQ(viaText->big, copied->big);
        EXPECT_EQ(viaText->visible, copied->visible);
        EXPECT_EQ(viaText->parentFont, copied->parentFont);
        EXPECT_EQ(viaText->dataSet, copied->dataSet);
        EXPECT_EQ(u8(viaText->font.name), u8(copied->font.name));
        EXPECT_EQ(viaText->font.size, copied->font.size);
        EXPECT_EQ(viaText->picture.data, copied->picture.data);
        EXPECT_EQ(viaText->events, copied->events);
        EXPECT_EQ(viaText->loadedCalls, copied->loadedCalls);
        EXPECT_EQ(textErrors, s.Errors());
        EXPECT_FALSE(copied->IsLoading());
        EXPECT_EQ(copied->Name(), QString());
        delete source;
        delete viaText;
        delete copied;
    }
    EXPECT_EQ(other->dataSet, nullptr);
}

TEST_F(Serializer, ReadingThroughPlansSetsWhatAPlainReadSets)
{
    // Every kind of attribute, bad values included: each read reports them again.
    const QByteArray xml = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n"
        "<TTestReport Name=\"Renamed\" DotMatrixReport=\"True\" ScriptText.Text=\"begin&#13;&#10;end.\""
        " PropData=\"095661726961626C65730101061F204E616D653D22546F70222056616C75653D222220446174615365743D22220000\">"
        "<TTestView Name=\"Page1\" l=\"1,5\" t=\"2\" w=\"300\" h=\"bad\" Tag=\"12x\" HAlign=\"haNowhere\" Visible=\"False\">"
        "<TTestMemo Name=\"Memo1\" Left=\"10.25\" HAlign=\"haRight\" Font.Size=\"14\" Font.Style=\"3\" Font.Nope=\"1\""
        " Picture.PropData=\"04446174610A020000000102\" Picture.PropData=\"zz\" DataSet=\"Page1\" Caption=\"a &#38; b\""
        " Value=\"v\" Ch=\"66\" Big=\"9000000000\" Lines.Text=\"one&#13;&#10;two\" OnClick=\"Memo1Click\""
        " Unknown=\"1\" ReadOnlyTag=\"5\" Text=\"[Customer]\"/>"
        "<TTestMemo Name=\"Memo2\" x=\"plain &#60;x&#62;\"/>"
        "</TTestView></TTestReport>");
    TfrxXMLDocument doc;
    {
        QBuffer in;
        in.setData(xml);
        in.open(QIODevice::ReadOnly);
        doc.LoadFromStream(&in);
    }
    const auto read = [&](TfrxReadPlans *plans, QStringList &errors) {
        auto target = std::make_unique<TTestReport>(host);
        TfrxXMLSerializer reader;
        reader.SetOwner(target.get());
        reader.SetReadPlans(plans);
        reader.ReadRootComponent(target.get(), doc.Root());
        errors = reader.Errors();
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        TfrxXMLSerializer writer(&out);
        writer.SetOwner(target.get());
        writer.SetSerializeDefaultValues(true);
        writer.WriteRootComponent(target.get());
        return out.data();
    };
    QStringList plainErrors;
    const QByteArray plain = read(nullptr, plainErrors);
    EXPECT_TRUE(plain.contains("Font.Size=\"14\"")) << plain.constData();
    EXPECT_TRUE(plain.contains("DataSet=\"Page1\""));
    EXPECT_EQ(plainErrors.size(), 3) << plainErrors.join(QLatin1Char('\n')).toStdString();

    TfrxReadPlans plans;
    for (int pass = 1; pass <= 3; ++pass) {
        SCOPED_TRACE(pass);
        QStringList errors;
        EXPECT_EQ(read(&plans, errors), plain);
        EXPECT_EQ(errors, plainErrors);
    }
}
