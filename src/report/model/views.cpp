#include "report/model/views.h"

#include "report/engine/memotext.h"

#include "report/model/dialogcontrols.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "report/model/memo.h"
#include "report/model/picture.h"
#include "report/model/viewsextra.h"

namespace tw {

const EnumInfo &alignEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxAlign"),
                            enumNames({"baNone", "baLeft", "baRight", "baCenter", "baWidth", "baBottom", "baClient"})};
    return e;
}

const EnumInfo &shiftModeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxShiftMode"), enumNames({"smDontShift", "smAlways", "smWhenOverlapped"})};
    return e;
}

const EnumInfo &stretchModeEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxStretchMode"),
                            enumNames({"smDontStretch", "smActualHeight", "smMaxHeight"})};
    return e;
}

const EnumInfo &brushStyleEnum()
{
    static const EnumInfo e{QStringLiteral("TBrushStyle"), enumNames({"bsSolid", "bsClear", "bsHorizontal", "bsVertical",
                                                                  "bsFDiagonal", "bsBDiagonal", "bsCross", "bsDiagCross"})};
    return e;
}

const EnumInfo &shapeKindEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxShapeKind"),
                            enumNames({"skRectangle", "skRoundRectangle", "skEllipse", "skTriangle", "skDiamond",
                                   "skDiagonal1", "skDiagonal2"})};
    return e;
}

const QStringList &viewCommonProperties()
{
    static const QStringList list = enumNames({"Align", "Printable", "ShiftMode", "Left", "Top", "Width", "Height",
                                           "GroupIndex", "Restrictions", "Visible", "OnAfterData", "OnAfterPrint",
                                           "OnBeforePrint", "OnPreviewClick", "OnPreviewDblClick", "Hint", "ShowHint"});
    return list;
}

void publishViewProperties(ClassInfo &info, const QStringList &props)
{
    using V = TfrxView;
    ClassBuilder<V> b(info);
    for (const QString &n : props) {
        if (n == QLatin1String("Align"))
            b.enumeration(n, alignEnum(), &V::Align, &V::SetAlign, 0);
        else if (n == QLatin1String("Printable"))
            b.boolean(n, &V::Printable, &V::SetPrintable, true);
        else if (n == QLatin1String("ShiftMode"))
            b.enumeration(n, shiftModeEnum(), &V::ShiftMode, &V::SetShiftMode, int(TfrxShiftMode::smAlways));
        else if (n == QLatin1String("Left"))
            b.floating(n, &V::Left, &V::SetLeft);
        else if (n == QLatin1String("Top"))
            b.floating(n, &V::Top, &V::SetTop);
        else if (n == QLatin1String("Width"))
            b.floating(n, &V::Width, &V::SetWidth);
        else if (n == QLatin1String("Height"))
            b.floating(n, &V::Height, &V::SetHeight);
        else if (n == QLatin1String("GroupIndex"))
            b.integer(n, &V::GroupIndex, &V::SetGroupIndex, 0);
        else if (n == QLatin1String("Restrictions"))
            b.set(n, QStringLiteral("TfrxRestrictions"), frxRestrictionsEnum(), &V::Restrictions, &V::SetRestrictions, 0);
        else if (n == QLatin1String("Visible"))
            b.boolean(n, &V::Visible, &V::SetVisible, true);
        else if (n == QLatin1String("OnAfterData"))
            b.string(n, [](const V *v) { return v->OnAfterData; }, [](V *v, const QString &s) { v->OnAfterData = s; });
        else if (n == QLatin1String("OnAfterPrint"))
            b.string(n, [](const V *v) { return v->OnAfterPrint; }, [](V *v, const QString &s) { v->OnAfterPrint = s; });
        else if (n == QLatin1String("OnBeforePrint"))
            b.string(n, [](const V *v) { return v->OnBeforePrint; },
                     [](V *v, const QString &s) { v->OnBeforePrint = s; });
        else if (n == QLatin1String("OnPreviewClick"))
            b.string(n, [](const V *v) { return v->OnPreviewClick; },
                     [](V *v, const QString &s) { v->OnPreviewClick = s; });
        else if (n == QLatin1String("OnPreviewDblClick"))
            b.string(n, [](const V *v) { return v->OnPreviewDblClick; },
                     [](V *v, const QString &s) { v->OnPreviewDblClick = s; });
        else if (n == QLatin1String("Hint"))
            b.string(n, &V::Hint, &V::SetHint);
        else if (n == QLatin1String("ShowHint"))
            b.boolean(n, &V::ShowHint, &V::SetShowHint);
        else if (n == QLatin1String("StretchMode"))
            ClassBuilder<TfrxStretcheable>(info).enumeration(n, stretchModeEnum(), &TfrxStretcheable::StretchMode,
                                                             &TfrxStretcheable::SetStretchMode, 0);
        else if (n == QLatin1String("Cursor"))
            b.integer(n, &V::Cursor, &V::SetCursor, 0);
        else if (n == QLatin1String("TagStr"))
            b.string(n, &V::TagStr, &V::SetTagStr);
        else if (n == QLatin1String("URL"))
            b.string(n, &V::URL, &V::SetURL);
        else if (n == QLatin1String("BrushStyle"))
            b.enumeration(n, brushStyleEnum(), &V::BrushStyle, &V::SetBrushStyle, 0);
        else if (n == QLatin1String("Color"))
            b.integer(n, &V::Color, &V::SetColor, clTransparent);
        else if (n == QLatin1String("Frame"))
            b.nested(n, TfrxFrame::staticClassInfo(), &V::Frame);
        else if (n == QLatin1String("Font"))
            b.nested(n, TFont::staticClassInfo(), &V::Font).storedIf([](const V *v) { return !v->ParentFont(); });
        else if (n == QLatin1String("ParentFont"))
            b.boolean(n, &V::ParentFont, &V::SetParentFont, true);
        else if (n == QLatin1String("DataField"))
            b.string(n, &V::DataField, &V::SetDataField);
        else if (n == QLatin1String("DataSet"))
            b.reference<TfrxDataSet>(n, TfrxDataSet::staticClassInfo(), &V::DataSet, &V::SetDataSet);
        else if (n == QLatin1String("DataSetName"))
            b.string(n, &V::DataSetName, &V::SetDataSetName);
        else
            Q_ASSERT_X(false, "publishViewProperties", qPrintable(n));
    }
}

