#pragma once

namespace tw {

class TfsScript;

// The report's registration module: report constants, enumerations and classes for
// scripts, after the function library and the class module. Idempotent; every report
// calls it before it makes its script.
void frxRegisterReportRTTI();

// The script engine's message texts from the report's resource table, now and after every
// later table load. Called where the program starts and by every report.
void frxInstallScriptMessages();

} // namespace tw
