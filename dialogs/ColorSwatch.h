// A colour swatch: a static with a one-pixel black frame, filled with the colour it watches.
#pragma once

#include <QWidget>

#include "PointRecord.h"

class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    // `color` is read at every paint, so the swatch follows the record it points into; it must
    // outlive the swatch.
    explicit ColorSwatch(const COLORREF* color, QWidget* parent = nullptr);

protected:
    // Fills from (1, 1) to the far edges with the colour, then draws the black frame on top,
    // as the frame static repaints itself after its dialog: the colour shows inside the frame.
    void paintEvent(QPaintEvent* event) override;

private:
    const COLORREF* m_pColor;
};
