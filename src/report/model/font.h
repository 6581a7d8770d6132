#pragma once

#include "base/metadata.h"

#include <QString>
#include <functional>

namespace tw {

// Font styles as a bit mask: fsBold 1, fsItalic 2, fsUnderline 4, fsStrikeOut 8.
enum TFontStyle : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TFontPitch : int { fpDefault, fpVariable, fpFixed };
enum TFontQuality : int {
    fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural
};

constexpr int DEFAULT_CHARSET = 1;

const EnumInfo &fontStyleEnum();   // fsBold fsItalic fsUnderline fsStrikeOut
const EnumInfo &fontPitchEnum();   // fpDefault fpVariable fpFixed
const EnumInfo &fontQualityEnum(); // fqDefault ...

// A font record: family, height in pixels (negative: character height), style, colour
// and character set. Every change calls OnChange, once per setter or Assign.
class TFont : public Object {
    TW_OBJECT(TFont)

    TFont() = default;
    TFont(const TFont &other) : Object() { copyFrom(other); }
    TFont &operator=(const TFont &other)
    {
        Assign(other);
        return *this;
    }

    // Copies every attribute and notifies once.
    void Assign(const TFont &other);
    // Same attributes (the change callback is not compared).
    bool equals(const TFont &other) const;

    int Charset() const { return m_charset; }
    void SetCharset(int v);
    int Color() const { return m_color; }
    void SetColor(int v);
    int Height() const { return m_height; }
    void SetHeight(int v);
    const QString &Name() const { return m_name; }
    void SetName(const QString &v);
    int Orientation() const { return m_orientation; }
    void SetOrientation(int v);
    TFontPitch Pitch() const { return m_pitch; }
    void SetPitch(TFontPitch v);
    // Points: height * 72 / 96, rounded, sign removed.
    int Size() const;
    void SetSize(int points);
    int Style() const { return m_style; } // TFontStyle mask
    void SetStyle(int mask);
    TFontQuality Quality() const { return m_quality; }
    void SetQuality(TFontQuality v);
    int PixelsPerInch() const { return 96; }

    std::function<void()> OnChange;

private:
    void copyFrom(const TFont &o);
    void changed()
    {
        if (OnChange)
            OnChange();
    }

    int m_charset = DEFAULT_CHARSET;
    int m_color = 0;
    int m_height = -13;
    QString m_name = QStringLiteral("Arial");
    int m_orientation = 0;
    TFontPitch m_pitch = fpDefault;
    int m_style = 0;
    TFontQuality m_quality = fqDefault;
};

} // namespace tw