// ---------------------------------------------------------------------------------------

// TfrxDataSet is defined with the datasets (report/engine/datasets.cpp).

TW_DEFINE_CLASS(TfrxView, &TfrxReportComponent::staticClassInfo())
{
    publishViewProperties(info, viewCommonProperties());
}

TfrxView::TfrxView(Component *owner) : TfrxReportComponent(owner)
{
    SetfrComponentStyle(frComponentStyle() | csPreviewVisible);
}

void TfrxView::SetDataSet(TfrxDataSet *v)
{
    m_dataSet = v;
    m_dataSetName = v ? v->UserName() : QString();
}

QString TfrxView::DataSetName() const
{
    return m_dataSet ? m_dataSet->UserName() : m_dataSetName;
}

void TfrxView::SetDataSetName(const QString &v)
{
    m_dataSetName = v;
    m_dataSet = frxFindDataSet(this, v, m_dataSet.get());
}

void TfrxView::BeforePrint()
{
    m_saved = {Left(), Top(), Width(), Height(), m_tagStr, m_url};
}

void TfrxView::AfterPrint()
{
    SetBounds(m_saved.left, m_saved.top, m_saved.width, m_saved.height);
    m_tagStr = m_saved.tagStr;
    m_url = m_saved.url;
}

void TfrxView::GetData()
{
    TfrxReport *report = Report();
    if (!report)
        return;
    const QString open = QStringLiteral("["), close = QStringLiteral("]");
    const auto evaluate = [report](const QString &e) { return report->Calc(e).toText(); };
    if (m_tagStr.contains(open))
        m_tagStr = expandBrackets(m_tagStr, open, close, evaluate);
    if (m_url.contains(open))
        m_url = expandBrackets(m_url, open, close, evaluate);
}

TW_DEFINE_CLASS(TfrxStretcheable, &TfrxView::staticClassInfo())
{
    publishViewProperties(info, {QStringLiteral("StretchMode")});
}

