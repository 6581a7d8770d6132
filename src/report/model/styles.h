#pragma once

#include "report/model/font.h"
#include "report/model/frame.h"
#include "report/xml/component.h"

#include <QString>
#include <memory>
#include <vector>

namespace tw {

class TfrxReport;
class TfrxStyles;
class TfrxXMLItem;

// One named style: colour, font and frame a memo takes when it names the style.
class TfrxStyleItem : public Object {
    TW_OBJECT(TfrxStyleItem)
    explicit TfrxStyleItem(TfrxStyles *collection = nullptr);

    const QString &Name() const { return m_name; }
    // Names are unique in the collection ignoring case; a clash raises clDupName.
    void SetName(const QString &v);
    int Color() const { return m_color; }
    void SetColor(int v) { m_color = v; }
    TFont *Font() const { return const_cast<TFont *>(&m_font); }
    void SetFont(const TFont &v) { m_font.Assign(v); }
    TfrxFrame *Frame() const { return const_cast<TfrxFrame *>(&m_frame); }
    void SetFrame(const TfrxFrame &v) { m_frame.Assign(v); }
    TfrxStyles *Collection() const { return m_collection; }

    // "Style" followed by the smallest n >= 1 not yet taken.
    void CreateUniqueName();
    void Assign(const TfrxStyleItem &other);

private:
    friend class TfrxStyles;
    TfrxStyles *m_collection;
    QString m_name;
    int m_color = 0x1FFFFFFF;
    TFont m_font;
    TfrxFrame m_frame;
};

// The report's styles, stored in the report's PropData as "Style".
class TfrxStyles : public TfrxCollection {
public:
    explicit TfrxStyles(TfrxReport *report = nullptr) : m_report(report) {}

    const QString &Name() const { return m_name; }
    void SetName(const QString &v) { m_name = v; }
    TfrxReport *Report() const { return m_report; }

    TfrxStyleItem *Add();
    TfrxStyleItem *Find(const QString &name) const;
    void Clear();
    void Delete(int index);
    // Every memo of the report naming an existing style takes it; the others lose the name.
    void Apply();
    void Assign(const TfrxStyles &other);

    int Count() const override { return int(m_items.size()); }
    TfrxStyleItem *Items(int index) const { return m_items.at(size_t(index)).get(); }
    Object *Item(int index) const override { return Items(index); }
    Object *AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }

    // A "style" element with attribute Name and one "item" child per style.
    void SaveToXMLItem(TfrxXMLItem *item) const;
    // Reads such an element (children named "item" only) and applies the styles.
    void LoadFromXMLItem(TfrxXMLItem *item);
    void SaveToFile(const QString &fileName) const;
    void LoadFromFile(const QString &fileName);

private:
    TfrxReport *m_report;
    QString m_name;
    std::vector<std::unique_ptr<TfrxStyleItem>> m_items;
};

// A list of style collections; its file has the root "stylesheet" holding "style" elements.
class TfrxStyleSheet {
public:
    int Count() const { return int(m_items.size()); }
    TfrxStyles *Items(int index) const { return m_items.at(size_t(index)).get(); }
    TfrxStyles *Add();
    void Clear() { m_items.clear(); }
    void Delete(int index);
    TfrxStyles *Find(const QString &name) const;
    int IndexOf(const QString &name) const;
    void GetList(QStringList &list) const;
    void SaveToFile(const QString &fileName) const;
    void LoadFromFile(const QString &fileName);

private:
    std::vector<std::unique_ptr<TfrxStyles>> m_items;
};

} // namespace tw
