#pragma once

#include "base/error.h"

#include <QIODevice>
#include <QList>
#include <QString>

namespace tw {

// Raised for malformed script XML (grammars and intermediate programs).
TW_DECLARE_ERROR(EfsXMLError, Error)

// One element of the script engine's XML tree. Attributes are kept as the raw escaped
// text of the tag, which is what grammars and intermediate programs are read through.
class TfsXMLItem {
public:
    TfsXMLItem() = default;
    ~TfsXMLItem();
    TfsXMLItem(const TfsXMLItem &) = delete;
    TfsXMLItem &operator=(const TfsXMLItem &) = delete;

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    // Raw attribute text, still escaped: a blank, then name="value" pairs.
    const QString &Text() const { return m_text; }
    void SetText(const QString &text) { m_text = text; }
    void *Data() const { return m_data; }
    void SetData(void *data) { m_data = data; }
    TfsXMLItem *Parent() const { return m_parent; }
    int Count() const { return int(m_items.size()); }
    TfsXMLItem *Items(int index) const { return m_items.at(index); }

    TfsXMLItem *Add();
    void AddItem(TfsXMLItem *item);
    void InsertItem(int index, TfsXMLItem *item);
    void Clear();
    int Find(const QString &name) const;
    TfsXMLItem *FindItem(const QString &name);
    int IndexOf(TfsXMLItem *item) const;
    TfsXMLItem *Root();
    void Assign(const TfsXMLItem *item);

    QString Prop(const QString &name) const;
    // The value as it stands in the text, entities not decoded; a null view when absent.
    QStringView RawProp(const QString &name) const;
    void SetProp(const QString &name, const QString &value);
    bool PropExists(const QString &name) const;

private:
    void detach();
    // Index of the pair "name=" (after its blank) in m_text, -1 when absent.
    int findPair(const QString &name) const;

    QString m_name;
    QString m_text;
    void *m_data = nullptr;
    TfsXMLItem *m_parent = nullptr;
    QList<TfsXMLItem *> m_items;
};

// Attribute value escaping of the script XML (differs from the report's documents).
QString fsXMLEscape(const QString &value);
QString fsXMLUnescape(const QString &value);

class TfsXMLDocument {
public:
    TfsXMLDocument();
    ~TfsXMLDocument();
    TfsXMLDocument(const TfsXMLDocument &) = delete;
    TfsXMLDocument &operator=(const TfsXMLDocument &) = delete;

    TfsXMLItem *Root() const { return m_root; }
    bool AutoIndent() const { return m_autoIndent; }
    void SetAutoIndent(bool on) { m_autoIndent = on; }

    void Clear();
    // EfsXMLError "Invalid file format" for malformed input.
    void LoadFromStream(QIODevice *stream);
    void SaveToStream(QIODevice *stream) const;
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;

    // Conveniences over in-memory buffers.
    void LoadFromBytes(const QByteArray &bytes);
    QByteArray SaveToBytes() const;

private:
    TfsXMLItem *m_root;
    bool m_autoIndent = false;
};

// Writes one item and its subtree (no header) as the document writer does.
QByteArray fsXMLItemToBytes(const TfsXMLItem *item, bool autoIndent = false);

} // namespace tw
