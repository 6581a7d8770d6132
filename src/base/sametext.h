#pragma once

#include <QStringView>

namespace tw {

// Two names equal ignoring case. Case folding maps each UTF-16 unit to one unit, so texts
// of different lengths never match: the length check spares most lookups the folding.
inline bool sameText(QStringView a, QStringView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace tw
