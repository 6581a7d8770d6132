#include "report/model/pages.h"

namespace tw {

namespace {
const EnumInfo &borderStyleEnum()
{
    static const EnumInfo e{QStringLiteral("TFormBorderStyle"),
                            {QStringLiteral("bsNone"), QStringLiteral("bsSingle"), QStringLiteral("bsSizeable"),
                             QStringLiteral("bsDialog"), QStringLiteral("bsToolWindow"), QStringLiteral("bsSizeToolWin")}};
    return e;
}

const EnumInfo &positionEnum()
{
    static const EnumInfo e{QStringLiteral("TPosition"),
                            {QStringLiteral("poDesigned"), QStringLiteral("poDefault"), QStringLiteral("poDefaultPosOnly"),
                             QStringLiteral("poDefaultSizeOnly"), QStringLiteral("poScreenCenter"),
                             QStringLiteral("poDesktopCenter"), QStringLiteral("poMainFormCenter"),
                             QStringLiteral("poOwnerFormCenter")}};
    return e;
}

const EnumInfo &windowStateEnum()
{
    static const EnumInfo e{QStringLiteral("TWindowState"),
                            {QStringLiteral("wsNormal"), QStringLiteral("wsMinimized"), QStringLiteral("wsMaximized")}};
    return e;
}
} // namespace

TW_DEFINE_CLASS(TfrxPage, &TfrxComponent::staticClassInfo())
{
    ClassBuilder<TfrxPage>(info)
        .nested(QStringLiteral("Font"), TFont::staticClassInfo(), &TfrxPage::Font)
        .storedIf([](const TfrxPage *p) { return !p->ParentFont(); })
        .boolean(QStringLiteral("Visible"), &TfrxPage::Visible, &TfrxPage::SetVisible, true);
}

TW_DEFINE_CLASS(TfrxDataPage, &TfrxPage::staticClassInfo())
{
    using P = TfrxDataPage;
    ClassBuilder<P>(info)
        .factory(frxFactory<P>())
        .floating(QStringLiteral("Left"), &P::Left, &P::SetLeft)
        .floating(QStringLiteral("Top"), &P::Top, &P::SetTop)
        .floating(QStringLiteral("Width"), &P::Width, &P::SetWidth)
        .floating(QStringLiteral("Height"), &P::Height, &P::SetHeight);
}

TfrxDataPage::TfrxDataPage(Component *owner) : TfrxPage(owner)
{
    SetWidth(1000);
    SetHeight(1000);
}

TW_DEFINE_CLASS(TfrxDialogPage, &TfrxPage::staticClassInfo())
{
    using P = TfrxDialogPage;
    auto ev = [](QString P::*m) {
        return std::make_pair([m = m](const P *p) { return p->*m; }, [m = m](P *p, const QString &v) { p->*m = v; });
    };
    ClassBuilder<P> b(info);
    b.factory(frxFactory<P>())
        .enumeration(QStringLiteral("BorderStyle"), borderStyleEnum(), &P::BorderStyle, &P::SetBorderStyle)
        .string(QStringLiteral("Caption"), &P::Caption, &P::SetCaption)
        .integer(QStringLiteral("Color"), &P::Color, &P::SetColor)
        .floating(QStringLiteral("Height"), &P::Height, &P::SetHeight)
        .floating(QStringLiteral("ClientHeight"), &P::ClientHeight, &P::SetClientHeight)
        .floating(QStringLiteral("Left"), &P::Left, &P::SetLeft)
        .enumeration(QStringLiteral("Position"), positionEnum(), &P::Position, &P::SetPosition)
        .floating(QStringLiteral("Top"), &P::Top, &P::SetTop)
        .floating(QStringLiteral("Width"), &P::Width, &P::SetWidth)
        .floating(QStringLiteral("ClientWidth"), &P::ClientWidth, &P::SetClientWidth)
        .enumeration(QStringLiteral("WindowState"), windowStateEnum(), &P::WindowState, &P::SetWindowState);
    const std::pair<const char *, QString P::*> events[] = {
        {"OnActivate", &P::OnActivate}, {"OnClick", &P::OnClick},       {"OnDeactivate", &P::OnDeactivate},
        {"OnHide", &P::OnHide},         {"OnKeyDown", &P::OnKeyDown},   {"OnKeyPress", &P::OnKeyPress},
        {"OnKeyUp", &P::OnKeyUp},       {"OnResize", &P::OnResize},     {"OnShow", &P::OnShow},
        {"OnCloseQuery", &P::OnCloseQuery},
    };
    for (const auto &[name, member] : events) {
        auto [get, set] = ev(member);
        b.string(QString::fromLatin1(name), get, set);
    }
}

TfrxDialogPage::TfrxDialogPage(Component *owner) : TfrxPage(owner)
{
    SetWidth(300);
    SetHeight(200);
}

} // namespace tw

