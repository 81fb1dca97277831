#include "BenchPictures.h"

#include <QImageWriter>

#include <cmath>

namespace BenchPictures {

QImage PhotoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    unsigned state = 12345;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double fy = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 28) - 8;
            const double shade =
                0.5 + 0.25 * std::sin(fx * 9.0 + fy * 4.0) + 0.2 * std::cos(fy * 13.0 - fx * 3.0);
            const bool edge = ((x / 97) + (y / 131)) % 5 == 0;
            const int r = int(shade * 200) + grain + (edge ? 40 : 0);
            const int g = int(shade * 170 + fx * 50) + grain;
            const int b = int(shade * 120 + fy * 90) + grain - (edge ? 30 : 0);
            line[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    return image;
}

bool WritePhotoJpeg(const QString& path, int width, int height) {
    QImageWriter writer(path, "jpg");
    writer.setQuality(90);
    return writer.write(PhotoLike(width, height));
}

} // namespace BenchPictures
