#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QIODevice;

namespace tw {

// Malformed XML; the message is always "Invalid file format".
TW_DECLARE_ERROR(TfrxInvalidXMLException, Error)

// Escapes LF, CR, '"', '&', '<' and '>' as decimal character references; "&quot;" already
// in the text becomes one reference so it reads back as a single quote.
QString EncodeXMLValue(const QString &value);
// Undoes character references (&#NN;, hex with $ or x) and the entities quot, amp, lt, gt
// in one left-to-right pass. Raises EConvertError when the digits of a reference do not
// convert; a reference without its ';' is left as it is.
QString DecodeXMLValue(const QString &value);

// The platform's integer conversion: blanks, a sign, decimal, or hexadecimal after $, x
// or 0x; 32-bit unless wide.
bool TryParseXMLInteger(QStringView text, qint64 &out, bool wide = false);

class TfrxXMLDocument;

// One element: a name, the raw (still escaped) attribute string and owned children.
class TfrxXMLItem {
public:
    TfrxXMLItem() = default;
    explicit TfrxXMLItem(const QString &name) : m_name(name) {}
    ~TfrxXMLItem();
    TfrxXMLItem(const TfrxXMLItem &) = delete;
    TfrxXMLItem &operator=(const TfrxXMLItem &) = delete;

    TfrxXMLItem *Add();
    TfrxXMLItem *Add(const QString &name);
    // Takes the item over, removing it from its former parent first.
    void AddItem(TfrxXMLItem *item);
    void InsertItem(int index, TfrxXMLItem *item);
    // First child whose name equals the given one ignoring case, or -1.
    int Find(const QString &name) const;
    // That child; appended when missing.
    TfrxXMLItem *FindItem(const QString &name);
    int IndexOf(const TfrxXMLItem *item) const;
    TfrxXMLItem *Root();
    // Destroys the children; an unloadable item becomes not loaded.
    void Clear();

    // Attributes are found by text search in Text (names ignoring case).
    QString GetProp(const QString &name) const;
    void SetProp(const QString &name, const QString &value);
    bool PropExists(const QString &name) const;
    void DeleteProp(const QString &name);

    int Count() const { return int(m_items.size()); }
    TfrxXMLItem *Items(int index) const { return m_items.at(index); }
    TfrxXMLItem *operator[](int index) const { return m_items.at(index); }
    TfrxXMLItem *Parent() const { return m_parent; }

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    const QString &Text() const { return m_text; }
    void SetText(const QString &text) { m_text = text; }
    // Character content: written, never read back.
    const QString &Value() const { return m_value; }
    void SetValue(const QString &value) { m_value = value; }
    void *Data() const { return m_data; }
    void SetData(void *data) { m_data = data; }
    bool Loaded() const { return m_loaded; }
    void SetLoaded(bool v) { m_loaded = v; }
    bool Unloadable() const { return m_unloadable; }
    void SetUnloadable(bool v) { m_unloadable = v; }
    bool Modified() const { return m_modified; }
    void SetModified(bool v) { m_modified = v; }
    qint64 Offset() const { return m_offset; }
    void SetOffset(qint64 v) { m_offset = v; }

private:
    friend class TfrxXMLReader;
    friend class TfrxXMLWriter;
    friend class TfrxXMLDocument;
    void detach();
    // Start of the attribute's name in Text, -1 when absent.
    int propPos(const QString &name) const;

    QString m_name;
    QString m_text;
    QString m_value;
    QList<TfrxXMLItem *> m_items;
    TfrxXMLItem *m_parent = nullptr;
    void *m_data = nullptr;
    qint64 m_offset = 0;
    bool m_loaded = true;
    bool m_unloadable = false;
    bool m_modified = false;
    // Unloaded into the document's temporary file rather than left in the source stream.
    bool m_inTempFile = false;
};

// Tag reader over a random-access stream. Reads ahead in blocks; on destruction the
// stream is positioned just after the last byte consumed.
class TfrxXMLReader {
public:
    explicit TfrxXMLReader(QIODevice *stream);
    ~TfrxXMLReader();
    TfrxXMLReader(const TfrxXMLReader &) = delete;
    TfrxXMLReader &operator=(const TfrxXMLReader &) = delete;

