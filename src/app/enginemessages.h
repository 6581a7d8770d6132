#pragma once

namespace tw::app {

class ExportWork;

// While a report prepares, the report engine processes the window's pending messages at
// its progress points and band iterations, and the script from its loops, so the export
// button ("Отмена") stays responsive; a stop request made then ends the running report
// (see ExportWork::processMessagesWhilePreparing). Installed for the lifetime of this
// object, by the window and by the headless export (where Ctrl-C is the stop request).
class EngineMessages {
public:
    explicit EngineMessages(ExportWork &work);
    ~EngineMessages();
    EngineMessages(const EngineMessages &) = delete;
    EngineMessages &operator=(const EngineMessages &) = delete;
};

} // namespace tw::app
