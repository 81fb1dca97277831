#include "LockKeyIndicators.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>

#include "Resources.h"

LockKeyIndicators::LockKeyIndicators(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent)
    : QObject(parent), m_caps(caps), m_num(num), m_scroll(scroll) {
    m_poll.setInterval(1000);
    connect(&m_poll, &QTimer::timeout, this, &LockKeyIndicators::Refresh);
    m_poll.start();
    QCoreApplication::instance()->installEventFilter(this);
    Refresh();
}

std::optional<LockKeyStates> LockKeyIndicators::Query() {
#ifdef ZELVOR_HAVE_XKB
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        LockKeyStates states;
        if (QueryXkbLockKeys(x11->display(), states)) {
            return states;
        }
    }
#endif
    return std::nullopt;
}

void LockKeyIndicators::Show(const std::optional<LockKeyStates>& states) {
    const bool known = states.has_value();
    m_caps->setText(known && states->caps ? Resources::String(ID_INDICATOR_CAPS) : QString());
    m_num->setText(known && states->num ? Resources::String(ID_INDICATOR_NUM) : QString());
    m_scroll->setText(known && states->scroll ? Resources::String(ID_INDICATOR_SCRL) : QString());
}

bool LockKeyIndicators::eventFilter(QObject* watched, QEvent* event) {
    // A key event reaches several objects on its way; one refresh after it is handled is enough.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        !m_refreshQueued) {
        m_refreshQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_refreshQueued = false;
            Refresh();
        });
    }
    return QObject::eventFilter(watched, event);
}
