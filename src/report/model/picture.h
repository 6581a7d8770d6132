#pragma once

#include "report/model/views.h"
#include "report/xml/component.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>

namespace tw {

// A picture raising this could not be read: an unknown image file.
TW_DECLARE_ERROR(EInvalidGraphic, Error)

// A stored picture: the name of its graphic class and that graphic's own data. JPEG, BMP
// and PNG pictures hold their image file; pictures of other graphic classes keep the
// class data exactly as read, so they are written back unchanged. Nothing is decoded.
class TfrxPicture : public Object, public TfrxDefinedProperties {
    TW_OBJECT(TfrxPicture)
    TfrxPicture() = default;
    TfrxPicture(const TfrxPicture &) = delete;
    TfrxPicture &operator=(const TfrxPicture &) = delete;

    bool isEmpty() const { return m_graphicClass.isEmpty(); }
    // "TJPEGImage", "TBitmap", "TPngImage", another class read from a template, or empty.
    const QString &GraphicClass() const { return m_graphicClass; }
    // The image file (JPEG, BMP, PNG) or the raw class data (other classes).
    const QByteArray &Data() const { return m_data; }

    // An image file recognised by its signature (JPEG, BMP, PNG); EInvalidGraphic otherwise.
    // Empty bytes clear the picture.
    void LoadFromBytes(const QByteArray &file);
    void LoadFromFile(const QString &fileName);
    // The class and data as they come from a stream; unknown classes are kept as they are.
    void SetGraphic(const QString &graphicClass, const QByteArray &data);
    void Clear();
    void Assign(const TfrxPicture &other);
    bool sameAs(const TfrxPicture &other) const
    {
        return m_graphicClass == other.m_graphicClass && m_data == other.m_data;
    }

    // Pixel size read from the image header; invalid when unknown.
    QSize PixelSize() const;

    // The Data entry: class name (length byte and UTF-8), then the class data.
    QByteArray StreamData() const;
    void SetStreamData(const QByteArray &bytes);

    void DefineProperties(TfrxFiler &filer) override;

    // Called after every change of the picture.
    std::function<void()> OnChange;

private:
    void changed()
    {
        if (OnChange)
            OnChange();
    }
    QString m_graphicClass;
    QByteArray m_data;
};

// The graphic class of an image file by its signature, or empty.
QString graphicClassOf(const QByteArray &file);

class TfrxPictureView : public TfrxView {
    TW_OBJECT(TfrxPictureView)
    explicit TfrxPictureView(Component *owner = nullptr);

    // While AutoSize is set, the view takes the picture's pixel size.
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool v);
    bool Center() const { return m_center; }
    void SetCenter(bool v) { m_center = v; }
    const QString &FileLink() const { return m_fileLink; }
    void SetFileLink(const QString &v) { m_fileLink = v; }
    // Position in the prepared report's picture cache, from 1; 0: not cached.
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int v) { m_imageIndex = v; }
    bool KeepAspectRatio() const { return m_keepAspectRatio; }
    void SetKeepAspectRatio(bool v) { m_keepAspectRatio = v; }
    TfrxPicture *Picture() const { return const_cast<TfrxPicture *>(&m_picture); }
    void SetPicture(const TfrxPicture &v) { m_picture.Assign(v); }
    bool Stretched() const { return m_stretched; }
    void SetStretched(bool v) { m_stretched = v; }
    bool HightQuality() const { return m_hightQuality; }
    void SetHightQuality(bool v) { m_hightQuality = v; }
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool v) { m_transparent = v; }
    int TransparentColor() const { return m_transparentColor; }
    void SetTransparentColor(int v) { m_transparentColor = v; }

    // The picture changed since the prepared pages last stored it.
    bool PictureChanged() const { return m_pictureChanged; }
    void SetPictureChanged(bool v) { m_pictureChanged = v; }

    void LoadFromFile(const QString &fileName) { m_picture.LoadFromFile(fileName); }

private:
    void pictureChanged();
    void applyAutoSize();
    bool m_autoSize = false;
    bool m_center = false;
    QString m_fileLink;
    int m_imageIndex = 0;
    bool m_keepAspectRatio = true;
    TfrxPicture m_picture;
    bool m_stretched = true;
    bool m_hightQuality = false;
    bool m_transparent = false;
    int m_transparentColor = 16777215;
    bool m_pictureChanged = false;
};

} // namespace tw
