#pragma once

#include "script/interpreter.h"

#include <QString>

namespace tw {

// Where ShowMessage sends its text; the host decides how it is shown (a box, a line on
// stdout ...). Without a sink the text is dropped.
class TfsMessageSink {
public:
    virtual ~TfsMessageSink() = default;
    virtual void ShowMessage(const QString &text) = 0;
};

// The process-wide sink; the caller keeps ownership.
void fsSetMessageSink(TfsMessageSink *sink);
TfsMessageSink *fsMessageSink();

// Base types, constants, variables and the built-in function library.
class TfsSysFunctions : public TfsRTTIModule {
public:
    explicit TfsSysFunctions(TfsScript *script);
};

// Puts TfsSysFunctions on the module list once. Call it before any other module is
// registered: the others resolve their type names through its base types.
void fsRegisterSysFunctions();

} // namespace tw
