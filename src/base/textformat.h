#pragma once

#include "base/variant.h"

#include <QString>
#include <QVector>

namespace tw {

struct FormatSettings;

// Number and text formatting shared by the script's function library and the report's
// display formats.
//
// Decimal model used by every floating-point conversion here: a double is first taken
// as a decimal number of 15 significant digits (what FloatToStr shows), or, when its
// integer part alone has more than 15 digits, as the shortest decimal that reads back
// as the same double. Rounding to the digits shown is then done on that decimal, half
// away from zero. So 2.675 and 1.005 with "0.00" give 2.68 and 1.01 although their
// binary values lie just below the half, and digits past the 15th print as 0.
// A value that rounds to zero at the digits shown is shown as zero, without a sign.

// Pattern formatting: "0" digit always shown, "#" digit shown when significant, the first
// "." the decimal separator, "," in the integer part groups thousands, "E+" "E-" "e+" "e-"
// scientific with at least as many exponent digits as "0"s follow, text in ' or " quotes
// and other characters copied. Up to three sections "positive;negative;zero": an empty
// or missing negative section uses the first one with a leading "-", an empty or missing
// zero section the first one; an empty first section (or an empty pattern) gives the
// general form of FloatToStr. A value that rounds to zero in its section is formatted by
// the zero section. A section without any digit placeholder or decimal point is plain
// text. NaN and infinities give "NAN", "INF", "-INF".
QString formatFloat(const QString &pattern, double value, const FormatSettings &fs);

// printf-like formatting: "%" [index ":"] ["-"] [width] ["." precision] type, with "*"
// taking index, width or precision from the arguments and "%%" for a percent sign.
// Types (either case): d u x (Int32/Int64; precision zero-pads), e f g n m (numbers:
// Double and also Int32/Int64), s (any scalar; precision truncates), p (object or integer).
// Defaults: e and g 15 significant digits, f and n 2 decimals, m the currency decimals.
// Raises EConvertError "Format '%s' invalid or incompatible with argument" or
// "No argument for format '%s'", both naming the whole format text.
QString format(const QString &fmt, const QVector<Variant> &args, const FormatSettings &fs);

// Applies an edit mask "mask[;save[;blank]]" to a value.
// Mask characters taking one value character each: 0 9 # L l A a C c; characters are not
// checked against their class (this only formats). "\" makes the next character literal,
// "/" and ":" print the date and time separators, "_" prints a blank, ">" and "<" switch
// to upper and lower case until "<>", "!" aligns the value to the right end of the mask.
// With save "0" the value holds only the data characters and the literals are inserted;
// otherwise (save "1" or none) the value may already hold the literals: each run of data
// characters is read up to its following literal, shorter runs are padded with blanks.
// Missing data characters print as blanks (the blank field only matters in edit
// controls); value characters beyond the mask are kept, at the end, or at the front when
// "!" right-aligns a value given without literals.
QString formatMaskText(const QString &editMask, const QString &value, const FormatSettings &fs);
QString formatMaskText(const QString &editMask, const QString &value);

} // namespace tw
