#include <gtest/gtest.h>

#include <cstdint>

#include "LargeImage.h"

namespace {

[[maybe_unused]] constexpr std::uintptr_t kHugePage = std::uintptr_t(2) * 1024 * 1024;

TEST(LargeImage, LaidOutAsQtsOwnOnHugePageBoundaries) {
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_Grayscale8}) {
        const QSize size(1201, 1003); // odd widths: rows padded to 32 bits as Qt pads them
        QImage image = LargeImage::Make(size, format);
        const QImage reference(size, format);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), size);
        EXPECT_EQ(image.format(), format);
        EXPECT_EQ(image.bytesPerLine(), reference.bytesPerLine());
#ifdef __linux__
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.constBits()) % kHugePage, 0u);
#endif

        // Every row is writable to its end; a copy written to leaves the original as it was.
        image.fill(Qt::white);
        QImage copy = image;
        copy.setPixel(size.width() - 1, size.height() - 1, qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(size.width() - 1, size.height() - 1), qRgb(255, 255, 255));
        EXPECT_EQ(copy.pixel(size.width() - 1, size.height() - 1), qRgb(0, 0, 0));
    }
}

TEST(LargeImage, SmallAndImpossibleSizes) {
    const QImage small = LargeImage::Make(QSize(64, 64), QImage::Format_RGB32);
    EXPECT_EQ(small.size(), QSize(64, 64));
    EXPECT_EQ(small.format(), QImage::Format_RGB32);
    EXPECT_TRUE(LargeImage::Make(QSize(0, 10), QImage::Format_RGB32).isNull());
    // More than any machine has: a null image, not a crash.
    EXPECT_TRUE(
        LargeImage::Make(QSize(2'000'000'000, 2'000'000'000), QImage::Format_RGB32).isNull());
}

} // namespace
