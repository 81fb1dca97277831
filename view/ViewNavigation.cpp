#include "ViewNavigation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

#include "CZelvorView.h"
#include "ViewGeometry.h"

namespace {

constexpr int kNotch = 120; // QWheelEvent::angleDelta of one wheel notch

// Pixels to scroll for a wheel event's delta on one axis: the touchpad's own pixels when it
// gives them, else the lines the desktop asks for per notch, a line being the bar's step.
int WheelPixels(int pixelDelta, int angleDelta, const QScrollBar* bar) {
    if (pixelDelta != 0) {
        return pixelDelta;
    }
    const double lines = angleDelta / double(kNotch) * QApplication::wheelScrollLines();
    return static_cast<int>(std::lround(lines * bar->singleStep()));
}

} // namespace

ViewNavigation::ViewNavigation(CZelvorView* view) : QObject(view), m_view(view) {
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);
}

bool ViewNavigation::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view) {
        // Keys reach the view, which has the focus; Space is tracked and passed on.
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && !key->isAutoRepeat()) {
                m_spaceHeld = event->type() == QEvent::KeyPress;
                updateCursor();
            }
        } else if (event->type() == QEvent::FocusOut) {
            m_spaceHeld = false; // its release goes elsewhere
            updateCursor();
        }
        return false;
    }
    if (watched != m_view->viewport()) {
        return false;
    }
    switch (event->type()) {
    case QEvent::Wheel:
        return onWheel(static_cast<QWheelEvent*>(event));
    case QEvent::NativeGesture:
        return onGesture(static_cast<QNativeGestureEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return onPress(static_cast<QMouseEvent*>(event));
    case QEvent::MouseMove:
        if (isPanning()) {
            const QPoint moved = static_cast<QMouseEvent*>(event)->globalPosition().toPoint() -
                                 m_panStart;
            m_view->horizontalScrollBar()->setValue(m_scrollStart.x() - moved.x());
            m_view->verticalScrollBar()->setValue(m_scrollStart.y() - moved.y());
            return true;
        }
        return false;
    case QEvent::MouseButtonRelease:
        if (isPanning() && static_cast<QMouseEvent*>(event)->button() == m_panButton) {
            endPan();
            return true;
        }
        return isPanning(); // other buttons' releases during a pan
    default:
        return false;
    }
}

bool ViewNavigation::onWheel(QWheelEvent* event) {
    if (isPanning()) {
        return true;
    }
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (keys & Qt::ControlModifier) {
        // Accumulate partial rotation (smooth wheels) into whole notches, one step each.
        m_zoomDelta += event->angleDelta().y() != 0 ? event->angleDelta().y()
                                                    : event->angleDelta().x();
        while (m_zoomDelta >= kNotch || m_zoomDelta <= -kNotch) {
            const bool in = m_zoomDelta > 0;
            m_zoomDelta += in ? -kNotch : kNotch;
            m_view->ZoomAbout(in ? kZoomInFactor : kZoomOutFactor, event->position());
        }
        reportAt(event->position());
        return true;
    }
    QScrollBar* h = m_view->horizontalScrollBar();
    QScrollBar* v = m_view->verticalScrollBar();
    int dx = WheelPixels(event->pixelDelta().x(), event->angleDelta().x(), h);
    int dy = WheelPixels(event->pixelDelta().y(), event->angleDelta().y(), v);
    if (keys & Qt::ShiftModifier) {
        // Shift turns a vertical wheel into a horizontal one.
        if (dx == 0) {
            std::swap(dx, dy);
        }
    }
    h->setValue(h->value() - dx);
    v->setValue(v->value() - dy);
    return true;
}

bool ViewNavigation::onGesture(QNativeGestureEvent* event) {
    if (event->gestureType() != Qt::ZoomNativeGesture) {
        return false;
    }
    // value() is the change of scale since the last event of the pinch.
    m_view->ZoomAbout(1.0 + event->value(), event->position());
    reportAt(event->position());
    return true;
}

void ViewNavigation::reportAt(QPointF position) {
    // The status line shows the new zoom at once, as a move of the pointer would.
    m_view->OnMouseMove(QGuiApplication::queryKeyboardModifiers(),
                        QPoint(static_cast<int>(std::floor(position.x())),
                               static_cast<int>(std::floor(position.y()))));
}

bool ViewNavigation::onPress(QMouseEvent* event) {
    if (isPanning()) {
        return true; // other buttons pressed during a pan do nothing
    }
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && m_spaceHeld);
    if (!pan || event->type() != QEvent::MouseButtonPress) {
        // The second press of a pan button's double-click is the start of no pan, and no
        // double-click for the view either.
        return pan;
    }
    m_panButton = event->button();
    m_panStart = event->globalPosition().toPoint();
    m_scrollStart = {m_view->horizontalScrollBar()->value(), m_view->verticalScrollBar()->value()};
    updateCursor();
    return true;
}

void ViewNavigation::endPan() {
    m_panButton = Qt::NoButton;
    updateCursor();
}

void ViewNavigation::updateCursor() {
    QWidget* viewport = m_view->viewport();
    if (isPanning()) {
        viewport->setCursor(Qt::ClosedHandCursor);
    } else if (m_spaceHeld) {
        viewport->setCursor(Qt::OpenHandCursor);
    } else {
        viewport->unsetCursor();
    }
}