TW_DEFINE_CLASS(TfrxCustomLineView, &TfrxStretcheable::staticClassInfo())
{
    using L = TfrxCustomLineView;
    ClassBuilder<L>(info).factory(frxFactory<L>()).style(csPreviewVisible);
    publishViewProperties(info, {QStringLiteral("TagStr")});
    ClassBuilder<L>(info)
        .boolean(QStringLiteral("ArrowEnd"), &L::ArrowEnd, &L::SetArrowEnd, false)
        .integer(QStringLiteral("ArrowLength"), &L::ArrowLength, &L::SetArrowLength, 20)
        .boolean(QStringLiteral("ArrowSolid"), &L::ArrowSolid, &L::SetArrowSolid, false)
        .boolean(QStringLiteral("ArrowStart"), &L::ArrowStart, &L::SetArrowStart, false)
        .integer(QStringLiteral("ArrowWidth"), &L::ArrowWidth, &L::SetArrowWidth, 5);
    publishViewProperties(info, {QStringLiteral("Frame")});
    ClassBuilder<L>(info).boolean(QStringLiteral("Diagonal"), &L::Diagonal, &L::SetDiagonal, false);
}

TfrxCustomLineView::TfrxCustomLineView(Component *owner) : TfrxStretcheable(owner) {}

TW_DEFINE_CLASS(TfrxLineView, &TfrxCustomLineView::staticClassInfo())
{
    ClassBuilder<TfrxLineView>(info).factory(frxFactory<TfrxLineView>()).style(csPreviewVisible);
}

TW_DEFINE_CLASS(TfrxShapeView, &TfrxView::staticClassInfo())
{
    using S = TfrxShapeView;
    ClassBuilder<S>(info).factory(frxFactory<S>()).style(csPreviewVisible);
    publishViewProperties(info, enumNames({"BrushStyle", "Color", "Cursor"}));
    ClassBuilder<S>(info).integer(QStringLiteral("Curve"), &S::Curve, &S::SetCurve, 0);
    publishViewProperties(info, {QStringLiteral("Frame")});
    ClassBuilder<S>(info).enumeration(QStringLiteral("Shape"), shapeKindEnum(), &S::Shape, &S::SetShape, 0);
    publishViewProperties(info, enumNames({"TagStr", "URL"}));
}

TW_DEFINE_CLASS(TfrxSubreport, &TfrxView::staticClassInfo())
{
    using S = TfrxSubreport;
    ClassBuilder<S>(info)
        .factory(frxFactory<S>())
        .reference<TfrxReportPage>(QStringLiteral("Page"), TfrxReportPage::staticClassInfo(), &S::Page, &S::SetPage)
        .boolean(QStringLiteral("PrintOnParent"), &S::PrintOnParent, &S::SetPrintOnParent, false);
}

TfrxSubreport::TfrxSubreport(Component *owner) : TfrxView(owner)
{
    // Its page is printed in its place, so the view itself is not copied to prepared pages.
    SetfrComponentStyle(frComponentStyle() & ~int(csPreviewVisible));
    // Only the designer shows these.
    Frame()->SetTyp(ftAllSides);
    TFont f;
    f.SetName(QStringLiteral("Tahoma"));
    f.SetSize(8);
    SetFont(f);
    SetColor(12632256);
}

TfrxReportPage *TfrxSubreport::Page() const
{
    return m_page.get();
}

void TfrxSubreport::SetPage(TfrxReportPage *page)
{
    if (m_page && m_page.get() != page && m_page->SubReport() == this)
        m_page->SetSubReport(nullptr);
    m_page = page;
    if (page)
        m_page->SetSubReport(this);
}

void registerViewClasses()
{
    static const bool done = [] {
        for (const ClassInfo *c :
             {&TfrxMemoView::staticClassInfo(), &TfrxCustomMemoView::staticClassInfo(),
              &TfrxSysMemoView::staticClassInfo(), &TfrxLineView::staticClassInfo(),
              &TfrxCustomLineView::staticClassInfo(), &TfrxShapeView::staticClassInfo(),
              &TfrxPictureView::staticClassInfo(), &TfrxSubreport::staticClassInfo(), &TfrxFrame::staticClassInfo(),
              &TfrxHighlight::staticClassInfo(), &TfrxCheckBoxView::staticClassInfo(),
              &TfrxDMPMemoView::staticClassInfo(), &TfrxDMPLineView::staticClassInfo(),
              &TfrxDMPCommand::staticClassInfo()})
            registerClass(c);
        for (const ClassInfo *c : dialogControlClasses())
            registerClass(c);
        return true;
    }();
    (void)done;
}

} // namespace tw
