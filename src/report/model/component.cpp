#include "report/model/component.h"

#include "base/fastcast.h"
#include "base/sametext.h"
#include "report/model/pages.h"
#include "report/model/report.h"
#include "report/xml/resources.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <QBuffer>
#include <QSet>
#include <QVarLengthArray>

namespace tw {

QString frxLinesText(const QStringList &lines)
{
    QString s;
    for (const QString &l : lines)
        s += l + QLatin1String("\r\n");
    return s;
}

QStringList frxTextLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const EnumInfo &frxRestrictionsEnum()
{
    static const EnumInfo e{QStringLiteral("TfrxRestrictions"),
                            {QStringLiteral("rfDontModify"), QStringLiteral("rfDontSize"), QStringLiteral("rfDontMove"),
                             QStringLiteral("rfDontDelete"), QStringLiteral("rfDontEdit")}};
    return e;
}

bool isValidIdent(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        // Letters of any script: templates written on localized systems may use them.
        const QChar c = name[i];
        const bool letter = c.isLetter() || c == QLatin1Char('_');
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!letter && !(digit && i > 0))
            return false;
    }
    return true;
}

TW_DEFINE_CLASS(TfrxComponent, &Component::staticClassInfo())
{
    ClassBuilder<TfrxComponent>(info).integer(QStringLiteral("Tag"), &TfrxComponent::Tag, &TfrxComponent::SetTag, 0);
}

TW_DEFINE_CLASS(TfrxReportComponent, &TfrxComponent::staticClassInfo())
{
    ClassBuilder<TfrxReportComponent>(info).string(QStringLiteral("Description"), &TfrxReportComponent::Description,
                                                   &TfrxReportComponent::SetDescription);
}

namespace {
TfrxComponent *asFrx(Component *c)
{
    return fastCast<TfrxComponent *>(c);
}
} // namespace

TfrxComponent::TfrxComponent(Component *owner)
    : Component(asFrx(owner) ? static_cast<Component *>(asFrx(owner)->Report()) : owner),
      m_self(std::make_shared<TfrxComponent *>(this))
{
    m_font.OnChange = [this] { fontChanged(); };
    if (TfrxComponent *p = asFrx(owner))
        TfrxComponent::SetParent(p);
}

TfrxComponent::~TfrxComponent()
{
    *m_self = nullptr;
    m_font.OnChange = nullptr;
    if (m_parent) {
        m_parent->m_objects.removeOne(this);
        m_parent = nullptr;
    }
    TfrxComponent::Clear();
}

void TfrxComponent::SetParent(TfrxComponent *parent)
{
    if (parent == this)
        return;
    // Refuse to hang a component below its own descendant.
    for (TfrxComponent *p = parent; p; p = p->m_parent)
        if (p == this)
            return;
    if (m_parent != parent) {
        if (m_parent)
            m_parent->m_objects.removeOne(this);
        m_parent = parent;
        if (m_parent)
            m_parent->m_objects.append(this);
    }
    if (m_parentFont)
        applyParentFont();
}

TfrxComponent *TfrxComponent::walkObjects(const std::function<bool(TfrxComponent *)> &stop) const
{
    // An explicit stack: deep trees must not exhaust the call stack.
    QVarLengthArray<std::pair<const TfrxComponent *, qsizetype>, 16> stack{{this, 0}};
    while (!stack.isEmpty()) {
        auto &top = stack.last();
        if (top.second >= top.first->m_objects.size()) {
            stack.removeLast();
            continue;
        }
        TfrxComponent *c = top.first->m_objects.at(top.second++);
        if (stop(c))
            return c;
        stack.append({c, 0});
    }
    return nullptr;
}

QList<TfrxComponent *> TfrxComponent::AllObjects() const
{
    QList<TfrxComponent *> out;
    walkObjects([&out](TfrxComponent *c) {
        out.append(c);
        return false;
    });
    return out;
}

TfrxReport *TfrxComponent::Report() const
{
    for (const TfrxComponent *c = this; c; c = c->m_parent)
        if (c->isReport())
            return const_cast<TfrxReport *>(static_cast<const TfrxReport *>(c));
    return nullptr;
}

TfrxPage *TfrxComponent::Page() const
{
    for (const TfrxComponent *c = this; c; c = c->m_parent)
        if (auto *p = fastCast<const TfrxPage *>(c))
            return const_cast<TfrxPage *>(p);
    return nullptr;
}

void TfrxComponent::SetBounds(double left, double top, double width, double height)
{
    SetLeft(left);
    SetTop(top);
    SetWidth(width);
    SetHeight(height);
}

double TfrxComponent::AbsLeft() const
{
    if (!m_parent || fastCast<const TfrxDialogPage *>(m_parent))
        return m_left;
    return m_parent->AbsLeft() + m_left;
}

double TfrxComponent::AbsTop() const
{
    if (!m_parent || fastCast<const TfrxDialogPage *>(m_parent))
        return m_top;
    return m_parent->AbsTop() + m_top;
}

