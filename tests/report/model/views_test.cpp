#include "report/model/dialogcontrols.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "report/model/styles.h"
#include "report/model/memo.h"
#include "report/model/picture.h"
#include "report/model/views.h"
#include "report/model/viewsextra.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace tw;

namespace {

std::string u8(const QString &s)
{
    return s.toStdString();
}

class Views : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerViewClasses();
        report = new TfrxReport;
        report->SetName(QStringLiteral("Report1"));
        ser.SetOwner(report);
        ser.SetFormatSettings(FormatSettings::russian());
    }
    void TearDown() override { delete report; }

    template <class T>
    T *make(const QString &name)
    {
        auto *v = new T(report);
        v->SetName(name);
        return v;
    }
    TfrxMemoView *memo(const QString &text = QString())
    {
        auto *m = make<TfrxMemoView>(QStringLiteral("Memo1"));
        m->SetBounds(10, 20, 100, 18.9);
        m->SetText(text);
        return m;
    }
    // Writes the view and reads the text back into a new object of its class.
    Component *reload(Component *c)
    {
        TfrxXMLSerializer reader;
        reader.SetOwner(report);
        reader.SetFormatSettings(FormatSettings::russian());
        const QString text = ser.WriteComponentStr(c);
        delete c;
        Component *back = reader.ReadComponentStr(report, text);
        EXPECT_TRUE(reader.Errors().isEmpty()) << u8(reader.Errors().join(QLatin1Char('\n')));
        return back;
    }

    TfrxReport *report = nullptr;
    TfrxXMLSerializer ser;
};

} // namespace

TEST_F(Views, NewMemoWritesOnlyWhatDiffersFromItsDefaults)
{
    TfrxMemoView *m = memo(QStringLiteral("Hello\r\n"));
    EXPECT_EQ(u8(ser.WriteComponentStr(m)),
              u8(QStringLiteral("TfrxMemoView Left=\"10\" Top=\"20\" Width=\"100\" Height=\"18,9\" ShowHint=\"False\""
                                " Text=\"Hello\"")));
    // An empty memo still writes its text.
    m->SetText(QString());
    EXPECT_TRUE(ser.ObjToXML(m).endsWith(QLatin1String(" Text=\"\"")));
}

TEST_F(Views, MemoWritesItsPropertiesInPublishedOrder)
{
    TfrxMemoView *m = memo(QStringLiteral("[CUST.\"id1\"]\r\nline 2"));
    m->SetStretchMode(TfrxStretchMode::smMaxHeight);
    m->SetTagStr(QStringLiteral("t"));
    m->SetAllowExpressions(false);
    m->SetCharSpacing(0.5);
    m->SetColor(255);
    m->SetDataField(QStringLiteral("id1"));
    m->SetDataSetName(QStringLiteral("CUST"));
    m->DisplayFormat()->SetKind(TfrxFormatKind::fkNumeric);
    m->DisplayFormat()->SetFormatStr(QStringLiteral("%2.2n"));
    m->DisplayFormat()->SetDecimalSeparator(QStringLiteral(","));
    m->SetExpressionDelimiters(QStringLiteral("<,>"));
    m->Font()->SetStyle(fsBold);
    m->Frame()->SetTyp(ftLeft | ftBottom);
    m->SetGapX(3);
    m->SetHAlign(TfrxHAlign::haCenter);
    m->SetLineSpacing(0);
    m->SetRotation(90);
    m->SetStyle(QStringLiteral("Header"));
    m->SetWordWrap(false);
    m->SetVAlign(TfrxVAlign::vaCenter);
    m->SetShiftMode(TfrxShiftMode::smDontShift);
    m->SetShowHint(true);
    EXPECT_EQ(u8(ser.ObjToXML(m)),
              u8(QStringLiteral(
                  " ShiftMode=\"smDontShift\" Left=\"10\" Top=\"20\" Width=\"100\" Height=\"18,9\" ShowHint=\"True\""
                  " StretchMode=\"smMaxHeight\" TagStr=\"t\" AllowExpressions=\"False\" CharSpacing=\"0,5\""
                  " Color=\"255\" DataField=\"id1\" DataSetName=\"CUST\" DisplayFormat.DecimalSeparator=\",\""
                  " DisplayFormat.FormatStr=\"%2.2n\" DisplayFormat.Kind=\"fkNumeric\""
                  " ExpressionDelimiters=\"&#60;,&#62;\" Font.Charset=\"1\" Font.Color=\"0\" Font.Height=\"-13\""
                  " Font.Name=\"Arial\" Font.Style=\"1\" Frame.Typ=\"9\" GapX=\"3\" HAlign=\"haCenter\""
                  " LineSpacing=\"0\" ParentFont=\"False\" Rotation=\"90\" Style=\"Header\" WordWrap=\"False\""
                  " VAlign=\"vaCenter\" Text=\"[CUST.&#34;id1&#34;]&#13;&#10;line 2\"")));

    auto *back = dynamic_cast<TfrxMemoView *>(reload(m));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Lines(), QStringList({QStringLiteral("[CUST.\"id1\"]"), QStringLiteral("line 2")}));
    EXPECT_EQ(back->DisplayFormat()->Kind(), TfrxFormatKind::fkNumeric);
    EXPECT_EQ(back->DisplayFormat()->FormatStr(), QStringLiteral("%2.2n"));
    EXPECT_EQ(back->DisplayFormat()->DecimalSeparator(), QStringLiteral(","));
    EXPECT_EQ(back->Font()->Style(), int(fsBold));
    EXPECT_FALSE(back->ParentFont());
    EXPECT_EQ(back->Frame()->Typ(), ftLeft | ftBottom);
    EXPECT_EQ(back->ExpressionDelimiters(), QStringLiteral("<,>"));
}

