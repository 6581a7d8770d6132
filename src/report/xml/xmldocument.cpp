#include "report/xml/xmldocument.h"

#include "base/codepage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tw {

namespace {

const QString invalidFormat()
{
    return QStringLiteral("Invalid file format");
}

inline bool isSpecial(char16_t c)
{
    return c == 10 || c == 13 || c == '"' || c == '&' || c == '<' || c == '>';
}

} // namespace

bool TryParseXMLInteger(QStringView s, qint64 &out, bool wide)
{
    int i = 0;
    const int n = int(s.size());
    while (i < n && s[i] == QLatin1Char(' '))
        ++i;
    bool neg = false;
    if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
        neg = s[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && (s[i] == QLatin1Char('$') || s[i] == QLatin1Char('x') || s[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == QLatin1Char('0') && (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    // Hex digits may fill the whole width (a bit pattern); decimal must fit the signed range.
    const quint64 hexLimit = wide ? ~quint64(0) : 0xFFFFFFFFULL;
    const quint64 decLimit = wide ? (neg ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL)
                                  : (neg ? 0x80000000ULL : 0x7FFFFFFFULL);
    const quint64 limit = base == 16 ? hexLimit : decLimit;
    quint64 v = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (limit - quint64(d)) / quint64(base))
            return false;
        v = v * quint64(base) + quint64(d);
    }
    if (base == 16 && !wide)
        v = quint64(qint64(qint32(quint32(v)))); // a 32-bit pattern such as $FFFFFFFF is -1
    out = neg ? qint64(0 - v) : qint64(v);
    return true;
}

QString EncodeXMLValue(const QString &value)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(value.constData());
    const qsizetype n = value.size();
    qsizetype first = 0;
    while (first < n && !isSpecial(p[first]))
        ++first;
    if (first == n)
        return value;
    QString r;
    r.reserve(n + 16);
    r.append(QStringView(value).left(first));
    for (qsizetype i = first; i < n; ++i) {
        const char16_t c = p[i];
        switch (c) {
        case 10: r.append(QLatin1String("&#10;")); break;
        case 13: r.append(QLatin1String("&#13;")); break;
        case '"': r.append(QLatin1String("&#34;")); break;
        case '<': r.append(QLatin1String("&#60;")); break;
        case '>': r.append(QLatin1String("&#62;")); break;
        case '&':
            if (QStringView(value).mid(i, 6) == QLatin1String("&quot;")) {
                r.append(QLatin1String("&#34;"));
                i += 5;
            } else {
                r.append(QLatin1String("&#38;"));
            }
            break;
        default: r.append(QChar(c));
        }
    }
    return r;
}

QString DecodeXMLValue(const QString &value)
{
    const qsizetype n = value.size();
    qsizetype amp = value.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return value;
    const QStringView v(value);
    QString r;
    r.reserve(n);
    qsizetype from = 0;
    while (amp >= 0) {
        r.append(v.mid(from, amp - from));
        const qsizetype rest = n - amp - 1; // characters after the ampersand
        qsizetype next = amp + 1;
        if (rest >= 3 && v[amp + 1] == QLatin1Char('#')) {
            const qsizetype semi = value.indexOf(QLatin1Char(';'), amp + 2);
            if (semi < 0) {
                r.append(QLatin1Char('&'));
            } else {
                const QStringView digits = v.mid(amp + 2, semi - amp - 2);
                qint64 code = 0;
                if (!TryParseXMLInteger(digits, code))
                    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(digits));
                r.append(QChar(char16_t(code & 0xFFFF)));
                next = semi + 1;
            }
        } else if (v.mid(amp + 1, 5) == QLatin1String("quot;")) {
            r.append(QLatin1Char('"'));
            next = amp + 6;
        } else if (v.mid(amp + 1, 4) == QLatin1String("amp;")) {
            r.append(QLatin1Char('&'));
            next = amp + 5;
        } else if (v.mid(amp + 1, 3) == QLatin1String("lt;")) {
            r.append(QLatin1Char('<'));
            next = amp + 4;
        } else if (v.mid(amp + 1, 3) == QLatin1String("gt;")) {
            r.append(QLatin1Char('>'));
            next = amp + 4;
        } else {
            r.append(QLatin1Char('&'));
        }
        from = next;
        amp = value.indexOf(QLatin1Char('&'), from);
    }
    r.append(v.mid(from));
    return r;
}