void TfrxComponent::SetFont(const TFont &font)
{
    m_font.Assign(font); // notifies: ParentFont becomes false
}

void TfrxComponent::SetParentFont(bool v)
{
    if (v && m_parent)
        m_font.Assign(*m_parent->Font());
    m_parentFont = v;
}

void TfrxComponent::applyParentFont()
{
    if (m_parent)
        m_font.Assign(*m_parent->Font());
    m_parentFont = true;
}

void TfrxComponent::moveObject(TfrxComponent *child, int index)
{
    const qsizetype from = m_objects.indexOf(child);
    if (from < 0)
        return;
    m_objects.move(from, qBound(qsizetype(0), qsizetype(index), m_objects.size() - 1));
}

void TfrxComponent::fontChanged()
{
    NotifyFontChange();
}

void TfrxComponent::NotifyFontChange()
{
    m_parentFont = false;
    for (TfrxComponent *c : std::as_const(m_objects))
        if (c->ParentFont())
            c->SetParentFont(true);
}

QString TfrxComponent::stripName(const QString &className, const QString &prefix, const QString &suffix)
{
    QString s = className;
    if (s.startsWith(prefix, Qt::CaseInsensitive))
        s.remove(0, prefix.size());
    if (!suffix.isEmpty() && s.endsWith(suffix, Qt::CaseInsensitive) && s.size() > suffix.size())
        s.chop(suffix.size());
    return s;
}

QString TfrxComponent::BaseName() const
{
    return stripName(classInfo()->name, QStringLiteral("Tfrx"), QStringLiteral("View"));
}

QString TfrxComponent::GetDescription() const
{
    return BaseName();
}

void TfrxComponent::CreateUniqueName()
{
    const TfrxComponent *scope = Report();
    if (!scope)
        scope = m_parent ? m_parent : this;
    QSet<QString> taken;
    for (TfrxComponent *c : scope->AllObjects())
        if (c != this)
            taken.insert(c->Name().toUpper());
    const QString base = BaseName();
    for (int n = 1;; ++n) {
        const QString candidate = base + QString::number(n);
        if (!taken.contains(candidate.toUpper())) {
            Component::SetName(candidate);
            return;
        }
    }
}

void TfrxComponent::SetName(const QString &name)
{
    if (name.compare(Name(), Qt::CaseInsensitive) == 0)
        return;
    if (!name.isEmpty()) {
        if (TfrxReport *r = Report()) {
            TfrxComponent *c = r->FindObject(name);
            if (c && c != this)
                throw EDuplicateName(frxResources().Get(QStringLiteral("prDupl")));
        }
    }
    if (m_ancestor)
        throw Error(frxResources().Get(QStringLiteral("clCantRen")));
    if (!name.isEmpty() && !isValidIdent(name))
        throw EComponentError(QStringLiteral("''%1'' is not a valid component name").arg(name));
    if (Component *owner = Owner()) {
        Component *c = owner->FindComponent(name);
        if (c && c != this)
            throw EComponentError(QStringLiteral("A component named %1 already exists").arg(name));
    }
    Component::SetName(name);
}

TfrxComponent *TfrxComponent::FindObject(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    // Without making the list of AllObjects first.
    return walkObjects([&name](TfrxComponent *c) { return sameText(c->Name(), name); });
}

void TfrxComponent::Clear()
{
    while (!m_objects.isEmpty()) {
        TfrxComponent *c = m_objects.last();
        delete c; // detaches itself from m_objects
    }
}

QList<Component *> TfrxComponent::serializedChildren() const
{
    return QList<Component *>(m_objects.begin(), m_objects.end());
}

Component *TfrxComponent::findObject(const QString &name) const
{
    return FindObject(name);
}

void TfrxComponent::SaveToStream(QIODevice *stream, bool saveChildren, bool saveDefaultValues, bool streaming)
{
    TfrxXMLSerializer s(stream);
    s.SetOwner(Report());
    s.SetSerializeDefaultValues(saveDefaultValues);
    s.WriteRootComponent(this, saveChildren, streaming);
}

void TfrxComponent::LoadFromStream(QIODevice *stream)
{
    Clear();
    TfrxXMLSerializer s(stream);
    s.SetOwner(Report());
    s.ReadRootComponent(this);
}

namespace {
void copyComponent(TfrxComponent *target, TfrxComponent *source, bool children, bool streaming)
{
    if (!source || source == target)
        return;
    TfrxXMLItem item;
    {
        TfrxXMLSerializer w;
        w.SetOwner(source->Report());
        w.SetSerializeDefaultValues(true);
        w.WriteRootComponent(source, children, streaming, &item);
    }
    target->Clear();
    TfrxXMLSerializer r;
    r.SetOwner(target->Report());
    r.ReadRootComponent(target, &item);
}
} // namespace

void TfrxComponent::Assign(TfrxComponent *source)
{
    copyComponent(this, source, false, false);
}

void TfrxComponent::AssignAll(TfrxComponent *source, bool streaming)
{
    copyComponent(this, source, true, streaming);
}

} // namespace tw