// ---------------------------------------------------------------------------------------

#include "base/numberformat.h"
#include "report/model/report.h"
#include "report/model/picture.h"

#include <cmath>

namespace tw {

namespace {
struct PaperEntry {
    int code;
    int width; // tenths of a millimetre, portrait
    int height;
};

// clang-format off
const PaperEntry kPapers[] = {
    {1, 2159, 2794}, {2, 2159, 2794}, {3, 2794, 4318}, {4, 4318, 2794}, {5, 2159, 3556},
    {6, 1397, 2159}, {7, 1842, 2667}, {8, 2970, 4200}, {9, 2100, 2970}, {10, 2100, 2970},
    {11, 1480, 2100}, {12, 2500, 3540}, {13, 1820, 2570}, {14, 2159, 3302}, {15, 2150, 2750},
    {16, 2540, 3556}, {17, 2794, 4318}, {18, 2159, 2794}, {19, 984, 2254}, {20, 1048, 2413},
    {21, 1143, 2635}, {22, 1207, 2794}, {23, 1270, 2921}, {24, 4318, 5588}, {25, 5588, 8636},
    {26, 8636, 11176}, {27, 1100, 2200}, {28, 1620, 2290}, {29, 3240, 4580}, {30, 2290, 3240},
    {31, 1140, 1620}, {32, 1140, 2290}, {33, 2500, 3530}, {34, 1760, 2500}, {35, 1760, 1250},
    {36, 1100, 2300}, {37, 984, 1905}, {38, 920, 1651}, {39, 3778, 2794}, {40, 2159, 3048},
    {41, 2159, 3302}, {42, 2500, 3530}, {43, 1000, 1480}, {44, 2286, 2794}, {45, 2540, 2794},
    {46, 3810, 2794}, {47, 2200, 2200}, {50, 2355, 3048}, {51, 2355, 3810}, {52, 2969, 4572},
    {53, 2354, 3223}, {54, 2101, 2794}, {55, 2100, 2970}, {56, 2355, 3048}, {57, 2270, 3560},
    {58, 3050, 4870}, {59, 2159, 3223}, {60, 2100, 3300}, {61, 1480, 2100}, {62, 1820, 2570},
    {63, 3220, 4450}, {64, 1740, 2350}, {65, 2010, 2760}, {66, 4200, 5940}, {67, 2970, 4200},
    {68, 3220, 4450},
};
// clang-format on

const EnumInfo &orientationEnum()
{
    static const EnumInfo e{QStringLiteral("TPrinterOrientation"), {QStringLiteral("poPortrait"), QStringLiteral("poLandscape")}};
    return e;
}

const EnumInfo &duplexEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxDuplexMode"),
                            {QStringLiteral("dmNone"), QStringLiteral("dmVertical"), QStringLiteral("dmHorizontal"),
                             QStringLiteral("dmSimplex")}};
    return e;
}
} // namespace

bool frxPaperSize(int code, double &width, double &height)
{
    for (const PaperEntry &p : kPapers) {
        if (p.code == code) {
            width = p.width / 10.0;
            height = p.height / 10.0;
            return true;
        }
    }
    return false;
}