// ---------------------------------------------------------------------------------------
// TfrxXMLItem

TfrxXMLItem::~TfrxXMLItem()
{
    detach();
    // Iteratively, so that a deep tree cannot exhaust the stack.
    QList<TfrxXMLItem *> pending = std::move(m_items);
    m_items.clear();
    while (!pending.isEmpty()) {
        TfrxXMLItem *it = pending.takeLast();
        it->m_parent = nullptr;
        for (TfrxXMLItem *c : std::as_const(it->m_items))
            c->m_parent = nullptr;
        pending.append(it->m_items);
        it->m_items.clear();
        delete it;
    }
}

void TfrxXMLItem::detach()
{
    if (m_parent) {
        m_parent->m_items.removeOne(this);
        m_parent = nullptr;
    }
}

TfrxXMLItem *TfrxXMLItem::Add()
{
    auto *item = new TfrxXMLItem;
    AddItem(item);
    return item;
}

TfrxXMLItem *TfrxXMLItem::Add(const QString &name)
{
    TfrxXMLItem *item = Add();
    item->m_name = name;
    return item;
}

void TfrxXMLItem::AddItem(TfrxXMLItem *item)
{
    item->detach();
    item->m_parent = this;
    m_items.append(item);
}

void TfrxXMLItem::InsertItem(int index, TfrxXMLItem *item)
{
    AddItem(item);
    const int from = int(m_items.size()) - 1;
    index = qBound(0, index, from);
    m_items.move(from, index);
}

int TfrxXMLItem::Find(const QString &name) const
{
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i]->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TfrxXMLItem *TfrxXMLItem::FindItem(const QString &name)
{
    const int i = Find(name);
    return i >= 0 ? m_items[i] : Add(name);
}

int TfrxXMLItem::IndexOf(const TfrxXMLItem *item) const
{
    return int(m_items.indexOf(const_cast<TfrxXMLItem *>(item)));
}

TfrxXMLItem *TfrxXMLItem::Root()
{
    TfrxXMLItem *r = this;
    while (r->m_parent)
        r = r->m_parent;
    return r;
}

void TfrxXMLItem::Clear()
{
    QList<TfrxXMLItem *> items = std::move(m_items);
    m_items.clear();
    for (TfrxXMLItem *it : std::as_const(items)) {
        it->m_parent = nullptr;
        delete it;
    }
    if (m_unloadable)
        m_loaded = false;
}

int TfrxXMLItem::propPos(const QString &name) const
{
    // The pattern is: start of text or a space, the name, '=' and '"'.
    const QString pattern = name + QLatin1String("=\"");
    qsizetype from = 0;
    for (;;) {
        const qsizetype i = m_text.indexOf(pattern, from, Qt::CaseInsensitive);
        if (i < 0)
            return -1;
        if (i == 0 || m_text.at(i - 1) == QLatin1Char(' '))
            return int(i);
        from = i + 1;
    }
}

QString TfrxXMLItem::GetProp(const QString &name) const
{
    const int i = propPos(name);
    if (i < 0)
        return QString();
    const qsizetype start = i + name.size() + 2;
    qsizetype end = m_text.indexOf(QLatin1Char('"'), start);
    if (end < 0)
        end = m_text.size();
    return DecodeXMLValue(m_text.mid(start, end - start));
}

bool TfrxXMLItem::PropExists(const QString &name) const
{
    return propPos(name) >= 0;
}

