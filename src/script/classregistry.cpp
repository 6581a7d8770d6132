#include "script/classregistry.h"

#include "base/codepage.h"
#include "script/library.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <mutex>

namespace tw {

namespace {

// Objects of this module that exist, so a freed one is refused instead of being read.
QSet<const Object *> &liveObjects()
{
    static QSet<const Object *> set;
    return set;
}

// Host objects a script constructor made and no owner holds: the only ones Free deletes.
QSet<const Object *> &scriptCreated()
{
    static QSet<const Object *> set;
    return set;
}

// Addresses a script's Free released; ClassName and the like refuse them.
QSet<const Object *> &freedObjects()
{
    static QSet<const Object *> set;
    return set;
}

std::function<Object *(const Object *)> &ownerFunction()
{
    static std::function<Object *(const Object *)> f;
    return f;
}

[[noreturn]] void listIndexError(int index)
{
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

QString classNameOf(const Object *o)
{
    const ClassInfo *ci = o ? o->classInfo() : nullptr;
    return ci ? ci->name : QStringLiteral("TObject");
}

template <class T>
T *self(Object *inst)
{
    if (!inst)
        throw Error(QStringLiteral("Access violation: the object is nil"));
    if (!liveObjects().contains(inst))
        throw Error(QStringLiteral("Access violation: the object was freed"));
    T *t = dynamic_cast<T *>(inst);
    if (!t)
        throw Error(QStringLiteral("Invalid class typecast"));
    return t;
}

template <class T>
T *argObject(const Variant &v)
{
    Object *o = v.toObject();
    if (!o)
        return nullptr;
    if (!liveObjects().contains(o))
        throw Error(QStringLiteral("Access violation: the object was freed"));
    T *t = dynamic_cast<T *>(o);
    if (!t)
        throw Error(QStringLiteral("Invalid class typecast"));
    return t;
}

QString fileError(const QString &what, const QString &fileName, const QString &why)
{
    return what + QStringLiteral(" \"") + fileName + QStringLiteral("\". ") + why;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Classes

TW_DEFINE_CLASS(TObject, nullptr) {}
TW_DEFINE_CLASS(TPersistent, &TObject::staticClassInfo()) {}
TW_DEFINE_CLASS(TCollectionItem, &TPersistent::staticClassInfo()) {}
TW_DEFINE_CLASS(TCollection, &TPersistent::staticClassInfo()) {}
TW_DEFINE_CLASS(TList, &TObject::staticClassInfo()) {}
TW_DEFINE_CLASS(TStrings, &TPersistent::staticClassInfo()) {}
TW_DEFINE_CLASS(TStringList, &TStrings::staticClassInfo()) {}
TW_DEFINE_CLASS(TStream, &TObject::staticClassInfo()) {}
TW_DEFINE_CLASS(TMemoryStream, &TStream::staticClassInfo()) {}
TW_DEFINE_CLASS(TFileStream, &TStream::staticClassInfo()) {}
TW_DEFINE_CLASS(TfsXMLItemObject, &TObject::staticClassInfo()) { info.name = QStringLiteral("TfsXMLItem"); }
TW_DEFINE_CLASS(TfsXMLDocumentObject, &TObject::staticClassInfo()) { info.name = QStringLiteral("TfsXMLDocument"); }

TObject::TObject()
{
    liveObjects().insert(this);
    freedObjects().remove(this);
}

TObject::~TObject() { liveObjects().remove(this); }

bool TObject::IsLive(const Object *o) { return liveObjects().contains(o); }

void fsAssignError(const Object *source, const Object *target)
{
    throw EConvertError(QStringLiteral("Cannot assign a ") + (source ? classNameOf(source) : QStringLiteral("nil"))
                        + QStringLiteral(" to a ") + classNameOf(target));
}

void TPersistent::Assign(Object *source) { fsAssignError(source, this); }

// ----- collections

TCollection::~TCollection() { Clear(); }

TCollectionItem *TCollection::Items(int index) const
{
    if (index < 0 || index >= m_items.size())
        listIndexError(index);
    return m_items[index];
}

TCollectionItem *TCollection::Add()
{
    auto *item = new TCollectionItem;
    m_items.append(item);
    return item;
}

void TCollection::Delete(int index)
{
    delete Items(index);
    m_items.remove(index);
}

void TCollection::Clear()
{
    const QVector<TCollectionItem *> items = std::move(m_items);
    m_items.clear();
    qDeleteAll(items);
}

void TCollection::Assign(Object *source)
{
    auto *src = dynamic_cast<TCollection *>(source);
    if (!src)
        fsAssignError(source, this);
    if (src == this)
        return;
    Clear();
    for (int i = 0; i < src->Count(); ++i)
        Add();
}

// ----- TList

const Variant &TList::Get(int index) const
{
    if (index < 0 || index >= m_items.size())
        listIndexError(index);
    return m_items[index];
}

void TList::Put(int index, const Variant &value)
{
    if (index < 0 || index >= m_items.size())
        listIndexError(index);
    m_items[index] = value;
}

int TList::Add(const Variant &value)
{
    m_items.append(value);
    return int(m_items.size()) - 1;
}

void TList::Insert(int index, const Variant &value)
{
    if (index < 0 || index > m_items.size())
        listIndexError(index);
    m_items.insert(index, value);
}

void TList::Delete(int index)
{
    if (index < 0 || index >= m_items.size())
        listIndexError(index);
    m_items.remove(index);
}

int TList::IndexOf(const Variant &value) const
{
    for (int i = 0; i < m_items.size(); ++i) {
        const Variant &v = m_items[i];
        if (value.isObject() || v.isObject()) {
            if (v.toObject() == value.toObject() && v.isObject() == value.isObject())
                return i;
        } else if (v.sameAs(value)) {
            return i;
        }
    }
    return -1;
}

int TList::Remove(const Variant &value)
{
    const int i = IndexOf(value);
    if (i >= 0)
        m_items.remove(i);
    return i;
}

// ----- string lists

void TStrings::checkIndex(int index, bool forInsert) const
{
    if (index < 0 || index > Count() || (!forInsert && index == Count()))
        listIndexError(index);
}

int TStrings::Add(const QString &s)
{
    const int i = Count();
    Insert(i, s);
    return i;
}

int TStrings::AddObject(const QString &s, Object *obj)
{
    const int i = Add(s);
    PutObject(i, obj);
    return i;
}

int TStrings::IndexOf(const QString &s) const
{
    for (int i = 0; i < Count(); ++i)
        if (Get(i).compare(s, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(const QString &name) const
{
    for (int i = 0; i < Count(); ++i)
        if (Names(i).compare(name, Qt::CaseInsensitive) == 0 && Get(i).contains(QLatin1Char('=')))
            return i;
    return -1;
}

int TStrings::IndexOfObject(const Object *obj) const
{
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == obj)
            return i;
    return -1;
}

void TStrings::Move(int from, int to)
{
    if (from == to)
        return;
    checkIndex(from);
    const QString s = Get(from);
    Object *o = GetObject(from);
    Delete(from);
    checkIndex(to, true);
    Insert(to, s);
    PutObject(to, o);
}

void TStrings::Exchange(int a, int b)
{
    checkIndex(a);
    checkIndex(b);
    const QString sa = Get(a);
    Object *oa = GetObject(a);
    Put(a, Get(b));
    PutObject(a, GetObject(b));
    Put(b, sa);
    PutObject(b, oa);
}

QString TStrings::Text() const
{
    QString r;
    for (int i = 0; i < Count(); ++i)
        r += Get(i) + QStringLiteral("\r\n");
    return r;
}

void TStrings::SetText(const QString &text)
{
    LineList l;
    l.setText(text);
    Clear();
    for (const QString &s : l.lines())
        Add(s);
}

QString TStrings::CommaText() const
{
    QStringList parts;
    for (int i = 0; i < Count(); ++i) {
        const QString s = Get(i);
        bool quote = s.isEmpty();
        for (QChar c : s)
            if (c.unicode() <= 0x20 || c == QLatin1Char(',') || c == QLatin1Char('"'))
                quote = true;
        if (quote) {
            QString q = s;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            parts << QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            parts << s;
        }
    }
    return parts.join(QLatin1Char(','));
}

void TStrings::SetCommaText(const QString &text)
{
    Clear();
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && text.at(i).unicode() <= 0x20)
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text.at(i++);
            }
        } else {
            while (i < n && text.at(i) != QLatin1Char(',') && text.at(i).unicode() > 0x20)
                item += text.at(i++);
        }
        Add(item);
        skipBlanks();
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            skipBlanks();
            if (i >= n)
                Add(QString());
        }
    }
}

QString TStrings::Names(int index) const
{
    const QString s = Get(index);
    const qsizetype eq = s.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : s.left(eq);
}

QString TStrings::Values(const QString &name) const
{
    const int i = IndexOfName(name);
    if (i < 0)
        return QString();
    const QString s = Get(i);
    return s.mid(s.indexOf(QLatin1Char('=')) + 1);
}

void TStrings::SetValues(const QString &name, const QString &value)
{
    const int i = IndexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0)
            Delete(i);
        return;
    }
    if (i >= 0)
        Put(i, name + QLatin1Char('=') + value);
    else
        Add(name + QLatin1Char('=') + value);
}

