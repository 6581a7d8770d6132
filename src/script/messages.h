#pragma once

#include <QString>

namespace tw {

// The script engine's message texts, one per key. They start as the engine's own texts;
// the report's resource table may replace them (fsSetMessage) when it is loaded.
namespace fsmsg {
QString SLangNotFound();
QString SInvalidLanguage();
QString SIdRedeclared();
QString SUnknownType();
QString SIncompatibleTypes();
QString SIdUndeclared();
QString SClassRequired();
QString SIndexRequired();
QString SStringError();
QString SClassError();
QString SArrayRequired();
QString SVarRequired();
QString SNotEnoughParams();
QString STooManyParams();
QString SLeftCantAssigned();
QString SForError();
QString SEventError();
} // namespace fsmsg

// Replaces the text of a key; false when the key is not one of the engine's.
bool fsSetMessage(const QString &key, const QString &text);
// The current text of a key (empty for an unknown key).
QString fsMessage(const QString &key);
// Back to the engine's own texts.
void fsResetMessages();

} // namespace tw