void TfrxXMLItem::SetProp(const QString &name, const QString &value)
{
    qsizetype pos = propPos(name);
    if (pos >= 0) {
        const qsizetype start = pos + name.size() + 2;
        qsizetype end = m_text.indexOf(QLatin1Char('"'), start);
        end = end < 0 ? m_text.size() : end + 1;
        m_text.remove(pos, end - pos);
    } else {
        pos = m_text.size();
    }
    QString attr;
    attr.reserve(name.size() + value.size() + 4);
    if (pos > 0 && m_text.at(pos - 1) != QLatin1Char(' '))
        attr.append(QLatin1Char(' '));
    attr.append(name).append(QLatin1String("=\"")).append(EncodeXMLValue(value)).append(QLatin1Char('"'));
    m_text.insert(pos, attr);
}

void TfrxXMLItem::DeleteProp(const QString &name)
{
    if (!PropExists(name))
        return;
    SetProp(name, QString());
    const int pos = propPos(name);
    if (pos >= 0)
        m_text.remove(pos, name.size() + 4);
}

// ---------------------------------------------------------------------------------------
// TfrxXMLReader

namespace {
constexpr int ReadBlock = 64 * 1024;
constexpr int NameSlots = 256;

inline unsigned hashBytes(const char *p, int len)
{
    unsigned h = 2166136261u;
    for (int i = 0; i < len; ++i)
        h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
    return h;
}

inline bool isAscii(const char *p, int len)
{
    for (int i = 0; i < len; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

// Position of the partial-loading marker in the attribute text, ignoring the case of the
// letters, or -1; *len gets its length. The marker is " ld=\"0\"" after other attributes,
// or "ld=\"0\"" alone at the start (an unloadable item without attributes).
int findMarker(const char *p, int len, int *markerLen)
{
    const char *end = p + len;
    if (len >= 6 && (p[0] | 0x20) == 'l' && (p[1] | 0x20) == 'd' && memcmp(p + 2, "=\"0\"", 4) == 0) {
        *markerLen = 6;
        return 0;
    }
    for (const char *q = p + 3; q + 4 <= end;) {
        q = static_cast<const char *>(memmem(q, size_t(end - q), "=\"0\"", 4));
        if (!q)
            return -1;
        if (q[-3] == ' ' && (q[-2] | 0x20) == 'l' && (q[-1] | 0x20) == 'd') {
            *markerLen = 7;
            return int(q - 3 - p);
        }
        ++q;
    }
    return -1;
}
} // namespace

TfrxXMLReader::TfrxXMLReader(QIODevice *stream)
    : m_stream(stream), m_names(new NameSlot[NameSlots])
{
    m_bufStart = stream->pos();
    m_buf.resize(ReadBlock);
}

TfrxXMLReader::~TfrxXMLReader()
{
    m_stream->seek(m_bufStart + m_pos);
}

void TfrxXMLReader::fail() const
{
    throw TfrxInvalidXMLException(invalidFormat());
}

void TfrxXMLReader::SetPosition(qint64 position)
{
    m_stream->seek(position);
    m_bufStart = position;
    m_pos = m_len = 0;
    m_mark = -1;
}

bool TfrxXMLReader::fill()
{
    const int keep = m_mark >= 0 ? m_mark : m_pos;
    if (keep > 0) {
        std::memmove(m_buf.data(), m_buf.constData() + keep, size_t(m_len - keep));
        m_len -= keep;
        m_pos -= keep;
        if (m_mark >= 0)
            m_mark -= keep;
        m_bufStart += keep;
    }
    if (m_len >= m_buf.size() - 1024)
        m_buf.resize(m_buf.size() * 2);
    // The stream may have been moved by someone else between reads.
    if (m_stream->pos() != m_bufStart + m_len)
        m_stream->seek(m_bufStart + m_len);
    const qint64 got = m_stream->read(m_buf.data() + m_len, m_buf.size() - m_len);
    if (got <= 0)
        return false;
    m_len += int(got);
    return true;
}

bool TfrxXMLReader::readTag(Tag &tag)
{
    for (;;) {
        // Outside a tag: everything up to '<' is skipped.
        for (;;) {
            if (m_pos >= m_len && !fill())
                return false;
            const char *lt = static_cast<const char *>(std::memchr(m_buf.constData() + m_pos, '<', size_t(m_len - m_pos)));
            if (lt) {
                m_pos = int(lt - m_buf.constData()) + 1;
                break;
            }
            m_pos = m_len;
        }
        m_mark = m_pos;
        while (m_len - m_mark < 3 && fill()) {
        }
        if (m_len - m_mark >= 3 && std::memcmp(m_buf.constData() + m_mark, "!--", 3) == 0) {
            // A comment: skipped up to "--" directly followed by '>'.
            // Only the last two bytes are kept across refills, so a long comment costs no memory.
            int rel = 3;        // next byte to examine, counted from m_mark
            qint64 dropped = 0; // bytes of the comment already let go
            for (;;) {
                const char *b = m_buf.constData() + m_mark;
                const int avail = m_len - m_mark;
                const char *hit = nullptr;
                while (rel < avail) {
                    const char *q = static_cast<const char *>(std::memchr(b + rel, '>', size_t(avail - rel)));
                    if (!q) {
                        rel = avail;
                        break;
                    }
                    const int i = int(q - b);
                    if (dropped + i >= 5 && q[-1] == '-' && q[-2] == '-') {
                        hit = q;
                        break;
                    }
                    rel = i + 1;
                }
                if (hit) {
                    m_pos = m_mark + int(hit - b) + 1;
                    break;
                }
                const int keepFrom = avail - 2;
                m_mark += keepFrom;
                dropped += keepFrom;
                rel = 2;
                m_pos = m_len;
                if (!fill())
                    fail();
            }
            m_mark = -1;
            continue;
        }
        // Inside a tag: collect up to '>'; a '<' is an error.
        int rel = 0;
        for (;;) {
            const char *b = m_buf.constData() + m_mark;
            const int avail = m_len - m_mark;
            const char *gt = static_cast<const char *>(std::memchr(b + rel, '>', size_t(avail - rel)));
            const int end = gt ? int(gt - b) : avail;
            if (std::memchr(b + rel, '<', size_t(end - rel)))
                fail();
            if (gt) {
                m_pos = m_mark + end + 1;
                break;
            }
            rel = avail;
            m_pos = m_len;
            if (!fill())
                fail();
        }
        // m_mark may have moved during refills; the tag is m_buf[m_mark, m_pos - 1).
        const char *p = m_buf.constData() + m_mark;
        int len = m_pos - 1 - m_mark;
        m_mark = -1;
        if (len > 0 && p[len - 1] == ' ')
            --len;
        const char *sp = static_cast<const char *>(std::memchr(p, ' ', size_t(len)));
        if (sp) {
            tag.name = p;
            tag.nameLen = int(sp - p);
            tag.text = sp + 1;
            tag.textLen = len - tag.nameLen - 1;
        } else {
            tag.name = p;
            tag.nameLen = len;
            tag.text = p + len;
            tag.textLen = 0;
        }
        return true;
    }
}

QString TfrxXMLReader::nameString(const char *p, int len)
{
    NameSlot &slot = m_names[hashBytes(p, len) & (NameSlots - 1)];
    if (slot.bytes.size() == len && std::memcmp(slot.bytes.constData(), p, size_t(len)) == 0)
        return slot.name;
    slot.bytes = QByteArray(p, len);
    slot.name = isAscii(p, len) ? QString::fromLatin1(p, len) : codepage::fromAnsi(slot.bytes);
    return slot.name;
}

QString TfrxXMLReader::textString(const char *p, int len) const
{
    if (len == 0)
        return QString();
    if (m_oldVersion)
        return isAscii(p, len) ? QString::fromLatin1(p, len) : codepage::fromAnsi(QByteArray(p, len));
    return QString::fromUtf8(p, len);
}

void TfrxXMLReader::ReadHeader()
{
    Tag tag;
    if (!readTag(tag) || tag.nameLen < 4 || std::memcmp(tag.name, "?xml", 4) != 0)
        fail();
    const QByteArray text(tag.text, tag.textLen);
    QByteArray version;
    const int v = int(text.indexOf("version="));
    if (v >= 0)
        version = text.mid(v + 9, 3);
    m_oldVersion = version == "1.0" && !text.contains("standalone=");
}

bool TfrxXMLReader::ReadRootItem(TfrxXMLItem *item, bool readChildren)
{
    struct Frame {
        TfrxXMLItem *item; // nullptr inside a subtree that is not kept
        QByteArray name;
        qint64 start;
        bool unload;
        bool keepChildren;
    };
    QList<Frame> stack;

    // Finishes an element whose list of children has ended.
    auto finish = [&](const Frame &f) {
        if (f.unload && f.item) {
            f.item->Clear();
            f.item->m_offset = f.start;
            f.item->m_unloadable = true;
            f.item->m_loaded = false;
        }
    };

    for (;;) {
        const qint64 start = Position();
        Tag tag;
        if (!readTag(tag)) {
            // End of stream: the elements still open stand as read.
            if (stack.isEmpty()) {
                item->m_name.clear();
                item->m_text.clear();
                return true;
            }
            while (!stack.isEmpty())
                finish(stack.takeLast());
            return false;
        }
        if (tag.nameLen == 0) {
            // A tag without a name ends the open element's list like a closing tag, but
            // there is no name to match.
            if (stack.isEmpty()) {
                item->m_name.clear();
                item->m_text = textString(tag.text, tag.textLen);
                return true;
            }
            finish(stack.takeLast());
            if (stack.isEmpty())
                return false;
            continue;
        }
        if (tag.name[0] == '/') {
            if (stack.isEmpty()) {
                item->m_name = nameString(tag.name, tag.nameLen);
                item->m_text = textString(tag.text, tag.textLen);
                return true;
            }
            const Frame &top = stack.constLast();
            if (tag.nameLen != top.name.size() + 1
                || qstrnicmp(tag.name + 1, tag.nameLen - 1, top.name.constData(), top.name.size()) != 0)
                fail();
            finish(stack.takeLast());
            if (stack.isEmpty())
                return false;
            continue;
        }

        // An opening or empty element.
        int nameLen = tag.nameLen;
        int textLen = tag.textLen;
        bool empty = false;
        if (nameLen > 0 && tag.name[nameLen - 1] == '/') {
            --nameLen;
            empty = true;
        } else if (textLen > 0 && tag.text[textLen - 1] == '/') {
            --textLen;
            empty = true;
        }
        bool marker = false;
        QByteArray textBytes;
        const char *text = tag.text;
        int markerLen = 0;
        const int m = findMarker(tag.text, textLen, &markerLen);
        if (m >= 0) {
            marker = true;
            textBytes = QByteArray(tag.text, textLen);
            textBytes.remove(m, markerLen);
            text = textBytes.constData();
            textLen = int(textBytes.size());
        }
        TfrxXMLItem *target = nullptr;
        if (stack.isEmpty()) {
            target = item;
        } else if (stack.constLast().keepChildren) {
            target = new TfrxXMLItem;
            stack.constLast().item->AddItem(target);
        }
        if (target) {
            target->m_name = nameString(tag.name, nameLen);
            target->m_text = textString(text, textLen);
        }
        // An element to unload is parsed to its end, but its children are not kept.
        const bool unload = marker && !readChildren;
        Frame f{target, QByteArray(), start, unload, target && !unload};
        if (empty) {
            finish(f);
            if (stack.isEmpty())
                return false;
            continue;
        }
        if (stack.size() >= MaxDepth)
            fail();
        f.name = QByteArray(tag.name, nameLen);
        stack.append(std::move(f));
    }
}

// ---------------------------------------------------------------------------------------
// TfrxXMLWriter

namespace {
constexpr int WriteBlock = 64 * 1024;

// Reads an unloaded item's subtree back from a stream, keeping the item's own attributes.
void readBack(TfrxXMLItem *item, QIODevice *stream, bool oldVersion)
{
    const QString text = item->Text();
    {
        TfrxXMLReader reader(stream);
        reader.SetOldVersion(oldVersion);
        reader.SetPosition(item->Offset());
        reader.ReadRootItem(item, true);
    }
    item->SetText(text);
    item->SetLoaded(true);
}
} // namespace

TfrxXMLWriter::TfrxXMLWriter(QIODevice *stream) : m_stream(stream)
{
    m_out.reserve(WriteBlock + 4096);
}

TfrxXMLWriter::~TfrxXMLWriter()
{
    Flush();
}

void TfrxXMLWriter::SetBackingStream(QIODevice *stream, bool oldVersion)
{
    m_backing = stream;
    m_backingOld = oldVersion;
}

void TfrxXMLWriter::Flush()
{
    if (m_out.isEmpty())
        return;
    const qint64 written = m_stream->write(m_out);
    m_out.clear();
    if (written < 0)
        throw EInOutError(m_stream->errorString());
}

void TfrxXMLWriter::maybeFlush()
{
    if (m_out.size() > WriteBlock)
        Flush();
}

void TfrxXMLWriter::endLine()
{
    if (m_autoIndent)
        m_out.append("\r\n", 2);
}

void TfrxXMLWriter::WriteHeader()
{
    m_out.append("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>");
    endLine();
}

void TfrxXMLWriter::writeName(const QString &name)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(name.constData());
    const qsizetype n = name.size();
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i)
        ascii = p[i] < 0x80;
    if (ascii) {
        const qsizetype at = m_out.size();
        m_out.resize(at + n);
        char *d = m_out.data() + at;
        for (qsizetype i = 0; i < n; ++i)
            d[i] = char(p[i]);
    } else {
        m_out.append(codepage::toAnsi(name));
    }
}

