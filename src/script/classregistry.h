#pragma once

#include "base/linelist.h"
#include "base/metadata.h"
#include "script/interpreter.h"
#include "script/grammardocument.h"

#include <QIODevice>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace tw {

// The basic classes scripts create and use: objects, lists, string lists, streams and the
// script engine's XML tree.

class TObject : public Object {
    TW_OBJECT(TObject)
    TObject();
    ~TObject() override;
    TObject(const TObject &) = delete;
    TObject &operator=(const TObject &) = delete;
    // Whether o is a TObject that has not been deleted (o may be any address).
    static bool IsLive(const Object *o);
    // What a script's Free does; objects that others own override it.
    virtual void ScriptFree() { delete this; }
};

class TPersistent : public TObject {
    TW_OBJECT(TPersistent)
    // Copies what it can from source; EConvertError "Cannot assign a X to a Y" otherwise.
    virtual void Assign(Object *source);
};

// "Cannot assign a <source class> to a <target class>".
[[noreturn]] void fsAssignError(const Object *source, const Object *target);

class TCollectionItem : public TPersistent {
    TW_OBJECT(TCollectionItem)
};

class TCollection : public TPersistent {
    TW_OBJECT(TCollection)
    ~TCollection() override;
    int Count() const { return int(m_items.size()); }
    TCollectionItem *Items(int index) const; // EListError out of range
    TCollectionItem *Add();
    void Delete(int index);
    void Clear();
    void Assign(Object *source) override;

private:
    QVector<TCollectionItem *> m_items;
};

// A list of values (objects, numbers ...), not owning what it holds.
class TList : public TObject {
    TW_OBJECT(TList)
    int Count() const { return int(m_items.size()); }
    const Variant &Get(int index) const; // EListError out of range
    void Put(int index, const Variant &value);
    int Add(const Variant &value);
    void Insert(int index, const Variant &value);
    void Delete(int index);
    int IndexOf(const Variant &value) const;
    int Remove(const Variant &value);
    void Clear() { m_items.clear(); }

private:
    QVector<Variant> m_items;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
    TW_OBJECT(TStrings)
    virtual int Count() const = 0;
    virtual QString Get(int index) const = 0;
    virtual void Put(int index, const QString &s) = 0;
    virtual Object *GetObject(int index) const = 0;
    virtual void PutObject(int index, Object *obj) = 0;
    virtual void Insert(int index, const QString &s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const QString &s);
    int AddObject(const QString &s, Object *obj);
    virtual int IndexOf(const QString &s) const;
    int IndexOfName(const QString &name) const;
    int IndexOfObject(const Object *obj) const;
    void Move(int from, int to);
    void Exchange(int a, int b);

    // Every line followed by CR LF; setting splits at CR LF, LF or CR.
    QString Text() const;
    void SetText(const QString &text);
    QString CommaText() const;
    void SetCommaText(const QString &text);
    QString Names(int index) const;
    QString Values(const QString &name) const;
    void SetValues(const QString &name, const QString &value);

    // Files and streams keep the encoding of what was read (a byte-order mark or UTF-8,
    // else the ANSI code page); new text is written in the system encoding.
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;
    void LoadFromStream(QIODevice *stream);
    void SaveToStream(QIODevice *stream) const;
    void Assign(Object *source) override;
    void AddStrings(const TStrings &other);

protected:
    void checkIndex(int index, bool forInsert = false) const;
    TextEncoding m_encoding = codepage::systemEncoding();
};

class TStringList : public TStrings {
    TW_OBJECT(TStringList)
    int Count() const override { return int(m_lines.size()); }
    QString Get(int index) const override;
    void Put(int index, const QString &s) override;
    Object *GetObject(int index) const override;
    void PutObject(int index, Object *obj) override;
    void Insert(int index, const QString &s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const QString &s) override;
    int IndexOf(const QString &s) const override;

    // Binary search of a sorted list; index gets the match or the insertion point.
    bool Find(const QString &s, int &index) const;
    void Sort();
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool on);
    TDuplicates Duplicates() const { return m_duplicates; }
    void SetDuplicates(TDuplicates d) { m_duplicates = d; }
    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool on);

private:
    int compare(const QString &a, const QString &b) const;
    QStringList m_lines;
    QVector<Object *> m_objects;
    bool m_sorted = false;
    bool m_caseSensitive = false;
    TDuplicates m_duplicates = dupIgnore;
};

// File open modes and seek origins of streams.
enum : int {
    fmCreate = 0xFF00,
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
};
enum : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream : public TObject {
    TW_OBJECT(TStream)
    ~TStream() override;
    QIODevice *Device() const { return m_device.get(); }
    qint64 Position() const;
    void SetPosition(qint64 pos);
    qint64 Size() const;
    qint64 Seek(qint64 offset, int origin);
    // Texts travel as their system-encoding bytes.
    QByteArray ReadBytes(qint64 count);
    qint64 WriteBytes(const QByteArray &bytes);
    qint64 CopyFrom(TStream *source, qint64 count); // count 0: the whole source

protected:
    std::unique_ptr<QIODevice> m_device;
};

class TMemoryStream : public TStream {
    TW_OBJECT(TMemoryStream)
    TMemoryStream();
    void Clear();
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;
    void LoadFromStream(TStream *source);
    void SaveToStream(TStream *target) const;
    QByteArray Bytes() const;
};

class TFileStream : public TStream {
    TW_OBJECT(TFileStream)
    // EInOutError when the file cannot be opened in that mode.
    TFileStream(const QString &fileName, int mode);
};

// Script views of TfsXMLItem and TfsXMLDocument. An item view stays valid after its item
// is deleted: it then raises "XML item is no longer available" instead of reading freed
// memory.
class TfsXMLItemObject : public TObject {
    TW_OBJECT(TfsXMLItemObject)
    ~TfsXMLItemObject() override;
    // The one view of an item (created on first use).
    static TfsXMLItemObject *of(TfsXMLItem *item);
    // A new parentless item that its view owns until it is added to a tree.
    static TfsXMLItemObject *create();
    TfsXMLItem *Item() const; // raises for a deleted item
    bool Alive() const { return m_item != nullptr; }
    void ScriptFree() override;
    // Marks the views of an item and its subtree dead before the subtree is deleted.
    static void forget(TfsXMLItem *item);

private:
    TfsXMLItemObject() = default;
    TfsXMLItem *m_item = nullptr;
    bool m_ownsItem = false;
};

class TfsXMLDocumentObject : public TObject {
    TW_OBJECT(TfsXMLDocumentObject)
    TfsXMLDocumentObject();
    ~TfsXMLDocumentObject() override;
    TfsXMLDocument &Document() { return m_doc; }
    void Clear();
    void LoadFromFile(const QString &fileName);
    void LoadFromStream(QIODevice *stream);

private:
    TfsXMLDocument m_doc;
};

// How scripts find a component's owner; the report module supplies it (nil without one).
void fsSetComponentOwnerFunction(std::function<Object *(const Object *)> ownerOf);

// The class module.
class TfsClassesRTTI : public TfsRTTIModule {
public:
    explicit TfsClassesRTTI(TfsScript *script);
};

// Puts TfsSysFunctions and then the class module on the module list, once each.
void fsRegisterClassesRTTI();

} // namespace tw
