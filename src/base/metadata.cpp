#include "base/metadata.h"

#include "base/error.h"
#include "base/sametext.h"

#include <QMutex>

namespace tw {

QStringList enumNames(std::initializer_list<const char *> list)
{
    QStringList out;
    out.reserve(qsizetype(list.size()));
    for (const char *s : list)
        out.append(QLatin1String(s));
    return out;
}

int EnumInfo::valueOf(const QString &ident) const
{
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(ident, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString EnumInfo::nameOf(qint64 value) const
{
    return value >= 0 && value < names.size() ? names[int(value)] : QString();
}

QStringList EnumInfo::setNames(qint64 mask) const
{
    QStringList r;
    for (int i = 0; i < names.size() && i < 64; ++i)
        if (mask & (qint64(1) << i))
            r << names[i];
    return r;
}

qint64 EnumInfo::setMask(const QStringList &idents) const
{
    qint64 mask = 0;
    for (const QString &id : idents) {
        const int v = valueOf(id);
        if (v < 0 || v >= 64)
            return -1;
        mask |= qint64(1) << v;
    }
    return mask;
}

const EnumInfo &booleanEnum()
{
    static const EnumInfo info{QStringLiteral("Boolean"), {QStringLiteral("False"), QStringLiteral("True")}};
    return info;
}

bool PropInfo::isStored(const Object *obj) const
{
    switch (stored) {
    case StoredRule::Always: return true;
    case StoredRule::Never: return false;
    case StoredRule::Predicate: return storedPredicate ? storedPredicate(obj) : true;
    }
    return true;
}

bool PropInfo::isOrdinal() const
{
    switch (kind) {
    case PropKind::Integer:
    case PropKind::Char:
    case PropKind::WideChar:
    case PropKind::Enumeration:
    case PropKind::Set:
    case PropKind::Int64: return true;
    default: return false;
    }
}

void PropInfo::set(Object *obj, const Variant &value) const
{
    if (!setter)
        throw EVariantError(QStringLiteral("Property %1 is read-only").arg(name));
    setter(obj, value);
}

qint64 PropInfo::ordinal(const Object *obj) const
{
    const Variant v = get(obj);
    switch (v.kind()) {
    case Variant::Kind::Boolean: return v.toBool() ? 1 : 0;
    case Variant::Kind::String: {
        const QString s = v.toString();
        return s.isEmpty() ? 0 : s.at(0).unicode();
    }
    case Variant::Kind::Empty:
    case Variant::Kind::Null: return 0;
    default: return v.toInt64();
    }
}

void PropInfo::setOrdinal(Object *obj, qint64 value) const
{
    if (kind == PropKind::Enumeration && enumInfo == &booleanEnum())
        set(obj, Variant(value != 0));
    else if (kind == PropKind::Char || kind == PropKind::WideChar)
        set(obj, Variant(QChar(char16_t(value))));
    else if (kind == PropKind::Int64 || value > 0x7FFFFFFF || value < -0x7FFFFFFFLL - 1)
        set(obj, Variant(value));
    else
        set(obj, Variant(int(value)));
}

Object *PropInfo::object(const Object *obj) const
{
    if (kind != PropKind::ObjectRef && kind != PropKind::Nested)
        return nullptr;
    const Variant v = get(obj);
    return v.isObject() ? v.toObject() : nullptr;
}

void ClassInfo::build() const
{
    if (parent)
        m_all = parent->properties();
    QHash<QString, int> index;
    for (int i = 0; i < m_all.size(); ++i)
        index.insert(m_all[i]->name.toUpper(), i);
    for (const PropInfo &p : ownProperties) {
        const QString key = p.name.toUpper();
        const auto it = index.constFind(key);
        if (it != index.constEnd()) {
            m_all[*it] = &p;
        } else {
            index.insert(key, int(m_all.size()));
            m_all.append(&p);
        }
    }
    m_index = std::move(index);
    // Names nearly always come spelled as declared (files, the serializer): those skip the
    // upper-casing. Every spelling of the chain maps to the entry that won.
    for (const ClassInfo *c = this; c; c = c->parent)
        for (const PropInfo &p : c->ownProperties)
            if (!m_exact.contains(p.name))
                m_exact.insert(p.name, m_index.value(p.name.toUpper()));
}

const QList<const PropInfo *> &ClassInfo::properties() const
{
    std::call_once(m_once, [this] { build(); });
    return m_all;
}

const PropInfo *ClassInfo::findProperty(const QString &propName) const
{
    properties();
    const auto exact = m_exact.constFind(propName);
    if (exact != m_exact.constEnd())
        return m_all[*exact];
    const auto it = m_index.constFind(upperText(propName));
    return it == m_index.constEnd() ? nullptr : m_all[*it];
}

bool ClassInfo::inheritsFrom(const ClassInfo *other) const
{
    for (const ClassInfo *c = this; c; c = c->parent)
        if (c == other)
            return true;
    return false;
}

bool ClassInfo::inheritsFrom(const QString &className) const
{
    for (const ClassInfo *c = this; c; c = c->parent)
        if (c->name.compare(className, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

Object *ClassInfo::create(Object *owner, Object *parentObject) const
{
    return factory ? factory(owner, parentObject) : nullptr;
}

namespace {
struct Registry {
    QMutex mutex;
    QHash<QString, const ClassInfo *> byName; // upper-cased
    QList<const ClassInfo *> order;
};
Registry &registry()
{
    static Registry r;
    return r;
}
} // namespace

void registerClass(const ClassInfo *info)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    const QString key = info->name.toUpper();
    if (const ClassInfo *old = r.byName.value(key))
        r.order.removeOne(old);
    r.byName.insert(key, info);
    r.order.append(info);
}

void unregisterClass(const ClassInfo *info)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    const QString key = info->name.toUpper();
    if (r.byName.value(key) == info)
        r.byName.remove(key);
    r.order.removeOne(info);
}

const ClassInfo *findClass(const QString &name)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    return r.byName.value(upperText(name));
}

QList<const ClassInfo *> registeredClasses()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    return r.order;
}

bool objectInherits(const Object *obj, const ClassInfo *info)
{
    const ClassInfo *ci = obj ? obj->classInfo() : nullptr;
    return ci && ci->inheritsFrom(info);
}

} // namespace tw
