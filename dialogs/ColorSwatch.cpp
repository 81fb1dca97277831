#include "ColorSwatch.h"

#include <QPainter>

#include "GdiConvert.h"

ColorSwatch::ColorSwatch(const COLORREF* color, QWidget* parent)
    : QWidget(parent), m_pColor(color) {}

void ColorSwatch::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(QRect(1, 1, width() - 1, height() - 1), ToQColor(*m_pColor));
    painter.setPen(Qt::black);
    painter.drawRect(QRect(0, 0, width() - 1, height() - 1));
}
