#include "report/model/styles.h"

#include "report/model/report.h"
#include "report/xml/resources.h"
#include "report/xml/xmldocument.h"
#include "report/xml/xmlserializer.h"

#include <QFile>
#include <QSaveFile>

namespace tw {

TW_DEFINE_CLASS(TfrxStyleItem, nullptr)
{
    using S = TfrxStyleItem;
    ClassBuilder<S>(info)
        .string(QStringLiteral("Name"), &S::Name, &S::SetName)
        .integer(QStringLiteral("Color"), &S::Color, &S::SetColor)
        .nested(QStringLiteral("Font"), TFont::staticClassInfo(), &S::Font)
        .nested(QStringLiteral("Frame"), TfrxFrame::staticClassInfo(), &S::Frame);
}

TfrxStyleItem::TfrxStyleItem(TfrxStyles *collection) : m_collection(collection) {}

void TfrxStyleItem::SetName(const QString &v)
{
    if (m_collection) {
        TfrxStyleItem *other = m_collection->Find(v);
        if (other && other != this)
            throw Error(frxResources().Get(QStringLiteral("clDupName")));
    }
    m_name = v;
}

void TfrxStyleItem::CreateUniqueName()
{
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("Style") + QString::number(n);
        if (!m_collection || !m_collection->Find(candidate)) {
            m_name = candidate;
            return;
        }
    }
}

void TfrxStyleItem::Assign(const TfrxStyleItem &other)
{
    m_name = other.m_name;
    m_color = other.m_color;
    m_font.Assign(other.m_font);
    m_frame.Assign(other.m_frame);
}

TfrxStyleItem *TfrxStyles::Add()
{
    m_items.push_back(std::make_unique<TfrxStyleItem>(this));
    return m_items.back().get();
}

TfrxStyleItem *TfrxStyles::Find(const QString &name) const
{
    for (const auto &item : m_items)
        if (item->Name().compare(name, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

void TfrxStyles::Clear()
{
    m_items.clear();
}

void TfrxStyles::Delete(int index)
{
    m_items.erase(m_items.begin() + index);
}

void TfrxStyles::Apply()
{
    if (!m_report)
        return;
    for (TfrxComponent *c : m_report->AllObjects()) {
        // Memos publish Style as text; setting it again applies the style.
        const ClassInfo *ci = c->classInfo();
        const PropInfo *p = ci ? ci->findProperty(QStringLiteral("Style")) : nullptr;
        if (!p || p->kind != PropKind::String || !p->hasSetter() || !ci->inheritsFrom(QStringLiteral("TfrxCustomMemoView")))
            continue;
        const QString name = p->get(c).toText();
        if (name.isEmpty())
            continue;
        p->set(c, Variant(Find(name) ? name : QString()));
    }
}

void TfrxStyles::Assign(const TfrxStyles &other)
{
    Clear();
    m_name = other.m_name;
    for (const auto &item : other.m_items)
        Add()->Assign(*item);
}

void TfrxStyles::SaveToXMLItem(TfrxXMLItem *item) const
{
    item->SetName(QStringLiteral("style"));
    item->SetText(QStringLiteral("Name=\"") + EncodeXMLValue(m_name) + QLatin1Char('"'));
    TfrxXMLSerializer().WriteCollectionElement(item, *this);
}

void TfrxStyles::LoadFromXMLItem(TfrxXMLItem *item)
{
    m_name = DecodeXMLValue(item->GetProp(QStringLiteral("Name")));
    // Elements other than "item" are passed over: the reader's messages stay with it.
    TfrxXMLSerializer().ReadCollectionElement(item, *this);
    Apply();
}

void TfrxStyles::SaveToFile(const QString &fileName) const
{
    TfrxXMLDocument doc;
    doc.SetAutoIndent(true);
    SaveToXMLItem(doc.Root());
    doc.SaveToFile(fileName);
}

void TfrxStyles::LoadFromFile(const QString &fileName)
{
    TfrxXMLDocument doc;
    doc.LoadFromFile(fileName);
    LoadFromXMLItem(doc.Root());
}

TfrxStyles *TfrxStyleSheet::Add()
{
    m_items.push_back(std::make_unique<TfrxStyles>());
    return m_items.back().get();
}

void TfrxStyleSheet::Delete(int index)
{
    m_items.erase(m_items.begin() + index);
}

int TfrxStyleSheet::IndexOf(const QString &name) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->Name().compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TfrxStyles *TfrxStyleSheet::Find(const QString &name) const
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : Items(i);
}

void TfrxStyleSheet::GetList(QStringList &list) const
{
    list.clear();
    for (const auto &s : m_items)
        list.append(s->Name());
}

void TfrxStyleSheet::SaveToFile(const QString &fileName) const
{
    TfrxXMLDocument doc;
    doc.SetAutoIndent(true);
    doc.Root()->SetName(QStringLiteral("stylesheet"));
    for (const auto &s : m_items)
        s->SaveToXMLItem(doc.Root()->Add());
    doc.SaveToFile(fileName);
}

void TfrxStyleSheet::LoadFromFile(const QString &fileName)
{
    Clear();
    TfrxXMLDocument doc;
    doc.LoadFromFile(fileName);
    TfrxXMLItem *root = doc.Root();
    for (int i = 0; i < root->Count(); ++i)
        if (root->Items(i)->Name().compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)
            Add()->LoadFromXMLItem(root->Items(i));
}

} // namespace tw
