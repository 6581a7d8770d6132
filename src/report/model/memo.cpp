#include "report/model/memo.h"

#include "report/engine/datasets.h"
#include "report/engine/memotext.h"
#include "report/model/report.h"
#include "report/model/styles.h"
#include "script/interpreter.h"

namespace tw {

const EnumInfo &hAlignEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxHAlign"), enumNames({"haLeft", "haRight", "haCenter", "haBlock"})};
    return e;
}

const EnumInfo &vAlignEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxVAlign"), enumNames({"vaTop", "vaBottom", "vaCenter"})};
    return e;
}

const EnumInfo &formatKindEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxFormatKind"), enumNames({"fkText", "fkNumeric", "fkDateTime", "fkBoolean"})};
    return e;
}

// ---------------------------------------------------------------------------------------

TW_DEFINE_CLASS(TfrxHighlight, nullptr)
{
    using H = TfrxHighlight;
    ClassBuilder<H>(info)
        .factory([](Object *, Object *) -> Object * { return new TfrxHighlight; })
        .boolean(QStringLiteral("Active"), &H::Active, &H::SetActive, false)
        .nested(QStringLiteral("Font"), TFont::staticClassInfo(), &H::Font)
        .integer(QStringLiteral("Color"), &H::Color, &H::SetColor, clTransparent)
        .string(QStringLiteral("Condition"), &H::Condition, &H::SetCondition);
}

TfrxHighlight::TfrxHighlight()
{
    m_font.SetColor(255);
}

void TfrxHighlight::Assign(const TfrxHighlight &other)
{
    if (&other == this)
        return;
    m_active = other.m_active;
    m_font.Assign(other.m_font);
    m_color = other.m_color;
    m_condition = other.m_condition;
}

TW_DEFINE_CLASS(TfrxFormat, nullptr)
{
    using F = TfrxFormat;
    ClassBuilder<F>(info)
        .string(QStringLiteral("DecimalSeparator"), &F::DecimalSeparator, &F::SetDecimalSeparator)
        .string(QStringLiteral("ThousandSeparator"), &F::ThousandSeparator, &F::SetThousandSeparator)
        .string(QStringLiteral("FormatStr"), &F::FormatStr, &F::SetFormatStr)
        .enumeration(QStringLiteral("Kind"), formatKindEnum(), &F::Kind, &F::SetKind, 0);
}

void TfrxFormat::Assign(const TfrxFormat &other)
{
    m_decimalSeparator = other.m_decimalSeparator;
    m_thousandSeparator = other.m_thousandSeparator;
    m_formatStr = other.m_formatStr;
    m_kind = other.m_kind;
}

bool TfrxFormat::IsEmpty() const
{
    return m_kind == TfrxFormatKind::fkText && m_formatStr.isEmpty() && m_decimalSeparator.isEmpty()
        && m_thousandSeparator.isEmpty();
}

TfrxFormat *TfrxFormats::Add()
{
    m_items.push_back(std::make_unique<TfrxFormat>());
    return m_items.back().get();
}

// ---------------------------------------------------------------------------------------

