#pragma once

#include <QString>
#include <QStringView>

namespace tw {

// Two names equal ignoring case. Case folding maps each UTF-16 unit to one unit, so texts
// of different lengths never match: the length check spares most lookups the folding.
inline bool sameText(QStringView a, QStringView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// QString::toUpper, without its per-character table walk for the plain ASCII names that
// identifiers nearly always are; a name already in capitals is shared, not copied.
inline QString upperText(const QString &s)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
    const qsizetype n = s.size();
    qsizetype firstLower = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c >= 0x80)
            return s.toUpper();
        if (firstLower < 0 && c >= u'a' && c <= u'z')
            firstLower = i;
    }
    if (firstLower < 0)
        return s;
    QString out = s;
    char16_t *q = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = firstLower; i < n; ++i)
        if (q[i] >= u'a' && q[i] <= u'z')
            q[i] = char16_t(q[i] - (u'a' - u'A'));
    return out;
}

} // namespace tw
