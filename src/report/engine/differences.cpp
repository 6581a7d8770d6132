#include "report/engine/differences.h"

#include "base/fastcast.h"
#include "base/formatsettings.h"
#include "base/numberformat.h"
#include "report/engine/picturecache.h"
#include "report/model/bands.h"
#include "report/model/memo.h"
#include "report/model/picture.h"
#include "report/model/views.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <cmath>

namespace tw {

namespace {

// Appends ` name="value"` pieces.
class DiffText {
public:
    explicit DiffText(const FormatSettings &fs) : m_fs(fs) {}

    void raw(QLatin1String name, const QString &value) { raw(QString(name), value); }
    void raw(const QString &name, const QString &value)
    {
        m_out += QLatin1Char(' ');
        m_out += name;
        m_out += QLatin1String("=\"");
        m_out += value;
        m_out += QLatin1Char('"');
    }
    template <class Name>
    void real(const Name &name, double v, double src, bool always = false)
    {
        if (always || std::fabs(v - src) > 0.0001)
            raw(name, floatToStr(v, m_fs));
    }
    void integer(QLatin1String name, qint64 v, qint64 src)
    {
        if (v != src)
            raw(name, QString::number(v));
    }
    void flag(QLatin1String name, bool v, bool src)
    {
        if (v != src)
            raw(name, v ? QStringLiteral("1") : QStringLiteral("0"));
    }
    void text(QLatin1String name, const QString &v, const QString &src)
    {
        if (v != src)
            raw(name, EncodeXMLValue(v));
    }
    QString &out() { return m_out; }

private:
    const FormatSettings &m_fs;
    QString m_out;
};

void frameLineDiff(DiffText &d, const char *prefix, const TfrxFrame &f, const TfrxFrame &sf, const TfrxFrameLine &l,
                   const TfrxFrameLine &sl)
{
    const QString p = QLatin1String(prefix);
    // A line is written against the frame's new value when the frame changed it, else
    // against the source line.
    auto name = [&p](const char *kind) { return p + QLatin1String(kind); };
    const bool colorChanged = f.Color() != sf.Color();
    if (colorChanged ? l.Color() != f.Color() : l.Color() != sl.Color())
        d.raw(name("Color"), QString::number(l.Color()));
    const bool styleChanged = f.Style() != sf.Style();
    if (styleChanged ? l.Style() != f.Style() : l.Style() != sl.Style())
        d.raw(name("Style"), QString::number(int(l.Style())));
    const bool widthChanged = std::fabs(f.Width() - sf.Width()) > 0.0001;
    if (widthChanged ? std::fabs(l.Width() - f.Width()) > 0.0001 : std::fabs(l.Width() - sl.Width()) > 0.0001)
        d.real(name("Width"), l.Width(), 0, true);
}

void frameDiff(DiffText &d, const TfrxFrame &f, const TfrxFrame &sf)
{
    d.integer(QLatin1String("Frame.Color"), f.Color(), sf.Color());
    d.flag(QLatin1String("Frame.DropShadow"), f.DropShadow(), sf.DropShadow());
    d.integer(QLatin1String("Frame.ShadowColor"), f.ShadowColor(), sf.ShadowColor());
    d.real(QLatin1String("Frame.ShadowWidth"), f.ShadowWidth(), sf.ShadowWidth());
    d.integer(QLatin1String("Frame.Style"), int(f.Style()), int(sf.Style()));
    d.integer(QLatin1String("Frame.Typ"), f.Typ(), sf.Typ());
    d.real(QLatin1String("Frame.Width"), f.Width(), sf.Width());
    frameLineDiff(d, "Frame.LeftLine.", f, sf, f.LeftLine(), sf.LeftLine());
    frameLineDiff(d, "Frame.TopLine.", f, sf, f.TopLine(), sf.TopLine());
    frameLineDiff(d, "Frame.RightLine.", f, sf, f.RightLine(), sf.RightLine());
    frameLineDiff(d, "Frame.BottomLine.", f, sf, f.BottomLine(), sf.BottomLine());
}

void baseDiff(DiffText &d, TfrxComponent *obj, TfrxComponent *src)
{
    d.real(QLatin1String("l"), obj->Left(), src->Left());
    d.real(QLatin1String("t"), obj->Top(), src->Top(), fastCast<TfrxBand *>(obj) != nullptr);
    auto *memo = fastCast<TfrxCustomMemoView *>(obj);
    if (!memo || !memo->AutoWidth())
        d.real(QLatin1String("w"), obj->Width(), src->Width());
    d.real(QLatin1String("h"), obj->Height(), src->Height());
    d.flag(QLatin1String("Visible"), obj->Visible(), src->Visible());
    if (!obj->ParentFont()) {
        const TFont &f = *obj->Font();
        const TFont &sf = *src->Font();
        d.text(QLatin1String("Font.Name"), f.Name(), sf.Name());
        d.integer(QLatin1String("Font.Size"), f.Size(), sf.Size());
        d.integer(QLatin1String("Font.Color"), f.Color(), sf.Color());
        d.integer(QLatin1String("Font.Style"), f.Style(), sf.Style());
        d.integer(QLatin1String("Font.Charset"), f.Charset(), sf.Charset());
    }
    d.flag(QLatin1String("ParentFont"), obj->ParentFont(), src->ParentFont());
    d.integer(QLatin1String("Tag"), obj->Tag(), src->Tag());
}

void viewDiff(DiffText &d, TfrxView *v, TfrxView *s)
{
    baseDiff(d, v, s);
    d.integer(QLatin1String("BrushStyle"), int(v->BrushStyle()), int(s->BrushStyle()));
    d.integer(QLatin1String("Align"), int(v->Align()), int(s->Align()));
    d.integer(QLatin1String("Color"), v->Color(), s->Color());
    frameDiff(d, *v->Frame(), *s->Frame());
    d.integer(QLatin1String("Cursor"), v->Cursor(), s->Cursor());
    d.flag(QLatin1String("Printable"), v->Printable(), s->Printable());
    d.text(QLatin1String("TagStr"), v->TagStr(), s->TagStr());
    d.text(QLatin1String("URL"), v->URL(), s->URL());
}

void memoDiff(DiffText &d, TfrxCustomMemoView *m, TfrxCustomMemoView *s)
{
    viewDiff(d, m, s);
    d.flag(QLatin1String("AutoWidth"), m->AutoWidth(), s->AutoWidth());
    d.real(QLatin1String("CharSpacing"), m->CharSpacing(), s->CharSpacing());
    d.real(QLatin1String("GapX"), m->GapX(), s->GapX());
    d.real(QLatin1String("GapY"), m->GapY(), s->GapY());
    d.integer(QLatin1String("HAlign"), int(m->HAlign()), int(s->HAlign()));
    d.flag(QLatin1String("Highlight.Active"), m->Highlight()->Active(), s->Highlight()->Active());
    d.real(QLatin1String("LineSpacing"), m->LineSpacing(), s->LineSpacing());
    d.flag(QLatin1String("UseDefaultCharset"), m->UseDefaultCharset(), s->UseDefaultCharset());
    // The text always: the reader starts from the design text otherwise.
    d.raw(QLatin1String("u"), EncodeXMLValue(m->Lines().join(QLatin1String("\r\n"))));
    d.real(QLatin1String("ParagraphGap"), m->ParagraphGap(), s->ParagraphGap());
    d.integer(QLatin1String("Rotation"), m->Rotation(), s->Rotation());
    d.flag(QLatin1String("RTLReading"), m->RTLReading(), s->RTLReading());
    d.flag(QLatin1String("Underlines"), m->Underlines(), s->Underlines());
    d.integer(QLatin1String("VAlign"), int(m->VAlign()), int(s->VAlign()));
    d.flag(QLatin1String("WordWrap"), m->WordWrap(), s->WordWrap());
    const TfrxFormat &f = *m->DisplayFormat();
    const TfrxFormat &sf = *s->DisplayFormat();
    d.integer(QLatin1String("DisplayFormat.Kind"), int(f.Kind()), int(sf.Kind()));
    d.text(QLatin1String("DisplayFormat.DecimalSeparator"), f.DecimalSeparator(), sf.DecimalSeparator());
    d.text(QLatin1String("DisplayFormat.ThousandSeparator"), f.ThousandSeparator(), sf.ThousandSeparator());
    d.text(QLatin1String("DisplayFormat.FormatStr"), f.FormatStr(), sf.FormatStr());
    if (m->FirstParaBreak())
        d.raw(QLatin1String("FirstParaBreak"), QStringLiteral("1"));
    if (m->LastParaBreak())
        d.raw(QLatin1String("LastParaBreak"), QStringLiteral("1"));
    // The next part of a split memo starts where this one ended.
    m->SetFirstParaBreak(m->LastParaBreak());
    m->SetLastParaBreak(false);
}

} // namespace

QString frxBaseDiff(TfrxComponent *obj, TfrxComponent *source, const FormatSettings &fs)
{
    DiffText d(fs);
    baseDiff(d, obj, source);
    return d.out();
}

QString frxDiff(TfrxComponent *obj, TfrxComponent *source, TfrxPictureCache *cache, const FormatSettings &fs)
{
    DiffText d(fs);
    if (auto *m = fastCast<TfrxCustomMemoView *>(obj)) {
        if (auto *s = fastCast<TfrxCustomMemoView *>(source)) {
            memoDiff(d, m, s);
            return d.out();
        }
    } else if (auto *p = fastCast<TfrxPictureView *>(obj)) {
        if (auto *s = fastCast<TfrxPictureView *>(source)) {
            if (p->PictureChanged() && cache) {
                p->SetImageIndex(cache->AddPicture(*p->Picture()));
                p->SetPictureChanged(false);
            }
            viewDiff(d, p, s);
            QString out = QLatin1Char(' ') + d.out();
            out += QLatin1String(" ImageIndex=\"") + QString::number(p->ImageIndex()) + QLatin1Char('"');
            if (p->Transparent())
                out += QLatin1String(" Transparent=\"1\"");
            if (p->TransparentColor() != 16777215)
                out += QLatin1String(" TransparentColor=\"") + QString::number(p->TransparentColor()) + QLatin1Char('"');
            return out;
        }
    } else if (auto *sh = fastCast<TfrxShapeView *>(obj)) {
        if (auto *s = fastCast<TfrxShapeView *>(source)) {
            viewDiff(d, sh, s);
            d.integer(QLatin1String("Shape"), int(sh->Shape()), int(s->Shape()));
            return d.out();
        }
    } else if (auto *g = fastCast<TfrxGroupHeader *>(obj)) {
        baseDiff(d, obj, source);
        if (g->DrillDown)
            d.raw(QLatin1String("DrillName"), g->DrillName);
        return d.out();
    }
    if (auto *v = fastCast<TfrxView *>(obj)) {
        if (auto *s = fastCast<TfrxView *>(source)) {
            viewDiff(d, v, s);
            return d.out();
        }
    }
    baseDiff(d, obj, source);
    return d.out();
}

QString frxAllDiff(TfrxComponent *obj, TfrxComponent *source, TfrxXMLSerializer &serializer, const FormatSettings &fs)
{
    QString out = serializer.ObjToXML(obj);
    if (source)
        return out + QLatin1Char(' ') + frxBaseDiff(obj, source, fs);
    if (fastCast<TfrxNullBand *>(obj)) {
        DiffText d(fs);
        d.real(QLatin1String("l"), obj->Left(), 0, true);
        d.real(QLatin1String("t"), obj->Top(), 0, true);
        out += d.out();
    }
    return out;
}

} // namespace tw

