#include "base/codepage.h"

#include "base/error.h"

#include <QHash>

#include <array>
#include <atomic>
#include <cerrno>
#include <langinfo.h>
#include <locale.h>
#include <map>
#include <memory>
#include <mutex>

#include <iconv.h>

namespace tw::codepage {

namespace {

constexpr int CpUtf16LE = 1200;
constexpr int CpUtf16BE = 1201;
constexpr int CpUtf8 = 65001;
constexpr int DefaultAnsi = 1252;

// The converter's name of a single-byte Windows / DOS / ISO code page; empty when unknown.
QByteArray iconvName(int cp)
{
    if ((cp >= 1250 && cp <= 1258) || cp == 866 || cp == 874 || cp == 437 || cp == 850
        || cp == 852 || cp == 855 || cp == 857 || (cp >= 860 && cp <= 865) || cp == 869)
        return "CP" + QByteArray::number(cp);
    if (cp >= 28591 && cp <= 28599)
        return "ISO-8859-" + QByteArray::number(cp - 28590);
    if (cp == 28603)
        return "ISO-8859-13";
    if (cp == 28605)
        return "ISO-8859-15";
    if (cp == 20866)
        return "KOI8-R";
    if (cp == 21866)
        return "KOI8-U";
    if (cp == 20127)
        return "ANSI_X3.4-1968";
    return {};
}

// A single-byte code page as two lookup tables. Built once from the C library's converter,
// one byte at a time, so converters that combine characters (1255, 1258) cannot merge
// neighbouring bytes. Bytes the code page leaves undefined map to U+00xx when that is free
// (as Windows does for the C1 range), so such bytes survive a read and a write unchanged.
struct SingleByteTable {
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, uchar> fromUnicode;
};

std::unique_ptr<SingleByteTable> buildTable(int cp)
{
    const QByteArray name = iconvName(cp);
    if (name.isEmpty())
        return nullptr;
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;

    auto table = std::make_unique<SingleByteTable>();
    std::array<bool, 256> defined{};
    for (int b = 0; b < 256; ++b) {
        char in = char(b);
        char out[16];
        char *inp = &in;
        char *outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        bool ok = r != size_t(-1) && inLeft == 0;
        if (ok)
            ok = iconv(cd, nullptr, nullptr, &outp, &outLeft) != size_t(-1);
        if (ok && outp - out == 2) {
            const char16_t u = char16_t(uchar(out[0]) | (uchar(out[1]) << 8));
            table->toUnicode[b] = u;
            defined[b] = true;
            if (!table->fromUnicode.contains(u))
                table->fromUnicode.insert(u, uchar(b));
        }
    }
    iconv_close(cd);

    for (int b = 0; b < 256; ++b) {
        if (defined[b])
            continue;
        const char16_t u = char16_t(b);
        if (!table->fromUnicode.contains(u)) {
            table->toUnicode[b] = u;
            table->fromUnicode.insert(u, uchar(b));
        } else {
            table->toUnicode[b] = 0xFFFD;
        }
    }
    return table;
}

// Tables are built on first use and kept for the life of the process.
const SingleByteTable *tableFor(int cp)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<SingleByteTable>> tables;
    std::lock_guard lock(mutex);
    auto it = tables.find(cp);
    if (it == tables.end())
        it = tables.emplace(cp, buildTable(cp)).first;
    return it->second.get();
}

[[noreturn]] void unsupported(int cp)
{
    throw EConvertError(QStringLiteral("Code page %1 is not supported").arg(cp));
}

QString decodeUtf16(const char *data, qsizetype size, bool bigEndian)
{
    // An odd trailing byte cannot form a character.
    const qsizetype units = size / 2;
    QString s(units, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(s.data());
    for (qsizetype i = 0; i < units; ++i) {
        const uchar a = uchar(data[2 * i]), b = uchar(data[2 * i + 1]);
        dst[i] = bigEndian ? char16_t((a << 8) | b) : char16_t((b << 8) | a);
    }
    if (size % 2)
        s.append(QChar(0xFFFD));
    return s;
}

QByteArray encodeUtf16(const QString &text, bool bigEndian)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (bigEndian) {
            out.append(char(u >> 8));
            out.append(char(u & 0xFF));
        } else {
            out.append(char(u & 0xFF));
            out.append(char(u >> 8));
        }
    }
    return out;
}

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// The locale name that decides the character set: LC_ALL, then LC_CTYPE, then LANG.
QString effectiveLocaleName()
{
    for (const char *var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray v = qgetenv(var);
        if (!v.isEmpty())
            return QString::fromLatin1(v);
    }
    return QStringLiteral("C");
}

