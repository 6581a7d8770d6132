#include "report/engine/outline.h"

#include "report/engine/previewpages.h"
#include "report/xml/xmldocument.h"

#include <cmath>

namespace tw {

TW_DEFINE_CLASS(TfrxOutline, nullptr) {}

TfrxXMLItem *TfrxOutline::Root() const
{
    return m_doc->Root()->FindItem(QStringLiteral("outline"));
}

TfrxXMLItem *TfrxOutline::CurItem() const
{
    // The cursor may point into a tree that was cleared since; start again at the root.
    if (!m_cur || m_cur->Root() != m_doc->Root())
        m_cur = Root();
    return m_cur;
}

void TfrxOutline::LevelRoot()
{
    m_cur = Root();
}

void TfrxOutline::AddItem(const QString &text, int top)
{
    TfrxXMLItem *item = CurItem()->Add(QStringLiteral("item"));
    item->SetText(QStringLiteral("text=\"%1\" page=\"%2\" top=\"%3\"")
                      .arg(EncodeXMLValue(text), QString::number(m_pages->CurPage), QString::number(top)));
    m_cur = item;
}

void TfrxOutline::LevelDown(int index)
{
    TfrxXMLItem *cur = CurItem();
    if (index >= 0 && index < cur->Count())
        m_cur = cur->Items(index);
}

void TfrxOutline::LevelUp()
{
    TfrxXMLItem *cur = CurItem();
    if (cur != Root() && cur->Parent())
        m_cur = cur->Parent();
}

TfrxXMLItem *TfrxOutline::GetCurPosition() const
{
    TfrxXMLItem *cur = CurItem();
    return cur->Count() > 0 ? cur->Items(cur->Count() - 1) : nullptr;
}

namespace {
int intProp(const TfrxXMLItem *item, const QString &name)
{
    QString v = item->GetProp(name);
    v.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? int(std::lround(d)) : 0;
}

void shiftTree(TfrxXMLItem *item, int dy)
{
    item->SetProp(QStringLiteral("page"), QString::number(intProp(item, QStringLiteral("page")) + 1));
    item->SetProp(QStringLiteral("top"), QString::number(intProp(item, QStringLiteral("top")) + dy));
    for (int i = 0; i < item->Count(); ++i)
        shiftTree(item->Items(i), dy);
}
} // namespace

void TfrxOutline::ShiftItems(TfrxXMLItem *from, int newTop)
{
    TfrxXMLItem *parent = from ? from->Parent() : CurItem();
    if (!parent)
        return;
    const int first = from ? parent->IndexOf(from) + 1 : 0;
    if (first <= 0 && from)
        return;
    if (first >= parent->Count())
        return;
    // Every item after `from` was made inside the moved block, so all of them move.
    const int dy = newTop - intProp(parent->Items(first), QStringLiteral("top"));
    for (int i = first; i < parent->Count(); ++i)
        shiftTree(parent->Items(i), dy);
}

int TfrxOutline::Count() const
{
    return CurItem()->Count();
}

} // namespace tw