QStringList splitMemoLines(const QString &text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n' && c != u'\x2028')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

void publishMemoProperties(ClassInfo &info, const QStringList &props)
{
    using M = TfrxCustomMemoView;
    ClassBuilder<M> b(info);
    for (const QString &n : props) {
        if (n == QLatin1String("FirstParaBreak"))
            b.boolean(n, &M::FirstParaBreak, &M::SetFirstParaBreak, false);
        else if (n == QLatin1String("LastParaBreak"))
            b.boolean(n, &M::LastParaBreak, &M::SetLastParaBreak, false);
        else if (n == QLatin1String("AutoWidth"))
            b.boolean(n, &M::AutoWidth, &M::SetAutoWidth, false);
        else if (n == QLatin1String("AllowExpressions"))
            b.boolean(n, &M::AllowExpressions, &M::SetAllowExpressions, true);
        else if (n == QLatin1String("AllowHTMLTags"))
            b.boolean(n, &M::AllowHTMLTags, &M::SetAllowHTMLTags, false);
        else if (n == QLatin1String("CharSpacing"))
            b.floating(n, &M::CharSpacing, &M::SetCharSpacing).storedIf([](const M *m) { return m->CharSpacing() != 0; });
        else if (n == QLatin1String("Clipped"))
            b.boolean(n, &M::Clipped, &M::SetClipped, true);
        else if (n == QLatin1String("DisplayFormat"))
            b.nested(n, TfrxFormat::staticClassInfo(), &M::DisplayFormat);
        else if (n == QLatin1String("ExpressionDelimiters"))
            b.string(n, &M::ExpressionDelimiters, &M::SetExpressionDelimiters)
                .storedIf([](const M *m) { return m->ExpressionDelimiters() != QLatin1String("[,]"); });
        else if (n == QLatin1String("FlowTo"))
            b.reference<M>(n, M::staticClassInfo(), &M::FlowTo, &M::SetFlowTo);
        else if (n == QLatin1String("GapX"))
            b.floating(n, &M::GapX, &M::SetGapX).storedIf([](const M *m) { return m->GapX() != 2; });
        else if (n == QLatin1String("GapY"))
            b.floating(n, &M::GapY, &M::SetGapY).storedIf([](const M *m) { return m->GapY() != 1; });
        else if (n == QLatin1String("HAlign"))
            b.enumeration(n, hAlignEnum(), &M::HAlign, &M::SetHAlign, 0);
        else if (n == QLatin1String("HideZeros"))
            b.boolean(n, &M::HideZeros, &M::SetHideZeros, false);
        else if (n == QLatin1String("Highlight"))
            b.nested(n, TfrxHighlight::staticClassInfo(), &M::Highlight).storedIf([](const M *m) {
                return !m->Highlight()->Condition().trimmed().isEmpty();
            });
        else if (n == QLatin1String("LineSpacing"))
            b.floating(n, &M::LineSpacing, &M::SetLineSpacing).storedIf([](const M *m) { return m->LineSpacing() != 2; });
        else if (n == QLatin1String("Memo"))
            b.stringList(n, &M::Memo, &M::SetMemo, PropKind::WideStringList);
        else if (n == QLatin1String("ParagraphGap"))
            b.floating(n, &M::ParagraphGap, &M::SetParagraphGap).storedIf([](const M *m) {
                return m->ParagraphGap() != 0;
            });
        else if (n == QLatin1String("Rotation"))
            b.integer(n, &M::Rotation, &M::SetRotation, 0);
        else if (n == QLatin1String("RTLReading"))
            b.boolean(n, &M::RTLReading, &M::SetRTLReading, false);
        else if (n == QLatin1String("Style"))
            b.string(n, &M::Style, &M::SetStyle);
        else if (n == QLatin1String("SuppressRepeated"))
            b.boolean(n, &M::SuppressRepeated, &M::SetSuppressRepeated, false);
        else if (n == QLatin1String("Underlines"))
            b.boolean(n, &M::Underlines, &M::SetUnderlines, false);
        else if (n == QLatin1String("UseDefaultCharset"))
            b.boolean(n, &M::UseDefaultCharset, &M::SetUseDefaultCharset, false);
        else if (n == QLatin1String("WordBreak"))
            b.boolean(n, &M::WordBreak, &M::SetWordBreak, false);
        else if (n == QLatin1String("WordWrap"))
            b.boolean(n, &M::WordWrap, &M::SetWordWrap, true);
        else if (n == QLatin1String("Wysiwyg"))
            b.boolean(n, &M::Wysiwyg, &M::SetWysiwyg, true);
        else if (n == QLatin1String("VAlign"))
            b.enumeration(n, vAlignEnum(), &M::VAlign, &M::SetVAlign, 0);
        else
            publishViewProperties(info, {n});
    }
}

TW_DEFINE_CLASS(TfrxCustomMemoView, &TfrxStretcheable::staticClassInfo())
{
    ClassBuilder<TfrxCustomMemoView>(info).factory(frxFactory<TfrxCustomMemoView>()).style(csPreviewVisible);
    publishMemoProperties(info, enumNames({"FirstParaBreak", "LastParaBreak", "Cursor", "TagStr", "URL"}));
}

TfrxCustomMemoView::TfrxCustomMemoView(Component *owner) : TfrxStretcheable(owner) {}

QString TfrxCustomMemoView::Text() const
{
    QString out;
    for (const QString &l : m_lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

void TfrxCustomMemoView::SetText(const QString &text)
{
    m_lines = splitMemoLines(text);
}

TfrxFormat *TfrxCustomMemoView::BracketFormat(int index) const
{
    if (index >= 0 && index < m_formats.Count() && !m_formats.Items(index)->IsEmpty())
        return m_formats.Items(index);
    return DisplayFormat();
}

TfrxCollection *TfrxCustomMemoView::elementCollection(const QString &elementName)
{
    return elementName.compare(QLatin1String("Formats"), Qt::CaseInsensitive) == 0 ? &m_formats : nullptr;
}

QList<QPair<QString, const TfrxCollection *>> TfrxCustomMemoView::writtenElementCollections() const
{
    // Only memos that came with a list have one: the others keep their element-free form.
    if (m_formats.Count() == 0)
        return {};
    return {{QStringLiteral("Formats"), &m_formats}};
}

void TfrxCustomMemoView::BeforePrint()
{
    TfrxStretcheable::BeforePrint();
    m_savedLines = m_lines;
}

void TfrxCustomMemoView::AfterPrint()
{
    TfrxStretcheable::AfterPrint();
    m_lines = m_savedLines;
}

void TfrxCustomMemoView::GetData()
{
    TfrxStretcheable::GetData();
    if (IsDataField()) {
        TfrxDataSet *ds = DataSet();
        if (ds->IsBlobField(DataField())) {
            // A Null blob copies nothing: the memo shows nothing rather than its design text.
            m_lines.clear();
            ds->AssignBlobTo(DataField(), this);
        } else {
            m_value = ds->GetValue(DataField());
            QString text = m_displayFormat.Kind() != TfrxFormatKind::fkText ? FormatData(m_value)
                                                                           : ds->GetDisplayText(DataField());
            if (m_hideZeros && isHiddenZero(m_value))
                text.clear();
            SetText(text);
        }
    } else if (m_allowExpressions) {
        expandMemoText(this);
    }

    if (TfrxReport *report = Report()) {
        if (TfsScript *script = report->Script(); script && script->Find(QStringLiteral("Value")))
            script->SetVariables(QStringLiteral("Value"), m_value);
        bool active = false;
        if (!m_highlight.Condition().trimmed().isEmpty()) {
            const Variant v = report->Calc(m_highlight.Condition());
            active = !v.isEmptyOrNull() && v.toBool();
        }
        m_highlight.SetActive(active);
    }

    if (m_suppressRepeated) {
        const QString text = Text();
        if (m_hasLastValue && text == m_lastValue) {
            m_lines.clear();
        } else {
            m_lastValue = text;
            m_hasLastValue = true;
        }
    }

    // What does not fit goes on in the target memo, taken as plain text there.
    if (TfrxCustomMemoView *target = FlowTo(); target && target != this) {
        InitPart();
        DrawPart();
        target->SetText(PartText());
        target->SetAllowExpressions(false);
    }
}

QString TfrxCustomMemoView::FormatData(const Variant &value, TfrxFormat *format) const
{
    return formatValue(value, format ? *format : m_displayFormat);
}

bool TfrxCustomMemoView::ResetSuppress()
{
    const bool had = m_suppressRepeated && m_hasLastValue;
    m_lastValue.clear();
    m_hasLastValue = false;
    return had;
}

bool resetSuppressRepeated(const TfrxComponent *band)
{
    bool any = false;
    if (!band)
        return false;
    for (TfrxComponent *c : band->Objects())
        if (auto *memo = dynamic_cast<TfrxCustomMemoView *>(c))
            any = memo->ResetSuppress() || any;
    return any;
}

void TfrxCustomMemoView::SetStyle(const QString &v)
{
    m_style = v;
    if (TfrxReport *r = Report())
        if (const TfrxStyleItem *s = r->Styles().Find(v))
            ApplyStyle(s);
}

void TfrxCustomMemoView::ApplyStyle(const TfrxStyleItem *style)
{
    if (!style)
        return;
    SetColor(style->Color());
    SetFont(*style->Font());
    Frame()->Assign(*style->Frame());
}

TW_DEFINE_CLASS(TfrxMemoView, &TfrxCustomMemoView::staticClassInfo())
{
    ClassBuilder<TfrxMemoView>(info).factory(frxFactory<TfrxMemoView>()).style(csPreviewVisible);
    publishMemoProperties(
        info, enumNames({"AutoWidth", "AllowExpressions", "AllowHTMLTags", "BrushStyle", "CharSpacing", "Clipped", "Color",
                     "DataField", "DataSet", "DataSetName", "DisplayFormat", "ExpressionDelimiters", "FlowTo", "Font",
                     "Frame", "GapX", "GapY", "HAlign", "HideZeros", "Highlight", "LineSpacing", "Memo",
                     "ParagraphGap", "ParentFont", "Rotation", "RTLReading", "Style", "SuppressRepeated",
                     "Underlines", "UseDefaultCharset", "WordBreak", "WordWrap", "Wysiwyg", "VAlign"}));
}

TW_DEFINE_CLASS(TfrxSysMemoView, &TfrxCustomMemoView::staticClassInfo())
{
    ClassBuilder<TfrxSysMemoView>(info).factory(frxFactory<TfrxSysMemoView>()).style(csPreviewVisible);
    publishMemoProperties(info, enumNames({"AutoWidth", "BrushStyle", "CharSpacing", "Color", "DisplayFormat", "Font",
                                       "Frame", "GapX", "GapY", "HAlign", "HideZeros", "Highlight", "Memo",
                                       "ParentFont", "Rotation", "RTLReading", "Style", "SuppressRepeated", "VAlign",
                                       "WordWrap"}));
}

} // namespace tw
