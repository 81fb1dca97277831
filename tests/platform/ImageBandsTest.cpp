// The banded smooth resize of a large picture against Qt's resize of the whole converted
// picture: the bands may shift their rows by a fraction of a source row, so the two agree to
// within what such a shift changes, everywhere, with the size and format of the whole one.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ImageBands.h"

namespace {

// Content that is smooth at the scale of a source row (the bands' shifts of a fraction of a
// row change it by little) but waves every 64 rows, so that a band put one target row off, or
// scaled from the wrong rows, shows; with alpha where the format has it.
QImage Waves(QSize size, QImage::Format format) {
    constexpr double kPeriod = 64.0;
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        const int wave = 128 + static_cast<int>(std::lround(127 * std::sin(y * 2 * M_PI / kPeriod)));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            line[x] = qRgba((x * 255) / size.width(), wave, 255 - wave,
                            128 + (y * 127) / size.height());
        }
    }
    return image.convertToFormat(format);
}

int MaxChannelDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            worst = std::max({worst, std::abs(qRed(pa[x]) - qRed(pb[x])),
                              std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                              std::abs(qBlue(pa[x]) - qBlue(pb[x])),
                              std::abs(qAlpha(pa[x]) - qAlpha(pb[x]))});
        }
    }
    return worst;
}

TEST(ImageBands, BandedResizeMatchesTheWholeOne) {
    // Each source takes more than a band's 32 MB once converted to four bytes a pixel, so it is
    // resized in bands; the targets cut the bands at whole and at fractional source rows.
    const struct {
        QSize source;
        QImage::Format format;
        QImage::Format converted;
        QSize target;
    } cases[] = {
        {{4000, 2400}, QImage::Format_Grayscale8, QImage::Format_RGB32, {1000, 600}},
        {{4000, 2400}, QImage::Format_Grayscale8, QImage::Format_RGB32, {777, 487}},
        {{3100, 3000}, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied, {1201, 997}},
        {{3100, 3000}, QImage::Format_RGB888, QImage::Format_RGB32, {640, 2900}},
    };
    // A fraction of a source row of the waves (at most 13 levels), and rounding.
    constexpr int kTolerance = 16;
    for (const auto& c : cases) {
        const QImage source = Waves(c.source, c.format);
        const QImage banded = ImageBands::SmoothResize(source, c.target.width(), c.target.height());
        const QImage whole = source.convertToFormat(c.converted)
                                 .scaled(c.target, Qt::IgnoreAspectRatio,
                                         Qt::SmoothTransformation);
        ASSERT_EQ(banded.size(), c.target);
        EXPECT_EQ(banded.format(), c.converted);
        EXPECT_LE(MaxChannelDifference(banded, whole), kTolerance)
            << c.source.width() << "x" << c.source.height() << " to " << c.target.width() << "x"
            << c.target.height();
    }
}

TEST(ImageBands, BandedConversionIsTheWholeConversion) {
    const QImage source = Waves({4000, 2400}, QImage::Format_Grayscale8);
    EXPECT_EQ(ImageBands::Convert(source, QImage::Format_RGB32),
              source.convertToFormat(QImage::Format_RGB32));
}

} // namespace
