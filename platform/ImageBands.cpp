#include "ImageBands.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "LargeImage.h"

namespace {

// The most a band may take once converted to four bytes a pixel.
constexpr qint64 kBandBytes = qint64(32) * 1024 * 1024;

int RowsPerBand(int width) {
    return int(std::max<qint64>(1, kBandBytes / std::max<qint64>(1, qint64(width) * 4)));
}

void CopyRows(QImage& into, int at, const QImage& rows) {
    const auto bytes = std::size_t(std::min(into.bytesPerLine(), rows.bytesPerLine()));
    for (int y = 0; y < rows.height(); ++y) {
        std::memcpy(into.scanLine(at + y), rows.constScanLine(y), bytes);
    }
}

} // namespace

namespace ImageBands {

QImage Convert(const QImage& image, QImage::Format format) {
    QImage result = LargeImage::Make(image.size(), format);
    if (result.isNull()) {
        return result;
    }
    const int rows = RowsPerBand(image.width());
    for (int y = 0; y < image.height(); y += rows) {
        const int n = std::min(rows, image.height() - y);
        CopyRows(result, y, image.copy(0, y, image.width(), n).convertToFormat(format));
    }
    return result;
}

QImage SmoothResize(const QImage& image, int width, int height) {
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const bool small = qint64(image.width()) * image.height() * 4 <= kBandBytes;
    if (image.format() == format || small) {
        QImage result =
            image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        result.setDevicePixelRatio(1.0);
        return result;
    }
    QImage result = LargeImage::Make(QSize(width, height), format);
    if (result.isNull()) {
        return result;
    }
    const double perRow = double(image.height()) / double(height);
    const int rows = std::max(1, int(double(RowsPerBand(image.width())) / perRow));
    for (int r0 = 0; r0 < height; r0 += rows) {
        const int r1 = std::min(height, r0 + rows);
        const int y0 = std::clamp(int(std::floor(r0 * perRow)), 0, image.height() - 1);
        const int y1 = std::clamp(int(std::ceil(r1 * perRow)), y0 + 1, image.height());
        const QImage band = image.copy(0, y0, image.width(), y1 - y0)
                                .convertToFormat(format)
                                .scaled(width, r1 - r0, Qt::IgnoreAspectRatio,
                                        Qt::SmoothTransformation);
        CopyRows(result, r0, band);
    }
    result.setDevicePixelRatio(1.0);
    return result;
}

} // namespace ImageBands
