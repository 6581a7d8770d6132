#pragma once

#include "report/model/frame.h"
#include "report/model/component.h"
#include "report/model/viewsdataset.h"

#include <QString>

namespace tw {

class TfrxReportPage;

enum class TfrxAlign { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baClient };
enum class TfrxShiftMode { smDontShift, smAlways, smWhenOverlapped };
enum class TfrxStretchMode { smDontStretch, smActualHeight, smMaxHeight };
enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum class TfrxShapeKind { skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond, skDiagonal1, skDiagonal2 };

const EnumInfo &alignEnum();       // TfrxAlign
const EnumInfo &shiftModeEnum();   // TfrxShiftMode
const EnumInfo &stretchModeEnum(); // TfrxStretchMode
const EnumInfo &brushStyleEnum();  // TBrushStyle
const EnumInfo &shapeKindEnum();   // TfrxShapeKind

// Base of every printable object placed on a band. The members below exist on every
// view; each class publishes those it uses, in its own order.
class TfrxView : public TfrxReportComponent {
    TW_OBJECT(TfrxView)
    explicit TfrxView(Component *owner = nullptr);

    TfrxAlign Align() const { return m_align; }
    void SetAlign(TfrxAlign v) { m_align = v; }
    bool Printable() const { return m_printable; }
    void SetPrintable(bool v) { m_printable = v; }
    TfrxShiftMode ShiftMode() const { return m_shiftMode; }
    void SetShiftMode(TfrxShiftMode v) { m_shiftMode = v; }
    const QString &Hint() const { return m_hint; }
    void SetHint(const QString &v) { m_hint = v; }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool v) { m_showHint = v; }

    int Color() const { return m_color; }
    virtual void SetColor(int v) { m_color = v; }
    TBrushStyle BrushStyle() const { return m_brushStyle; }
    void SetBrushStyle(TBrushStyle v) { m_brushStyle = v; }
    TfrxFrame *Frame() const { return const_cast<TfrxFrame *>(&m_frame); }
    void SetFrame(const TfrxFrame &v) { m_frame.Assign(v); }
    int Cursor() const { return m_cursor; }
    void SetCursor(int v) { m_cursor = v; }
    const QString &TagStr() const { return m_tagStr; }
    void SetTagStr(const QString &v) { m_tagStr = v; }
    const QString &URL() const { return m_url; }
    void SetURL(const QString &v) { m_url = v; }

    // Setting the dataset names it; clearing it empties the name. While a dataset is
    // referenced, its user name is the view's dataset name. Setting a name looks the
    // dataset up (frxFindDataSet).
    TfrxDataSet *DataSet() const { return m_dataSet.get(); }
    void SetDataSet(TfrxDataSet *v);
    QString DataSetName() const;
    void SetDataSetName(const QString &v);
    const QString &DataField() const { return m_dataField; }
    void SetDataField(const QString &v) { m_dataField = v; }
    // Bound to a field of a dataset.
    bool IsDataField() const { return DataSet() && !m_dataField.isEmpty(); }

    // Script procedure names.
    QString OnAfterData, OnAfterPrint, OnBeforePrint, OnPreviewClick, OnPreviewDblClick;

    // A run changes a view only for the current output: BeforePrint keeps the bounds,
    // TagStr and URL, AfterPrint puts them back.
    void BeforePrint() override;
    void AfterPrint() override;
    // Evaluates the [...] expressions of TagStr and URL.
    void GetData() override;


private:
    TfrxAlign m_align = TfrxAlign::baNone;
    bool m_printable = true;
    TfrxShiftMode m_shiftMode = TfrxShiftMode::smAlways;
    QString m_hint;
    bool m_showHint = false;
    int m_color = clTransparent;
    TBrushStyle m_brushStyle = TBrushStyle::bsSolid;
    TfrxFrame m_frame;
    int m_cursor = 0;
    QString m_tagStr;
    QString m_url;
    TfrxRef<TfrxDataSet> m_dataSet;
    QString m_dataSetName;
    QString m_dataField;
    struct Saved {
        double left = 0, top = 0, width = 0, height = 0;
        QString tagStr, url;
    } m_saved;
};