TW_DEFINE_CLASS(TfrxReportPage, &TfrxPage::staticClassInfo())
{
    using P = TfrxReportPage;
    auto lines = [](QStringList P::*m) {
        return std::make_pair([m = m](const P *p) { return p->*m; }, [m = m](P *p, const QString &v) {
            QStringList l = v.split(QLatin1String("\r\n"));
            if (!l.isEmpty() && l.last().isEmpty())
                l.removeLast();
            p->*m = l;
        });
    };
    auto linesText = [](const QStringList &l) {
        QString s;
        for (const QString &line : l)
            s += line + QLatin1String("\r\n");
        return s;
    };
    ClassBuilder<P> b(info);
    b.factory(frxFactory<P>())
        .enumeration(QStringLiteral("Orientation"), orientationEnum(), &P::Orientation, &P::SetOrientation, poPortrait)
        .floating(QStringLiteral("PaperWidth"), &P::PaperWidth, &P::SetPaperWidth)
        .floating(QStringLiteral("PaperHeight"), &P::PaperHeight, &P::SetPaperHeight)
        .integer(QStringLiteral("PaperSize"), &P::PaperSize, &P::SetPaperSize)
        .floating(QStringLiteral("LeftMargin"), &P::LeftMargin, &P::SetLeftMargin)
        .floating(QStringLiteral("RightMargin"), &P::RightMargin, &P::SetRightMargin)
        .floating(QStringLiteral("TopMargin"), &P::TopMargin, &P::SetTopMargin)
        .floating(QStringLiteral("BottomMargin"), &P::BottomMargin, &P::SetBottomMargin)
        .boolean(QStringLiteral("MirrorMargins"), &P::MirrorMargins, &P::SetMirrorMargins, false)
        .integer(QStringLiteral("Columns"), &P::Columns, &P::SetColumns, 0)
        .floating(QStringLiteral("ColumnWidth"), &P::ColumnWidth, &P::SetColumnWidth)
        .stringList(
            QStringLiteral("ColumnPositions"), [linesText](const P *p) { return linesText(p->ColumnPositions()); },
            [](P *p, const QString &v) {
                QStringList l = v.split(QLatin1String("\r\n"));
                if (!l.isEmpty() && l.last().isEmpty())
                    l.removeLast();
                p->ColumnPositions() = l;
            })
        .integer(QStringLiteral("Bin"), &P::Bin, &P::SetBin, 7)
        .integer(QStringLiteral("BinOtherPages"), &P::BinOtherPages, &P::SetBinOtherPages, 7)
        .nested(QStringLiteral("BackPicture"), TfrxPicture::staticClassInfo(), &P::BackPicture)
        .boolean(QStringLiteral("BackPictureVisible"), &P::BackPictureVisible, &P::SetBackPictureVisible, true)
        .boolean(QStringLiteral("BackPicturePrintable"), &P::BackPicturePrintable, &P::SetBackPicturePrintable, true)
        .integer(QStringLiteral("PageCount"), &P::PageCount, &P::SetPageCount, 1)
        .integer(QStringLiteral("Color"), &P::Color, &P::SetColor, clTransparent)
        .reference<TfrxDataSet>(QStringLiteral("DataSet"), TfrxDataSet::staticClassInfo(), &P::DataSet, &P::SetDataSet)
        .string(QStringLiteral("DataSetName"), &P::DataSetName, &P::SetDataSetName)
        .enumeration(QStringLiteral("Duplex"), duplexEnum(), &P::Duplex, &P::SetDuplex, dmNone)
        .nested(QStringLiteral("Frame"), TfrxFrame::staticClassInfo(), &P::Frame)
        .boolean(QStringLiteral("EndlessHeight"), &P::EndlessHeight, &P::SetEndlessHeight, false)
        .boolean(QStringLiteral("EndlessWidth"), &P::EndlessWidth, &P::SetEndlessWidth, false)
        .boolean(QStringLiteral("LargeDesignHeight"), &P::LargeDesignHeight, &P::SetLargeDesignHeight, false)
        .string(QStringLiteral("OutlineText"), &P::OutlineText, &P::SetOutlineText)
        .boolean(QStringLiteral("PrintIfEmpty"), &P::PrintIfEmpty, &P::SetPrintIfEmpty, true)
        .boolean(QStringLiteral("PrintOnPreviousPage"), &P::PrintOnPreviousPage, &P::SetPrintOnPreviousPage, false)
        .boolean(QStringLiteral("ResetPageNumbers"), &P::ResetPageNumbers, &P::SetResetPageNumbers, false)
        .boolean(QStringLiteral("TitleBeforeHeader"), &P::TitleBeforeHeader, &P::SetTitleBeforeHeader, true);
    {
        auto [get, set] = lines(&P::HGuides);
        b.stringList(QStringLiteral("HGuides"), [get = get, linesText](const P *p) { return linesText(get(p)); }, set);
    }
    {
        auto [get, set] = lines(&P::VGuides);
        b.stringList(QStringLiteral("VGuides"), [get = get, linesText](const P *p) { return linesText(get(p)); }, set);
    }
    const std::pair<const char *, QString P::*> events[] = {
        {"OnAfterPrint", &P::OnAfterPrint}, {"OnBeforePrint", &P::OnBeforePrint}, {"OnManualBuild", &P::OnManualBuild}};
    for (const auto &[name, m] : events)
        b.string(QString::fromLatin1(name), [m = m](const P *p) { return p->*m; }, [m = m](P *p, const QString &v) { p->*m = v; });
}