TEST_F(Views, SystemMemoPublishesItsSubset)
{
    auto *m = make<TfrxSysMemoView>(QStringLiteral("SysMemo1"));
    m->SetAllowExpressions(false); // not published by the system memo
    m->SetWordWrap(false);
    m->SetHAlign(TfrxHAlign::haRight);
    m->SetText(QStringLiteral("[Page#]"));
    EXPECT_EQ(u8(ser.ObjToXML(m)), u8(QStringLiteral(" Left=\"0\" Top=\"0\" Width=\"0\" Height=\"0\" ShowHint=\"False\""
                                                     " HAlign=\"haRight\" WordWrap=\"False\" Text=\"[Page#]\"")));
}

TEST_F(Views, MemoTextSplitsAtEveryKindOfLineBreak)
{
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {QString(), {}},
        {QStringLiteral("one"), {QStringLiteral("one")}},
        {QStringLiteral("one\r\n"), {QStringLiteral("one")}},
        {QStringLiteral("a\r\nb\rc\nd\u2028e"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e")}},
        {QStringLiteral("\r\n"), {QString()}},
        {QStringLiteral("a\n\r\nb"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {QStringLiteral("a\r\r\n"), {QStringLiteral("a"), QString()}},
    };
    TfrxMemoView *m = memo();
    for (const auto &c : cases) {
        m->SetText(c.text);
        EXPECT_EQ(m->Lines(), c.lines) << u8(c.text);
        QString joined;
        for (const QString &l : c.lines)
            joined += l + QLatin1String("\r\n");
        EXPECT_EQ(m->Text(), joined);
    }
}

TEST_F(Views, MemoTextReadsFromTextAndMemoAttributes)
{
    TfrxMemoView *m = memo();
    ser.XMLToObj(QStringLiteral(" Text=\"a&#13;&#10;b\""), m);
    EXPECT_EQ(m->Lines(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    ser.XMLToObj(QStringLiteral(" Memo.Text=\"x&#13;&#10;y&#13;&#10;\""), m);
    EXPECT_EQ(m->Lines(), QStringList({QStringLiteral("x"), QStringLiteral("y")}));
    // The prepared-page short form.
    ser.XMLToObj(QStringLiteral(" x=\"z\""), m);
    EXPECT_EQ(m->Text(), QStringLiteral("z\r\n"));
    EXPECT_TRUE(ser.Errors().isEmpty());
}

TEST_F(Views, RotationKeepsTheRemainderOf360)
{
    const struct {
        int set, got;
    } cases[] = {{450, 90}, {360, 0}, {720, 0}, {45, 45}, {359, 359}, {-90, -90}, {-450, -90}};
    TfrxMemoView *m = memo();
    for (const auto &c : cases) {
        m->SetRotation(c.set);
        EXPECT_EQ(m->Rotation(), c.got) << c.set;
    }
    ser.XMLToObj(QStringLiteral(" Rotation=\"450\""), m);
    EXPECT_EQ(m->Rotation(), 90);
    EXPECT_TRUE(ser.ObjToXML(m).contains(QLatin1String(" Rotation=\"90\"")));
}

TEST_F(Views, FrameWidthAndTypeApplyToAllLines)
{
    TfrxMemoView *m = memo();
    m->Frame()->SetTyp(15);
    m->Frame()->SetWidth(2);
    const QString xml = ser.ObjToXML(m);
    EXPECT_TRUE(xml.contains(QLatin1String(" Frame.Typ=\"15\" Frame.Width=\"2\" Text"))) << u8(xml);
    EXPECT_FALSE(xml.contains(QLatin1String("Line."))) << u8(xml);

    auto *back = dynamic_cast<TfrxMemoView *>(reload(m));
    ASSERT_NE(back, nullptr);
    TfrxFrame *f = back->Frame();
    EXPECT_EQ(f->Typ(), 15);
    for (const TfrxFrameLine *l : {&f->LeftLine(), &f->TopLine(), &f->RightLine(), &f->BottomLine()})
        EXPECT_EQ(l->Width(), 2);
}

TEST_F(Views, FrameLinesWriteOnlyWhatDiffersFromTheFrame)
{
    TfrxFrame f;
    f.SetColor(255);
    f.SetStyle(TfrxFrameStyle::fsDash);
    f.SetWidth(0.5);
    f.TopLine().SetWidth(3);
    f.BottomLine().SetColor(0);
    f.LeftLine().SetStyle(TfrxFrameStyle::fsDouble);
    f.SetShadowWidth(4);
    f.SetDropShadow(true);
    EXPECT_EQ(u8(ser.ObjToXML(&f, QStringLiteral("Frame."))),
              u8(QStringLiteral(" Frame.Color=\"255\" Frame.DropShadow=\"True\" Frame.Style=\"fsDash\" Frame.Width=\"0,5\""
                                " Frame.LeftLine.Style=\"fsDouble\" Frame.TopLine.Width=\"3\""
                                " Frame.BottomLine.Color=\"0\"")));

    // Read in the written order, the frame-wide values reach the lines first and the
    // per-side ones override them.
    TfrxFrame g;
    ser.XMLToObj(ser.ObjToXML(&f), &g);
    EXPECT_TRUE(g.sameValues(f));
    EXPECT_EQ(g.RightLine().Color(), 255);
    EXPECT_EQ(g.RightLine().Style(), TfrxFrameStyle::fsDash);
    EXPECT_EQ(g.TopLine().Width(), 3);

    // Setting a line copies it; the frame keeps its own lines.
    TfrxFrame h;
    h.SetLeftLine(f.TopLine());
    EXPECT_EQ(h.LeftLine().Width(), 3);
    EXPECT_EQ(h.LeftLine().Frame(), &h);
    EXPECT_EQ(ser.ObjToXML(&h), QStringLiteral(" LeftLine.Color=\"255\" LeftLine.Style=\"fsDash\" LeftLine.Width=\"3\""));
}

TEST_F(Views, HighlightIsWrittenOnlyWithACondition)
{
    TfrxMemoView *m = memo();
    m->Highlight()->SetCondition(QStringLiteral("   "));
    m->Highlight()->SetActive(true);
    EXPECT_FALSE(ser.ObjToXML(m).contains(QLatin1String("Highlight")));

    m->Highlight()->SetCondition(QStringLiteral("<Value> > 0"));
    m->Highlight()->SetColor(65280);
    const QString xml = ser.ObjToXML(m);
    EXPECT_TRUE(xml.contains(QLatin1String(
        " Highlight.Active=\"True\" Highlight.Font.Charset=\"1\" Highlight.Font.Color=\"255\" Highlight.Font.Height=\"-13\""
        " Highlight.Font.Name=\"Arial\" Highlight.Font.Style=\"0\" Highlight.Color=\"65280\""
        " Highlight.Condition=\"&#60;Value&#62; &#62; 0\"")))
        << u8(xml);

    auto *back = dynamic_cast<TfrxMemoView *>(reload(m));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->Highlight()->Active());
    EXPECT_EQ(back->Highlight()->Color(), 65280);
    EXPECT_EQ(back->Highlight()->Condition(), QStringLiteral("<Value> > 0"));
    EXPECT_EQ(back->Highlight()->Font()->Color(), 255);
}

TEST_F(Views, DisplayFormatKindReadsAsNumberOrName)
{
    TfrxMemoView *m = memo();
    ser.XMLToObj(QStringLiteral(" DisplayFormat.Kind=\"2\""), m);
    EXPECT_EQ(m->DisplayFormat()->Kind(), TfrxFormatKind::fkDateTime);
    ser.XMLToObj(QStringLiteral(" DisplayFormat.Kind=\"fkboolean\" DisplayFormat.ThousandSeparator=\" \""), m);
    EXPECT_EQ(m->DisplayFormat()->Kind(), TfrxFormatKind::fkBoolean);
    EXPECT_EQ(m->DisplayFormat()->ThousandSeparator(), QStringLiteral(" "));
    EXPECT_TRUE(ser.Errors().isEmpty());
    ser.XMLToObj(QStringLiteral(" DisplayFormat.Kind=\"fkMoney\""), m);
    EXPECT_EQ(m->DisplayFormat()->Kind(), TfrxFormatKind::fkBoolean);
    EXPECT_EQ(ser.Errors().size(), 1);
}

namespace {

QByteArray le32(quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    return QByteArray(b, 4);
}

// Smallest headers that carry a pixel size; nothing decodes the pixels.
QByteArray jpegFile(int w, int h)
{
    QByteArray b("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    b.append("\xFF\xC0\x00\x0B\x08", 5);
    b.append(char(h >> 8)).append(char(h)).append(char(w >> 8)).append(char(w));
    b.append("\x01\x01\x11\x00\xFF\xD9", 6);
    return b;
}

QByteArray bmpFile(int w, int h)
{
    QByteArray b("BM");
    b.append(le32(58)).append(le32(0)).append(le32(54));
    b.append(le32(40)).append(le32(quint32(w))).append(le32(quint32(-h))); // top-down
    b.append(QByteArray(28, '\0'));
    b.append("\x00\x00\xFF\x00", 4);
    return b;
}

QByteArray pngFile(int w, int h)
{
    QByteArray b("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR", 16);
    char be[4];
    qToBigEndian(quint32(w), be);
    b.append(be, 4);
    qToBigEndian(quint32(h), be);
    b.append(be, 4);
    b.append("\x08\x06\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00IEND\xAE\x42\x60\x82", 21);
    return b;
}

QByteArray shortString(const QByteArray &s)
{
    return char(s.size()) + s;
}

} // namespace

TEST_F(Views, PictureDataKeepsEachFormatsOwnLayout)
{
    const struct {
        QByteArray file;
        const char *cls;
        bool lengthPrefix;
        QSize size;
    } cases[] = {
        {jpegFile(31, 17), "TJPEGImage", true, {31, 17}},
        {bmpFile(3, 2), "TBitmap", true, {3, 2}},
        {pngFile(640, 480), "TPngImage", false, {640, 480}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cls);
        auto *p = make<TfrxPictureView>(QStringLiteral("Picture1"));
        p->Picture()->LoadFromBytes(c.file);
        EXPECT_EQ(p->Picture()->GraphicClass(), QLatin1String(c.cls));
        EXPECT_EQ(p->Picture()->PixelSize(), c.size);

        QByteArray data = shortString(c.cls);
        if (c.lengthPrefix)
            data += le32(quint32(c.file.size()));
        data += c.file;
        const QByteArray entry = shortString("Data") + char(vaBinary) + le32(quint32(data.size())) + data;
        const QString xml = ser.ObjToXML(p);
        EXPECT_TRUE(xml.contains(QLatin1String(" Picture.PropData=\"") + BytesToHex(entry) + QLatin1Char('"')))
            << u8(xml);

        auto *back = dynamic_cast<TfrxPictureView *>(reload(p));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->Picture()->GraphicClass(), QLatin1String(c.cls));
        EXPECT_EQ(back->Picture()->Data(), c.file);
        delete back;
    }
}

TEST_F(Views, PictureViewWritesItsFlagsAndNothingForAnEmptyPicture)
{
    auto *p = make<TfrxPictureView>(QStringLiteral("Picture1"));
    EXPECT_EQ(u8(ser.ObjToXML(p)),
              u8(QStringLiteral(" Left=\"0\" Top=\"0\" Width=\"0\" Height=\"0\" ShowHint=\"False\""
                                " HightQuality=\"False\" Transparent=\"False\" TransparentColor=\"16777215\"")));
    // A cached picture is written by its index instead.
    p->Picture()->LoadFromBytes(pngFile(1, 1));
    p->SetImageIndex(3);
    const QString xml = ser.ObjToXML(p);
    EXPECT_TRUE(xml.contains(QLatin1String(" ImageIndex=\"3\""))) << u8(xml);
    EXPECT_FALSE(xml.contains(QLatin1String("Picture."))) << u8(xml);
}

TEST_F(Views, PictureOfAnotherGraphicClassIsKeptAsRead)
{
    auto *p = make<TfrxPictureView>(QStringLiteral("Picture1"));
    const QByteArray raw("\x01\x02\x03 metafile bytes", 18);
    const QByteArray data = shortString("TMetafile") + raw;
    const QByteArray entry = shortString("Data") + char(vaBinary) + le32(quint32(data.size())) + data;
    ser.XMLToObj(QStringLiteral(" Picture.PropData=\"%1\"").arg(BytesToHex(entry)), p);
    EXPECT_EQ(p->Picture()->GraphicClass(), QStringLiteral("TMetafile"));
    EXPECT_EQ(p->Picture()->Data(), raw);
    EXPECT_TRUE(ser.ObjToXML(p).contains(BytesToHex(entry)));
}

TEST_F(Views, BrokenPictureDataLeavesThePictureEmpty)
{
    auto *p = make<TfrxPictureView>(QStringLiteral("Picture1"));
    // A JPEG whose length runs past the end of the data.
    QByteArray data = shortString("TJPEGImage") + le32(1000) + jpegFile(1, 1);
    const QByteArray entry = shortString("Data") + char(vaBinary) + le32(quint32(data.size())) + data;
    ser.XMLToObj(QStringLiteral(" Picture.PropData=\"%1\"").arg(BytesToHex(entry)), p);
    EXPECT_TRUE(p->Picture()->isEmpty());
    EXPECT_THROW(p->Picture()->LoadFromBytes(QByteArray("GIF89a")), EInvalidGraphic);
    EXPECT_TRUE(p->Picture()->isEmpty());
}

TEST_F(Views, AutoSizeTakesThePicturesPixelSize)
{
    auto *p = make<TfrxPictureView>(QStringLiteral("Picture1"));
    p->SetBounds(0, 0, 50, 40);
    p->Picture()->LoadFromBytes(pngFile(20, 10));
    EXPECT_EQ(p->Width(), 50); // not while AutoSize is off
    p->SetAutoSize(true);
    EXPECT_EQ(p->Width(), 20);
    EXPECT_EQ(p->Height(), 10);
    p->Picture()->LoadFromBytes(jpegFile(7, 9));
    EXPECT_EQ(p->Width(), 7);
    EXPECT_EQ(p->Height(), 9);
    // An empty picture keeps the size.
    p->Picture()->Clear();
    EXPECT_EQ(p->Width(), 7);
    EXPECT_TRUE(p->PictureChanged());
}

TEST_F(Views, LineShapeAndSubreportDefaults)
{
    auto *l = make<TfrxLineView>(QStringLiteral("Line1"));
    l->SetArrowEnd(true);
    l->SetArrowWidth(6);
    l->SetDiagonal(true);
    EXPECT_EQ(u8(ser.ObjToXML(l)), u8(QStringLiteral(" Left=\"0\" Top=\"0\" Width=\"0\" Height=\"0\" ShowHint=\"False\""
                                                     " ArrowEnd=\"True\" ArrowWidth=\"6\" Diagonal=\"True\"")));
    auto *s = make<TfrxShapeView>(QStringLiteral("Shape1"));
    s->SetShape(TfrxShapeKind::skEllipse);
    s->SetCurve(2);
    EXPECT_EQ(u8(ser.ObjToXML(s)), u8(QStringLiteral(" Left=\"0\" Top=\"0\" Width=\"0\" Height=\"0\" ShowHint=\"False\""
                                                     " Curve=\"2\" Shape=\"skEllipse\"")));
    auto *sub = make<TfrxSubreport>(QStringLiteral("Subreport1"));
    EXPECT_EQ(sub->Frame()->Typ(), 15);
    EXPECT_EQ(sub->Font()->Name(), QStringLiteral("Tahoma"));
    EXPECT_EQ(sub->Font()->Size(), 8);
    EXPECT_EQ(sub->Color(), 12632256);
    EXPECT_EQ(u8(ser.ObjToXML(sub)), u8(QStringLiteral(" Left=\"0\" Top=\"0\" Width=\"0\" Height=\"0\" ShowHint=\"False\"")));
    EXPECT_FALSE(sub->frComponentStyle() & csPreviewVisible);
    EXPECT_TRUE(l->frComponentStyle() & csPreviewVisible);
}

TEST_F(Views, DataSetReferenceNamesTheView)
{
    auto *ds = make<TfrxDataSet>(QStringLiteral("CUST"));
    TfrxMemoView *m = memo();
    m->SetDataSet(ds);
    EXPECT_EQ(m->DataSetName(), QStringLiteral("CUST"));
    m->SetDataField(QStringLiteral("id1"));
    EXPECT_TRUE(m->IsDataField());
    EXPECT_TRUE(ser.ObjToXML(m).contains(QLatin1String(" DataField=\"id1\" DataSet=\"CUST\" DataSetName=\"CUST\"")));
    m->SetDataSet(nullptr);
    EXPECT_TRUE(m->DataSetName().isEmpty());

    // References are resolved after the load.
    TfrxXMLSerializer reader;
    reader.SetOwner(report);
    Component *c = reader.ReadComponentStr(
        report, QStringLiteral("TfrxMemoView Name=\"Memo2\" DataSet=\"CUST\" DataSetName=\"CUST\" FlowTo=\"Memo1\""));
    auto *m2 = dynamic_cast<TfrxMemoView *>(c);
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->DataSet(), ds);
    EXPECT_EQ(m2->FlowTo(), m);
}

namespace {

// Gives every published value of an object a non-default value, recursing into nested
// records; references and the memo's lines are left alone.
void setNonDefaults(Object *obj)
{
    for (const PropInfo *p : obj->classInfo()->properties()) {
        if (!p->hasSetter() && p->kind != PropKind::Nested)
            continue;
        if (p->name == QLatin1String("Name") || p->name == QLatin1String("Size"))
            continue;
        switch (p->kind) {
        case PropKind::Integer: p->setOrdinal(obj, p->defaultValue.value_or(0) + 7); break;
        case PropKind::Set: p->setOrdinal(obj, p->defaultValue.value_or(0) ^ 1); break;
        case PropKind::Enumeration: {
            const qint64 def = p->defaultValue.value_or(0);
            p->setOrdinal(obj, def == 0 ? p->enumInfo->names.size() - 1 : 0);
            break;
        }
        case PropKind::Float: p->set(obj, Variant(12.5)); break;
        case PropKind::String:
        case PropKind::WideString: p->set(obj, Variant(QStringLiteral("v ") + p->name)); break;
        case PropKind::StringList: p->set(obj, Variant(QStringLiteral("l1\r\nl2\r\n"))); break;
        case PropKind::Nested:
            if (Object *n = p->object(obj))
                setNonDefaults(n);
            break;
        default: break;
        }
    }
}

} // namespace

TEST_F(Views, EveryViewClassReadsBackWhatItWrote)
{
    const QStringList classes = {
        QStringLiteral("TfrxMemoView"),        QStringLiteral("TfrxCustomMemoView"), QStringLiteral("TfrxSysMemoView"),
        QStringLiteral("TfrxLineView"),        QStringLiteral("TfrxCustomLineView"), QStringLiteral("TfrxShapeView"),
        QStringLiteral("TfrxPictureView"),     QStringLiteral("TfrxSubreport"),      QStringLiteral("TfrxCheckBoxView"),
        QStringLiteral("TfrxDMPMemoView"),     QStringLiteral("TfrxDMPLineView"),    QStringLiteral("TfrxDMPCommand"),
        QStringLiteral("TfrxLabelControl"),    QStringLiteral("TfrxDBLookupComboBox"),
    };
    for (const QString &name : classes) {
        SCOPED_TRACE(u8(name));
        const ClassInfo *ci = findClass(name);
        ASSERT_NE(ci, nullptr);
        auto *c = dynamic_cast<TfrxComponent *>(ci->create(report, nullptr));
        ASSERT_NE(c, nullptr);
        c->SetName(QStringLiteral("Obj1"));
        setNonDefaults(c);
        if (c->hasMemoText())
            c->setMemoText(QStringLiteral("a\r\nb"));
        const QString first = ser.WriteComponentStr(c);
        Component *back = reload(c);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(u8(ser.WriteComponentStr(back)), u8(first));
        delete back;
    }
    for (const ClassInfo *ci : dialogControlClasses())
        EXPECT_EQ(findClass(ci->name), ci);
}

TEST_F(Views, StyleNamedByAMemoIsAppliedWhenItExists)
{
    TfrxStyleItem *style = report->Styles().Add();
    style->SetName(QStringLiteral("Header"));
    style->SetColor(65535);
    style->Font()->SetName(QStringLiteral("Times New Roman"));
    style->Frame()->SetTyp(ftTop);

    TfrxMemoView *m = memo(QStringLiteral("x"));
    m->SetStyle(QStringLiteral("header"));
    EXPECT_EQ(m->Color(), 65535);
    EXPECT_EQ(m->Font()->Name(), QStringLiteral("Times New Roman"));
    EXPECT_FALSE(m->ParentFont());
    EXPECT_EQ(m->Frame()->Typ(), ftTop);

    // An unknown name is kept and changes nothing.
    m->SetStyle(QStringLiteral("Missing"));
    EXPECT_EQ(m->Style(), QStringLiteral("Missing"));
    EXPECT_EQ(m->Color(), 65535);
    EXPECT_EQ(m->Frame()->Typ(), ftTop);
}

TEST_F(Views, DataSetNameFindsTheDatasetOfTheReport)
{
    auto *ds = make<TfrxDataSet>(QStringLiteral("CUST"));
    TfrxMemoView *m = memo();
    m->SetDataSetName(QStringLiteral("cust"));
    EXPECT_EQ(m->DataSet(), ds);
    EXPECT_EQ(m->DataSetName(), QStringLiteral("CUST"));
    // An unknown name keeps the reference; an empty one clears it.
    m->SetDataSetName(QStringLiteral("Other"));
    EXPECT_EQ(m->DataSet(), ds);
    m->SetDataSetName(QString());
    EXPECT_EQ(m->DataSet(), nullptr);
    m->SetDataSet(ds);
    delete ds;
    EXPECT_EQ(m->DataSet(), nullptr);
}

TEST_F(Views, SubreportRecordsItselfOnItsPage)
{
    auto *page = new TfrxReportPage(report);
    page->SetName(QStringLiteral("Page2"));
    auto *sub = make<TfrxSubreport>(QStringLiteral("Subreport1"));
    sub->SetPage(page);
    EXPECT_EQ(page->SubReport(), sub);
    EXPECT_TRUE(ser.ObjToXML(sub).endsWith(QLatin1String(" Page=\"Page2\"")));
    sub->SetPage(nullptr);
    EXPECT_EQ(page->SubReport(), nullptr);
    sub->SetPage(page);
    delete sub;
    EXPECT_EQ(page->SubReport(), nullptr);
}

namespace {

// Every element below `item` whose object is a view or a dialog control, with its object.
void collectKept(TfrxXMLItem *item, TfrxReport *report, QList<QPair<TfrxXMLItem *, TfrxComponent *>> &out)
{
    for (int i = 0; i < item->Count(); ++i) {
        TfrxXMLItem *child = item->Items(i);
        TfrxComponent *c = report->FindObject(child->GetProp(QStringLiteral("Name")));
        if (dynamic_cast<TfrxView *>(c) || dynamic_cast<TfrxDialogControl *>(c))
            out.append({child, c});
        collectKept(child, report, out);
    }
}

} // namespace

TEST_F(Views, TemplateWithControlsAndOtherViewsKeepsTheirAttributes)
{
    registerClass(&TfrxReportPage::staticClassInfo());
    registerClass(&TfrxDialogPage::staticClassInfo());
    QFile file(test::fixturePath(QStringLiteral("report/model/views/keptclasses.fr3")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TfrxXMLDocument doc;
    doc.LoadFromStream(&file);
    ser.ReadRootComponent(report, doc.Root());
    EXPECT_TRUE(ser.Errors().isEmpty()) << u8(ser.Errors().join(QLatin1Char('\n')));

    QList<QPair<TfrxXMLItem *, TfrxComponent *>> kept;
    collectKept(doc.Root(), report, kept);
    ASSERT_EQ(kept.size(), 10);
    for (const auto &[item, c] : kept)
        EXPECT_EQ(u8(QLatin1String("Name=\"") + c->Name() + QLatin1Char('"') + ser.ObjToXML(c)), u8(item->Text()));

    auto *sub = dynamic_cast<TfrxSubreport *>(report->FindObject(QStringLiteral("Subreport1")));
    ASSERT_NE(sub, nullptr);
    ASSERT_NE(sub->Page(), nullptr);
    EXPECT_EQ(sub->Page()->Name(), QStringLiteral("Page2"));
    EXPECT_EQ(sub->Page()->SubReport(), sub);
    auto *edit = dynamic_cast<TfrxEditControl *>(report->FindObject(QStringLiteral("Edit1")));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->Font()->Name(), QStringLiteral("Tahoma"));
    auto *image = dynamic_cast<TfrxImageControl *>(report->FindObject(QStringLiteral("Image1")));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Picture()->GraphicClass(), QStringLiteral("TPngImage"));
    EXPECT_EQ(image->Picture()->PixelSize(), QSize(2, 3));
}

TEST_F(Views, AssignCopiesTextRecordsAndPicture)
{
    TfrxMemoView *m = memo(QStringLiteral("a\r\nb"));
    m->Highlight()->SetCondition(QStringLiteral("Value > 1"));
    m->Frame()->SetTyp(ftAllSides);
    m->Frame()->TopLine().SetWidth(3);
    m->SetRotation(270);
    auto *copy = make<TfrxMemoView>(QStringLiteral("Memo2"));
    copy->Assign(m);
    EXPECT_EQ(copy->Lines(), m->Lines());
    EXPECT_EQ(copy->Highlight()->Condition(), QStringLiteral("Value > 1"));
    EXPECT_TRUE(copy->Frame()->sameValues(*m->Frame()));
    EXPECT_EQ(copy->Rotation(), 270);
    EXPECT_EQ(copy->Name(), QStringLiteral("Memo2"));

    auto *p = make<TfrxPictureView>(QStringLiteral("Picture1"));
    p->Picture()->LoadFromBytes(bmpFile(4, 5));
    auto *q = make<TfrxPictureView>(QStringLiteral("Picture2"));
    q->Assign(p);
    EXPECT_TRUE(q->Picture()->sameAs(*p->Picture()));
    EXPECT_EQ(q->Picture()->PixelSize(), QSize(4, 5));
}

TEST_F(Views, AfterPrintRestoresWhatARunChanged)
{
    TfrxMemoView *m = memo(QStringLiteral("[CUST.\"id1\"]"));
    m->SetTagStr(QStringLiteral("tag"));
    m->BeforePrint();
    m->SetText(QStringLiteral("42\r\nmore"));
    m->SetBounds(1, 2, 3, 40);
    m->SetTagStr(QStringLiteral("x"));
    m->SetURL(QStringLiteral("u"));
    EXPECT_EQ(m->GetComponentText(), QStringLiteral("42\r\nmore\r\n"));
    m->AfterPrint();
    EXPECT_EQ(m->Text(), QStringLiteral("[CUST.\"id1\"]\r\n"));
    EXPECT_EQ(m->Left(), 10);
    EXPECT_EQ(m->Height(), 18.9);
    EXPECT_EQ(m->TagStr(), QStringLiteral("tag"));
    EXPECT_TRUE(m->URL().isEmpty());
}