void TfrxXMLWriter::WriteRootItem(TfrxXMLItem *item)
{
    writeItem(item, 0);
    Flush();
}

void TfrxXMLWriter::writeItem(TfrxXMLItem *item, int depth)
{
    bool reloaded = false;
    if (item->Unloadable() && !item->Loaded()) {
        QIODevice *source = item->m_inTempFile ? m_temp : m_backing;
        if (source) {
            readBack(item, source, item->m_inTempFile ? false : m_backingOld);
            reloaded = true;
        }
    }
    const QByteArray indent = m_autoIndent ? QByteArray(depth * 2, ' ') : QByteArray();
    m_out.append(indent);
    m_out.append('<');
    writeName(item->Name());
    if (!item->Text().isEmpty()) {
        if (!item->Text().startsWith(QLatin1Char(' ')))
            m_out.append(' ');
        m_out.append(item->Text().toUtf8());
    }
    // One blank before the marker, also on an item without attributes (<page2 ld="0">).
    if (item->Unloadable())
        m_out.append(" ld=\"0\"");
    if (item->Count() > 0) {
        m_out.append('>');
        endLine();
        for (int i = 0; i < item->Count(); ++i)
            writeItem(item->Items(i), depth + 1);
        m_out.append(indent);
        m_out.append("</", 2);
        writeName(item->Name());
        m_out.append('>');
    } else if (!item->Value().isEmpty()) {
        m_out.append('>');
        m_out.append(item->Value().toUtf8());
        m_out.append("</", 2);
        writeName(item->Name());
        m_out.append('>');
    } else {
        m_out.append("/>", 2);
    }
    endLine();
    maybeFlush();
    if (reloaded)
        item->Clear();
}