int parseCodePageText(QString text)
{
    text = text.trimmed().toLower();
    for (const char *prefix : {"windows-", "cp"})
        if (text.startsWith(QLatin1String(prefix)))
            text = text.mid(int(qstrlen(prefix)));
    bool ok = false;
    const int cp = text.toInt(&ok);
    return ok ? cp : 0;
}

int automaticAnsiCodePage()
{
    const int fromEnv = parseCodePageText(QString::fromLatin1(qgetenv("TARNWELL_ANSI_CODEPAGE")));
    if (fromEnv != 0 && fromEnv != CpUtf8 && isSupportedCodePage(fromEnv))
        return fromEnv;
    const int fromLocale = codePageForLocale(effectiveLocaleName());
    return isSupportedCodePage(fromLocale) ? fromLocale : DefaultAnsi;
}

std::atomic<int> g_ansiOverride{0};

} // namespace

int codePageForLocale(const QString &localeName)
{
    QString name = localeName.trimmed().toLower();
    QString modifier;
    if (const qsizetype at = name.indexOf(QLatin1Char('@')); at >= 0) {
        modifier = name.mid(at + 1);
        name.truncate(at);
    }
    qsizetype end = 0;
    while (end < name.size() && name[end] != QLatin1Char('_') && name[end] != QLatin1Char('.')
           && name[end] != QLatin1Char('-'))
        ++end;
    const QString lang = name.left(end);
    // A script written in the name ("sr-Latn-RS") counts like the "@latin" modifier.
    const bool latin = modifier == QLatin1String("latin") || name.contains(QLatin1String("latn"));
    const bool cyrillic = modifier == QLatin1String("cyrillic") || name.contains(QLatin1String("cyrl"));

    auto in = [&lang](std::initializer_list<const char *> list) {
        for (const char *l : list)
            if (lang == QLatin1String(l))
                return true;
        return false;
    };

    if (in({"sr", "bs"}))
        return (lang == QLatin1String("sr") ? !latin : cyrillic) ? 1251 : 1250;
    if (in({"uz", "az"}))
        return cyrillic ? 1251 : 1254;
    if (in({"ru", "uk", "be", "bg", "mk", "kk", "ky", "tt", "mn", "ba", "tg", "cv", "os", "sah"}))
        return 1251;
    if (in({"cs", "pl", "hu", "sk", "sl", "hr", "ro", "sq", "tk"}))
        return 1250;
    if (in({"el"}))
        return 1253;
    if (in({"tr"}))
        return 1254;
    if (in({"he", "iw"}))
        return 1255;
    if (in({"ar", "fa", "ur", "ps", "ug", "sd", "ckb", "prs"}))
        return 1256;
    if (in({"et", "lv", "lt"}))
        return 1257;
    if (in({"vi"}))
        return 1258;
    if (in({"th"}))
        return 874;
    return DefaultAnsi;
}

bool isSupportedCodePage(int codePage)
{
    if (codePage == CpUtf8 || codePage == CpUtf16LE || codePage == CpUtf16BE)
        return true;
    return tableFor(codePage) != nullptr;
}

int ansiCodePage()
{
    const int forced = g_ansiOverride.load();
    if (forced != 0)
        return forced;
    // Not cached: it is cheap, and the environment stays the one source of truth.
    return automaticAnsiCodePage();
}

void setAnsiCodePage(int codePage)
{
    if (codePage != 0 && (codePage == CpUtf16LE || codePage == CpUtf16BE || !isSupportedCodePage(codePage)))
        unsupported(codePage);
    g_ansiOverride.store(codePage);
}

