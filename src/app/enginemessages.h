#pragma once

namespace tw::app {

class ExportWork;

// Window mode: while a report prepares, the report engine processes the window's pending
// messages at its progress points and band iterations, so the export button ("Отмена")
// stays responsive; a stop request made then ends the running report (see
// ExportWork::processMessagesWhilePreparing). Installed for the lifetime of this object.
// Headless runs do not install it: Ctrl-C there stops after the current package.
class EngineMessages {
public:
    explicit EngineMessages(ExportWork &work);
    ~EngineMessages();
    EngineMessages(const EngineMessages &) = delete;
    EngineMessages &operator=(const EngineMessages &) = delete;
};

} // namespace tw::app
