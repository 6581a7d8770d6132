#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace tw {

class TfrxComponent;

// Short aliases of the source objects of prepared pages ("m1", "b3"): each alias names a
// source name ("Page0.Memo1") and the source object. Aliases are kept sorted ignoring case.
class TfrxDictionary {
public:
    void Add(const QString &name, const QString &sourceName, TfrxComponent *object);
    // Adds under a fresh alias made from the base and returns it.
    QString AddUnique(const QString &base, const QString &sourceName, TfrxComponent *object);
    // Base + the first free number, found by halving down from 10000 and then counting up,
    // so a dense run of aliases is extended at its end.
    QString CreateUniqueName(const QString &base) const;
    TfrxComponent *GetObject(const QString &name) const;
    QString GetSourceName(const QString &name) const;
    void Clear();

    int Count() const { return int(m_names.size()); }
    // The aliases in sorted order.
    QString Name(int index) const { return m_names.at(index).name; }
    QString SourceNameAt(int index) const { return m_sources.at(m_names.at(index).source).name; }

private:
    struct NameEntry {
        QString name;
        int source;
    };
    struct SourceEntry {
        QString name;
        TfrxComponent *object;
    };
    // Index of the alias, or -1; `insertAt` gets where it would go.
    int find(const QString &name, int *insertAt = nullptr) const;
    // The source of an alias, or -1.
    int sourceOf(const QString &name) const;

    QList<NameEntry> m_names;
    QList<SourceEntry> m_sources;
    QHash<QString, int> m_folded; // case-folded alias -> source: lookups without the sort
    // Case-folded alias without its trailing number -> the numbers taken: the search for a
    // free number asks this instead of building every candidate alias.
    QHash<QString, QSet<int>> m_numbers;
};

} // namespace tw