void TStrings::LoadFromFile(const QString &fileName)
{
    LineList l;
    l.loadFromFile(fileName);
    Clear();
    for (const QString &s : l.lines())
        Add(s);
    m_encoding = l.encoding();
}

void TStrings::SaveToFile(const QString &fileName) const
{
    LineList l;
    l.setEncoding(m_encoding);
    for (int i = 0; i < Count(); ++i)
        l.add(Get(i));
    l.saveToFile(fileName);
}

void TStrings::LoadFromStream(QIODevice *stream)
{
    TextEncoding found;
    const QString text = codepage::decode(stream ? stream->readAll() : QByteArray(), &found);
    SetText(text);
    m_encoding = found;
}

void TStrings::SaveToStream(QIODevice *stream) const
{
    if (stream)
        stream->write(codepage::encode(Text(), m_encoding));
}

void TStrings::Assign(Object *source)
{
    auto *src = dynamic_cast<TStrings *>(source);
    if (!src)
        fsAssignError(source, this);
    if (src == this)
        return;
    // Copy first: the source may be this list's own lines under another view.
    QStringList lines;
    QVector<Object *> objects;
    for (int i = 0; i < src->Count(); ++i) {
        lines << src->Get(i);
        objects << src->GetObject(i);
    }
    Clear();
    for (int i = 0; i < lines.size(); ++i)
        AddObject(lines[i], objects[i]);
}

void TStrings::AddStrings(const TStrings &other)
{
    QStringList lines;
    QVector<Object *> objects;
    for (int i = 0; i < other.Count(); ++i) {
        lines << other.Get(i);
        objects << other.GetObject(i);
    }
    for (int i = 0; i < lines.size(); ++i)
        AddObject(lines[i], objects[i]);
}

QString TStringList::Get(int index) const
{
    checkIndex(index);
    return m_lines[index];
}

void TStringList::Put(int index, const QString &s)
{
    if (m_sorted)
        throw EListError(QStringLiteral("Operation not allowed on sorted list"));
    checkIndex(index);
    m_lines[index] = s;
}

Object *TStringList::GetObject(int index) const
{
    checkIndex(index);
    return m_objects[index];
}

void TStringList::PutObject(int index, Object *obj)
{
    checkIndex(index);
    m_objects[index] = obj;
}

