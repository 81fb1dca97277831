// Dialog-unit geometry: dialog templates place controls in units of a quarter of the dialog
// font's average character width and an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& dialogFont);
    // A control's rectangle: each edge converted on its own (x * baseX / 4, y * baseY / 8,
    // rounded half away from zero), so edges that meet in units meet in pixels.
    QRect toPixels(int x, int y, int cx, int cy) const;
    // A size on its own: cx * baseX / 4 by cy * baseY / 8, rounded the same way.
    QSize toPixels(int cx, int cy) const;
    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

private:
    int m_baseX; // average character width in pixels
    int m_baseY; // character height in pixels
};

// The font dialog templates ask for ("MS Shell Dlg" 8): the application's default face at
// 8 points.
QFont DialogFont();
