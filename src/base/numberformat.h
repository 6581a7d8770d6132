#pragma once

#include <QString>

namespace tw {

struct FormatSettings;

// FloatToStr: up to 15 significant digits, the settings' decimal separator, exponent form
// (1E20, 1.5E-10) outside the range Delphi shows in fixed notation.
QString floatToStr(double value, const FormatSettings &fs);
QString floatToStr(double value);
// Whether floatToStr's text reads back as exactly this value (finite, nonzero, at most 15
// significant digits in its shortest form); zero reads back as +0.
bool floatTextReadsBack(double value);
// A plain number in C notation ("-12.5", "3", "1.5E-10", with "." as the separator) read
// exactly as a correctly rounding reader reads it; false for any other text, which the
// caller then reads its own way.
bool readPlainFloat(QStringView text, double &out);

// Text to number: the settings' decimal separator (also "." when it is another), leading
// and trailing blanks allowed. EConvertError "'%s' is not a valid floating point value" /
// "'%s' is not a valid integer value".
double strToFloat(const QString &s, const FormatSettings &fs);
bool tryStrToFloat(const QString &s, const FormatSettings &fs, double &out);
qint64 strToInt64(const QString &s); // decimal or $hex
bool tryStrToInt64(const QString &s, qint64 &out);
int strToInt(const QString &s);
bool tryStrToInt(const QString &s, int &out);

} // namespace tw
