#pragma once

#include "base/object.h"
#include "base/variant.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <type_traits>

namespace tw {

// Published property metadata: the one description of every serializable class, read by
// the report serializer, the script's host class registry and the prepared-page diffs.

enum class PropKind {
    Integer,
    Char,
    WideChar,
    Enumeration, // Boolean included
    Set,         // ordinal value is the bit mask: element i is bit i
    Int64,
    Float,
    String,
    WideString,
    Variant,
    ObjectRef,      // reference to a component held elsewhere
    Nested,         // owned nested object (Font, Frame ...) with its own properties
    StringList,     // lines; get/set over the whole text, each line followed by CR LF
    WideStringList, // as StringList, but written by its owner rather than by the serializer
    Event,          // host event handler; never serialized
};

// An enumeration type described once: value i is names[i].
struct EnumInfo {
    QString name;
    QStringList names;

    // The ordinal of an identifier matched ignoring case, or -1.
    int valueOf(const QString &ident) const;
    // The identifier of an ordinal; empty when out of range.
    QString nameOf(qint64 value) const;
    // Set helpers: the identifiers of the bits of a mask, and the mask of identifiers
    // (-1 when one is unknown).
    QStringList setNames(qint64 mask) const;
    qint64 setMask(const QStringList &idents) const;
};

// False and True.
const EnumInfo &booleanEnum();

// Value names for an EnumInfo written as a list of literals.
QStringList enumNames(std::initializer_list<const char *> list);

enum class StoredRule { Always, Never, Predicate };

struct ClassInfo;

struct PropInfo {
    QString name;
    PropKind kind = PropKind::Integer;
    QString typeName;                    // "Integer", "TfrxHAlign", "TFont" ...
    const EnumInfo *enumInfo = nullptr;  // enumeration type, or the element type of a set
    const ClassInfo *classInfo = nullptr; // ObjectRef and Nested: the class of the value
    std::function<Variant(const Object *)> getter;
    std::function<void(Object *, const Variant &)> setter; // empty: read-only
    StoredRule stored = StoredRule::Always;
    std::function<bool(const Object *)> storedPredicate;
    std::optional<qint64> defaultValue; // ordinal kinds only

    bool hasSetter() const { return bool(setter); }
    bool isStored(const Object *obj) const;
    bool isOrdinal() const;
    Variant get(const Object *obj) const { return getter ? getter(obj) : Variant(); }
    void set(Object *obj, const Variant &value) const;
    // Ordinal kinds: the value as an integer (False 0, True 1, a character its code).
    qint64 ordinal(const Object *obj) const;
    void setOrdinal(Object *obj, qint64 value) const;
    // ObjectRef and Nested: the object held, or nullptr.
    Object *object(const Object *obj) const;
};

// Component style flags of a class.
enum ComponentStyle : unsigned {
    csPreviewVisible = 1,
    csDefaultDiff = 2,
};

struct ClassInfo {
    using Factory = std::function<Object *(Object *owner, Object *parent)>;

    ClassInfo(QString name, const ClassInfo *parent) : name(std::move(name)), parent(parent) {}
    ClassInfo(const ClassInfo &) = delete;
    ClassInfo &operator=(const ClassInfo &) = delete;

    QString name;
    const ClassInfo *parent = nullptr;
    Factory factory; // empty for abstract classes
    unsigned style = 0;
    QList<PropInfo> ownProperties; // in declaration order

    // The parent's list followed by the own additions; an entry the parent already has
    // keeps the parent's position.
    const QList<const PropInfo *> &properties() const;
    // By name ignoring case, or nullptr.
    const PropInfo *findProperty(const QString &propName) const;
    bool inheritsFrom(const ClassInfo *other) const;
    bool inheritsFrom(const QString &className) const;
    // A new object from the factory; nullptr for an abstract class.
    Object *create(Object *owner, Object *parentObject) const;

private:
    void build() const;
    mutable std::once_flag m_once;
    mutable QList<const PropInfo *> m_all;
    mutable QHash<QString, int> m_index; // upper-cased name -> position in m_all
    mutable QHash<QString, int> m_exact; // declared spellings -> position in m_all
};

// Classes registered by name (looked up ignoring case).
void registerClass(const ClassInfo *info);
void unregisterClass(const ClassInfo *info);
const ClassInfo *findClass(const QString &name);
QList<const ClassInfo *> registeredClasses();

// Whether the object's class is, or derives from, the given one.
bool objectInherits(const Object *obj, const ClassInfo *info);

// Builds the property entries of class T from its member functions.
//   TW_BEGIN_CLASS ... ClassBuilder<T>(info).integer("Tag", &T::tag, &T::setTag, 0) ...
// Getters take no argument; setters take one; nullptr means no setter.
template <class T>
class ClassBuilder {
public:
    explicit ClassBuilder(ClassInfo &info) : m_info(info) {}

