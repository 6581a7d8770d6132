#pragma once

#include <QString>

namespace tw {

// A new random GUID as 8-4-4-4-12 upper-case hexadecimal digits, no braces;
// the empty text when none can be generated.
QString newGuidText();
// The same with braces, as GUID values are written in component streams.
QString newGuidTextBraced();

} // namespace tw
