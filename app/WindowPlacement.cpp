#include "WindowPlacement.h"

#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

QRect FitInside(const QRect& available, QSize wanted, QSize minimum, const QMargins& frame) {
    const QRect room = available.marginsRemoved(frame);
    const QSize size = wanted.expandedTo(minimum).boundedTo(room.size()).expandedTo(QSize(1, 1));
    QRect rect(QPoint(), size);
    rect.moveCenter(room.center());
    return rect;
}

void PlaceMainWindow(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    // Four fifths of the screen.
    constexpr int kFifthsTaken = 4;
    constexpr int kFifths = 5;
    window.setGeometry(FitInside(available, available.size() * kFifthsTaken / kFifths,
                                 window.minimumSizeHint(), QMargins()));

    // The frame a window manager adds is known only once the window is shown.
    QTimer::singleShot(0, &window, [w = QPointer<QWidget>(&window), available] {
        if (w.isNull() || !w->isVisible() || available.contains(w->frameGeometry())) {
            return;
        }
        const QRect frame = w->frameGeometry();
        const QRect client = w->geometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                               frame.right() - client.right(), frame.bottom() - client.bottom());
        w->setGeometry(FitInside(available, w->size(), w->minimumSizeHint(), margins));
    });
}