void TStringList::Insert(int index, const QString &s)
{
    if (m_sorted)
        throw EListError(QStringLiteral("Operation not allowed on sorted list"));
    checkIndex(index, true);
    m_lines.insert(index, s);
    m_objects.insert(index, nullptr);
}

void TStringList::Delete(int index)
{
    checkIndex(index);
    m_lines.removeAt(index);
    m_objects.remove(index);
}

void TStringList::Clear()
{
    m_lines.clear();
    m_objects.clear();
}

int TStringList::Add(const QString &s)
{
    if (!m_sorted) {
        m_lines.append(s);
        m_objects.append(nullptr);
        return int(m_lines.size()) - 1;
    }
    int i = 0;
    if (Find(s, i)) {
        if (m_duplicates == dupIgnore)
            return i;
        if (m_duplicates == dupError)
            throw EListError(QStringLiteral("String list does not allow duplicates"));
    }
    m_lines.insert(i, s);
    m_objects.insert(i, nullptr);
    return i;
}

int TStringList::compare(const QString &a, const QString &b) const
{
    return m_caseSensitive ? a.localeAwareCompare(b) : a.toLower().localeAwareCompare(b.toLower());
}

int TStringList::IndexOf(const QString &s) const
{
    if (m_sorted) {
        int i = 0;
        return Find(s, i) ? i : -1;
    }
    for (int i = 0; i < m_lines.size(); ++i)
        if (m_caseSensitive ? m_lines[i] == s : m_lines[i].compare(s, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TStringList::Find(const QString &s, int &index) const
{
    int lo = 0;
    int hi = int(m_lines.size()) - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = compare(m_lines[mid], s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (m_duplicates != dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort()
{
    QVector<int> order(m_lines.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return compare(m_lines[a], m_lines[b]) < 0; });
    QStringList lines;
    QVector<Object *> objects;
    for (int i : order) {
        lines << m_lines[i];
        objects << m_objects[i];
    }
    m_lines = lines;
    m_objects = objects;
}

void TStringList::SetSorted(bool on)
{
    if (on && !m_sorted)
        Sort();
    m_sorted = on;
}

void TStringList::SetCaseSensitive(bool on)
{
    if (on == m_caseSensitive)
        return;
    m_caseSensitive = on;
    if (m_sorted)
        Sort();
}

// ----- streams

TStream::~TStream() = default;

qint64 TStream::Position() const { return m_device ? m_device->pos() : 0; }

void TStream::SetPosition(qint64 pos)
{
    if (m_device)
        m_device->seek(std::clamp<qint64>(pos, 0, std::max<qint64>(Size(), pos)));
}

qint64 TStream::Size() const { return m_device ? m_device->size() : 0; }

qint64 TStream::Seek(qint64 offset, int origin)
{
    qint64 base = 0;
    if (origin == soFromCurrent)
        base = Position();
    else if (origin == soFromEnd)
        base = Size();
    const qint64 pos = std::max<qint64>(0, base + offset);
    if (m_device)
        m_device->seek(pos);
    return Position();
}

QByteArray TStream::ReadBytes(qint64 count)
{
    if (!m_device || count <= 0)
        return QByteArray();
    return m_device->read(count);
}

qint64 TStream::WriteBytes(const QByteArray &bytes)
{
    if (!m_device)
        return 0;
    const qint64 n = m_device->write(bytes);
    if (n < 0)
        throw EInOutError(QStringLiteral("Stream write error: ") + m_device->errorString());
    return n;
}

qint64 TStream::CopyFrom(TStream *source, qint64 count)
{
    if (!source)
        return 0;
    if (count == 0) {
        source->SetPosition(0);
        count = source->Size();
    }
    const QByteArray bytes = source->ReadBytes(count);
    if (bytes.size() < count)
        throw EInOutError(QStringLiteral("Stream read error"));
    return WriteBytes(bytes);
}

TMemoryStream::TMemoryStream()
{
    auto *buf = new QBuffer;
    buf->open(QIODevice::ReadWrite);
    m_device.reset(buf);
}

void TMemoryStream::Clear()
{
    auto *buf = static_cast<QBuffer *>(m_device.get());
    buf->close();
    buf->setData(QByteArray());
    buf->open(QIODevice::ReadWrite);
}

QByteArray TMemoryStream::Bytes() const { return static_cast<QBuffer *>(m_device.get())->data(); }

void TMemoryStream::LoadFromFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(fileError(QStringLiteral("Cannot open file"), fileName, f.errorString()));
    const QByteArray bytes = f.readAll();
    Clear();
    m_device->write(bytes);
    m_device->seek(0);
}

void TMemoryStream::SaveToFile(const QString &fileName) const
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(fileError(QStringLiteral("Cannot create file"), fileName, f.errorString()));
    if (f.write(Bytes()) != Bytes().size())
        throw EInOutError(fileError(QStringLiteral("Cannot write file"), fileName, f.errorString()));
}

void TMemoryStream::LoadFromStream(TStream *source)
{
    if (!source)
        return;
    source->SetPosition(0);
    const QByteArray bytes = source->ReadBytes(source->Size());
    Clear();
    m_device->write(bytes);
    m_device->seek(0);
}

void TMemoryStream::SaveToStream(TStream *target) const
{
    if (target)
        target->WriteBytes(Bytes());
}

TFileStream::TFileStream(const QString &fileName, int mode)
{
    auto f = std::make_unique<QFile>(fileName);
    QIODevice::OpenMode m;
    if ((mode & 0xFF00) == fmCreate)
        m = QIODevice::ReadWrite | QIODevice::Truncate;
    else if ((mode & 3) == fmOpenWrite || (mode & 3) == fmOpenReadWrite)
        m = QIODevice::ReadWrite | QIODevice::ExistingOnly; // write-only would truncate
    else
        m = QIODevice::ReadOnly;
    if (!f->open(m)) {
        const QString what = (mode & 0xFF00) == fmCreate ? QStringLiteral("Cannot create file")
                                                         : QStringLiteral("Cannot open file");
        throw EInOutError(fileError(what, fileName, f->errorString()));
    }
    m_device = std::move(f);
}

// ----- XML views

namespace {
QHash<const TfsXMLItem *, TfsXMLItemObject *> &xmlViews()
{
    static QHash<const TfsXMLItem *, TfsXMLItemObject *> views;
    return views;
}
// Views are kept for the whole process: a script may hold one after its item is gone.
std::vector<std::unique_ptr<TfsXMLItemObject>> &xmlViewPool()
{
    static std::vector<std::unique_ptr<TfsXMLItemObject>> pool;
    return pool;
}
// Roots belong to their documents and never move into another tree.
QSet<const TfsXMLItem *> &documentRoots()
{
    static QSet<const TfsXMLItem *> roots;
    return roots;
}
} // namespace

TfsXMLDocumentObject::TfsXMLDocumentObject() { documentRoots().insert(m_doc.Root()); }

TfsXMLItemObject::~TfsXMLItemObject()
{
    TfsXMLItem *item = m_item;
    if (!item)
        return;
    xmlViews().remove(item);
    if (m_ownsItem && !item->Parent()) {
        forget(item);
        delete item;
    }
}

TfsXMLItemObject *TfsXMLItemObject::of(TfsXMLItem *item)
{
    if (!item)
        return nullptr;
    if (TfsXMLItemObject *v = xmlViews().value(item))
        return v;
    auto *v = new TfsXMLItemObject;
    v->m_item = item;
    xmlViews().insert(item, v);
    xmlViewPool().emplace_back(v);
    return v;
}

TfsXMLItemObject *TfsXMLItemObject::create()
{
    auto *item = new TfsXMLItem;
    TfsXMLItemObject *v = of(item);
    v->m_ownsItem = true;
    return v;
}

TfsXMLItem *TfsXMLItemObject::Item() const
{
    if (!m_item)
        throw Error(QStringLiteral("XML item is no longer available"));
    return m_item;
}

void TfsXMLItemObject::ScriptFree()
{
    // The view itself stays in the pool; a parentless item made by Create goes.
    if (m_item && m_ownsItem && !m_item->Parent()) {
        TfsXMLItem *item = m_item;
        forget(item);
        delete item;
    }
}

void TfsXMLItemObject::forget(TfsXMLItem *item)
{
    if (!item)
        return;
    for (int i = 0; i < item->Count(); ++i)
        forget(item->Items(i));
    if (TfsXMLItemObject *v = xmlViews().take(item)) {
        v->m_item = nullptr;
        v->m_ownsItem = false;
    }
}

TfsXMLDocumentObject::~TfsXMLDocumentObject()
{
    TfsXMLItemObject::forget(m_doc.Root());
    documentRoots().remove(m_doc.Root());
}

void TfsXMLDocumentObject::Clear()
{
    for (int i = 0; i < m_doc.Root()->Count(); ++i)
        TfsXMLItemObject::forget(m_doc.Root()->Items(i));
    m_doc.Clear();
}

void TfsXMLDocumentObject::LoadFromFile(const QString &fileName)
{
    Clear();
    m_doc.LoadFromFile(fileName);
}

void TfsXMLDocumentObject::LoadFromStream(QIODevice *stream)
{
    Clear();
    m_doc.LoadFromStream(stream);
}

void fsSetComponentOwnerFunction(std::function<Object *(const Object *)> ownerOf)
{
    ownerFunction() = std::move(ownerOf);
}

// ---------------------------------------------------------------------------------------
// Registration

namespace {

using Params = QVector<Variant>;

Variant obj(Object *o) { return Variant::fromObject(o); }

// Every object of the module is tracked from construction on.
template <class T, class... A>
T *make(A &&...args)
{
    T *t = new T(std::forward<A>(args)...);
    return t;
}

// The module's objects leave the live set when they are deleted through Free; objects
// deleted by C++ code are not in it unless made by `make`, and `free` removes them too.
void freeObject(Object *o)
{
    if (!o)
        return;
    if (liveObjects().contains(o)) {
        if (auto *t = dynamic_cast<TObject *>(o)) {
            t->ScriptFree();
            if (!liveObjects().contains(o))
                freedObjects().insert(o);
        }
        return;
    }
    if (scriptCreated().remove(o)) {
        delete o;
        freedObjects().insert(o);
    }
}

struct XmlItemArg {
    static TfsXMLItem *of(const Variant &v)
    {
        auto *w = argObject<TfsXMLItemObject>(v);
        return w ? w->Item() : nullptr;
    }
};

void registerObjectClasses(TfsScript *s)
{
    TfsClassVariable *c = s->AddClass(&TObject::staticClassInfo(), QString());
    if (c) {
        c->AddConstructor(QStringLiteral("constructor Create"),
                          [](Object *, const ClassInfo *, const QString &, Params &) { return obj(make<TObject>()); });
        c->AddMethod(QStringLiteral("procedure Free"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
            freeObject(inst);
            return Variant::null();
        });
        c->AddMethod(QStringLiteral("function ClassName: String"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &) {
                         if (!inst)
                             throw Error(QStringLiteral("Access violation: the object is nil"));
                         if (freedObjects().contains(inst))
                             throw Error(QStringLiteral("Access violation: the object was freed"));
                         return Variant(classNameOf(inst));
                     });
    }
    c = s->AddClass(&TPersistent::staticClassInfo(), QStringLiteral("TObject"));
    if (c)
        c->AddMethod(QStringLiteral("procedure Assign(Source: TPersistent)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TPersistent>(inst)->Assign(p[0].toObject());
                         return Variant::null();
                     });

    s->AddClass(&TCollectionItem::staticClassInfo(), QStringLiteral("TPersistent"));
    c = s->AddClass(&TCollection::staticClassInfo(), QStringLiteral("TPersistent"));
    if (c) {
        c->AddConstructor(QStringLiteral("constructor Create"),
                          [](Object *, const ClassInfo *, const QString &, Params &) { return obj(make<TCollection>()); });
        c->AddMethod(QStringLiteral("function Add: TCollectionItem"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &) {
                         TCollectionItem *item = self<TCollection>(inst)->Add();
                         return obj(item);
                     });
        c->AddMethod(QStringLiteral("procedure Clear"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
            auto *col = self<TCollection>(inst);
            for (int i = 0; i < col->Count(); ++i)
            col->Clear();
            return Variant::null();
        });
        c->AddMethod(QStringLiteral("procedure Delete(Index: Integer)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         auto *col = self<TCollection>(inst);
                         col->Delete(p[0].toInt());
                         return Variant::null();
                     });
        c->AddProperty(QStringLiteral("Count"), QStringLiteral("Integer"),
                       [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TCollection>(inst)->Count()); });
        c->AddDefaultProperty(QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TCollectionItem"),
                              [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                                  TCollectionItem *item = self<TCollection>(inst)->Items(p[0].toInt());
                                  return obj(item);
                              },
                              true);
    }

    c = s->AddClass(&TList::staticClassInfo(), QStringLiteral("TObject"));
    if (c) {
        c->AddConstructor(QStringLiteral("constructor Create"),
                          [](Object *, const ClassInfo *, const QString &, Params &) { return obj(make<TList>()); });
        c->AddMethod(QStringLiteral("function Add(Item: TObject): Integer"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) { return Variant(self<TList>(inst)->Add(p[0])); });
        c->AddMethod(QStringLiteral("procedure Clear"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
            self<TList>(inst)->Clear();
            return Variant::null();
        });
        c->AddMethod(QStringLiteral("procedure Delete(Index: Integer)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TList>(inst)->Delete(p[0].toInt());
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("function IndexOf(Item: TObject): Integer"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) { return Variant(self<TList>(inst)->IndexOf(p[0])); });
        c->AddMethod(QStringLiteral("procedure Insert(Index: Integer; Item: TObject)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TList>(inst)->Insert(p[0].toInt(), p[1]);
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("function Remove(Item: TObject): Integer"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) { return Variant(self<TList>(inst)->Remove(p[0])); });
        c->AddProperty(QStringLiteral("Count"), QStringLiteral("Integer"),
                       [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TList>(inst)->Count()); });
        c->AddDefaultProperty(QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TObject"),
                              [](Object *inst, const ClassInfo *, const QString &name, Params &p) {
                                  TList *l = self<TList>(inst);
                                  if (name.endsWith(QLatin1String(".SET"))) {
                                      l->Put(p[0].toInt(), p[1]);
                                      return Variant::null();
                                  }
                                  return l->Get(p[0].toInt());
                              });
    }
}

void registerStringClasses(TfsScript *s)
{
    s->AddEnum(QStringLiteral("TDuplicates"), QStringLiteral("dupIgnore, dupAccept, dupError"));

    TfsClassVariable *c = s->AddClass(&TStrings::staticClassInfo(), QStringLiteral("TPersistent"));
    if (c) {
        auto method = [c](const char *syntax, std::function<Variant(TStrings *, Params &)> fn) {
            c->AddMethod(QString::fromLatin1(syntax), [fn](Object *inst, const ClassInfo *, const QString &, Params &p) {
                return fn(self<TStrings>(inst), p);
            });
        };
        method("function Add(const S: string): Integer", [](TStrings *l, Params &p) { return Variant(l->Add(p[0].toText())); });
        method("function AddObject(S: String; AObject: TObject): Integer",
               [](TStrings *l, Params &p) { return Variant(l->AddObject(p[0].toText(), p[1].toObject())); });
        method("procedure AddStrings(Strings: TStrings)", [](TStrings *l, Params &p) {
            if (TStrings *o = argObject<TStrings>(p[0]))
                l->AddStrings(*o);
            return Variant::null();
        });
        method("procedure Clear", [](TStrings *l, Params &) {
            l->Clear();
            return Variant::null();
        });
        method("procedure Delete(Index: Integer)", [](TStrings *l, Params &p) {
            l->Delete(p[0].toInt());
            return Variant::null();
        });
        method("procedure Exchange(Index1, Index2: Integer)", [](TStrings *l, Params &p) {
            l->Exchange(p[0].toInt(), p[1].toInt());
            return Variant::null();
        });
        method("function IndexOf(const S: string): Integer", [](TStrings *l, Params &p) { return Variant(l->IndexOf(p[0].toText())); });
        method("function IndexOfName(const Name: string): Integer",
               [](TStrings *l, Params &p) { return Variant(l->IndexOfName(p[0].toText())); });
        method("function IndexOfObject(AObject: TObject): Integer",
               [](TStrings *l, Params &p) { return Variant(l->IndexOfObject(p[0].toObject())); });
        method("procedure Insert(Index: Integer; const S: string)", [](TStrings *l, Params &p) {
            l->Insert(p[0].toInt(), p[1].toText());
            return Variant::null();
        });
        method("procedure LoadFromFile(const FileName: string)", [](TStrings *l, Params &p) {
            l->LoadFromFile(p[0].toText());
            return Variant::null();
        });
        method("procedure LoadFromStream(Stream: TStream)", [](TStrings *l, Params &p) {
            if (TStream *st = argObject<TStream>(p[0]))
                l->LoadFromStream(st->Device());
            return Variant::null();
        });
        method("procedure Move(CurIndex, NewIndex: Integer)", [](TStrings *l, Params &p) {
            l->Move(p[0].toInt(), p[1].toInt());
            return Variant::null();
        });
        method("procedure SaveToFile(const FileName: string)", [](TStrings *l, Params &p) {
            l->SaveToFile(p[0].toText());
            return Variant::null();
        });
        method("procedure SaveToStream(Stream: TStream)", [](TStrings *l, Params &p) {
            if (TStream *st = argObject<TStream>(p[0]))
                l->SaveToStream(st->Device());
            return Variant::null();
        });
        c->AddProperty(QStringLiteral("Count"), QStringLiteral("Integer"),
                       [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TStrings>(inst)->Count()); });
        auto textProp = [c](const char *name, QString (TStrings::*get)() const, void (TStrings::*set)(const QString &)) {
            c->AddProperty(
                QString::fromLatin1(name), QStringLiteral("String"),
                [get](Object *inst, const ClassInfo *, const QString &) { return Variant((self<TStrings>(inst)->*get)()); },
                [set](Object *inst, const ClassInfo *, const QString &, const Variant &v) { (self<TStrings>(inst)->*set)(v.toText()); });
        };
        textProp("Text", &TStrings::Text, &TStrings::SetText);
        textProp("CommaText", &TStrings::CommaText, &TStrings::SetCommaText);
        c->AddIndexProperty(QStringLiteral("Names"), QStringLiteral("Integer"), QStringLiteral("String"),
                            [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                                return Variant(self<TStrings>(inst)->Names(p[0].toInt()));
                            },
                            true);
        c->AddIndexProperty(QStringLiteral("Values"), QStringLiteral("String"), QStringLiteral("String"),
                            [](Object *inst, const ClassInfo *, const QString &name, Params &p) {
                                TStrings *l = self<TStrings>(inst);
                                if (name.endsWith(QLatin1String(".SET"))) {
                                    l->SetValues(p[0].toText(), p[1].toText());
                                    return Variant::null();
                                }
                                return Variant(l->Values(p[0].toText()));
                            });
        c->AddIndexProperty(QStringLiteral("Objects"), QStringLiteral("Integer"), QStringLiteral("TObject"),
                            [](Object *inst, const ClassInfo *, const QString &name, Params &p) {
                                TStrings *l = self<TStrings>(inst);
                                if (name.endsWith(QLatin1String(".SET"))) {
                                    l->PutObject(p[0].toInt(), p[1].toObject());
                                    return Variant::null();
                                }
                                return obj(l->GetObject(p[0].toInt()));
                            });
        c->AddDefaultProperty(QStringLiteral("Strings"), QStringLiteral("Integer"), QStringLiteral("String"),
                              [](Object *inst, const ClassInfo *, const QString &name, Params &p) {
                                  TStrings *l = self<TStrings>(inst);
                                  if (name.endsWith(QLatin1String(".SET"))) {
                                      l->Put(p[0].toInt(), p[1].toText());
                                      return Variant::null();
                                  }
                                  return Variant(l->Get(p[0].toInt()));
                              });
    }

    c = s->AddClass(&TStringList::staticClassInfo(), QStringLiteral("TStrings"));
    if (c) {
        c->AddConstructor(QStringLiteral("constructor Create"),
                          [](Object *, const ClassInfo *, const QString &, Params &) { return obj(make<TStringList>()); });
        c->AddMethod(QStringLiteral("function Find(s: String; var Index: Integer): Boolean"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         int i = 0;
                         const bool found = self<TStringList>(inst)->Find(p[0].toText(), i);
                         p[1] = Variant(i);
                         return Variant(found);
                     });
        c->AddMethod(QStringLiteral("procedure Sort"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
            self<TStringList>(inst)->Sort();
            return Variant::null();
        });
        c->AddProperty(
            QStringLiteral("Sorted"), QStringLiteral("Boolean"),
            [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TStringList>(inst)->Sorted()); },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) { self<TStringList>(inst)->SetSorted(v.toBool()); });
        c->AddProperty(
            QStringLiteral("CaseSensitive"), QStringLiteral("Boolean"),
            [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TStringList>(inst)->CaseSensitive()); },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
                self<TStringList>(inst)->SetCaseSensitive(v.toBool());
            });
        c->AddProperty(
            QStringLiteral("Duplicates"), QStringLiteral("TDuplicates"),
            [](Object *inst, const ClassInfo *, const QString &) { return Variant(int(self<TStringList>(inst)->Duplicates())); },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
                const int d = v.toInt();
                if (d < dupIgnore || d > dupError)
                    throw Error(QStringLiteral("Invalid TDuplicates value %1").arg(d));
                self<TStringList>(inst)->SetDuplicates(TDuplicates(d));
            });
    }
}

