#pragma once
// Acting on a window once it is on screen, for the window tests and the screenshot harness: a plain
// zero timer could fire too early, while the window still waits for a device.

#include <QObject>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Runs `act` once `ready()` holds inside an event loop entered after this call: for a modal dialog,
// its own exec() loop. A timer can also fire while the dialog is being shown, before exec() runs its
// loop; closing the dialog then leaves exec() waiting for ever on a hidden dialog.
inline void whenReady(QObject& owner, std::function<bool()> ready, std::function<void()> act) {
    const int level = QThread::currentThread()->loopLevel();
    auto* poll = new QTimer(&owner);
    QObject::connect(poll, &QTimer::timeout, &owner, [poll, level, ready, act] {
        if (QThread::currentThread()->loopLevel() <= level || !ready())
            return;
        poll->stop();
        poll->deleteLater();
        act();
    });
    poll->start(10);
}

// Runs `act` once the modal `widget` is on screen (a dialog opened by an action, for one).
inline void whenShown(QWidget& widget, std::function<void()> act) {
    whenReady(
        widget, [&widget] { return widget.isVisible(); }, std::move(act));
}

} // namespace testsupport
