#include "report/model/picture.h"

#include <QFile>
#include <QtEndian>
#include <cstdlib>

namespace tw {

namespace {

const QString kJpeg = QStringLiteral("TJPEGImage");
const QString kBitmap = QStringLiteral("TBitmap");
const QString kPng = QStringLiteral("TPngImage");

// JPEG and BMP data carry their length in front; PNG data is the file alone.
bool hasLengthPrefix(const QString &cls)
{
    return cls == kJpeg || cls == kBitmap;
}

quint32 le32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

QSize jpegSize(const QByteArray &b)
{
    const auto byte = [&b](qsizetype i) { return quint8(b[i]); };
    qsizetype i = 2;
    const qsizetype n = b.size();
    while (i + 3 < n) {
        if (byte(i) != 0xFF) {
            ++i;
            continue;
        }
        const quint8 marker = byte(i + 1);
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        i += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9))
            continue;
        if (i + 1 >= n)
            break;
        const int len = (byte(i) << 8) | byte(i + 1);
        const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof && i + 6 < n)
            return QSize((byte(i + 5) << 8) | byte(i + 6), (byte(i + 3) << 8) | byte(i + 4));
        if (len < 2)
            break;
        i += len;
    }
    return QSize();
}

QSize bmpSize(const QByteArray &b)
{
    if (b.size() < 26)
        return QSize();
    const quint32 header = le32(b, 14);
    if (header == 12)
        return QSize(qFromLittleEndian<quint16>(b.constData() + 18), qFromLittleEndian<quint16>(b.constData() + 20));
    // A negative height marks a top-down bitmap.
    return QSize(std::abs(qint32(le32(b, 18))), std::abs(qint32(le32(b, 22))));
}

QSize pngSize(const QByteArray &b)
{
    if (b.size() < 24 || b.mid(12, 4) != "IHDR")
        return QSize();
    return QSize(int(qFromBigEndian<quint32>(b.constData() + 16)), int(qFromBigEndian<quint32>(b.constData() + 20)));
}

} // namespace

QString graphicClassOf(const QByteArray &file)
{
    if (file.startsWith("\xFF\xD8\xFF"))
        return kJpeg;
    if (file.startsWith("BM") && file.size() >= 26)
        return kBitmap;
    if (file.startsWith("\x89PNG\r\n\x1A\n"))
        return kPng;
    return QString();
}

// ---------------------------------------------------------------------------------------

TW_DEFINE_CLASS(TfrxPicture, nullptr)
{
    info.name = QStringLiteral("TPicture");
}

void TfrxPicture::LoadFromBytes(const QByteArray &file)
{
    if (file.isEmpty()) {
        Clear();
        return;
    }
    const QString cls = graphicClassOf(file);
    if (cls.isEmpty())
        throw EInvalidGraphic(QStringLiteral("Unknown picture file format"));
    SetGraphic(cls, file);
}

void TfrxPicture::LoadFromFile(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, f.errorString()));
    LoadFromBytes(f.readAll());
}

void TfrxPicture::SetGraphic(const QString &graphicClass, const QByteArray &data)
{
    m_graphicClass = graphicClass;
    m_data = graphicClass.isEmpty() ? QByteArray() : data;
    changed();
}

void TfrxPicture::Clear()
{
    if (isEmpty())
        return;
    m_graphicClass.clear();
    m_data.clear();
    changed();
}

void TfrxPicture::Assign(const TfrxPicture &other)
{
    if (&other == this)
        return;
    SetGraphic(other.m_graphicClass, other.m_data);
}

QSize TfrxPicture::PixelSize() const
{
    if (m_graphicClass == kJpeg)
        return jpegSize(m_data);
    if (m_graphicClass == kBitmap)
        return bmpSize(m_data);
    if (m_graphicClass == kPng)
        return pngSize(m_data);
    return QSize();
}

QByteArray TfrxPicture::StreamData() const
{
    QByteArray out;
    if (isEmpty())
        return out;
    QByteArray name = m_graphicClass.toUtf8().left(255);
    out.append(char(name.size()));
    out.append(name);
    if (hasLengthPrefix(m_graphicClass)) {
        char len[4];
        qToLittleEndian<quint32>(quint32(m_data.size()), len);
        out.append(len, 4);
    }
    out.append(m_data);
    return out;
}

