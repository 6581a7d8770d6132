#pragma once
// Text measurement: advance widths of characters in a font, the one thing the text layout
// needs of the platform's fonts.

#include <QString>
#include <QStringView>

namespace tw {

// A font as measurement sees it.
struct TextFontSpec {
    QString family;
    int pixelHeight = 83; // em height in pixels of the measuring resolution (600 dpi)
    int style = 0;        // TFontStyle mask; underline and strike-out do not change widths
    int charset = 1;      // font character set (DEFAULT_CHARSET)
};

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The advance width from the start of the text to the end of each of its UTF-16 units,
    // into widths[0 .. text.size()): in pixels of the font's resolution, no kerning. The
    // first unit of a surrogate pair adds nothing, the second the whole character.
    virtual void cumulativeWidths(const TextFontSpec &font, QStringView text, int *widths) = 0;
};

// The process's measurer: glyph advances from FreeType of the font fontconfig matches for
// the family (Arial, Times New Roman and Courier New resolve to the metric-compatible
// Liberation fonts). A family that matches no loadable file falls back to DejaVu Sans,
// then Liberation Sans; with no font at all every character is half the em wide. Faces
// and advances are cached per font and size; safe to call from any thread.
TextMeasurer &defaultTextMeasurer();

// The file the default measurer uses for the family and style (after the fallbacks);
// empty when it found no font.
QString resolvedFontFile(const QString &family, int style = 0, int charset = 1);

} // namespace tw