// A view whose height may follow its content.
class TfrxStretcheable : public TfrxView {
    TW_OBJECT(TfrxStretcheable)
    using TfrxView::TfrxView;

    TfrxStretchMode StretchMode() const { return m_stretchMode; }
    void SetStretchMode(TfrxStretchMode v) { m_stretchMode = v; }

    // Layout hooks; a plain stretcheable view keeps its design height and has one part.
    virtual double CalcHeight() { return Height(); }
    virtual double DrawPart() { return 0; }
    virtual void InitPart() {}
    virtual bool HasNextDataPart() const { return false; }

private:
    TfrxStretchMode m_stretchMode = TfrxStretchMode::smDontStretch;
};

class TfrxCustomLineView : public TfrxStretcheable {
    TW_OBJECT(TfrxCustomLineView)
    explicit TfrxCustomLineView(Component *owner = nullptr);

    bool ArrowEnd() const { return m_arrowEnd; }
    void SetArrowEnd(bool v) { m_arrowEnd = v; }
    int ArrowLength() const { return m_arrowLength; }
    void SetArrowLength(int v) { m_arrowLength = v; }
    bool ArrowSolid() const { return m_arrowSolid; }
    void SetArrowSolid(bool v) { m_arrowSolid = v; }
    bool ArrowStart() const { return m_arrowStart; }
    void SetArrowStart(bool v) { m_arrowStart = v; }
    int ArrowWidth() const { return m_arrowWidth; }
    void SetArrowWidth(int v) { m_arrowWidth = v; }
    bool Diagonal() const { return m_diagonal; }
    void SetDiagonal(bool v) { m_diagonal = v; }


private:
    bool m_arrowEnd = false;
    int m_arrowLength = 20;
    bool m_arrowSolid = false;
    bool m_arrowStart = false;
    int m_arrowWidth = 5;
    bool m_diagonal = false;
};

class TfrxLineView : public TfrxCustomLineView {
    TW_OBJECT(TfrxLineView)
    using TfrxCustomLineView::TfrxCustomLineView;
};

class TfrxShapeView : public TfrxView {
    TW_OBJECT(TfrxShapeView)
    using TfrxView::TfrxView;

    int Curve() const { return m_curve; }
    void SetCurve(int v) { m_curve = v; }
    TfrxShapeKind Shape() const { return m_shape; }
    void SetShape(TfrxShapeKind v) { m_shape = v; }

private:
    int m_curve = 0;
    TfrxShapeKind m_shape = TfrxShapeKind::skRectangle;
};

// Prints the bands of another report page in its place.
class TfrxSubreport : public TfrxView {
    TW_OBJECT(TfrxSubreport)
    explicit TfrxSubreport(Component *owner = nullptr);

    TfrxReportPage *Page() const;
    // Also makes this view the page's SubReport.
    void SetPage(TfrxReportPage *page);
    bool PrintOnParent() const { return m_printOnParent; }
    void SetPrintOnParent(bool v) { m_printOnParent = v; }

private:
    TfrxRef<TfrxReportPage> m_page;
    bool m_printOnParent = false;
};

// Publishes on a class the view properties of the given names, in that order: the common
// block ("Align" ... "ShowHint", see viewCommonProperties) and the shared members
// (StretchMode, Cursor, TagStr, URL, BrushStyle, Color, Frame, Font, ParentFont,
// DataField, DataSet, DataSetName).
void publishViewProperties(ClassInfo &info, const QStringList &names);
// Align, Printable, ShiftMode, Left, Top, Width, Height, GroupIndex, Restrictions, Visible,
// the five script events, Hint, ShowHint.
const QStringList &viewCommonProperties();

// Registers the view classes of this header and of the memo, picture, check box,
// dot-matrix and dialog-control headers (idempotent).
void registerViewClasses();

} // namespace tw
