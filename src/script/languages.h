#pragma once

#include "base/error.h"

#include <QString>
#include <QStringList>

namespace tw {

// Raised when a language name is not registered.
TW_DECLARE_ERROR(EfsLanguageNotFound, Error)

// The process-wide language registry. The four built-in grammars are registered before
// the first use; later registrations of the same name (ignoring case) replace them.
void AddScriptLanguage(const QString &name, const QString &grammar);
// EfsLanguageNotFound "Language '<name>' not found" for an unknown name.
QString ScriptLanguageGrammar(const QString &name);
// Clears the list and fills it with the registered names, except those starting with "@".
void ScriptLanguageNames(QStringList &list);

} // namespace tw
