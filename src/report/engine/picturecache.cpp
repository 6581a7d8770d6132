#include "report/engine/picturecache.h"

#include "base/error.h"
#include "report/model/picture.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace tw {

TfrxPictureCache::TfrxPictureCache() = default;
TfrxPictureCache::~TfrxPictureCache() = default;

void TfrxPictureCache::SetOptions(bool inFile, const QString &tempDir)
{
    if (!m_items.isEmpty())
        return;
    m_inFile = inFile;
    m_tempDir = tempDir;
}

void TfrxPictureCache::Clear()
{
    m_items.clear();
    m_segments.clear(); // temporary files remove themselves
}

QIODevice *TfrxPictureCache::lastSegment()
{
    if (!m_segments.isEmpty() && m_segments.last()->size() < m_segmentLimit)
        return m_segments.last().get();
    std::shared_ptr<QIODevice> seg;
    if (m_inFile) {
        QString dir = m_tempDir;
        if (dir.isEmpty() || !QFileInfo(dir).isDir())
            dir = QDir::tempPath();
        auto file = std::make_shared<QTemporaryFile>(QDir(dir).filePath(QStringLiteral("frPicXXXXXX")));
        if (!file->open())
            throw EInOutError(QStringLiteral("Cannot create temporary file in \"%1\". %2").arg(dir, file->errorString()));
        (void)file->fileName(); // gives the file its name in the directory
        seg = file;
    } else {
        auto buf = std::make_shared<QBuffer>();
        buf->open(QIODevice::ReadWrite);
        seg = buf;
    }
    m_segments.append(seg);
    return seg.get();
}

int TfrxPictureCache::AddPicture(const TfrxPicture &picture)
{
    if (picture.isEmpty())
        return 0;
    return AddBytes(picture.Data());
}

int TfrxPictureCache::AddBytes(const QByteArray &bytes)
{
    QIODevice *seg = lastSegment();
    const qint64 offset = seg->size();
    seg->seek(offset);
    if (seg->write(bytes) != bytes.size())
        throw EInOutError(seg->errorString());
    m_items.append({int(m_segments.size()) - 1, offset});
    return int(m_items.size());
}

QByteArray TfrxPictureCache::Bytes(int index) const
{
    if (index < 1 || index > m_items.size())
        return QByteArray();
    const Item &it = m_items.at(index - 1);
    QIODevice *seg = m_segments.at(it.segment).get();
    // A picture runs to the next picture of its segment or to the segment's end.
    qint64 end = seg->size();
    if (index < m_items.size() && m_items.at(index).segment == it.segment)
        end = m_items.at(index).offset;
    if (!seg->seek(it.offset))
        return QByteArray();
    return seg->read(end - it.offset);
}

bool TfrxPictureCache::GetPicture(int index, TfrxPicture &picture) const
{
    const QByteArray bytes = Bytes(index);
    if (bytes.isEmpty())
        return false;
    try {
        picture.LoadFromBytes(bytes);
    } catch (const EInvalidGraphic &) {
        return false;
    }
    return true;
}

} // namespace tw
