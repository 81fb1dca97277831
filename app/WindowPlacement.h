// Where the first main window goes on its screen.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// The client geometry for a window of client size `wanted` (grown to `minimum`) whose frame adds
// `frame` around it: the whole window, frame included, lies inside `available`, shrunk where it
// would not fit, and centred there.
QRect FitInside(const QRect& available, QSize wanted, QSize minimum, const QMargins& frame);

// Gives the main window four fifths of its screen's available area, centred, never more than
// fits. Call before show(); once shown, the window is moved or shrunk again if the window
// manager's frame pushed it past the area.
void PlaceMainWindow(QWidget& window);