TfrxReportPage::TfrxReportPage(Component *owner) : TfrxPage(owner), m_backPicture(std::make_unique<TfrxPicture>())
{
    SetPaperSize(DMPAPER_A4);
}

TfrxReportPage::~TfrxReportPage() = default;

void TfrxReportPage::updateDimensions()
{
    SetWidth(std::round(m_paperWidth * fr01cm));
    SetHeight(std::round(m_paperHeight * fr01cm));
}

void TfrxReportPage::SetOrientation(TPrinterOrientation v)
{
    if (v == m_orientation)
        return;
    m_orientation = v;
    std::swap(m_paperWidth, m_paperHeight);
    const double l = m_leftMargin, r = m_rightMargin, t = m_topMargin, b = m_bottomMargin;
    if (v == poLandscape) {
        m_leftMargin = t;
        m_rightMargin = b;
        m_topMargin = r;
        m_bottomMargin = l;
    } else {
        m_leftMargin = b;
        m_rightMargin = t;
        m_topMargin = l;
        m_bottomMargin = r;
    }
    updateDimensions();
}

void TfrxReportPage::SetPaperWidth(double v)
{
    m_paperWidth = v;
    m_paperSize = DMPAPER_USER;
    updateDimensions();
}

void TfrxReportPage::SetPaperHeight(double v)
{
    m_paperHeight = v;
    m_paperSize = DMPAPER_USER;
    updateDimensions();
}

void TfrxReportPage::SetPaperSize(int v)
{
    m_paperSize = v;
    double w, h;
    if (v < DMPAPER_USER && frxPaperSize(v, w, h)) {
        if (m_orientation == poLandscape)
            std::swap(w, h);
        m_paperWidth = w;
        m_paperHeight = h;
    }
    updateDimensions();
}

void TfrxReportPage::SetColumns(int v)
{
    m_columns = v;
    m_columnPositions.clear();
    if (v <= 0)
        return;
    m_columnWidth = (m_paperWidth - m_leftMargin - m_rightMargin) / v;
    for (int i = 0; i < v; ++i)
        m_columnPositions.append(floatToStr(i * m_columnWidth));
}

TfrxView *TfrxReportPage::SubReport() const
{
    return static_cast<TfrxView *>(m_subReport.get());
}

void TfrxReportPage::SetSubReport(TfrxView *v)
{
    m_subReport = v;
}

TfrxDataSet *TfrxReportPage::DataSet() const
{
    return m_dataSet.get();
}

void TfrxReportPage::SetDataSet(TfrxDataSet *v)
{
    m_dataSet = v;
    m_dataSetName = v ? v->UserName() : QString();
}

QString TfrxReportPage::DataSetName() const
{
    if (TfrxDataSet *ds = m_dataSet.get())
        return ds->UserName();
    return m_dataSetName;
}

void TfrxReportPage::SetDataSetName(const QString &v)
{
    m_dataSetName = v;
    m_dataSet = frxFindDataSet(this, v, m_dataSet.get());
}

} // namespace tw
