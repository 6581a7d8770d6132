#include "report/model/bands.h"

#include "report/model/report.h"
#include "report/model/viewsdataset.h"
#include "report/xml/resources.h"

namespace tw {

namespace {

// Publishes band properties by name, in the order given.
template <class T>
void publish(ClassInfo &info, std::initializer_list<const char *> names)
{
    ClassBuilder<T> b(info);
    for (const char *cname : names) {
        const QString n = QString::fromLatin1(cname);
        auto flag = [&](bool TfrxBand::*m, bool def) {
            b.boolean(n, [m = m](const T *t) { return t->*m; }, [m = m](T *t, bool v) { t->*m = v; }, def);
        };
        if (n == QLatin1String("AllowSplit"))
            b.boolean(n, &T::AllowSplit, &T::SetAllowSplit, false);
        else if (n == QLatin1String("Child")) {
            // The band base as the class: TfrxChild's own descriptor is being built here.
            b.template reference<TfrxChild>(n, TfrxBand::staticClassInfo(), &T::Child, &T::SetChild);
            info.ownProperties.last().typeName = QStringLiteral("TfrxChild");
        }
        else if (n == QLatin1String("KeepChild"))
            b.boolean(n, &T::KeepChild, &T::SetKeepChild, false);
        else if (n == QLatin1String("PrintChildIfInvisible"))
            b.boolean(n, &T::PrintChildIfInvisible, &T::SetPrintChildIfInvisible, false);
        else if (n == QLatin1String("StartNewPage"))
            b.boolean(n, &T::StartNewPage, &T::SetStartNewPage, false);
        else if (n == QLatin1String("Stretched"))
            b.boolean(n, &T::Stretched, &T::SetStretched, false);
        else if (n == QLatin1String("PrintOnFirstPage"))
            flag(&TfrxBand::m_printOnFirstPage, true);
        else if (n == QLatin1String("PrintOnLastPage"))
            flag(&TfrxBand::m_printOnLastPage, true);
        else if (n == QLatin1String("ReprintOnNewPage"))
            flag(&TfrxBand::m_reprintOnNewPage, false);
        else if (n == QLatin1String("KeepTogether"))
            flag(&TfrxBand::m_keepTogether, false);
        else if (n == QLatin1String("PrintOnTop"))
            flag(&TfrxBand::m_printOnTop, false);
        else
            Q_ASSERT_X(false, "band publish", cname);
    }
}

template <class T>
void publishStrings(ClassInfo &info, std::initializer_list<std::pair<const char *, QString T::*>> members)
{
    ClassBuilder<T> b(info);
    for (const auto &[name, m] : members)
        b.string(QString::fromLatin1(name), [m = m](const T *t) { return t->*m; }, [m = m](T *t, const QString &v) { t->*m = v; });
}

template <class T>
void publishFlags(ClassInfo &info, std::initializer_list<std::pair<const char *, bool T::*>> members)
{
    ClassBuilder<T> b(info);
    for (const auto &[name, m] : members)
        b.boolean(QString::fromLatin1(name), [m = m](const T *t) { return t->*m; }, [m = m](T *t, bool v) { t->*m = v; }, false);
}

} // namespace

TW_DEFINE_CLASS(TfrxBand, &TfrxReportComponent::staticClassInfo())
{
    using B = TfrxBand;
    ClassBuilder<B>(info)
        .nested(QStringLiteral("Font"), TFont::staticClassInfo(), &B::Font)
        .storedIf([](const B *b) { return !b->ParentFont(); })
        .floating(QStringLiteral("Height"), &B::Height, &B::SetHeight)
        .floating(QStringLiteral("Left"), &B::Left, &B::SetLeft)
        .boolean(QStringLiteral("ParentFont"), &B::ParentFont, &B::SetParentFont, true)
        .set(QStringLiteral("Restrictions"), QStringLiteral("TfrxRestrictions"), frxRestrictionsEnum(), &B::Restrictions,
             &B::SetRestrictions, 0)
        .floating(QStringLiteral("Top"), &B::Top, &B::SetTop)
        .boolean(QStringLiteral("Vertical"), &B::Vertical, &B::SetVertical, false)
        .boolean(QStringLiteral("Visible"), &B::Visible, &B::SetVisible, true)
        .floating(QStringLiteral("Width"), &B::Width, &B::SetWidth);
    publishStrings<B>(info, {{"OnAfterCalcHeight", &B::OnAfterCalcHeight},
                             {"OnAfterPrint", &B::OnAfterPrint},
                             {"OnBeforePrint", &B::OnBeforePrint}});
}

TfrxBand::TfrxBand(Component *owner) : TfrxReportComponent(owner)
{
    // Placed bands are written to prepared pages like views.
    SetfrComponentStyle(frComponentStyle() | csPreviewVisible);
}

TfrxBand::~TfrxBand() = default;

void TfrxBand::BeforePrint()
{
    m_savedBounds[0] = Left();
    m_savedBounds[1] = Top();
    m_savedBounds[2] = Width();
    m_savedBounds[3] = Height();
}

void TfrxBand::AfterPrint()
{
    SetBounds(m_savedBounds[0], m_savedBounds[1], m_savedBounds[2], m_savedBounds[3]);
}

QString TfrxBand::BaseName() const
{
    return stripName(classInfo()->name, QStringLiteral("Tfrx"), QString());
}

QString TfrxBand::BandName() const
{
    QString s = BaseName();
    s.remove(QLatin1String("Band"));
    return s;
}

int TfrxBand::BandNumber() const
{
    const QList<const ClassInfo *> &table = frxBands();
    int result = 0;
    for (int i = 0; i < table.size(); ++i)
        if (classInfo()->inheritsFrom(table[i]))
            result = i;
    return result;
}

TfrxChild *TfrxBand::Child() const
{
    return m_child.get();
}

void TfrxBand::SetChild(TfrxChild *child)
{
    // Walk the new child's own chain: reaching this band again would loop the engine.
    int guard = 0;
    for (TfrxBand *b = child; b; b = b->Child()) {
        if (b == this || ++guard > 100000)
            throw Error(frxResources().Get(QStringLiteral("clCirRefNotAllow")));
    }
    m_child = child;
}

#define TW_BAND(Cls, ...)                                                                \
    TW_DEFINE_CLASS(Cls, &TfrxBand::staticClassInfo())                                   \
    {                                                                                    \
        ClassBuilder<Cls>(info).factory(frxFactory<Cls>());                              \
        publish<Cls>(info, {__VA_ARGS__});                                               \
    }

TW_BAND(TfrxReportTitle, "AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "StartNewPage", "Stretched")
TW_BAND(TfrxReportSummary, "AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "StartNewPage", "Stretched")
TW_BAND(TfrxPageHeader, "Child", "PrintChildIfInvisible", "PrintOnFirstPage", "Stretched")
TW_BAND(TfrxPageFooter, "PrintOnFirstPage", "PrintOnLastPage")
TW_BAND(TfrxHeader, "AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "ReprintOnNewPage", "StartNewPage",
        "Stretched")
TW_BAND(TfrxFooter, "AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "Stretched")
TW_BAND(TfrxChild, "AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "StartNewPage", "Stretched")
TW_BAND(TfrxColumnHeader, "Child", "Stretched")
TW_BAND(TfrxOverlay, "PrintOnTop")

TW_DEFINE_CLASS(TfrxColumnFooter, &TfrxBand::staticClassInfo())
{
    ClassBuilder<TfrxColumnFooter>(info).factory(frxFactory<TfrxColumnFooter>());
}

TW_DEFINE_CLASS(TfrxNullBand, &TfrxBand::staticClassInfo())
{
    ClassBuilder<TfrxNullBand>(info).factory(frxFactory<TfrxNullBand>());
}

TW_DEFINE_CLASS(TfrxGroupHeader, &TfrxBand::staticClassInfo())
{
    using G = TfrxGroupHeader;
    ClassBuilder<G>(info).factory(frxFactory<G>());
    publish<G>(info, {"AllowSplit", "Child"});
    publishStrings<G>(info, {{"Condition", &G::Condition}});
    publishFlags<G>(info, {{"DrillDown", &G::DrillDown}, {"ExpandDrillDown", &G::ExpandDrillDown}});
    publish<G>(info, {"KeepChild", "KeepTogether", "ReprintOnNewPage"});
    publishStrings<G>(info, {{"OutlineText", &G::OutlineText}});
    publish<G>(info, {"PrintChildIfInvisible"});
    publishFlags<G>(info, {{"ResetPageNumbers", &G::ResetPageNumbers},
                           {"ShowFooterIfDrillDown", &G::ShowFooterIfDrillDown},
                           {"ShowChildIfDrillDown", &G::ShowChildIfDrillDown}});
    publish<G>(info, {"StartNewPage", "Stretched"});
    publishStrings<G>(info, {{"DrillName", &G::DrillName}});
}

TW_DEFINE_CLASS(TfrxGroupFooter, &TfrxBand::staticClassInfo())
{
    using G = TfrxGroupFooter;
    ClassBuilder<G>(info).factory(frxFactory<G>());
    publish<G>(info, {"AllowSplit", "Child"});
    publishFlags<G>(info, {{"HideIfSingleDataRecord", &G::HideIfSingleDataRecord}});
    publish<G>(info, {"KeepChild", "PrintChildIfInvisible", "Stretched"});
}

// ---------------------------------------------------------------------------------------

std::function<TfrxDataSet *(TfrxDataBand *)> TfrxDataBand::CreateVirtualDataSet;
std::function<void(TfrxDataSet *, int)> TfrxDataBand::SetVirtualRecordCount;

TW_DEFINE_CLASS(TfrxDataBand, &TfrxBand::staticClassInfo())
{
    using D = TfrxDataBand;
    publish<D>(info, {"AllowSplit", "Child"});
    ClassBuilder<D>(info)
        .integer(QStringLiteral("Columns"), &D::Columns, &D::SetColumns, 0)
        .floating(QStringLiteral("ColumnWidth"), &D::ColumnWidth, &D::SetColumnWidth)
        .floating(QStringLiteral("ColumnGap"), &D::ColumnGap, &D::SetColumnGap)
        .reference<TfrxDataSet>(QStringLiteral("DataSet"), TfrxDataSet::staticClassInfo(), &D::DataSet, &D::SetDataSet)
        .string(QStringLiteral("DataSetName"), &D::DataSetName, &D::SetDataSetName)
        .boolean(QStringLiteral("FooterAfterEach"), &D::FooterAfterEach, &D::SetFooterAfterEach, false);
    publish<D>(info, {"KeepChild"});
    ClassBuilder<D>(info)
        .boolean(QStringLiteral("KeepFooter"), &D::KeepFooter, &D::SetKeepFooter, false)
        .boolean(QStringLiteral("KeepHeader"), &D::KeepHeader, &D::SetKeepHeader, false)
        .boolean(QStringLiteral("KeepTogether"), &D::KeepTogether, &D::SetKeepTogether, false)
        .string(QStringLiteral("OutlineText"), &D::OutlineText, &D::SetOutlineText);
    publish<D>(info, {"PrintChildIfInvisible"});
    ClassBuilder<D>(info)
        .boolean(QStringLiteral("PrintIfDetailEmpty"), &D::PrintIfDetailEmpty, &D::SetPrintIfDetailEmpty, false)
        .integer(QStringLiteral("RowCount"), &D::RowCount, &D::SetRowCount);
    publish<D>(info, {"StartNewPage", "Stretched"});
    publishStrings<D>(info, {{"OnMasterDetail", &D::OnMasterDetail}});
}

TfrxDataBand::TfrxDataBand(Component *owner) : TfrxBand(owner)
{
    if (CreateVirtualDataSet)
        m_virtualDataSet.reset(CreateVirtualDataSet(this));
}

TfrxDataBand::~TfrxDataBand() = default;

TfrxDataSet *TfrxDataBand::DataSet() const
{
    return m_dataSet.get();
}

void TfrxDataBand::SetDataSet(TfrxDataSet *v)
{
    m_dataSet = v;
    m_dataSetName = v ? v->UserName() : QString();
}

QString TfrxDataBand::DataSetName() const
{
    if (TfrxDataSet *ds = m_dataSet.get())
        return ds->UserName();
    return m_dataSetName;
}

void TfrxDataBand::SetDataSetName(const QString &v)
{
    m_dataSetName = v;
    m_dataSet = frxFindDataSet(this, v, m_dataSet.get());
}

void TfrxDataBand::SetRowCount(int v)
{
    m_rowCount = v;
    if (m_virtualDataSet && SetVirtualRecordCount)
        SetVirtualRecordCount(m_virtualDataSet.get(), v);
}

#define TW_DATABAND(Cls)                                                                 \
    TW_DEFINE_CLASS(Cls, &TfrxDataBand::staticClassInfo())                               \
    {                                                                                    \
        ClassBuilder<Cls>(info).factory(frxFactory<Cls>());                              \
    }

TW_DATABAND(TfrxMasterData)
TW_DATABAND(TfrxDetailData)
TW_DATABAND(TfrxSubdetailData)
TW_DATABAND(TfrxDataBand4)
TW_DATABAND(TfrxDataBand5)
TW_DATABAND(TfrxDataBand6)

const QList<const ClassInfo *> &frxBands()
{
    static const QList<const ClassInfo *> table{
        &TfrxReportTitle::staticClassInfo(),   &TfrxReportSummary::staticClassInfo(),
        &TfrxPageHeader::staticClassInfo(),    &TfrxPageFooter::staticClassInfo(),
        &TfrxHeader::staticClassInfo(),        &TfrxFooter::staticClassInfo(),
        &TfrxMasterData::staticClassInfo(),    &TfrxDetailData::staticClassInfo(),
        &TfrxSubdetailData::staticClassInfo(), &TfrxDataBand4::staticClassInfo(),
        &TfrxDataBand5::staticClassInfo(),     &TfrxDataBand6::staticClassInfo(),
        &TfrxGroupHeader::staticClassInfo(),   &TfrxGroupFooter::staticClassInfo(),
        &TfrxChild::staticClassInfo(),         &TfrxColumnHeader::staticClassInfo(),
        &TfrxColumnFooter::staticClassInfo(),  &TfrxOverlay::staticClassInfo(),
    };
    return table;
}

} // namespace tw
