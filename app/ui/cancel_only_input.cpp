#include "app/ui/cancel_only_input.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace app::ui {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

CancelOnlyInput::CancelOnlyInput(QAbstractButton* cancel) : m_cancel(cancel) {
    QCoreApplication::instance()->installEventFilter(this);
}

CancelOnlyInput::~CancelOnlyInput() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool CancelOnlyInput::eventFilter(QObject* watched, QEvent* event) {
    if (!isUserInput(event->type()))
        return false;
    if (watched == m_cancel && m_cancel->isVisible())
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        m_cancel->isVisible()) {
        m_cancel->click();
    }
    return true;
}

} // namespace app::ui
