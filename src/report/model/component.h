#pragma once

#include "base/error.h"
#include "base/metadata.h"
#include "report/model/font.h"
#include "report/xml/component.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QIODevice;

namespace tw {

class TfrxReport;
class TfrxPage;
class TfrxXMLSerializer;

// Another object of the report already has the name: "Duplicate name".
TW_DECLARE_ERROR(EDuplicateName, Error)
// Component naming rules: "''%s'' is not a valid component name",
// "A component named %s already exists".
TW_DECLARE_ERROR(EComponentError, Error)

// Pixels per millimetre, centimetre and inch (96 pixels per inch).
constexpr double fr01cm = 3.77953;
constexpr double fr1cm = 37.7953;
constexpr double fr01in = 9.6;
constexpr double fr1in = 96;

constexpr int clTransparent = 0x1FFFFFFF;
constexpr int clNone = 0x1FFFFFFF;

// Designer restrictions as a bit mask.
enum TfrxRestriction : int {
    rfDontModify = 1, rfDontSize = 2, rfDontMove = 4, rfDontDelete = 8, rfDontEdit = 16
};
const EnumInfo &frxRestrictionsEnum(); // rfDontModify ... rfDontEdit, type "TfrxRestrictions"

// Instance style flag beside the class flags csPreviewVisible and csDefaultDiff.
constexpr int csContainer = 4;

// String-list properties as one text: every line followed by CR LF; reading splits at
// CR LF, CR or LF, and an empty rest after the last break adds no line.
QString frxLinesText(const QStringList &lines);
QStringList frxTextLines(const QString &text);

// A name is a valid identifier: letters, digits and '_', not beginning with a digit.
bool isValidIdent(const QString &name);

// Base of everything in a report. The owner (freeing) is the report; the tree shape is
// Parent and Objects. Left, Top, Width, Height, Font, ParentFont, Visible, Restrictions
// are members here and published by the subclasses in their own order.
class TfrxComponent : public Component {
    TW_OBJECT(TfrxComponent)

    // A TfrxComponent as owner becomes the parent, and its report the owner.
    explicit TfrxComponent(Component *owner = nullptr);
    ~TfrxComponent() override;

    // Tree
    TfrxComponent *Parent() const { return m_parent; }
    virtual void SetParent(TfrxComponent *parent);
    const QList<TfrxComponent *> &Objects() const { return m_objects; }
    // All descendants, depth first, each before its own descendants.
    QList<TfrxComponent *> AllObjects() const;
    virtual QList<TfrxComponent *> ContainerObjects() const { return m_objects; }
    TfrxReport *Report() const; // nearest report walking up from this component itself
    TfrxPage *Page() const;     // nearest page likewise

    // Geometry in pixels, relative to the parent.
    double Left() const { return m_left; }
    virtual void SetLeft(double v) { m_left = v; }
    double Top() const { return m_top; }
    virtual void SetTop(double v) { m_top = v; }
    double Width() const { return m_width; }
    virtual void SetWidth(double v) { m_width = v; }
    double Height() const { return m_height; }
    virtual void SetHeight(double v) { m_height = v; }
    void SetBounds(double left, double top, double width, double height);
    // Sum up the parent chain, stopping below a dialog page.
    double AbsLeft() const;
    double AbsTop() const;

    // Font, taken from the parent while ParentFont is true.
    TFont *Font() const { return const_cast<TFont *>(&m_font); }
    virtual void SetFont(const TFont &font); // copies, ParentFont becomes false
    bool ParentFont() const { return m_parentFont; }
    virtual void SetParentFont(bool v); // true copies the parent's font
    // The font changed: ParentFont false, children with ParentFont take it.
    virtual void NotifyFontChange();

    bool Visible() const { return m_visible; }
    virtual void SetVisible(bool v) { m_visible = v; }
    int Tag() const { return m_tag; }
    void SetTag(int v) { m_tag = v; }
    int Restrictions() const { return m_restrictions; } // TfrxRestriction mask
    void SetRestrictions(int v) { m_restrictions = v; }
    const QString &Description() const { return m_description; }
    void SetDescription(const QString &v) { m_description = v; }
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int v) { m_groupIndex = v; }
    int frComponentStyle() const { return m_componentStyle; }
    void SetfrComponentStyle(int v) { m_componentStyle = v; }

