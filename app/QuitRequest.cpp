#include "QuitRequest.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace {
// How often the request looks again while modal loops are still returning.
constexpr int kRetryMs = 20;
// The level of the application's own event loop; deeper levels are modal loops.
constexpr int kMainLoopLevel = 1;
} // namespace

QuitRequest::QuitRequest(std::function<void()> closeMainWindow, QObject* parent)
    : QObject(parent), m_closeMainWindow(std::move(closeMainWindow)) {}

void QuitRequest::request() {
    if (m_pending) {
        return;
    }
    m_pending = true;
    step();
}

bool QuitRequest::CancelModalWindows() {
    bool any = false;
    // A popup that refuses to close is left alone rather than asked forever.
    for (int i = 0; i < 16; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup == nullptr) {
            break;
        }
        popup->close();
        any = true;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || !window->isModal()) {
            continue;
        }
        any = true;
        if (auto* dialog = qobject_cast<QDialog*>(window)) {
            dialog->reject();
        } else {
            window->close();
        }
    }
    return any;
}

void QuitRequest::step() {
    // Each ended window's loop returns only when control gets back to it; until then the code
    // that opened it is still on the stack, and its windows must stay.
    if (CancelModalWindows() || QThread::currentThread()->loopLevel() > kMainLoopLevel) {
        QTimer::singleShot(kRetryMs, this, &QuitRequest::step);
        return;
    }
    m_pending = false;
    if (m_closeMainWindow) {
        m_closeMainWindow();
    }
}
