#pragma once

#include "base/variant.h"

#include <QHash>
#include <QString>
#include <memory>

namespace tw {

class TfsProcVariable;
class TfsScript;

// Compiles each distinct report expression once into a function fr3f<N> of its own script,
// whose parent is the report's script, and calls it on every evaluation.
class TfrxExpressionCache {
public:
    explicit TfrxExpressionCache(TfsScript *mainScript);
    ~TfrxExpressionCache();
    TfrxExpressionCache(const TfrxExpressionCache &) = delete;
    TfrxExpressionCache &operator=(const TfrxExpressionCache &) = delete;

    // Texts that differ only in case share a function unless this is set.
    bool CaseSensitive = false;
    void SetScriptLanguage(const QString &language);
    // Empties the list and the cache's script.
    void Clear();
    // The value of an expression; errorMsg is empty on success, else "Error in expression
    // '<expr>': <message>" for a compile error or the message raised while it ran.
    // script: the scope to run in (nullptr: the report's script).
    Variant Calc(const QString &expression, QString &errorMsg, TfsScript *script = nullptr);
    int Count() const { return int(m_functions.size()); }
    TfsScript *Script() const { return m_script.get(); }

private:
    QString key(const QString &expression) const;
    QString functionText(const QString &name, const QString &expression) const;

    TfsScript *m_mainScript;
    std::unique_ptr<TfsScript> m_script;
    QHash<QString, TfsProcVariable *> m_functions;
};

} // namespace tw
