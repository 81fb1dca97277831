#include "DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>

#include <cstdint>

namespace {

// a * b / c rounded half away from zero, as dialog templates scale their units.
int MulDiv(int a, int b, int c) {
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t half = c / 2;
    return int(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

DialogUnits::DialogUnits(const QFont& dialogFont) {
    const QFontMetrics metrics(dialogFont);
    // The average width of the 52 Latin letters, rounded to the nearest pixel.
    constexpr int kLetters = 52;
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / (kLetters / 2) + 1) / 2;
    m_baseY = metrics.ascent() + metrics.descent();
    if (m_baseX < 1) {
        m_baseX = 1;
    }
    if (m_baseY < 1) {
        m_baseY = 1;
    }
}

QRect DialogUnits::toPixels(int x, int y, int cx, int cy) const {
    // Each edge is converted on its own, so adjacent controls stay adjacent in pixels.
    const int left = MulDiv(x, m_baseX, 4);
    const int top = MulDiv(y, m_baseY, 8);
    const int right = MulDiv(x + cx, m_baseX, 4);
    const int bottom = MulDiv(y + cy, m_baseY, 8);
    return QRect(left, top, right - left, bottom - top);
}

QSize DialogUnits::toPixels(int cx, int cy) const {
    return QSize(MulDiv(cx, m_baseX, 4), MulDiv(cy, m_baseY, 8));
}

QFont DialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}
