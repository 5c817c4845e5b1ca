#pragma once
// Acting on a window once it is on screen, for the window tests and the screenshot harness: a plain
// zero timer could fire too early, while the window still waits for a device.

#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Runs `act` once `widget` is visible (a modal dialog opened by an action, for one).
inline void whenShown(QWidget& widget, std::function<void()> act) {
    auto* poll = new QTimer(&widget);
    QObject::connect(poll, &QTimer::timeout, &widget, [poll, &widget, act] {
        if (!widget.isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act();
    });
    poll->start(10);
}

} // namespace testsupport
