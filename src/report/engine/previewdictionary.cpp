#include "report/engine/previewdictionary.h"

namespace tw {

namespace {

// The digits that end a folded alias, when they are what QString::number writes (no
// leading zero, an int): the alias is then prefix + QString::number(number).
bool splitNumber(const QString &folded, QString &prefix, int &number)
{
    qsizetype start = folded.size();
    while (start > 0 && folded.at(start - 1) >= u'0' && folded.at(start - 1) <= u'9')
        --start;
    const qsizetype digits = folded.size() - start;
    if (digits == 0 || digits > 9 || (digits > 1 && folded.at(start) == u'0'))
        return false;
    prefix = folded.left(start);
    number = folded.mid(start).toInt();
    return true;
}

} // namespace

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

int TfrxDictionary::sourceOf(const QString &name) const
{
    return m_folded.value(name.toCaseFolded(), -1);
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
    const QString folded = name.toCaseFolded();
    m_folded.insert(folded, source);
    QString prefix;
    int number = 0;
    if (splitNumber(folded, prefix, number))
        m_numbers[prefix].insert(number);
}

QString TfrxDictionary::AddUnique(const QString &base, const QString &sourceName, TfrxComponent *object)
{
    const QString name = CreateUniqueName(base);
    Add(name, sourceName, object);
    return name;
}

QString TfrxDictionary::CreateUniqueName(const QString &base) const
{
    const QString folded = base.toCaseFolded();
    const bool endsInDigit = !folded.isEmpty() && folded.back() >= u'0' && folded.back() <= u'9';
    const auto numbers = m_numbers.constFind(folded);
    auto taken = [&](int i) {
        if (endsInDigit)
            return m_folded.contains(folded + QString::number(i));
        return numbers != m_numbers.cend() && numbers->contains(i);
    };
    int i = 10000;
    while (i > 1 && !taken(i))
        i /= 2;
    while (taken(i))
        ++i;
    return base + QString::number(i);
}

TfrxComponent *TfrxDictionary::GetObject(const QString &name) const
{
    const int s = sourceOf(name);
    return s < 0 ? nullptr : m_sources.at(s).object;
}

QString TfrxDictionary::GetSourceName(const QString &name) const
{
    const int s = sourceOf(name);
    return s < 0 ? QString() : m_sources.at(s).name;
}

void TfrxDictionary::Clear()
{
    m_names.clear();
    m_sources.clear();
    m_folded.clear();
    m_numbers.clear();
}

} // namespace tw
