#include "report/xml/component.h"

#include "base/sametext.h"

namespace tw {

TW_DEFINE_CLASS(Component, nullptr)
{
    info.name = QStringLiteral("TComponent");
    ClassBuilder<Component>(info).string(QStringLiteral("Name"), &Component::Name, &Component::SetName);
}

namespace {
QList<Component *> &globalContainers()
{
    static QList<Component *> list;
    return list;
}
} // namespace

Component::Component(Component *owner)
{
    if (owner)
        owner->InsertComponent(this);
}

Component::~Component()
{
    unregisterGlobalContainer(this);
    while (!m_components.isEmpty()) {
        Component *c = m_components.takeLast();
        c->m_owner = nullptr;
        delete c;
    }
    if (m_owner)
        m_owner->RemoveComponent(this);
}

Component *Component::FindComponent(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    for (Component *c : m_components)
        if (sameText(c->m_name, name))
            return c;
    return nullptr;
}

void Component::InsertComponent(Component *c)
{
    if (c->m_owner == this)
        return;
    if (c->m_owner)
        c->m_owner->RemoveComponent(c);
    c->m_owner = this;
    m_components.append(c);
}

void Component::RemoveComponent(Component *c)
{
    if (c->m_owner != this)
        return;
    m_components.removeOne(c);
    c->m_owner = nullptr;
}

Component *Component::findObject(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    QList<Component *> pending = serializedChildren();
    while (!pending.isEmpty()) {
        Component *c = pending.takeFirst();
        if (c->Name().compare(name, Qt::CaseInsensitive) == 0)
            return c;
        pending.append(c->serializedChildren());
    }
    return nullptr;
}

void Component::DefineProperties(TfrxFiler &filer)
{
    filer.DefineProperty(
        QStringLiteral("Left"), [this](TfrxComponentReader &r) { m_designLeft = int(r.ReadInteger()); },
        [this](TfrxComponentWriter &w) { w.WriteInteger(m_designLeft); }, m_designLeft != 0);
    filer.DefineProperty(
        QStringLiteral("Top"), [this](TfrxComponentReader &r) { m_designTop = int(r.ReadInteger()); },
        [this](TfrxComponentWriter &w) { w.WriteInteger(m_designTop); }, m_designTop != 0);
}

void Component::registerGlobalContainer(Component *c)
{
    if (!globalContainers().contains(c))
        globalContainers().append(c);
}

void Component::unregisterGlobalContainer(Component *c)
{
    globalContainers().removeOne(c);
}

Component *Component::findGlobalContainer(const QString &name)
{
    for (Component *c : std::as_const(globalContainers()))
        if (c->Name().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

} // namespace tw
