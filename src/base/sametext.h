#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

namespace tw {

// Two names equal ignoring case. Case folding maps each UTF-16 unit to one unit, so texts
// of different lengths never match: the length check spares most lookups the folding.
inline bool sameText(QStringView a, QStringView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

inline bool sameText(QStringView a, QLatin1String b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

inline char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
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
        q[i] = asciiUpper(q[i]);
    return out;
}

// upperText as a view, without a new string for plain ASCII names: for lookups by a key
// in capitals. The view lives as long as the key.
class UpperTextKey {
public:
    explicit UpperTextKey(const QString &s)
    {
        const qsizetype n = s.size();
        const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
        for (qsizetype i = 0; i < n; ++i)
            if (p[i] >= 0x80) {
                m_text = upperText(s);
                m_view = m_text;
                return;
            }
        m_buffer.resize(n);
        for (qsizetype i = 0; i < n; ++i)
            m_buffer[i] = asciiUpper(p[i]);
        m_view = QStringView(m_buffer.constData(), n);
    }
    UpperTextKey(const UpperTextKey &) = delete;
    UpperTextKey &operator=(const UpperTextKey &) = delete;
    QStringView view() const { return m_view; }

private:
    QVarLengthArray<char16_t, 64> m_buffer;
    QString m_text;
    QStringView m_view;
};

} // namespace tw