    // Stem of generated names: class name without "Tfrx" and "View".
    virtual QString BaseName() const;
    // Name + smallest n >= 1 not taken in the report (or the parent's subtree).
    void CreateUniqueName();
    // Same name ignoring case: no effect. Raises EDuplicateName ("Duplicate name") when
    // another object of the report has it, clCantRen for an object of the parent report,
    // EComponentError for an invalid identifier or a clash among the owner's components.
    void SetName(const QString &name) override;
    // First object in AllObjects with the name (ignoring case), or nullptr.
    TfrxComponent *FindObject(const QString &name) const;

    // Transient state.
    bool IsAncestor() const { return m_ancestor; }
    void SetIsAncestor(bool v) { m_ancestor = v; }
    bool IsDesigning() const { return m_designing; }
    void SetIsDesigning(bool v) { m_designing = v; }
    bool IsPrinting() const { return m_printing; }
    void SetIsPrinting(bool v) { m_printing = v; }

    // Destroys every child.
    virtual void Clear();
    // Copies the source's stored state (defaults included, children not); this component
    // is cleared first. AssignAll copies the children too.
    void Assign(TfrxComponent *source);
    void AssignAll(TfrxComponent *source, bool streaming = false);
    // This component as the root of an XML document (without its Name).
    virtual void LoadFromStream(QIODevice *stream);
    virtual void SaveToStream(QIODevice *stream, bool saveChildren = true, bool saveDefaultValues = false,
                              bool streaming = false);

    // Run-time hooks the engine calls; nothing by default.
    virtual QString GetDescription() const;
    virtual void AlignChildren() {}
    virtual void BeforeStartReport() {}
    virtual void OnNotify(TfrxComponent *) {}

    // Serializer hooks.
    QList<Component *> serializedChildren() const override;
    Component *findObject(const QString &name) const override;
    bool isInherited() const override { return m_ancestor; }

    // The class name without the given prefix and suffix (when present).
    static QString stripName(const QString &className, const QString &prefix, const QString &suffix);

    // A cell holding this component until it is destroyed, then nullptr (see TfrxRef).
    const std::shared_ptr<TfrxComponent *> &selfCell() const { return m_self; }

protected:
    // Parent's font into this one without giving up ParentFont.
    void applyParentFont();
    // Moves a child to another position of Objects.
    void moveObject(TfrxComponent *child, int index);

private:
    void fontChanged();
    // The objects below, depth first, parents before children, until `stop` answers true;
    // that object, or nullptr.
    TfrxComponent *walkObjects(const std::function<bool(TfrxComponent *)> &stop) const;

    std::shared_ptr<TfrxComponent *> m_self;
    TfrxComponent *m_parent = nullptr;
    QList<TfrxComponent *> m_objects;
    double m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    TFont m_font;
    bool m_parentFont = true;
    bool m_visible = true;
    int m_tag = 0;
    int m_restrictions = 0;
    QString m_description;
    int m_groupIndex = 0;
    int m_componentStyle = 0;
    bool m_ancestor = false;
    bool m_designing = false;
    bool m_printing = false;
    bool m_clearing = false;
};

// Base of views, bands and data components; adds the published Description and the
// run-time operations of the engine.
class TfrxReportComponent : public TfrxComponent {
    TW_OBJECT(TfrxReportComponent)
    using TfrxComponent::TfrxComponent;

    // Run-time steps of the engine around the output of the component.
    virtual void BeforePrint() {}
    virtual void GetData() {}
    virtual void AfterPrint() {}
    // The text the script's and the engine's text lookups see (a memo's text).
    virtual QString GetComponentText() const { return QString(); }
};

// A reference to a component that becomes null when the component is destroyed, for
// properties such as DataSet or Child that point at objects owned elsewhere.
template <class T>
class TfrxRef {
public:
    TfrxRef() = default;
    TfrxRef(T *p) { reset(p); }
    T *get() const { return m_cell && *m_cell ? static_cast<T *>(*m_cell) : nullptr; }
    void reset(T *p = nullptr)
    {
        if (p)
            m_cell = p->selfCell();
        else
            m_cell.reset();
    }
    TfrxRef &operator=(T *p)
    {
        reset(p);
        return *this;
    }
    T *operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    std::shared_ptr<TfrxComponent *> m_cell;
};

// A metadata factory for component classes: with a parent element the object is created
// inside it (owned by its report); with only an owner it is owned but not parented.
template <class T>
ClassInfo::Factory frxFactory()
{
    return [](Object *owner, Object *parent) -> Object * {
        if (auto *p = dynamic_cast<TfrxComponent *>(parent))
            return new T(p);
        T *t = new T(nullptr);
        if (auto *o = dynamic_cast<Component *>(owner))
            o->InsertComponent(t);
        return t;
    };
}

} // namespace tw
