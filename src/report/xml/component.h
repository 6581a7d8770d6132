#pragma once

#include "base/metadata.h"
#include "report/xml/componentstream.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace tw {

class TfrxXMLSerializer;

// Receives the non-published values of an object (its "defined properties"). While
// writing, each value with data is written; while reading, the entry of that name is
// handed to its reader.
class TfrxFiler {
public:
    using Reader = std::function<void(TfrxComponentReader &)>;
    using Writer = std::function<void(TfrxComponentWriter &)>;
    virtual ~TfrxFiler() = default;
    virtual void DefineProperty(const QString &name, Reader reader, Writer writer, bool hasData) = 0;
    // The serializer at work; its Owner is the root names are resolved against.
    virtual TfrxXMLSerializer *Serializer() const = 0;
};

// Objects with data outside their published properties implement this.
class TfrxDefinedProperties {
public:
    virtual ~TfrxDefinedProperties() = default;
    virtual void DefineProperties(TfrxFiler &filer) = 0;
};

// A list of persistent items (datasets, variables, parameters) stored in PropData.
class TfrxCollection {
public:
    virtual ~TfrxCollection() = default;
    virtual int Count() const = 0;
    virtual Object *Item(int index) const = 0;
    virtual Object *AddItem() = 0;
    virtual void ClearItems() = 0;
};

// Owned, named component: the owner destroys what it owns. Subclasses tell the serializer
// what it needs to know through the virtual functions below.
class Component : public Object, public TfrxDefinedProperties {
    TW_OBJECT(Component)

    explicit Component(Component *owner = nullptr);
    ~Component() override;
    Component(const Component &) = delete;
    Component &operator=(const Component &) = delete;

    const QString &Name() const { return m_name; }
    virtual void SetName(const QString &name) { m_name = name; }
    Component *Owner() const { return m_owner; }
    const QList<Component *> &Components() const { return m_components; }
    int ComponentCount() const { return int(m_components.size()); }
    // An owned component by name ignoring case (an empty name finds nothing).
    Component *FindComponent(const QString &name) const;
    void InsertComponent(Component *c);
    void RemoveComponent(Component *c);

    // Transient states set by the serializer.
    bool IsLoading() const { return m_loading; }
    void SetLoading(bool v) { m_loading = v; }
    bool IsWriting() const { return m_writing; }
    void SetWriting(bool v) { m_writing = v; }
    // After-load notification.
    virtual void Loaded() {}

    enum class ContainerKind { None, Host, Frame }; // Host: a form or data module
    virtual ContainerKind containerKind() const { return ContainerKind::None; }
    virtual bool isReport() const { return false; }
    using Object::asComponent;
    Component *asComponent() override { return this; }
    // Comes from the parent report of an inherited template.
    virtual bool isInherited() const { return false; }
    // The children written as child elements, in order.
    virtual QList<Component *> serializedChildren() const { return {}; }
    // A memo keeps its text outside its published properties: lines joined by CR LF.
    virtual bool hasMemoText() const { return false; }
    virtual QString memoText() const { return QString(); }
    virtual void setMemoText(const QString &) {}
    // A report object of that name anywhere below (ignoring case), or nullptr.
    virtual Component *findObject(const QString &name) const;
    // Collections that also come as child elements of their own, one "item" element per
    // item holding its attribute string ("<Formats><item Kind="fkNumeric"/></Formats>"):
    // the collection an element of that name fills (ignoring case), or nullptr.
    virtual TfrxCollection *elementCollection(const QString &) { return nullptr; }
    // Those written back as such elements, in order, before the child components.
    virtual QList<QPair<QString, const TfrxCollection *>> writtenElementCollections() const { return {}; }

    // Host design position (non-published Left and Top, written when not zero).
    int designLeft() const { return m_designLeft; }
    int designTop() const { return m_designTop; }
    void setDesignPosition(int left, int top)
    {
        m_designLeft = left;
        m_designTop = top;
    }
    void DefineProperties(TfrxFiler &filer) override;

    // The host's global containers (forms, data modules) that references reach by name.
    static void registerGlobalContainer(Component *c);
    static void unregisterGlobalContainer(Component *c);
    static Component *findGlobalContainer(const QString &name);

private:
    QString m_name;
    Component *m_owner = nullptr;
    QList<Component *> m_components;
    int m_designLeft = 0;
    int m_designTop = 0;
    bool m_loading = false;
    bool m_writing = false;
};

} // namespace tw
