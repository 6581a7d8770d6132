#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QIODevice;

namespace tw {

class TfrxPicture;

// The pictures of a prepared report, each stored once as its graphic's bytes. Pictures are
// appended to segments (memory, or temporary files when kept in files); a new segment
// starts when the last one has reached the segment limit. Indices count from 1.
class TfrxPictureCache {
public:
    static constexpr qint64 DefaultSegmentLimit = 1789569706;

    TfrxPictureCache();
    ~TfrxPictureCache();
    TfrxPictureCache(const TfrxPictureCache &) = delete;
    TfrxPictureCache &operator=(const TfrxPictureCache &) = delete;

    // Taken only while the cache is empty.
    void SetOptions(bool inFile, const QString &tempDir);
    bool InFile() const { return m_inFile; }
    void SetSegmentLimit(qint64 bytes) { m_segmentLimit = bytes; }

    // Stores the picture's bytes and returns its index (from 1); an empty picture gives 0.
    int AddPicture(const TfrxPicture &picture);
    int AddBytes(const QByteArray &bytes);
    // The stored bytes of an index, empty when out of range.
    QByteArray Bytes(int index) const;
    // Fills the picture from an entry; false when there is none or it does not decode.
    bool GetPicture(int index, TfrxPicture &picture) const;
    int Count() const { return int(m_items.size()); }
    int SegmentCount() const { return int(m_segments.size()); }
    void Clear();

private:
    struct Item {
        int segment;
        qint64 offset;
    };
    QIODevice *lastSegment();

    bool m_inFile = false;
    QString m_tempDir;
    qint64 m_segmentLimit = DefaultSegmentLimit;
    QList<std::shared_ptr<QIODevice>> m_segments;
    QList<Item> m_items;
};

} // namespace tw
