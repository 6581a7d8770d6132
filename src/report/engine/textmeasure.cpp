#include "report/engine/textmeasure.h"

#include "report/model/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <QHash>
#include <array>
#include <map>
#include <cmath>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tw {

namespace {

// Tried in this order when fontconfig gives nothing loadable for a family.
const char *const fallbackFamilies[] = {"DejaVu Sans", "Liberation Sans"};

// A font character set as a language fontconfig can prefer faces for.
const char *charsetLanguage(int charset)
{
    switch (charset) {
    case 128: return "ja";
    case 129: return "ko";
    case 134: return "zh-cn";
    case 136: return "zh-tw";
    case 161: return "el";
    case 162: return "tr";
    case 163: return "vi";
    case 177: return "he";
    case 178: return "ar";
    case 186: return "lt";
    case 204: return "ru";
    case 222: return "th";
    case 238: return "pl";
    default: return nullptr;
    }
}

struct Face {
    FT_Face face = nullptr; // nullptr: no font could be loaded
    QString file;
    int unitsPerEm = 2048;
};

// Advances of one face at one pixel height; the first code points in an array because
// Latin and Cyrillic text is nearly all of what reports hold.
struct SizedAdvances {
    static constexpr char32_t fastCount = 0x500;
    std::array<int, fastCount> fast;
    std::unordered_map<char32_t, int> other;
    SizedAdvances() { fast.fill(-1); }
};

class FreeTypeMeasurer final : public TextMeasurer {
public:
    FreeTypeMeasurer()
    {
        m_ftOk = FT_Init_FreeType(&m_library) == 0;
        m_fcOk = FcInit() == FcTrue;
    }
    ~FreeTypeMeasurer() override
    {
        for (auto &f : m_files)
            if (f.second->face)
                FT_Done_Face(f.second->face);
        if (m_ftOk)
            FT_Done_FreeType(m_library);
    }

    void cumulativeWidths(const TextFontSpec &font, QStringView text, int *widths) override
    {
        std::lock_guard lock(m_mutex);
        const int px = std::max(font.pixelHeight, 0);
        Face *face = faceFor(font.family, font.style, font.charset);
        SizedAdvances &cache = m_sized[std::make_pair(face, px)];
        int total = 0;
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t cp = text[i].unicode();
            if (QChar::isHighSurrogate(cp) && i + 1 < n && text[i + 1].isLowSurrogate()) {
                widths[i] = total;
                ++i;
                cp = QChar::surrogateToUcs4(char16_t(cp), text[i].unicode());
            }
            total += advance(*face, px, cache, cp);
            widths[i] = total;
        }
    }

    QString fileFor(const QString &family, int style, int charset)
    {
        std::lock_guard lock(m_mutex);
        return faceFor(family, style, charset)->file;
    }

private:
    int advance(const Face &face, int px, SizedAdvances &cache, char32_t cp)
    {
        int *slot = cp < SizedAdvances::fastCount ? &cache.fast[cp] : nullptr;
        if (slot && *slot >= 0)
            return *slot;
        if (!slot) {
            if (auto it = cache.other.find(cp); it != cache.other.end())
                return it->second;
        }
        int w;
        if (!face.face) {
            w = (px + 1) / 2;
        } else {
            // Unhinted design advance scaled to the size and rounded to whole pixels, as a
            // printer driver at this resolution lays glyphs.
            const FT_UInt glyph = FT_Get_Char_Index(face.face, FT_ULong(cp));
            FT_Fixed units = 0;
            if (FT_Get_Advance(face.face, glyph, FT_LOAD_NO_SCALE, &units) != 0)
                units = 0;
            w = int(std::lround(double(units) * px / face.unitsPerEm));
        }
        if (slot)
            *slot = w;
        else
            cache.other.emplace(cp, w);
        return w;
    }

    Face *faceFor(const QString &family, int style, int charset)
    {
        const int styleKey = style & (fsBold | fsItalic);
        const QString key = family.toLower() + QLatin1Char('\n') + QString::number(styleKey) + QLatin1Char('\n')
                          + QString::number(charset);
        if (auto it = m_faces.find(key); it != m_faces.end())
            return it.value();
        Face *face = match(family, styleKey, charset);
        for (const char *fb : fallbackFamilies) {
            if (face && face->face)
                break;
            face = match(QString::fromLatin1(fb), styleKey, charset);
        }
        if (!face)
            face = loadFile(QString(), 0);
        m_faces.insert(key, face);
        return face;
    }

    // The face fontconfig matches for the family, or nullptr when nothing loads.
    Face *match(const QString &family, int style, int charset)
    {
        if (!m_fcOk || !m_ftOk)
            return nullptr;
        FcPattern *pattern = FcPatternCreate();
        if (!pattern)
            return nullptr;
        const QByteArray name = family.toUtf8();
        if (!name.isEmpty())
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(name.constData()));
        FcPatternAddInteger(pattern, FC_WEIGHT, (style & fsBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, (style & fsItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        if (const char *lang = charsetLanguage(charset))
            FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8 *>(lang));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern *found = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!found)
            return nullptr;
        FcChar8 *file = nullptr;
        int index = 0;
        Face *face = nullptr;
        if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
            FcPatternGetInteger(found, FC_INDEX, 0, &index);
            face = loadFile(QString::fromUtf8(reinterpret_cast<const char *>(file)), index);
        }
        FcPatternDestroy(found);
        return face && face->face ? face : nullptr;
    }

    // One Face per file and index, loaded once; an empty name gives the no-font face.
    Face *loadFile(const QString &file, int index)
    {
        const QString key = file + QLatin1Char('#') + QString::number(index);
        auto &slot = m_files[key];
        if (slot)
            return slot.get();
        slot = std::make_unique<Face>();
        if (!file.isEmpty() && m_ftOk) {
            FT_Face f = nullptr;
            if (FT_New_Face(m_library, file.toLocal8Bit().constData(), index, &f) == 0) {
                if (f->units_per_EM > 0) {
                    slot->face = f;
                    slot->file = file;
                    slot->unitsPerEm = f->units_per_EM;
                } else {
                    FT_Done_Face(f);
                }
            }
        }
        return slot.get();
    }

    struct PairHash {
        size_t operator()(const std::pair<Face *, int> &p) const
        {
            return std::hash<const void *>()(p.first) ^ (size_t(p.second) * 0x9E3779B97F4A7C15ull);
        }
    };

    std::mutex m_mutex;
    FT_Library m_library = nullptr;
    bool m_ftOk = false;
    bool m_fcOk = false;
    std::map<QString, std::unique_ptr<Face>> m_files;
    QHash<QString, Face *> m_faces;
    std::unordered_map<std::pair<Face *, int>, SizedAdvances, PairHash> m_sized;
};

FreeTypeMeasurer &freeType()
{
    static FreeTypeMeasurer measurer;
    return measurer;
}

} // namespace

TextMeasurer &defaultTextMeasurer()
{
    return freeType();
}

QString resolvedFontFile(const QString &family, int style, int charset)
{
    return freeType().fileFor(family, style, charset);
}

} // namespace tw
