#include "ContextHelpMode.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWhatsThis>

#include <utility>

ContextHelpMode::ContextHelpMode(const QString& modeText, const QString& idleText,
                                 std::function<void(const QString&)> status, QObject* parent)
    : QObject(parent), m_modeText(modeText), m_idleText(idleText), m_status(std::move(status)) {
    // Entering and leaving the mode is announced to every top-level widget; an application
    // filter sees those events whichever window receives them.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
}

ContextHelpMode::~ContextHelpMode() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
}

void ContextHelpMode::enter() {
    if (!QWhatsThis::inWhatsThisMode()) {
        QWhatsThis::enterWhatsThisMode();
    }
    showModeText(true);
}

void ContextHelpMode::leave() {
    if (QWhatsThis::inWhatsThisMode()) {
        QWhatsThis::leaveWhatsThisMode();
    }
    showModeText(false);
}

void ContextHelpMode::showModeText(bool on) {
    if (on != m_shown) {
        m_shown = on;
        if (m_status) {
            m_status(on ? m_modeText : m_idleText);
        }
    }
}

bool ContextHelpMode::isActive() {
    return QWhatsThis::inWhatsThisMode();
}

bool ContextHelpMode::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnterWhatsThisMode) {
        showModeText(true);
    } else if (event->type() == QEvent::LeaveWhatsThisMode) {
        showModeText(false);
    }
    return QObject::eventFilter(watched, event);
}
