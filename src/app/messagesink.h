#pragma once

#include <QString>

namespace tw::app {

// Modal message boxes with one OK button. The window shows a dialog; headless runs print
// the message as one line.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &caption, const QString &text) = 0;
};

// Headless: "caption: text" as one line on stderr.
class StderrMessageSink : public MessageSink {
public:
    void showMessage(const QString &caption, const QString &text) override;
};

} // namespace tw::app
