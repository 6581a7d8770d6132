#include "script/grammardocument.h"

#include <QBuffer>
#include <QFile>

#include <vector>

namespace tw {

namespace {

const QString kInvalidFormat = QStringLiteral("Invalid file format");
// Documents nested deeper than this are refused rather than risking the stack later.
constexpr int kMaxDepth = 10000;

bool isBlank(QChar c) { return c.unicode() <= 32; }

} // namespace

// ---------------------------------------------------------------- escaping

QString fsXMLEscape(const QString &value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        switch (c.unicode()) {
        case '\n': out += QLatin1String("&#10;"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        case '"': out += QLatin1String("&#34;"); break;
        case '<': out += QLatin1String("&#60;"); break;
        case '>': out += QLatin1String("&#62;"); break;
        case '&':
            if (QStringView(value).mid(i, 6) == QLatin1String("&quot;")) {
                out += QLatin1String("&#34;");
                i += 5;
            } else {
                out += c;
            }
            break;
        default: out += c;
        }
    }
    return out;
}

QString fsXMLUnescape(const QString &value)
{
    if (!value.contains(QLatin1Char('&')))
        return value;
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('&')) {
            if (i + 1 < n && value.at(i + 1) == QLatin1Char('#')) {
                qsizetype j = i + 2;
                quint32 code = 0;
                bool big = false;
                while (j < n && value.at(j).isDigit() && value.at(j).unicode() < 128) {
                    code = code * 10 + quint32(value.at(j).unicode() - '0');
                    if (code > 0x10FFFF)
                        big = true;
                    ++j;
                }
                if (j > i + 2 && j < n && value.at(j) == QLatin1Char(';') && !big) {
                    if (code > 0xFFFF) {
                        const char32_t cp = code;
                        out += QString::fromUcs4(&cp, 1);
                    } else {
                        out += QChar(char16_t(code));
                    }
                    i = j;
                    continue;
                }
            } else if (QStringView(value).mid(i, 6) == QLatin1String("&quot;")) {
                out += QLatin1Char('"');
                i += 5;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// ---------------------------------------------------------------- item

TfsXMLItem::~TfsXMLItem()
{
    Clear();
    detach();
}

void TfsXMLItem::detach()
{
    if (m_parent) {
        m_parent->m_items.removeOne(this);
        m_parent = nullptr;
    }
}

TfsXMLItem *TfsXMLItem::Add()
{
    auto *item = new TfsXMLItem;
    AddItem(item);
    return item;
}

void TfsXMLItem::AddItem(TfsXMLItem *item)
{
    item->detach();
    item->m_parent = this;
    m_items.append(item);
}

void TfsXMLItem::InsertItem(int index, TfsXMLItem *item)
{
    item->detach();
    item->m_parent = this;
    m_items.insert(qBound(0, index, int(m_items.size())), item);
}

void TfsXMLItem::Clear()
{
    const QList<TfsXMLItem *> items = std::move(m_items);
    m_items.clear();
    for (TfsXMLItem *item : items) {
        item->m_parent = nullptr;
        delete item;
    }
}

int TfsXMLItem::Find(const QString &name) const
{
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items.at(i)->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TfsXMLItem *TfsXMLItem::FindItem(const QString &name)
{
    const int i = Find(name);
    if (i >= 0)
        return m_items.at(i);
    TfsXMLItem *item = Add();
    item->m_name = name;
    return item;
}

int TfsXMLItem::IndexOf(TfsXMLItem *item) const { return int(m_items.indexOf(item)); }

TfsXMLItem *TfsXMLItem::Root()
{
    TfsXMLItem *item = this;
    while (item->m_parent)
        item = item->m_parent;
    return item;
}

void TfsXMLItem::Assign(const TfsXMLItem *item)
{
    if (item == this)
        return;
    Clear();
    m_name = item->m_name;
    m_text = item->m_text;
    m_data = item->m_data;
    for (const TfsXMLItem *child : item->m_items)
        Add()->Assign(child);
}

int TfsXMLItem::findPair(const QString &name) const
{
    // The first `name="` (any case) at the start or after a blank; the compiler asks this
    // for every node it builds, so no key string is made.
    const qsizetype n = name.size();
    const qsizetype len = m_text.size();
    const QChar *t = m_text.constData();
    for (qsizetype i = 0; i + n + 2 <= len; ++i) {
        if (t[i + n] != QLatin1Char('=') || t[i + n + 1] != QLatin1Char('"'))
            continue;
        if (i > 0 && !isBlank(t[i - 1]))
            continue;
        if (QStringView(t + i, n).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QStringView TfsXMLItem::RawProp(const QString &name) const
{
    const int i = findPair(name);
    if (i < 0)
        return QStringView();
    const qsizetype begin = i + name.size() + 2;
    qsizetype end = m_text.indexOf(QLatin1Char('"'), begin);
    if (end < 0)
        end = m_text.size();
    return QStringView(m_text).mid(begin, end - begin);
}

QString TfsXMLItem::Prop(const QString &name) const
{
    const QStringView raw = RawProp(name);
    if (raw.isNull())
        return QString();
    return fsXMLUnescape(raw.toString());
}

bool TfsXMLItem::PropExists(const QString &name) const { return findPair(name) >= 0; }

void TfsXMLItem::SetProp(const QString &name, const QString &value)
{
    const QString pair = name + QLatin1String("=\"") + fsXMLEscape(value) + QLatin1Char('"');
    const int i = findPair(name);
    if (i >= 0) {
        qsizetype end = m_text.indexOf(QLatin1Char('"'), i + name.size() + 2);
        end = end < 0 ? m_text.size() : end + 1;
        m_text.replace(i, end - i, pair);
        return;
    }
    if (!m_text.endsWith(QLatin1Char(' ')))
        m_text += QLatin1Char(' ');
    m_text += pair;
}

// ---------------------------------------------------------------- reader

namespace {

class Reader {
public:
    explicit Reader(QIODevice *stream) : m_stream(stream) {}

    // Next tag's text without the angle brackets; false at the end of the stream.
    bool readTag(QByteArray &tag)
    {
        while (true) {
            int c;
            do {
                c = get();
                if (c < 0)
                    return false;
            } while (c != '<');
            tag.clear();
            bool comment = false;
            while (true) {
                c = get();
                if (c < 0)
                    throw EfsXMLError(kInvalidFormat);
                if (comment) {
                    tag.append(char(c));
                    if (c == '>' && tag.size() >= 6 && tag.endsWith("-->"))
                        break;
                    continue;
                }
                if (c == '<')
                    throw EfsXMLError(kInvalidFormat);
                if (c == '>')
                    break;
                tag.append(char(c));
                if (tag.size() == 3 && tag == "!--")
                    comment = true;
            }
            if (!comment)
                return true;
        }
    }

private:
    int get()
    {
        if (m_pos >= m_len) {
            m_len = m_stream->read(m_buf, sizeof m_buf);
            m_pos = 0;
            if (m_len <= 0) {
                m_len = 0;
                return -1;
            }
        }
        return uchar(m_buf[m_pos++]);
    }

    QIODevice *m_stream;
    char m_buf[4096];
    qint64 m_pos = 0;
    qint64 m_len = 0;
};

struct Tag {
    QString name;
    QString text;
    bool empty = false;
};

Tag splitTag(QByteArray raw)
{
    Tag t;
    if (raw.endsWith(' '))
        raw.chop(1);
    const qsizetype blank = raw.indexOf(' ');
    if (blank < 0) {
        t.name = QString::fromLocal8Bit(raw);
    } else {
        t.name = QString::fromLocal8Bit(raw.left(blank));
        t.text = QString::fromUtf8(raw.mid(blank));
    }
    if (t.name.endsWith(QLatin1Char('/'))) {
        t.name.chop(1);
        t.empty = true;
    } else if (t.text.endsWith(QLatin1Char('/'))) {
        t.text.chop(1);
        t.empty = true;
    }
    return t;
}

void writeItem(QByteArray &out, QIODevice *stream, const TfsXMLItem *item, bool indent, int level)
{
    if (indent)
        out.append(QByteArray(level * 2, ' '));
    out.append('<');
    out.append(item->Name().toLocal8Bit());
    const QString &text = item->Text();
    if (!text.isEmpty()) {
        if (!text.startsWith(QLatin1Char(' ')))
            out.append(' ');
        out.append(text.toUtf8());
    }
    if (item->Count() == 0) {
        out.append("/>");
    } else {
        out.append('>');
        if (indent)
            out.append("\r\n");
        for (int i = 0; i < item->Count(); ++i)
            writeItem(out, stream, item->Items(i), indent, level + 1);
        if (indent)
            out.append(QByteArray(level * 2, ' '));
        out.append("</");
        out.append(item->Name().toLocal8Bit());
        out.append('>');
    }
    if (indent)
        out.append("\r\n");
    if (stream && out.size() > 4096) {
        stream->write(out);
        out.clear();
    }
}

} // namespace

// ---------------------------------------------------------------- document

TfsXMLDocument::TfsXMLDocument() : m_root(new TfsXMLItem) {}

TfsXMLDocument::~TfsXMLDocument() { delete m_root; }

void TfsXMLDocument::Clear()
{
    m_root->Clear();
    m_root->SetName(QString());
    m_root->SetText(QString());
}

void TfsXMLDocument::LoadFromStream(QIODevice *stream)
{
    Clear();
    Reader reader(stream);
    QByteArray raw;
    if (!reader.readTag(raw) || !raw.startsWith("?xml"))
        throw EfsXMLError(kInvalidFormat);
    if (!reader.readTag(raw))
        throw EfsXMLError(kInvalidFormat);
    Tag t = splitTag(raw);
    if (t.name.startsWith(QLatin1Char('/')))
        throw EfsXMLError(kInvalidFormat);
    m_root->SetName(t.name);
    m_root->SetText(t.text);
    if (t.empty)
        return;
    std::vector<TfsXMLItem *> open{m_root};
    while (!open.empty()) {
        if (!reader.readTag(raw))
            throw EfsXMLError(kInvalidFormat);
        t = splitTag(raw);
        if (t.name.startsWith(QLatin1Char('/'))) {
            if (QStringView(t.name).mid(1).compare(open.back()->Name(), Qt::CaseInsensitive) != 0)
                throw EfsXMLError(kInvalidFormat);
            open.pop_back();
            continue;
        }
        TfsXMLItem *item = open.back()->Add();
        item->SetName(t.name);
        item->SetText(t.text);
        if (!t.empty) {
            if (open.size() >= size_t(kMaxDepth))
                throw EfsXMLError(kInvalidFormat);
            open.push_back(item);
        }
    }
}

void TfsXMLDocument::SaveToStream(QIODevice *stream) const
{
    QByteArray out("<?xml version=\"1.0\"?>");
    if (m_autoIndent)
        out.append("\r\n");
    writeItem(out, stream, m_root, m_autoIndent, 0);
    stream->write(out);
}

void TfsXMLDocument::LoadFromFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, f.errorString()));
    LoadFromStream(&f);
}

void TfsXMLDocument::SaveToFile(const QString &fileName) const
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, f.errorString()));
    SaveToStream(&f);
}

void TfsXMLDocument::LoadFromBytes(const QByteArray &bytes)
{
    QByteArray copy(bytes);
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    LoadFromStream(&buf);
}

QByteArray TfsXMLDocument::SaveToBytes() const
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    SaveToStream(&buf);
    buf.close();
    return out;
}

QByteArray fsXMLItemToBytes(const TfsXMLItem *item, bool autoIndent)
{
    QByteArray out;
    writeItem(out, nullptr, item, autoIndent, 0);
    return out;
}

} // namespace tw
