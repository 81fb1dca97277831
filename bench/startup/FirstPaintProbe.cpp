#include "FirstPaintProbe.h"

#include <QEvent>

#include <cstdio>
#include <cstdlib>

bool FirstPaintProbe::notify(QObject* receiver, QEvent* event) {
    const bool handled = QApplication::notify(receiver, event);
    if (event->type() == QEvent::Paint && receiver == m_target) {
        std::fputs("painted\n", stdout);
        std::fflush(stdout);
        if (!m_everyPaint) {
            std::_Exit(0);
        }
    }
    return handled;
}
