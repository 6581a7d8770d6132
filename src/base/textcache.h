#pragma once

#include <QHash>
#include <QString>
#include <mutex>

namespace tw {

// Values worked out from a text alone, kept by that text for every later asker: the same
// templates bring the same texts on every run. Safe across threads; cleared when full
// rather than aged, as a run's texts are few.
template <class Value>
class TextCache {
public:
    explicit TextCache(qsizetype capacity) : m_capacity(capacity) {}

    // The value kept for the text, copied into `value`; false when there is none.
    bool find(const QString &text, Value &value) const
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_values.constFind(text);
        if (it == m_values.constEnd())
            return false;
        value = *it;
        return true;
    }

    void insert(const QString &text, const Value &value)
    {
        std::lock_guard lock(m_mutex);
        if (m_values.size() >= m_capacity)
            m_values.clear();
        m_values.insert(text, value);
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_values.clear();
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, Value> m_values;
    qsizetype m_capacity;
};

} // namespace tw
