#include "report/model/font.h"

#include <cmath>

namespace tw {

const EnumInfo &fontStyleEnum()
{
    static const EnumInfo e{QStringLiteral("TFontStyle"),
                            {QStringLiteral("fsBold"), QStringLiteral("fsItalic"), QStringLiteral("fsUnderline"),
                             QStringLiteral("fsStrikeOut")}};
    return e;
}

const EnumInfo &fontPitchEnum()
{
    static const EnumInfo e{QStringLiteral("TFontPitch"),
                            {QStringLiteral("fpDefault"), QStringLiteral("fpVariable"), QStringLiteral("fpFixed")}};
    return e;
}

const EnumInfo &fontQualityEnum()
{
    static const EnumInfo e{QStringLiteral("TFontQuality"),
                            {QStringLiteral("fqDefault"), QStringLiteral("fqDraft"), QStringLiteral("fqProof"),
                             QStringLiteral("fqNonAntialiased"), QStringLiteral("fqAntialiased"),
                             QStringLiteral("fqClearType"), QStringLiteral("fqClearTypeNatural")}};
    return e;
}

TW_DEFINE_CLASS(TFont, nullptr)
{
    ClassBuilder<TFont>(info)
        .factory([](Object *, Object *) -> Object * { return new TFont; })
        .integer(QStringLiteral("Charset"), &TFont::Charset, &TFont::SetCharset)
        .integer(QStringLiteral("Color"), &TFont::Color, &TFont::SetColor)
        .integer(QStringLiteral("Height"), &TFont::Height, &TFont::SetHeight)
        .string(QStringLiteral("Name"), &TFont::Name, &TFont::SetName)
        .integer(QStringLiteral("Orientation"), &TFont::Orientation, &TFont::SetOrientation, 0)
        .enumeration(QStringLiteral("Pitch"), fontPitchEnum(), &TFont::Pitch, &TFont::SetPitch, fpDefault)
        .integer(QStringLiteral("Size"), &TFont::Size, &TFont::SetSize)
        .stored(false)
        .set(QStringLiteral("Style"), QStringLiteral("TFontStyles"), fontStyleEnum(), &TFont::Style, &TFont::SetStyle)
        .enumeration(QStringLiteral("Quality"), fontQualityEnum(), &TFont::Quality, &TFont::SetQuality, fqDefault);
}

void TFont::copyFrom(const TFont &o)
{
    m_charset = o.m_charset;
    m_color = o.m_color;
    m_height = o.m_height;
    m_name = o.m_name;
    m_orientation = o.m_orientation;
    m_pitch = o.m_pitch;
    m_style = o.m_style;
    m_quality = o.m_quality;
}

void TFont::Assign(const TFont &other)
{
    if (&other != this)
        copyFrom(other);
    changed();
}

bool TFont::equals(const TFont &o) const
{
    return m_charset == o.m_charset && m_color == o.m_color && m_height == o.m_height && m_name == o.m_name
        && m_orientation == o.m_orientation && m_pitch == o.m_pitch && m_style == o.m_style
        && m_quality == o.m_quality;
}

void TFont::SetCharset(int v)
{
    m_charset = v;
    changed();
}

void TFont::SetColor(int v)
{
    m_color = v;
    changed();
}

void TFont::SetHeight(int v)
{
    m_height = v;
    changed();
}

void TFont::SetName(const QString &v)
{
    m_name = v;
    changed();
}

void TFont::SetOrientation(int v)
{
    m_orientation = v;
    changed();
}

void TFont::SetPitch(TFontPitch v)
{
    m_pitch = v;
    changed();
}

int TFont::Size() const
{
    return int(std::lround(std::fabs(m_height * 72.0 / PixelsPerInch())));
}

void TFont::SetSize(int points)
{
    m_height = -int(std::lround(points * double(PixelsPerInch()) / 72.0));
    changed();
}

void TFont::SetStyle(int mask)
{
    m_style = mask & 15;
    changed();
}

void TFont::SetQuality(TFontQuality v)
{
    m_quality = v;
    changed();
}

} // namespace tw