void registerStreamClasses(TfsScript *s)
{
    for (const auto &[name, value] : std::initializer_list<std::pair<const char *, int>>{
             {"fmCreate", fmCreate}, {"fmOpenRead", fmOpenRead}, {"fmOpenWrite", fmOpenWrite},
             {"fmOpenReadWrite", fmOpenReadWrite}, {"fmShareExclusive", fmShareExclusive},
             {"fmShareDenyWrite", fmShareDenyWrite}, {"fmShareDenyNone", fmShareDenyNone},
             {"soFromBeginning", soFromBeginning}, {"soFromCurrent", soFromCurrent}, {"soFromEnd", soFromEnd}})
        s->AddConst(QString::fromLatin1(name), QStringLiteral("Integer"), Variant(value));

    TfsClassVariable *c = s->AddClass(&TStream::staticClassInfo(), QStringLiteral("TObject"));
    if (c) {
        c->AddMethod(QStringLiteral("function Read(var Buffer: string; Count: Longint): Longint"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         const QByteArray bytes = self<TStream>(inst)->ReadBytes(p[1].toInt64());
                         p[0] = Variant(QString::fromUtf8(bytes));
                         return Variant(int(bytes.size()));
                     });
        c->AddMethod(QStringLiteral("function Write(const Buffer: string; Count: Longint): Longint"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         const QByteArray bytes = p[0].toText().toUtf8();
                         const qint64 n = std::clamp<qint64>(p[1].toInt64(), 0, bytes.size());
                         return Variant(int(self<TStream>(inst)->WriteBytes(bytes.left(n))));
                     });
        c->AddMethod(QStringLiteral("function Seek(Offset: Longint; Origin: Word): Longint"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         return Variant(self<TStream>(inst)->Seek(p[0].toInt64(), p[1].toInt()));
                     });
        c->AddMethod(QStringLiteral("function CopyFrom(Source: TStream; Count: Longint): Longint"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         return Variant(self<TStream>(inst)->CopyFrom(argObject<TStream>(p[0]), p[1].toInt64()));
                     });
        c->AddProperty(
            QStringLiteral("Position"), QStringLiteral("Longint"),
            [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TStream>(inst)->Position()); },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) { self<TStream>(inst)->SetPosition(v.toInt64()); });
        c->AddProperty(QStringLiteral("Size"), QStringLiteral("Longint"),
                       [](Object *inst, const ClassInfo *, const QString &) { return Variant(self<TStream>(inst)->Size()); });
    }

    c = s->AddClass(&TFileStream::staticClassInfo(), QStringLiteral("TStream"));
    if (c)
        c->AddConstructor(QStringLiteral("constructor Create(Filename: String; Mode: Word)"),
                          [](Object *, const ClassInfo *, const QString &, Params &p) {
                              return obj(make<TFileStream>(p[0].toText(), p[1].toInt()));
                          });

    c = s->AddClass(&TMemoryStream::staticClassInfo(), QStringLiteral("TStream"));
    if (c) {
        c->AddConstructor(QStringLiteral("constructor Create"),
                          [](Object *, const ClassInfo *, const QString &, Params &) { return obj(make<TMemoryStream>()); });
        c->AddMethod(QStringLiteral("procedure Clear"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
            self<TMemoryStream>(inst)->Clear();
            return Variant::null();
        });
        c->AddMethod(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TMemoryStream>(inst)->LoadFromStream(argObject<TStream>(p[0]));
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure SaveToStream(Stream: TStream)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TMemoryStream>(inst)->SaveToStream(argObject<TStream>(p[0]));
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure LoadFromFile(Filename: String)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TMemoryStream>(inst)->LoadFromFile(p[0].toText());
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure SaveToFile(Filename: String)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TMemoryStream>(inst)->SaveToFile(p[0].toText());
                         return Variant::null();
                     });
    }
}

