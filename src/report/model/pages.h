#pragma once

#include "report/model/frame.h"
#include "report/model/component.h"

#include <QStringList>

namespace tw {

// Base of the report's pages. Publishes Font (only when not ParentFont) and Visible.
class TfrxPage : public TfrxComponent {
    TW_OBJECT(TfrxPage)
    using TfrxComponent::TfrxComponent;
    QString BaseName() const override { return QStringLiteral("Page"); }
};

// Holds the report's data components; a new one is 1000 x 1000.
class TfrxDataPage : public TfrxPage {
    TW_OBJECT(TfrxDataPage)
    explicit TfrxDataPage(Component *owner = nullptr);
};

// A dialog form shown before the report runs; kept and saved, never shown here.
class TfrxDialogPage : public TfrxPage {
    TW_OBJECT(TfrxDialogPage)
    explicit TfrxDialogPage(Component *owner = nullptr);

    enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
    enum TPosition {
        poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
        poMainFormCenter, poOwnerFormCenter
    };
    enum TWindowState { wsNormal, wsMinimized, wsMaximized };

    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle v) { m_borderStyle = v; }
    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &v) { m_caption = v; }
    int Color() const { return m_color; }
    void SetColor(int v) { m_color = v; }
    // The client area is the form less its borders and caption.
    double ClientHeight() const { return m_clientHeight; }
    void SetClientHeight(double v) { m_clientHeight = v; }
    double ClientWidth() const { return m_clientWidth; }
    void SetClientWidth(double v) { m_clientWidth = v; }
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition v) { m_position = v; }
    TWindowState WindowState() const { return m_windowState; }
    void SetWindowState(TWindowState v) { m_windowState = v; }

    QString OnActivate, OnClick, OnDeactivate, OnHide, OnKeyDown, OnKeyPress, OnKeyUp, OnResize, OnShow,
        OnCloseQuery;

private:
    TFormBorderStyle m_borderStyle = bsDialog;
    QString m_caption;
    int m_color = -2147483633; // button face
    double m_clientHeight = 0;
    double m_clientWidth = 0;
    TPosition m_position = poScreenCenter;
    TWindowState m_windowState = wsNormal;
};

class TfrxDataSet;
class TfrxPicture;
class TfrxView;

enum TPrinterOrientation { poPortrait, poLandscape };
enum TfrxDuplexMode { dmNone, dmVertical, dmHorizontal, dmSimplex };

constexpr int DMPAPER_A4 = 9;
constexpr int DMPAPER_USER = 256;

// Portrait width and height in millimetres of a paper code below 256; false for a code
// that is not in the table.
bool frxPaperSize(int code, double &width, double &height);

// A printed page: paper, margins, columns and its bands. Width and Height (pixels)
// always follow the paper.
class TfrxReportPage : public TfrxPage {
    TW_OBJECT(TfrxReportPage)
    explicit TfrxReportPage(Component *owner = nullptr);
    ~TfrxReportPage() override;