// ---------------------------------------------------------------------------------------
// TfrxXMLDocument

TfrxXMLDocument::TfrxXMLDocument() : m_root(new TfrxXMLItem) {}

TfrxXMLDocument::~TfrxXMLDocument()
{
    m_root.reset();
    releaseStreams();
}

void TfrxXMLDocument::releaseStreams()
{
    m_backing.reset();
    if (m_temp) {
        m_temp.reset(); // a temporary file removes itself
        QFile::remove(m_tempName);
        m_tempName.clear();
    }
}

void TfrxXMLDocument::Clear()
{
    m_root->Clear();
    releaseStreams();
}

QString TfrxXMLDocument::TempFileName() const
{
    return m_tempName;
}

void TfrxXMLDocument::LoadFromStream(QIODevice *stream, bool allowPartialLoading)
{
    std::unique_ptr<QIODevice> owned(allowPartialLoading ? stream : nullptr);
    if (m_backing.get() == stream) {
        // Reloading from our own backing stream: it stays ours either way.
        m_backing.release();
        owned.reset(stream);
    }
    releaseStreams();
    m_root->Clear();
    m_root->m_loaded = true;
    m_root->m_unloadable = false;
    m_root->m_offset = 0;
    {
        TfrxXMLReader reader(stream);
        reader.ReadHeader();
        m_oldVersion = reader.OldVersion();
        reader.ReadRootItem(m_root.get(), !allowPartialLoading);
    }
    if (allowPartialLoading)
        m_backing = std::move(owned);
}

