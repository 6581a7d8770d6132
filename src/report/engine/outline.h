#pragma once

#include "base/metadata.h"

#include <QString>

namespace tw {

class TfrxCustomPreviewPages;
class TfrxXMLDocument;
class TfrxXMLItem;

// Writes the outline of a prepared report: nested "item" elements (text, page, top) under
// the document's "outline" element, with a cursor where the next item goes.
class TfrxOutline : public Object {
    TW_OBJECT(TfrxOutline)
    TfrxOutline(TfrxCustomPreviewPages *pages, TfrxXMLDocument *doc) : m_pages(pages), m_doc(doc) {}

    // The "outline" element, appended to the document when first asked for.
    TfrxXMLItem *Root() const;
    TfrxXMLItem *CurItem() const;
    void LevelRoot();
    // Appends an item on the current prepared page under the cursor and moves into it.
    void AddItem(const QString &text, int top);
    void LevelDown(int index);
    void LevelUp();
    // The cursor's last child, or nullptr.
    TfrxXMLItem *GetCurPosition() const;
    // A keep block moved to the next page: the items after `from` among its siblings (all
    // of the cursor's children when `from` is nullptr) and their descendants get the next
    // page and a top moved so that the first of them starts at newTop.
    void ShiftItems(TfrxXMLItem *from, int newTop);
    int Count() const;
    // The document was cleared: the cursor goes back to the root.
    void Reset() { m_cur = nullptr; }
    TfrxCustomPreviewPages *Pages() const { return m_pages; }

private:
    TfrxCustomPreviewPages *m_pages;
    TfrxXMLDocument *m_doc;
    mutable TfrxXMLItem *m_cur = nullptr;
};

} // namespace tw
