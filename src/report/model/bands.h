#pragma once

#include "report/model/component.h"

#include <functional>
#include <memory>

namespace tw {

class TfrxChild;
class TfrxDataSet;

// Base of every band. The flags are members of every band; each class publishes those
// it uses.
class TfrxBand : public TfrxReportComponent {
    TW_OBJECT(TfrxBand)
    explicit TfrxBand(Component *owner = nullptr);
    ~TfrxBand() override;

    QString BaseName() const override;
    // Class name without "Tfrx" and without "Band".
    QString BandName() const;
    // Position in the engine's band table (0 to 17).
    int BandNumber() const;

    bool AllowSplit() const { return m_allowSplit; }
    void SetAllowSplit(bool v) { m_allowSplit = v; }
    TfrxChild *Child() const;
    // Refused with clCirRefNotAllow when the child's chain of Child links leads back here.
    void SetChild(TfrxChild *child);
    bool KeepChild() const { return m_keepChild; }
    void SetKeepChild(bool v) { m_keepChild = v; }
    bool PrintChildIfInvisible() const { return m_printChildIfInvisible; }
    void SetPrintChildIfInvisible(bool v) { m_printChildIfInvisible = v; }
    bool StartNewPage() const { return m_startNewPage; }
    void SetStartNewPage(bool v) { m_startNewPage = v; }
    bool Stretched() const { return m_stretched; }
    void SetStretched(bool v) { m_stretched = v; }
    bool Vertical() const { return m_vertical; }
    void SetVertical(bool v) { m_vertical = v; }
    // The object that did not fit and goes on on the next page (engine state).
    TfrxComponent *Overflow() const { return m_overflow.get(); }
    void SetOverflow(TfrxComponent *v) { m_overflow = v; }

    QString OnAfterCalcHeight, OnAfterPrint, OnBeforePrint;

    // A run moves and stretches a band only for the current output.
    void BeforePrint() override;
    void AfterPrint() override;

    // Flags only some classes publish; kept here so the publishing table stays simple.
    bool m_printOnFirstPage = true;
    bool m_printOnLastPage = true;
    bool m_reprintOnNewPage = false;
    bool m_keepTogether = false;
    bool m_printOnTop = false;

private:
    bool m_allowSplit = false;
    TfrxRef<TfrxChild> m_child;
    bool m_keepChild = false;
    bool m_printChildIfInvisible = false;
    bool m_startNewPage = false;
    bool m_stretched = false;
    bool m_vertical = false;
    TfrxRef<TfrxComponent> m_overflow;
    double m_savedBounds[4] = {0, 0, 0, 0};
};

class TfrxReportTitle : public TfrxBand {
    TW_OBJECT(TfrxReportTitle)
    using TfrxBand::TfrxBand;
};

class TfrxReportSummary : public TfrxBand {
    TW_OBJECT(TfrxReportSummary)
    using TfrxBand::TfrxBand;
};

class TfrxPageHeader : public TfrxBand {
    TW_OBJECT(TfrxPageHeader)
    using TfrxBand::TfrxBand;
    bool PrintOnFirstPage() const { return m_printOnFirstPage; }
    void SetPrintOnFirstPage(bool v) { m_printOnFirstPage = v; }
};

class TfrxPageFooter : public TfrxBand {
    TW_OBJECT(TfrxPageFooter)
    using TfrxBand::TfrxBand;
    bool PrintOnFirstPage() const { return m_printOnFirstPage; }
    void SetPrintOnFirstPage(bool v) { m_printOnFirstPage = v; }
    bool PrintOnLastPage() const { return m_printOnLastPage; }
    void SetPrintOnLastPage(bool v) { m_printOnLastPage = v; }
};

class TfrxHeader : public TfrxBand {
    TW_OBJECT(TfrxHeader)
    using TfrxBand::TfrxBand;
    bool ReprintOnNewPage() const { return m_reprintOnNewPage; }
    void SetReprintOnNewPage(bool v) { m_reprintOnNewPage = v; }
};

class TfrxFooter : public TfrxBand {
    TW_OBJECT(TfrxFooter)
    using TfrxBand::TfrxBand;
};

// A band printed once per record of its dataset, or RowCount times without one.
class TfrxDataBand : public TfrxBand {
    TW_OBJECT(TfrxDataBand)
    explicit TfrxDataBand(Component *owner = nullptr);
    ~TfrxDataBand() override;

