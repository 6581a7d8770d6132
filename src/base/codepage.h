#pragma once

#include <QByteArray>
#include <QString>

namespace tw {

// The encodings a text file can be in.
enum class TextEncoding {
    Ansi,     // the ANSI code page (windows-125x of the locale's language), no mark
    Utf8,     // UTF-8 without a byte-order mark
    Utf8Bom,  // UTF-8 with EF BB BF
    Utf16LE,  // with FF FE
    Utf16BE,  // with FE FF
};

namespace codepage {
// The Windows code page of the locale's language (1251 for Russian ...). The environment
// variable TARNWELL_ANSI_CODEPAGE overrides the locale; setAnsiCodePage overrides both
// (0 returns to the automatic choice). EConvertError for a code page that is not supported.
int ansiCodePage();
void setAnsiCodePage(int codePage);
// The ANSI code page for a POSIX locale name such as "ru_RU.UTF-8" or "sr_RS@latin".
int codePageForLocale(const QString &localeName);
// Whether fromCodePage/toCodePage know the code page.
bool isSupportedCodePage(int codePage);
// Conversions between UTF-16 and the ANSI code page (unmappable characters become '?').
QString fromAnsi(const QByteArray &bytes);
QByteArray toAnsi(const QString &text);
// Conversions for an explicit Windows code page number (1250..1258, 866, 65001 ...);
// EConvertError for a code page that is not supported.
QString fromCodePage(const QByteArray &bytes, int codePage);
QByteArray toCodePage(const QString &text, int codePage);

// The encoding files the program creates are written in: the locale's character set
// (UTF-8 on a normal system, without a mark).
TextEncoding systemEncoding();
// Reads the byte-order mark; without one, UTF-8 when the bytes are valid UTF-8, else ANSI.
// Plain ASCII (and no bytes at all) reads the same in every encoding: it gives the system
// encoding, so text added later is written the way the program writes new files.
TextEncoding detect(const QByteArray &bytes);
bool isValidUtf8(const QByteArray &bytes);
// Decodes the bytes (mark removed) and tells the encoding found.
QString decode(const QByteArray &bytes, TextEncoding *found = nullptr);
// Encodes with the mark of the encoding, if it has one.
QByteArray encode(const QString &text, TextEncoding encoding);
} // namespace codepage

} // namespace tw
