#include "report/engine/previewdictionary.h"

namespace tw {

int TfrxDictionary::find(const QString &name, int *insertAt) const
{
    int lo = 0, hi = int(m_names.size()) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = m_names.at(mid).name.compare(name, Qt::CaseInsensitive);
        if (c == 0)
            return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    if (insertAt)
        *insertAt = lo;
    return -1;
}

void TfrxDictionary::Add(const QString &name, const QString &sourceName, TfrxComponent *object)
{
    int at = 0;
    const int existing = find(name, &at);
    m_sources.append({sourceName, object});
    const int source = int(m_sources.size()) - 1;
    // A second alias of the same text takes the place of the first one.
    if (existing >= 0)
        m_names[existing].source = source;
    else
        m_names.insert(at, {name, source});
}

QString TfrxDictionary::AddUnique(const QString &base, const QString &sourceName, TfrxComponent *object)
{
    const QString name = CreateUniqueName(base);
    Add(name, sourceName, object);
    return name;
}

QString TfrxDictionary::CreateUniqueName(const QString &base) const
{
    int i = 10000;
    while (i > 1 && find(base + QString::number(i)) < 0)
        i /= 2;
    while (find(base + QString::number(i)) >= 0)
        ++i;
    return base + QString::number(i);
}

TfrxComponent *TfrxDictionary::GetObject(const QString &name) const
{
    const int i = find(name);
    return i < 0 ? nullptr : m_sources.at(m_names.at(i).source).object;
}

QString TfrxDictionary::GetSourceName(const QString &name) const
{
    const int i = find(name);
    return i < 0 ? QString() : m_sources.at(m_names.at(i).source).name;
}

void TfrxDictionary::Clear()
{
    m_names.clear();
    m_sources.clear();
}

} // namespace tw
