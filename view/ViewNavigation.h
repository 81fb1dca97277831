// Moving about a map view with the mouse, the wheel and a touchpad: Ctrl+wheel zooms about the
// cursor by the zoom steps (1.1 in, 0.9 out, one step a notch), a pinch zooms about its centre
// smoothly, the plain wheel scrolls vertically and Shift+wheel horizontally, and dragging with
// the middle button, or with the left button while Space is held, moves the picture with the
// pointer.
//
// It filters the events of the view's viewport (and the view's keys, for Space) before the view
// sees them and takes only those: a plain left press, moves and double-clicks go on to the
// view's own handlers unchanged. A pan neither reports to the status line nor stops the paint
// timer; it ends at the release of the button that started it (Qt delivers that release to
// the viewport wherever the pointer is by then).
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>

class CZelvorView;
class QMouseEvent;
class QNativeGestureEvent;
class QWheelEvent;

class ViewNavigation : public QObject {
    Q_OBJECT
public:
    // Becomes a child of `view` and starts filtering its viewport's events.
    explicit ViewNavigation(CZelvorView* view);

    bool isPanning() const { return m_panButton != Qt::NoButton; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool onWheel(QWheelEvent* event);
    bool onGesture(QNativeGestureEvent* event);
    bool onPress(QMouseEvent* event);
    void endPan();
    void reportAt(QPointF position);
    void updateCursor();

    CZelvorView* m_view;
    // Wheel rotation not yet turned into a zoom step (eighths of a degree; 120 a notch).
    int m_zoomDelta = 0;
    bool m_spaceHeld = false;
    Qt::MouseButton m_panButton = Qt::NoButton;
    QPoint m_panStart;    // global position of the press
    QPoint m_scrollStart; // scroll bar values at the press
};
