#pragma once

#include "base/error.h"
#include "base/formatsettings.h"
#include "base/metadata.h"
#include "report/xml/component.h"
#include "report/xml/componentstream.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QIODevice;

namespace tw {

class TfrxXMLItem;

// A class name that is not registered, raised by ReadComponentStr.
TW_DECLARE_ERROR(EClassNotFound, Error)

// A pending object reference: the property is set once the named component is known.
struct TfrxFixupItem {
    Object *Obj = nullptr;
    const tw::PropInfo *PropInfo = nullptr;
    QString Value;
};

// A pending reference as it was resolved: found or not.
struct TfrxResolvedReference {
    TfrxFixupItem fixup;
    bool found = false;
};

// The attribute strings of a document that is read again and again, each turned the
// first time into what reading it does: later reads set the same values without going
// through the text. Valid as long as the document's items live.
class TfrxReadPlans {
public:
    TfrxReadPlans();
    ~TfrxReadPlans();
    TfrxReadPlans(const TfrxReadPlans &) = delete;
    TfrxReadPlans &operator=(const TfrxReadPlans &) = delete;

private:
    friend class TfrxXMLSerializer;
    struct Item;
    QHash<const TfrxXMLItem *, std::shared_ptr<Item>> m_items;
};

// Turns components into XML items (properties as attributes) and back, driven by the
// published-property metadata of their classes.
class TfrxXMLSerializer {
public:
    explicit TfrxXMLSerializer(QIODevice *stream = nullptr);

    // Problems met while reading, sorted, each once.
    const QStringList &Errors() const { return m_errors; }
    void AddError(const QString &message);
    const QList<TfrxFixupItem> &Fixups() const { return m_fixups; }
    Component *Owner() const { return m_owner; }
    void SetOwner(Component *owner) { m_owner = owner; }
    QIODevice *Stream() const { return m_stream; }
    void SetStream(QIODevice *stream) { m_stream = stream; }
    bool SerializeDefaultValues() const { return m_serializeDefaults; }
    void SetSerializeDefaultValues(bool v) { m_serializeDefaults = v; }
    bool OldFormat() const { return m_oldFormat; }
    void SetOldFormat(bool v) { m_oldFormat = v; }
    std::function<Object *(const QString &name)> OnGetAncestor;
    // Every reference resolved from now on is added to the log (nullptr: none kept).
    void SetReferenceLog(QList<TfrxResolvedReference> *log) { m_referenceLog = log; }
    // Reads documents through these plans (nullptr: parse each attribute string).
    void SetReadPlans(TfrxReadPlans *plans) { m_plans = plans; }
    // Decimal separator of written floats; the process-wide settings unless set.
    void SetFormatSettings(const FormatSettings &fs);

    // The attribute string of an object, each attribute preceded by one space.
    QString ObjToXML(Object *obj, const QString &prefix = QString(), Object *ancestor = nullptr);
    // Applies an attribute string; bad values are collected in Errors.
    void XMLToObj(const QString &text, Object *obj);

    void WriteRootComponent(Component *root, bool saveChildren = true, bool streaming = false,
                            TfrxXMLItem *item = nullptr);
    void ReadRootComponent(Component *root, TfrxXMLItem *item = nullptr);
    // What writing `source` alone (every value, no children) and reading that into
    // `target`, an object of the same class, does, without the text in between: values
    // that would change on the way (rounded floats, entities) change the same way.
    void CopyRootComponent(Component *target, Component *source);
    QString WriteComponentStr(Component *c);
    void WriteComponent(Component *c);
    // A new component owned by root; nullptr for an empty string. EClassNotFound for an
    // unregistered class. With dontFixup the references stay in Fixups (for CopyFixupList)
    // until the next read.
    Component *ReadComponentStr(Component *root, const QString &text, bool dontFixup = false);
    Component *ReadComponent(Component *root);
    void ReadPersistentStr(Component *root, Object *obj, const QString &text);

    void RecordReference(Object *obj, const PropInfo *prop, const QString &value);
    void ResolveReferences();
    // Moves the pending references out.
    void CopyFixupList(QList<TfrxFixupItem> &target);

    // The name a reference to the component is written as.
    QString ReferenceName(const Component *c) const;
    // The component a written name stands for, or nullptr.
    Component *FindReferenced(const QString &name) const;

    // Collections in list form inside PropData.
    void WriteCollection(TfrxComponentWriter &writer, const TfrxCollection &collection);
    void ReadCollection(TfrxComponentReader &reader, TfrxCollection &collection);
    // The same list as an element: one "item" child per item, its text the item's
    // attribute string. Reading clears the collection first; a child of another name adds
    // a "Cannot find class" line.
    void ReadCollectionElement(TfrxXMLItem *element, TfrxCollection &collection);
    void WriteCollectionElement(TfrxXMLItem *element, const TfrxCollection &collection);
    // An object's defined properties as written to PropData; empty when it has none.
    QByteArray propData(Object *obj);

private:
    friend class TfrxReadPlans;
    struct AttributeStep;
    AttributeStep resolveAttribute(Object *obj, const QString &name, const QString &raw);
    bool applyStep(AttributeStep &step, Object *obj);
    void readItem(const TfrxXMLItem *item, Object *obj);
    QString itemName(const TfrxXMLItem *item);
    void writeProperties(Object *obj, const QString &prefix, Object *ancestor, QString &out);
    void applyAttribute(Object *obj, const QString &name, const QString &raw);
    void readPropBytes(Object *obj, QByteArray bytes);
    void applyCaught(Object *obj, const QString &name, const QString &raw);
    // Runs f; what it raises is collected in Errors, as a read collects it.
    template <class F>
    void collectErrors(F &&f)
    {
        try {
            f();
        } catch (const Error &e) {
            AddError(e.message());
        } catch (const std::exception &e) {
            AddError(QString::fromUtf8(e.what()));
        }
    }
    void finishReading(const QList<Component *> &loaded);
    QString writtenValue(Object *obj, const PropInfo *p);
    void copyProperty(Object *target, Object *source, const PropInfo *p);
    void copyObject(Object *target, Object *source);
    void readPropValue(TfrxComponentReader &reader, Object *obj, const PropInfo *prop);
    void writeItem(Component *c, TfrxXMLItem *item, bool isRoot, bool saveChildren, bool streaming);
    void readChildren(TfrxXMLItem *item, Component *parent, QList<Component *> &loaded);
    QString floatText(double v) const;
    void dropHeldFixups();
    void addClassNotFound(const QString &className);

    QStringList m_errors;
    QList<TfrxFixupItem> m_fixups;
    Component *m_owner = nullptr;
    QIODevice *m_stream = nullptr;
    bool m_serializeDefaults = false;
    bool m_oldFormat = false;
    bool m_haveFormat = false;
    bool m_keptFixups = false;
    FormatSettings m_format;
    TfrxReadPlans *m_plans = nullptr;
    QList<TfrxResolvedReference> *m_referenceLog = nullptr;
};

} // namespace tw