    TPrinterOrientation Orientation() const { return m_orientation; }
    // Swaps paper width and height and rotates the margins.
    void SetOrientation(TPrinterOrientation v);
    double PaperWidth() const { return m_paperWidth; }
    void SetPaperWidth(double v); // PaperSize becomes 256
    double PaperHeight() const { return m_paperHeight; }
    void SetPaperHeight(double v);
    int PaperSize() const { return m_paperSize; }
    void SetPaperSize(int v); // a tabled code sets width and height
    double LeftMargin() const { return m_leftMargin; }
    void SetLeftMargin(double v) { m_leftMargin = v; }
    double RightMargin() const { return m_rightMargin; }
    void SetRightMargin(double v) { m_rightMargin = v; }
    double TopMargin() const { return m_topMargin; }
    void SetTopMargin(double v) { m_topMargin = v; }
    double BottomMargin() const { return m_bottomMargin; }
    void SetBottomMargin(double v) { m_bottomMargin = v; }
    bool MirrorMargins() const { return m_mirrorMargins; }
    void SetMirrorMargins(bool v) { m_mirrorMargins = v; }
    int Columns() const { return m_columns; }
    // Empties ColumnPositions; n > 0 spreads n equal columns over the printable width.
    void SetColumns(int v);
    double ColumnWidth() const { return m_columnWidth; }
    void SetColumnWidth(double v) { m_columnWidth = v; }
    QStringList &ColumnPositions() { return m_columnPositions; }
    const QStringList &ColumnPositions() const { return m_columnPositions; }
    int Bin() const { return m_bin; }
    void SetBin(int v) { m_bin = v; }
    int BinOtherPages() const { return m_binOtherPages; }
    void SetBinOtherPages(int v) { m_binOtherPages = v; }
    TfrxPicture *BackPicture() const { return m_backPicture.get(); }
    bool BackPictureVisible() const { return m_backPictureVisible; }
    void SetBackPictureVisible(bool v) { m_backPictureVisible = v; }
    bool BackPicturePrintable() const { return m_backPicturePrintable; }
    void SetBackPicturePrintable(bool v) { m_backPicturePrintable = v; }
    int PageCount() const { return m_pageCount; }
    void SetPageCount(int v) { m_pageCount = v; }
    int Color() const { return m_color; }
    void SetColor(int v) { m_color = v; }
    TfrxDataSet *DataSet() const;
    void SetDataSet(TfrxDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);
    TfrxDuplexMode Duplex() const { return m_duplex; }
    void SetDuplex(TfrxDuplexMode v) { m_duplex = v; }
    TfrxFrame *Frame() const { return const_cast<TfrxFrame *>(&m_frame); }
    bool EndlessHeight() const { return m_endlessHeight; }
    void SetEndlessHeight(bool v) { m_endlessHeight = v; }
    bool EndlessWidth() const { return m_endlessWidth; }
    void SetEndlessWidth(bool v) { m_endlessWidth = v; }
    bool LargeDesignHeight() const { return m_largeDesignHeight; }
    void SetLargeDesignHeight(bool v) { m_largeDesignHeight = v; }
    const QString &OutlineText() const { return m_outlineText; }
    void SetOutlineText(const QString &v) { m_outlineText = v; }
    bool PrintIfEmpty() const { return m_printIfEmpty; }
    void SetPrintIfEmpty(bool v) { m_printIfEmpty = v; }
    bool PrintOnPreviousPage() const { return m_printOnPreviousPage; }
    void SetPrintOnPreviousPage(bool v) { m_printOnPreviousPage = v; }
    bool ResetPageNumbers() const { return m_resetPageNumbers; }
    void SetResetPageNumbers(bool v) { m_resetPageNumbers = v; }
    bool TitleBeforeHeader() const { return m_titleBeforeHeader; }
    void SetTitleBeforeHeader(bool v) { m_titleBeforeHeader = v; }
    QStringList HGuides, VGuides;
    QString OnAfterPrint, OnBeforePrint, OnManualBuild;

    // The subreport view whose content this page is, or nullptr.
    TfrxView *SubReport() const;
    void SetSubReport(TfrxView *v);

private:
    void updateDimensions();

    TPrinterOrientation m_orientation = poPortrait;
    double m_paperWidth = 210;
    double m_paperHeight = 297;
    int m_paperSize = DMPAPER_A4;
    double m_leftMargin = 0, m_rightMargin = 0, m_topMargin = 0, m_bottomMargin = 0;
    bool m_mirrorMargins = false;
    int m_columns = 0;
    double m_columnWidth = 0;
    QStringList m_columnPositions;
    int m_bin = 7;
    int m_binOtherPages = 7;
    std::unique_ptr<TfrxPicture> m_backPicture;
    bool m_backPictureVisible = true;
    bool m_backPicturePrintable = true;
    int m_pageCount = 1;
    int m_color = clTransparent;
    TfrxRef<TfrxDataSet> m_dataSet;
    QString m_dataSetName;
    TfrxDuplexMode m_duplex = dmNone;
    TfrxFrame m_frame;
    bool m_endlessHeight = false;
    bool m_endlessWidth = false;
    bool m_largeDesignHeight = false;
    QString m_outlineText;
    bool m_printIfEmpty = true;
    bool m_printOnPreviousPage = false;
    bool m_resetPageNumbers = false;
    bool m_titleBeforeHeader = true;
    TfrxRef<TfrxComponent> m_subReport;
};

} // namespace tw
