#include "TileImage.h"

#include <algorithm>
#include <cstring>

namespace tiles::TileImage {

QImage::Format DisplayFormat(bool alpha) {
    return alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

QImage Halve(const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    QImage out((w + 1) / 2, (h + 1) / 2, image.format());
    if (out.isNull()) {
        return out;
    }
    for (int y = 0; y < out.height(); ++y) {
        const auto* a = reinterpret_cast<const uchar*>(image.constScanLine(2 * y));
        const auto* b = reinterpret_cast<const uchar*>(image.constScanLine(std::min(2 * y + 1, h - 1)));
        auto* o = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            const int x0 = 8 * x;
            const int x1 = 2 * x + 1 < w ? x0 + 4 : x0;
            for (int c = 0; c < 4; ++c) {
                o[4 * x + c] = uchar((a[x0 + c] + a[x1 + c] + b[x0 + c] + b[x1 + c] + 2) / 4);
            }
        }
    }
    return out;
}

QImage Missing(QSize size, QImage::Format format) {
    QImage out(size, format);
    out.fill(kMissing);
    return out;
}

QImage Extend(const QImage& image, QSize size) {
    if (image.size() == size || image.isNull()) {
        return image;
    }
    QImage out(size, image.format());
    const int w = std::min(image.width(), size.width());
    for (int y = 0; y < size.height(); ++y) {
        const auto* src = reinterpret_cast<const quint32*>(
            image.constScanLine(std::min(y, image.height() - 1)));
        auto* dst = reinterpret_cast<quint32*>(out.scanLine(y));
        std::memcpy(dst, src, size_t(w) * 4);
        std::fill(dst + w, dst + size.width(), src[w - 1]);
    }
    return out;
}

} // namespace tiles::TileImage