void TfrxPicture::SetStreamData(const QByteArray &bytes)
{
    if (bytes.isEmpty()) {
        Clear();
        return;
    }
    const int nameLen = quint8(bytes[0]);
    if (1 + nameLen > bytes.size())
        throw EReadError(QStringLiteral("Stream read error"));
    const QString cls = QString::fromUtf8(bytes.mid(1, nameLen));
    qsizetype pos = 1 + nameLen;
    if (hasLengthPrefix(cls)) {
        if (pos + 4 > bytes.size())
            throw EReadError(QStringLiteral("Stream read error"));
        const quint32 len = le32(bytes, pos);
        pos += 4;
        if (len > quint64(bytes.size() - pos))
            throw EReadError(QStringLiteral("Stream read error"));
        SetGraphic(cls, bytes.mid(pos, qsizetype(len)));
        return;
    }
    SetGraphic(cls, bytes.mid(pos));
}

void TfrxPicture::DefineProperties(TfrxFiler &filer)
{
    filer.DefineProperty(
        QStringLiteral("Data"), [this](TfrxComponentReader &r) { SetStreamData(r.ReadBinary()); },
        [this](TfrxComponentWriter &w) { w.WriteBinary(StreamData()); }, !isEmpty());
}

// ---------------------------------------------------------------------------------------

TW_DEFINE_CLASS(TfrxPictureView, &TfrxView::staticClassInfo())
{
    using P = TfrxPictureView;
    ClassBuilder<P>(info).factory(frxFactory<P>()).style(csPreviewVisible);
    publishViewProperties(info, {QStringLiteral("Cursor")});
    ClassBuilder<P>(info)
        .boolean(QStringLiteral("AutoSize"), &P::AutoSize, &P::SetAutoSize, false)
        .boolean(QStringLiteral("Center"), &P::Center, &P::SetCenter, false);
    publishViewProperties(info, {QStringLiteral("DataField"), QStringLiteral("DataSet"), QStringLiteral("DataSetName"),
                                 QStringLiteral("Frame")});
    ClassBuilder<P>(info)
        .string(QStringLiteral("FileLink"), &P::FileLink, &P::SetFileLink)
        .integer(QStringLiteral("ImageIndex"), &P::ImageIndex, &P::SetImageIndex)
        .storedIf([](const P *p) { return p->ImageIndex() > 0; })
        .boolean(QStringLiteral("KeepAspectRatio"), &P::KeepAspectRatio, &P::SetKeepAspectRatio, true)
        .nested(QStringLiteral("Picture"), TfrxPicture::staticClassInfo(), &P::Picture)
        .storedIf([](const P *p) { return p->ImageIndex() <= 0; })
        .boolean(QStringLiteral("Stretched"), &P::Stretched, &P::SetStretched, true);
    publishViewProperties(info, {QStringLiteral("TagStr"), QStringLiteral("URL")});
    ClassBuilder<P>(info)
        .boolean(QStringLiteral("HightQuality"), &P::HightQuality, &P::SetHightQuality)
        .boolean(QStringLiteral("Transparent"), &P::Transparent, &P::SetTransparent)
        .integer(QStringLiteral("TransparentColor"), &P::TransparentColor, &P::SetTransparentColor);
}

TfrxPictureView::TfrxPictureView(Component *owner) : TfrxView(owner)
{
    m_picture.OnChange = [this] { pictureChanged(); };
}

void TfrxPictureView::SetAutoSize(bool v)
{
    m_autoSize = v;
    applyAutoSize();
}

void TfrxPictureView::pictureChanged()
{
    m_pictureChanged = true;
    applyAutoSize();
}

void TfrxPictureView::applyAutoSize()
{
    if (!m_autoSize)
        return;
    // An empty or unreadable picture keeps the design size.
    const QSize s = m_picture.PixelSize();
    if (s.isValid() && !s.isEmpty()) {
        SetWidth(s.width());
        SetHeight(s.height());
    }
}

} // namespace tw
