#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace tw {

// The standard named colours (clBlack ... clWhite, clLtGray, clDkGray, clNone) with their
// values, red in the low byte.
const std::vector<std::pair<const char *, int>> &frxStandardColors();
// The value of a standard colour by name ignoring case; false for any other name.
bool frxStandardColor(const QString &name, int &value);

} // namespace tw