void TfrxXMLDocument::LoadFromFile(const QString &fileName)
{
    auto *file = new QFile(fileName);
    if (!file->open(QIODevice::ReadOnly)) {
        const QString msg = QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file->errorString());
        delete file;
        throw EInOutError(msg);
    }
    LoadFromStream(file, true);
}

void TfrxXMLDocument::SaveToStream(QIODevice *stream)
{
    TfrxXMLWriter writer(stream);
    writer.SetAutoIndent(m_autoIndent);
    writer.SetBackingStream(m_backing.get(), m_oldVersion);
    writer.m_temp = m_temp.get();
    writer.WriteHeader();
    writer.WriteRootItem(m_root.get());
}

void TfrxXMLDocument::SaveToFile(const QString &fileName)
{
    const QString tmpName = fileName + QStringLiteral(".tmp");
    {
        QFile tmp(tmpName);
        if (!tmp.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw EInOutError(QStringLiteral("Cannot create file \"%1\". %2").arg(tmpName, tmp.errorString()));
        try {
            SaveToStream(&tmp);
        } catch (...) {
            tmp.close();
            QFile::remove(tmpName);
            throw;
        }
        if (!tmp.flush()) {
            const QString msg = tmp.errorString();
            tmp.close();
            QFile::remove(tmpName);
            throw EInOutError(msg);
        }
    }
    releaseStreams();
    // rename() replaces the old file in one step, so a failure never leaves it deleted.
    if (std::rename(QFile::encodeName(tmpName).constData(), QFile::encodeName(fileName).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(tmpName);
        throw EInOutError(QStringLiteral("Cannot rename \"%1\" to \"%2\". %3").arg(tmpName, fileName, reason));
    }
    LoadFromFile(fileName);
}

void TfrxXMLDocument::ensureTempFile()
{
    if (m_temp)
        return;
    QString dir = m_tempDir;
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    auto *file = new QTemporaryFile(QDir(dir).filePath(QStringLiteral("twxml_XXXXXX.tmp")));
    if (!file->open()) {
        const QString msg = QStringLiteral("Cannot create temporary file in \"%1\". %2").arg(dir, file->errorString());
        delete file;
        throw EInOutError(msg);
    }
    m_tempName = file->fileName();
    m_temp.reset(file);
}

void TfrxXMLDocument::UnloadItem(TfrxXMLItem *item)
{
    if (!item->Loaded() || !item->Unloadable())
        return;
    ensureTempFile();
    const qint64 offset = m_temp->size();
    m_temp->seek(offset);
    {
        // Nested unloaded items are pulled from the temporary file while it is appended to,
        // so the item is first rendered to memory.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            TfrxXMLWriter inner(&buffer);
            inner.SetBackingStream(m_backing.get(), m_oldVersion);
            inner.m_temp = m_temp.get();
            inner.WriteRootItem(item);
        }
        m_temp->seek(offset);
        if (m_temp->write(buffer.data()) != buffer.data().size())
            throw EInOutError(m_temp->errorString());
    }
    item->m_offset = offset;
    item->m_inTempFile = true;
    item->Clear();
}

void TfrxXMLDocument::LoadItem(TfrxXMLItem *item)
{
    if (item->Loaded() || !item->Unloadable())
        return;
    QIODevice *source = item->m_inTempFile ? m_temp.get() : m_backing.get();
    if (!source)
        return;
    readBack(item, source, item->m_inTempFile ? false : m_oldVersion);
}

} // namespace tw
