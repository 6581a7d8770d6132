#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tw::test {

// Shows a window and waits until it is active, so focus changes send focus events.
inline bool showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    QElapsedTimer clock;
    clock.start();
    while (!window->isActiveWindow() && clock.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return window->isActiveWindow();
}

inline void processEvents()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Sends one key press and release the way the window system delivers them.
inline void typeKey(QWidget *target, int key, const QString &text = QString(),
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

inline void mouseEnter(QWidget *target)
{
    const QPointF at(2, 2);
    QEnterEvent enter(at, target->mapTo(target->window(), at), target->mapToGlobal(at));
    QApplication::sendEvent(target, &enter);
}

inline void mouseLeave(QWidget *target)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(target, &leave);
}

inline void mouseClick(QWidget *target, QPoint at = QPoint(2, 2))
{
    const QPointF local(at);
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Runs `act` on the next modal dialog once it is open; `act` must close it.
inline void whenModalOpens(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, act, started] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        } else if (started->elapsed() > 5000) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start();
}

} // namespace tw::test