void registerComponentClass(TfsScript *s)
{
    // The component base is the report's; scripts see it under its class name.
    TfsClassVariable *c = findClass(QStringLiteral("TComponent"))
        ? s->AddClass(findClass(QStringLiteral("TComponent")), QStringLiteral("TPersistent"))
        : s->AddClass(QStringLiteral("TComponent"), QStringLiteral("TPersistent"));
    if (!c)
        return;
    c->AddConstructor(QStringLiteral("constructor Create(AOwner: TComponent)"),
                      [](Object *, const ClassInfo *ci, const QString &, Params &p) {
                          const ClassInfo *info = ci ? ci : findClass(QStringLiteral("TComponent"));
                          Object *owner = p[0].toObject();
                          Object *o = info ? info->create(owner, nullptr) : nullptr;
                          if (!o)
                              throw Error(QStringLiteral("Cannot create an instance of TComponent"));
                          if (!owner)
                              scriptCreated().insert(o);
                          return obj(o);
                      });
    c->AddProperty(QStringLiteral("Owner"), QStringLiteral("TComponent"), [](Object *inst, const ClassInfo *, const QString &) {
        const auto &f = ownerFunction();
        return obj(inst && f ? f(inst) : nullptr);
    });
}

void registerXmlClasses(TfsScript *s)
{
    TfsClassVariable *c = s->AddClass(&TfsXMLItemObject::staticClassInfo(), QStringLiteral("TObject"));
    if (c) {
        auto item = [](Object *inst) { return self<TfsXMLItemObject>(inst)->Item(); };
        c->AddConstructor(QStringLiteral("constructor Create"), [](Object *, const ClassInfo *, const QString &, Params &) {
            TfsXMLItemObject *v = TfsXMLItemObject::create();
            return obj(v);
        });
        auto view = [](TfsXMLItem *i) {
            return obj(TfsXMLItemObject::of(i));
        };
        auto addTo = [](TfsXMLItem *parent, TfsXMLItem *child, int index) {
            if (!child)
                throw Error(QStringLiteral("Access violation: the object is nil"));
            for (TfsXMLItem *p = parent; p; p = p->Parent())
                if (p == child)
                    throw Error(QStringLiteral("An XML item cannot contain itself"));
            if (documentRoots().contains(child))
                throw Error(QStringLiteral("The root of a document cannot be moved"));
            if (index < 0)
                parent->AddItem(child);
            else
                parent->InsertItem(index, child);
        };
        c->AddMethod(QStringLiteral("procedure AddItem(Item: TfsXMLItem)"),
                     [item, addTo](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         addTo(item(inst), XmlItemArg::of(p[0]), -1);
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure InsertItem(Index: Integer; Item: TfsXMLItem)"),
                     [item, addTo](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         addTo(item(inst), XmlItemArg::of(p[1]), std::max(0, p[0].toInt()));
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("function Add: TfsXMLItem"),
                     [item, view](Object *inst, const ClassInfo *, const QString &, Params &) { return view(item(inst)->Add()); });
        c->AddMethod(QStringLiteral("procedure Clear"), [item](Object *inst, const ClassInfo *, const QString &, Params &) {
            TfsXMLItem *i = item(inst);
            for (int k = 0; k < i->Count(); ++k)
                TfsXMLItemObject::forget(i->Items(k));
            i->Clear();
            return Variant::null();
        });
        c->AddMethod(QStringLiteral("function Find(const Name: String): Integer"),
                     [item](Object *inst, const ClassInfo *, const QString &, Params &p) { return Variant(item(inst)->Find(p[0].toText())); });
        c->AddMethod(QStringLiteral("function FindItem(const Name: String): TfsXMLItem"),
                     [item, view](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         return view(item(inst)->FindItem(p[0].toText()));
                     });
        c->AddMethod(QStringLiteral("function IndexOf(Item: TfsXMLItem): Integer"),
                     [item](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         return Variant(item(inst)->IndexOf(XmlItemArg::of(p[0])));
                     });
        c->AddMethod(QStringLiteral("function PropExists(const Name: String): Boolean"),
                     [item](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         return Variant(item(inst)->PropExists(p[0].toText()));
                     });
        c->AddMethod(QStringLiteral("function Root: TfsXMLItem"),
                     [item, view](Object *inst, const ClassInfo *, const QString &, Params &) { return view(item(inst)->Root()); });
        c->AddProperty(QStringLiteral("Count"), QStringLiteral("Integer"),
                       [item](Object *inst, const ClassInfo *, const QString &) { return Variant(item(inst)->Count()); });
        c->AddProperty(
            QStringLiteral("Name"), QStringLiteral("String"),
            [item](Object *inst, const ClassInfo *, const QString &) { return Variant(item(inst)->Name()); },
            [item](Object *inst, const ClassInfo *, const QString &, const Variant &v) { item(inst)->SetName(v.toText()); });
        c->AddProperty(
            QStringLiteral("Text"), QStringLiteral("String"),
            [item](Object *inst, const ClassInfo *, const QString &) { return Variant(item(inst)->Text()); },
            [item](Object *inst, const ClassInfo *, const QString &, const Variant &v) { item(inst)->SetText(v.toText()); });
        c->AddProperty(QStringLiteral("Parent"), QStringLiteral("TfsXMLItem"),
                       [item, view](Object *inst, const ClassInfo *, const QString &) { return view(item(inst)->Parent()); });
        c->AddIndexProperty(QStringLiteral("Prop"), QStringLiteral("String"), QStringLiteral("String"),
                            [item](Object *inst, const ClassInfo *, const QString &name, Params &p) {
                                TfsXMLItem *i = item(inst);
                                if (name.endsWith(QLatin1String(".SET"))) {
                                    i->SetProp(p[0].toText(), p[1].toText());
                                    return Variant::null();
                                }
                                return Variant(i->Prop(p[0].toText()));
                            });
        c->AddDefaultProperty(QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TfsXMLItem"),
                              [item, view](Object *inst, const ClassInfo *, const QString &, Params &p) {
                                  TfsXMLItem *i = item(inst);
                                  const int k = p[0].toInt();
                                  if (k < 0 || k >= i->Count())
                                      listIndexError(k);
                                  return view(i->Items(k));
                              },
                              true);
    }

    c = s->AddClass(&TfsXMLDocumentObject::staticClassInfo(), QStringLiteral("TObject"));
    if (c) {
        c->AddConstructor(QStringLiteral("constructor Create"), [](Object *, const ClassInfo *, const QString &, Params &) {
            return obj(make<TfsXMLDocumentObject>());
        });
        c->AddMethod(QStringLiteral("procedure Clear"), [](Object *inst, const ClassInfo *, const QString &, Params &) {
            self<TfsXMLDocumentObject>(inst)->Clear();
            return Variant::null();
        });
        c->AddMethod(QStringLiteral("procedure LoadFromFile(const FileName: String)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TfsXMLDocumentObject>(inst)->LoadFromFile(p[0].toText());
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure SaveToFile(const FileName: String)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         self<TfsXMLDocumentObject>(inst)->Document().SaveToFile(p[0].toText());
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         if (TStream *st = argObject<TStream>(p[0]))
                             self<TfsXMLDocumentObject>(inst)->LoadFromStream(st->Device());
                         return Variant::null();
                     });
        c->AddMethod(QStringLiteral("procedure SaveToStream(Stream: TStream)"),
                     [](Object *inst, const ClassInfo *, const QString &, Params &p) {
                         if (TStream *st = argObject<TStream>(p[0]))
                             self<TfsXMLDocumentObject>(inst)->Document().SaveToStream(st->Device());
                         return Variant::null();
                     });
        c->AddProperty(QStringLiteral("Root"), QStringLiteral("TfsXMLItem"),
                       [](Object *inst, const ClassInfo *, const QString &) {
                           TfsXMLItemObject *v = TfsXMLItemObject::of(self<TfsXMLDocumentObject>(inst)->Document().Root());
                           return obj(v);
                       });
        c->AddProperty(
            QStringLiteral("AutoIndent"), QStringLiteral("Boolean"),
            [](Object *inst, const ClassInfo *, const QString &) {
                return Variant(self<TfsXMLDocumentObject>(inst)->Document().AutoIndent());
            },
            [](Object *inst, const ClassInfo *, const QString &, const Variant &v) {
                self<TfsXMLDocumentObject>(inst)->Document().SetAutoIndent(v.toBool());
            });
    }
}

} // namespace

TfsClassesRTTI::TfsClassesRTTI(TfsScript *script) : TfsRTTIModule(script)
{
    registerObjectClasses(script);
    registerStringClasses(script);
    registerStreamClasses(script);
    registerComponentClass(script);
    registerXmlClasses(script);
    script->AddEnum(QStringLiteral("TPrinterOrientation"), QStringLiteral("poPortrait, poLandscape"));
}

void fsRegisterClassesRTTI()
{
    fsRegisterSysFunctions();
    static std::once_flag once;
    std::call_once(once, [] {
        fsRegisterRTTIModule([](TfsScript *script) -> TfsRTTIModule * { return new TfsClassesRTTI(script); });
    });
}

} // namespace tw
