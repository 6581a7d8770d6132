#pragma once

#include "app/messagesink.h"

#include <QPointer>
#include <QWidget>

namespace tw::app::gui {

// A modal box with the caption, the text and one OK button.
class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void showMessage(const QString &caption, const QString &text) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace tw::app::gui