    // The declaration; sets OldVersion. Raises TfrxInvalidXMLException.
    void ReadHeader();
    // Reads one element into the item. Returns true when the tag read was a closing tag,
    // a tag without a name or the end of the stream (the item then holds no element).
    bool ReadRootItem(TfrxXMLItem *item, bool readChildren = true);
    void SetPosition(qint64 position);
    qint64 Position() const { return m_bufStart + m_pos; }
    bool OldVersion() const { return m_oldVersion; }
    void SetOldVersion(bool v) { m_oldVersion = v; }

    // Elements nested deeper than this are rejected as malformed.
    static constexpr int MaxDepth = 4096;

private:
    struct Tag {
        const char *name = nullptr;
        int nameLen = 0;
        const char *text = nullptr;
        int textLen = 0;
    };
    bool fill();
    bool readTag(Tag &tag);
    QString nameString(const char *p, int len);
    QString textString(const char *p, int len) const;
    [[noreturn]] void fail() const;

    QIODevice *m_stream;
    QByteArray m_buf;
    qint64 m_bufStart = 0; // stream position of m_buf[0]
    int m_pos = 0;         // next unconsumed byte
    int m_len = 0;         // valid bytes in m_buf
    int m_mark = -1;       // start of the tag being collected, kept across refills
    bool m_oldVersion = false;
    struct NameSlot {
        QByteArray bytes;
        QString name;
    };
    std::unique_ptr<NameSlot[]> m_names;
};

// Writes items as XML, buffering the output.
class TfrxXMLWriter {
public:
    explicit TfrxXMLWriter(QIODevice *stream);
    ~TfrxXMLWriter();
    TfrxXMLWriter(const TfrxXMLWriter &) = delete;
    TfrxXMLWriter &operator=(const TfrxXMLWriter &) = delete;

    bool AutoIndent() const { return m_autoIndent; }
    void SetAutoIndent(bool v) { m_autoIndent = v; }
    // Where unloaded items are read back from while writing.
    void SetBackingStream(QIODevice *stream, bool oldVersion = false);
    void WriteHeader();
    void WriteRootItem(TfrxXMLItem *item);
    void Flush();

private:
    friend class TfrxXMLDocument;
    void writeItem(TfrxXMLItem *item, int depth);
    void writeName(const QString &name);
    void endLine();
    void maybeFlush();

    QIODevice *m_stream;
    QIODevice *m_backing = nullptr;
    QIODevice *m_temp = nullptr;
    bool m_backingOld = false;
    bool m_autoIndent = false;
    QByteArray m_out;
};

class TfrxXMLDocument {
public:
    TfrxXMLDocument();
    ~TfrxXMLDocument();
    TfrxXMLDocument(const TfrxXMLDocument &) = delete;
    TfrxXMLDocument &operator=(const TfrxXMLDocument &) = delete;

    TfrxXMLItem *Root() const { return m_root.get(); }
    bool AutoIndent() const { return m_autoIndent; }
    void SetAutoIndent(bool v) { m_autoIndent = v; }
    const QString &TempDir() const { return m_tempDir; }
    void SetTempDir(const QString &dir) { m_tempDir = dir; }
    bool OldVersion() const { return m_oldVersion; }
    void SetOldVersion(bool v) { m_oldVersion = v; }

    // Drops the root's children (keeping its name and attributes), the backing stream and
    // the temporary file.
    void Clear();
    // With partial loading the document keeps the stream as its backing stream and takes
    // ownership of it (it must be heap-allocated), also when the load fails; otherwise the
    // caller keeps it.
    void LoadFromStream(QIODevice *stream, bool allowPartialLoading = false);
    // Opens the file and loads it with partial loading; the file stays open.
    void LoadFromFile(const QString &fileName);
    void SaveToStream(QIODevice *stream);
    // Writes FileName.tmp, replaces the file with it and reloads from it.
    void SaveToFile(const QString &fileName);
    void LoadItem(TfrxXMLItem *item);
    void UnloadItem(TfrxXMLItem *item);

    // The temporary file, empty until the first UnloadItem.
    QString TempFileName() const;

private:
    void releaseStreams();
    void ensureTempFile();

    std::unique_ptr<TfrxXMLItem> m_root;
    bool m_autoIndent = false;
    bool m_oldVersion = false;
    QString m_tempDir;
    std::unique_ptr<QIODevice> m_backing;
    std::unique_ptr<QIODevice> m_temp;
    QString m_tempName;
};

} // namespace tw