    ClassBuilder &factory(ClassInfo::Factory f)
    {
        m_info.factory = std::move(f);
        return *this;
    }
    ClassBuilder &style(unsigned flags)
    {
        m_info.style = flags;
        return *this;
    }
    ClassBuilder &property(PropInfo p)
    {
        m_info.ownProperties.append(std::move(p));
        return *this;
    }
    // The stored rule of the property added last.
    ClassBuilder &stored(bool always)
    {
        m_info.ownProperties.last().stored = always ? StoredRule::Always : StoredRule::Never;
        return *this;
    }
    template <class Pred>
    ClassBuilder &storedIf(Pred pred)
    {
        PropInfo &p = m_info.ownProperties.last();
        p.stored = StoredRule::Predicate;
        p.storedPredicate = [pred](const Object *o) { return std::invoke(pred, static_cast<const T *>(o)); };
        return *this;
    }

    template <class G, class S>
    ClassBuilder &integer(const QString &name, G get, S set, std::optional<qint64> def = std::nullopt)
    {
        return ordinal(name, PropKind::Integer, QStringLiteral("Integer"), nullptr, get, set, def);
    }
    template <class G, class S>
    ClassBuilder &int64(const QString &name, G get, S set, std::optional<qint64> def = std::nullopt)
    {
        return ordinal(name, PropKind::Int64, QStringLiteral("Int64"), nullptr, get, set, def);
    }
    template <class G, class S>
    ClassBuilder &character(const QString &name, G get, S set, std::optional<qint64> def = std::nullopt)
    {
        PropInfo p = makeProp(name, PropKind::Char, QStringLiteral("Char"));
        p.getter = [get](const Object *o) { return Variant(QChar(char16_t(std::invoke(get, static_cast<const T *>(o))))); };
        setSetter(p, set, [](const Variant &v) { return v.toString().isEmpty() ? QChar() : v.toString().at(0); });
        p.defaultValue = def;
        return property(std::move(p));
    }
    template <class G, class S>
    ClassBuilder &boolean(const QString &name, G get, S set, std::optional<bool> def = std::nullopt)
    {
        PropInfo p = makeProp(name, PropKind::Enumeration, QStringLiteral("Boolean"));
        p.enumInfo = &booleanEnum();
        p.getter = [get](const Object *o) { return Variant(bool(std::invoke(get, static_cast<const T *>(o)))); };
        setSetter(p, set, [](const Variant &v) { return v.toBool(); });
        if (def)
            p.defaultValue = *def ? 1 : 0;
        return property(std::move(p));
    }
    template <class G, class S>
    ClassBuilder &enumeration(const QString &name, const EnumInfo &type, G get, S set,
                              std::optional<qint64> def = std::nullopt)
    {
        return ordinal(name, PropKind::Enumeration, type.name, &type, get, set, def);
    }
    // A set: getter and setter over the bit mask.
    template <class G, class S>
    ClassBuilder &set(const QString &name, const QString &typeName, const EnumInfo &elements, G get, S set,
                      std::optional<qint64> def = std::nullopt)
    {
        return ordinal(name, PropKind::Set, typeName, &elements, get, set, def);
    }
    template <class G, class S>
    ClassBuilder &floating(const QString &name, G get, S set)
    {
        PropInfo p = makeProp(name, PropKind::Float, QStringLiteral("Extended"));
        p.getter = [get](const Object *o) { return Variant(double(std::invoke(get, static_cast<const T *>(o)))); };
        setSetter(p, set, [](const Variant &v) { return v.toDouble(); });
        return property(std::move(p));
    }
    template <class G, class S>
    ClassBuilder &string(const QString &name, G get, S set, PropKind kind = PropKind::String)
    {
        PropInfo p = makeProp(name, kind, kind == PropKind::WideString ? QStringLiteral("WideString") : QStringLiteral("String"));
        p.getter = [get](const Object *o) { return Variant(QString(std::invoke(get, static_cast<const T *>(o)))); };
        setSetter(p, set, [](const Variant &v) { return v.toText(); });
        return property(std::move(p));
    }
    template <class G, class S>
    ClassBuilder &variant(const QString &name, G get, S set)
    {
        PropInfo p = makeProp(name, PropKind::Variant, QStringLiteral("Variant"));
        p.getter = [get](const Object *o) { return Variant(std::invoke(get, static_cast<const T *>(o))); };
        setSetter(p, set, [](const Variant &v) { return v; });
        return property(std::move(p));
    }
    // A reference to an object of the given class (getter returns a pointer to it).
    template <class V, class G, class S>
    ClassBuilder &reference(const QString &name, const ClassInfo &type, G get, S set)
    {
        PropInfo p = makeProp(name, PropKind::ObjectRef, type.name);
        p.classInfo = &type;
        p.getter = [get](const Object *o) {
            return Variant::fromObject(const_cast<Object *>(static_cast<const Object *>(std::invoke(get, static_cast<const T *>(o)))));
        };
        setSetter(p, set, [](const Variant &v) { return dynamic_cast<V *>(v.toObject()); });
        return property(std::move(p));
    }
    // An owned nested object; its properties are reached through it, so no setter.
    template <class G>
    ClassBuilder &nested(const QString &name, const ClassInfo &type, G get)
    {
        PropInfo p = makeProp(name, PropKind::Nested, type.name);
        p.classInfo = &type;
        p.getter = [get](const Object *o) {
            return Variant::fromObject(const_cast<Object *>(static_cast<const Object *>(std::invoke(get, static_cast<const T *>(o)))));
        };
        return property(std::move(p));
    }
    // Lines as one text (each line followed by CR LF).
    template <class G, class S>
    ClassBuilder &stringList(const QString &name, G get, S set, PropKind kind = PropKind::StringList)
    {
        PropInfo p = makeProp(name, kind, kind == PropKind::WideStringList ? QStringLiteral("TWideStrings") : QStringLiteral("TStrings"));
        p.getter = [get](const Object *o) { return Variant(QString(std::invoke(get, static_cast<const T *>(o)))); };
        setSetter(p, set, [](const Variant &v) { return v.toText(); });
        return property(std::move(p));
    }
    template <class G, class S>
    ClassBuilder &event(const QString &name, G get, S set)
    {
        PropInfo p = makeProp(name, PropKind::Event, QStringLiteral("TNotifyEvent"));
        p.getter = [get](const Object *o) { return Variant(QString(std::invoke(get, static_cast<const T *>(o)))); };
        setSetter(p, set, [](const Variant &v) { return v.toText(); });
        return property(std::move(p));
    }

private:
    static PropInfo makeProp(const QString &name, PropKind kind, const QString &typeName)
    {
        PropInfo p;
        p.name = name;
        p.kind = kind;
        p.typeName = typeName;
        return p;
    }
    template <class S, class Conv>
    static void setSetter(PropInfo &p, S set, Conv conv)
    {
        if constexpr (!std::is_same_v<S, std::nullptr_t>)
            p.setter = [set, conv](Object *o, const Variant &v) { std::invoke(set, static_cast<T *>(o), conv(v)); };
    }
    template <class G, class S>
    ClassBuilder &ordinal(const QString &name, PropKind kind, const QString &typeName, const EnumInfo *type,
                          G get, S set, std::optional<qint64> def)
    {
        PropInfo p = makeProp(name, kind, typeName);
        p.enumInfo = type;
        using R = std::decay_t<decltype(std::invoke(get, std::declval<const T *>()))>;
        p.getter = [get](const Object *o) {
            const R r = std::invoke(get, static_cast<const T *>(o));
            if constexpr (kind_is_64<R>())
                return Variant(qint64(r));
            else
                return Variant(int(r));
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>)
            p.setter = [set](Object *o, const Variant &v) { std::invoke(set, static_cast<T *>(o), static_cast<R>(v.toInt64())); };
        p.defaultValue = def;
        return property(std::move(p));
    }
    template <class R>
    static constexpr bool kind_is_64()
    {
        if constexpr (std::is_enum_v<R>)
            return false;
        else
            return sizeof(R) > 4;
    }

    ClassInfo &m_info;
};

} // namespace tw

// Gives a class its descriptor: put at the top of the class body (leaves access public).
#define TW_OBJECT(Cls)                                                                   \
public:                                                                                  \
    static const ::tw::ClassInfo &staticClassInfo();                                    \
    const ::tw::ClassInfo *classInfo() const override { return &staticClassInfo(); }

// Defines Cls::staticClassInfo(); the body fills `info` (a ClassInfo) once, e.g. with
// ClassBuilder<Cls>(info)...
#define TW_DEFINE_CLASS(Cls, ParentInfo)                                                 \
    static void tw_fill_##Cls(::tw::ClassInfo &info);                                    \
    const ::tw::ClassInfo &Cls::staticClassInfo()                                        \
    {                                                                                    \
        static ::tw::ClassInfo *info = [] {                                              \
            auto *ci = new ::tw::ClassInfo(QStringLiteral(#Cls), ParentInfo);             \
            tw_fill_##Cls(*ci);                                                          \
            return ci;                                                                   \
        }();                                                                             \
        return *info;                                                                    \
    }                                                                                    \
    static void tw_fill_##Cls([[maybe_unused]] ::tw::ClassInfo &info)