QString fromAnsi(const QByteArray &bytes)
{
    return fromCodePage(bytes, ansiCodePage());
}

QByteArray toAnsi(const QString &text)
{
    return toCodePage(text, ansiCodePage());
}

QString fromCodePage(const QByteArray &bytes, int codePage)
{
    switch (codePage) {
    case CpUtf8:
        return QString::fromUtf8(bytes);
    case CpUtf16LE:
        return decodeUtf16(bytes.constData(), bytes.size(), false);
    case CpUtf16BE:
        return decodeUtf16(bytes.constData(), bytes.size(), true);
    default:
        break;
    }
    const SingleByteTable *table = tableFor(codePage);
    if (!table)
        unsupported(codePage);
    QString s(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(s.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = table->toUnicode[uchar(bytes[i])];
    return s;
}

QByteArray toCodePage(const QString &text, int codePage)
{
    switch (codePage) {
    case CpUtf8:
        return text.toUtf8();
    case CpUtf16LE:
        return encodeUtf16(text, false);
    case CpUtf16BE:
        return encodeUtf16(text, true);
    default:
        break;
    }
    const SingleByteTable *table = tableFor(codePage);
    if (!table)
        unsupported(codePage);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        // A character outside the BMP is one character: one '?'.
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const auto it = table->fromUnicode.constFind(u);
        out.append(it != table->fromUnicode.constEnd() ? char(*it) : '?');
    }
    return out;
}

TextEncoding systemEncoding()
{
    static const TextEncoding enc = [] {
        const QString name = effectiveLocaleName();
        const QString base = name.section(QLatin1Char('@'), 0, 0);
        if (base.isEmpty() || base == QLatin1String("C") || base == QLatin1String("POSIX"))
            return TextEncoding::Utf8;
        QString codeset;
        if (const qsizetype dot = base.indexOf(QLatin1Char('.')); dot >= 0) {
            codeset = base.mid(dot + 1);
        } else if (locale_t loc = newlocale(LC_CTYPE_MASK, "", locale_t(nullptr))) {
            // No character set in the name: ask the C library for the locale's default one.
            codeset = QString::fromLatin1(nl_langinfo_l(CODESET, loc));
            freelocale(loc);
        }
        codeset = codeset.toLower().remove(QLatin1Char('-'));
        return codeset == QLatin1String("utf8") ? TextEncoding::Utf8 : TextEncoding::Ansi;
    }();
    return enc;
}

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const uchar c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        uchar lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                lo = 0xA0; // no overlong forms
            else if (c == 0xED)
                hi = 0x9F; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F; // nothing above U+10FFFF
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        if (p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (int k = 2; k <= extra; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

TextEncoding detect(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return TextEncoding::Utf8Bom;
    if (bytes.startsWith("\xFF\xFE"))
        return TextEncoding::Utf16LE;
    if (bytes.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16BE;
    if (isAscii(bytes))
        return systemEncoding();
    return isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Ansi;
}

QString decode(const QByteArray &bytes, TextEncoding *found)
{
    const TextEncoding enc = detect(bytes);
    if (found)
        *found = enc;
    switch (enc) {
    case TextEncoding::Utf8Bom:
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    case TextEncoding::Utf16LE:
        return decodeUtf16(bytes.constData() + 2, bytes.size() - 2, false);
    case TextEncoding::Utf16BE:
        return decodeUtf16(bytes.constData() + 2, bytes.size() - 2, true);
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Ansi:
        break;
    }
    return fromAnsi(bytes);
}

QByteArray encode(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Ansi:
        return toAnsi(text);
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Utf8Bom:
        return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
    case TextEncoding::Utf16LE:
        return QByteArrayLiteral("\xFF\xFE") + encodeUtf16(text, false);
    case TextEncoding::Utf16BE:
        return QByteArrayLiteral("\xFE\xFF") + encodeUtf16(text, true);
    }
    return {};
}

} // namespace tw::codepage
