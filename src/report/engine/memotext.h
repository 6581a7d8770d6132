#pragma once

#include "base/variant.h"

#include <QString>
#include <functional>

namespace tw {

class TfrxCustomMemoView;
class TfrxFormat;

// The delimiter pair of a memo: "[,]" -> "[" and "]", both possibly longer than one
// character.
void splitExpressionDelimiters(const QString &delimiters, QString &open, QString &close);

// The bracket whose open delimiter is at `pos` (0-based). Quoted text ('...' or "...")
// does not count, nested brackets belong to the outer one, and an open delimiter without
// its close takes the rest of the text. Gives the text between the delimiters and the
// index of the bracket's last character; false when no open delimiter is at `pos`.
bool findBracket(const QString &text, qsizetype pos, const QString &open, const QString &close,
                 QString &expression, qsizetype &end);

// Replaces every bracket of the text with what `evaluate` makes of its expression, left
// to right; an inserted result is never scanned again.
QString expandBrackets(const QString &text, const QString &open, const QString &close,
                       const std::function<QString(const QString &expression)> &evaluate);

// "expr #fmt": the expression and a one-off display format made from the text after
// " #" (kind from its first character). False, with the whole text as the expression,
// when there is no such format.
bool splitBracketFormat(const QString &text, QString &expression, TfrxFormat &format);

// A value as a display format shows it with the current regional settings; Null is
// empty text and a value the format cannot take comes back as plain text.
QString formatValue(const Variant &value, const TfrxFormat &format);

// What HideZeros hides: a value that is not text and equals 0.
bool isHiddenZero(const Variant &value);

// One memo bracket, the index-th (from 0) of its text: evaluated, then formatted with its
// one-off format, else the memo's format for that bracket (BracketFormat). Sets the memo's
// Value.
QString evaluateMemoBracket(TfrxCustomMemoView *memo, const QString &text, int index = -1);

// Expands the brackets of the memo's text in place.
void expandMemoText(TfrxCustomMemoView *memo);

// Text of a font character set converted to its single-byte code page and back; texts
// of the default set, or of a set without such a code page, come back unchanged.
QString roundTripCharset(const QString &text, int charset);

} // namespace tw