    int Columns() const { return m_columns; }
    void SetColumns(int v) { m_columns = v; }
    double ColumnWidth() const { return m_columnWidth; }
    void SetColumnWidth(double v) { m_columnWidth = v; }
    double ColumnGap() const { return m_columnGap; }
    void SetColumnGap(double v) { m_columnGap = v; }
    // Setting the dataset sets DataSetName to its user name (empty when cleared).
    TfrxDataSet *DataSet() const;
    void SetDataSet(TfrxDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);
    bool FooterAfterEach() const { return m_footerAfterEach; }
    void SetFooterAfterEach(bool v) { m_footerAfterEach = v; }
    bool KeepFooter() const { return m_keepFooter; }
    void SetKeepFooter(bool v) { m_keepFooter = v; }
    bool KeepHeader() const { return m_keepHeader; }
    void SetKeepHeader(bool v) { m_keepHeader = v; }
    bool KeepTogether() const { return m_keepTogether; }
    void SetKeepTogether(bool v) { m_keepTogether = v; }
    const QString &OutlineText() const { return m_outlineText; }
    void SetOutlineText(const QString &v) { m_outlineText = v; }
    bool PrintIfDetailEmpty() const { return m_printIfDetailEmpty; }
    void SetPrintIfDetailEmpty(bool v) { m_printIfDetailEmpty = v; }
    // Records of the private counting dataset when the band has no dataset.
    int RowCount() const { return m_rowCount; }
    void SetRowCount(int v);
    QString OnMasterDetail;

    // The private counting dataset: made by CreateVirtualDataSet when that is set (the
    // datasets code installs it; the dataset must have no owner, the band frees it), its
    // count kept by SetVirtualRecordCount.
    TfrxDataSet *VirtualDataSet() const { return m_virtualDataSet.get(); }
    static std::function<TfrxDataSet *(TfrxDataBand *)> CreateVirtualDataSet;
    static std::function<void(TfrxDataSet *, int)> SetVirtualRecordCount;

private:
    int m_columns = 0;
    double m_columnWidth = 0;
    double m_columnGap = 0;
    TfrxRef<TfrxDataSet> m_dataSet;
    QString m_dataSetName;
    bool m_footerAfterEach = false;
    bool m_keepFooter = false;
    bool m_keepHeader = false;
    QString m_outlineText;
    bool m_printIfDetailEmpty = false;
    int m_rowCount = 0;
    std::unique_ptr<TfrxDataSet> m_virtualDataSet;
};

class TfrxMasterData : public TfrxDataBand {
    TW_OBJECT(TfrxMasterData)
    using TfrxDataBand::TfrxDataBand;
};

class TfrxDetailData : public TfrxDataBand {
    TW_OBJECT(TfrxDetailData)
    using TfrxDataBand::TfrxDataBand;
};

class TfrxSubdetailData : public TfrxDataBand {
    TW_OBJECT(TfrxSubdetailData)
    using TfrxDataBand::TfrxDataBand;
};

class TfrxDataBand4 : public TfrxDataBand {
    TW_OBJECT(TfrxDataBand4)
    using TfrxDataBand::TfrxDataBand;
};

class TfrxDataBand5 : public TfrxDataBand {
    TW_OBJECT(TfrxDataBand5)
    using TfrxDataBand::TfrxDataBand;
};

class TfrxDataBand6 : public TfrxDataBand {
    TW_OBJECT(TfrxDataBand6)
    using TfrxDataBand::TfrxDataBand;
};

class TfrxGroupHeader : public TfrxBand {
    TW_OBJECT(TfrxGroupHeader)
    using TfrxBand::TfrxBand;
    // The group breaks when the value of this expression changes.
    QString Condition;
    bool DrillDown = false;
    bool ExpandDrillDown = false;
    QString OutlineText;
    bool ResetPageNumbers = false;
    bool ShowFooterIfDrillDown = false;
    bool ShowChildIfDrillDown = false;
    QString DrillName;
    bool KeepTogether() const { return m_keepTogether; }
    void SetKeepTogether(bool v) { m_keepTogether = v; }
    bool ReprintOnNewPage() const { return m_reprintOnNewPage; }
    void SetReprintOnNewPage(bool v) { m_reprintOnNewPage = v; }
};

class TfrxGroupFooter : public TfrxBand {
    TW_OBJECT(TfrxGroupFooter)
    using TfrxBand::TfrxBand;
    bool HideIfSingleDataRecord = false;
};

class TfrxChild : public TfrxBand {
    TW_OBJECT(TfrxChild)
    using TfrxBand::TfrxBand;
};

class TfrxColumnHeader : public TfrxBand {
    TW_OBJECT(TfrxColumnHeader)
    using TfrxBand::TfrxBand;
};

class TfrxColumnFooter : public TfrxBand {
    TW_OBJECT(TfrxColumnFooter)
    using TfrxBand::TfrxBand;
};

class TfrxOverlay : public TfrxBand {
    TW_OBJECT(TfrxOverlay)
    using TfrxBand::TfrxBand;
    bool PrintOnTop() const { return m_printOnTop; }
    void SetPrintOnTop(bool v) { m_printOnTop = v; }
};

class TfrxNullBand : public TfrxBand {
    TW_OBJECT(TfrxNullBand)
    using TfrxBand::TfrxBand;
};

// The engine's band table in order: TfrxReportTitle ... TfrxOverlay.
const QList<const ClassInfo *> &frxBands();

} // namespace tw
