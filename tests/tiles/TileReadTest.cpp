// Every kind of file read in tiles gives, level by level, the picture decoded whole and
// halved: exactly where the tiles are kept losslessly, within JPEG's error where they are not.
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tiffio.h>

#include "BuiltTileSource.h"
#include "PictureFiles.h"
#include "TilePictures.h"
#include "TileSourceFactory.h"

using namespace TilePictures;

namespace {

enum class Kind { Tiff, Png, Jpeg, InterlacedPng };

struct Case {
    const char* name;
    Kind kind;
    TiffLayout layout;
    bool alpha;
    bool inPlace;      // every level from the file itself
    double tolerance;  // mean absolute difference allowed; 0: identical
};

// Lossless levels come out exact; JPEG tiles (quality 90) and the decoder's own 1/8 scaling
// stay within a few levels of the halved whole decode.
constexpr double kJpegTiles = 3.0;
constexpr double kJpegSource = 4.0;

const Case kCases[] = {
    {"tiled_pages", Kind::Tiff, {256, COMPRESSION_NONE, Levels::Pages}, false, true, 0},
    {"tiled512_deflate_subimages", Kind::Tiff, {512, COMPRESSION_ADOBE_DEFLATE, Levels::SubImages}, false, true, 0},
    {"tiled128_lzw_alpha_pages", Kind::Tiff, {128, COMPRESSION_LZW, Levels::Pages}, true, true, 1.0},
    {"tiled_no_levels", Kind::Tiff, {256, COMPRESSION_LZW, Levels::None}, false, false, kJpegTiles},
    // The coarse levels come from the decoder's own reduction of each JPEG tile.
    {"tiled_jpeg_no_levels", Kind::Tiff, {256, COMPRESSION_JPEG, Levels::None}, false, false, kJpegSource},
    {"striped_lzw", Kind::Tiff, {0, COMPRESSION_LZW, Levels::None}, false, false, kJpegTiles},
    {"png", Kind::Png, {}, false, false, kJpegTiles},
    {"png_alpha", Kind::Png, {}, true, false, 1.0},
    {"png_interlaced", Kind::InterlacedPng, {}, false, false, kJpegTiles},
    {"jpeg", Kind::Jpeg, {}, false, false, kJpegSource},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class TileRead : public ::testing::TestWithParam<Case> {};

QImage Picture(bool alpha) {
    QImage image = PictureFiles::Quadrants(1500, 1100, 24);
    if (alpha) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                line[x] = (line[x] & 0x00FFFFFF) | (quint32((x + y) % 256) << 24);
            }
        }
    }
    return image;
}

TEST_P(TileRead, LevelsEqualTheWholeDecodeHalved) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage image = Picture(c.alpha);
    QString path = dir.filePath(QStringLiteral("picture"));
    QImage whole = image;
    switch (c.kind) {
    case Kind::Tiff:
        ASSERT_TRUE(WriteTiff(path, image, c.layout));
        break;
    case Kind::Png:
        ASSERT_TRUE(PictureFiles::Write(image, path, "png"));
        break;
    case Kind::InterlacedPng:
        ASSERT_TRUE(WriteInterlacedPng(path, image));
        break;
    case Kind::Jpeg:
        ASSERT_TRUE(PictureFiles::Write(image, path, "jpg", 90));
        whole = QImageReader(path).read(); // the reference is what the JPEG holds
        break;
    }
    tiles::TileLimits limits;
    limits.cacheDir = dir.filePath(QStringLiteral("cache"));
    QString why;
    tiles::OpenInfo info;
    const auto source = tiles::OpenTileSource(path, limits, &why, &info);
    ASSERT_TRUE(source) << why.toStdString();
    EXPECT_EQ(info.inPlace, c.inPlace);
    EXPECT_EQ(source->pictureSize(), image.size());
    if (auto built = std::dynamic_pointer_cast<tiles::BuiltTileSource>(source)) {
        EXPECT_TRUE(built->waitForBuild());
        EXPECT_TRUE(built->notice().isEmpty());
    }
    for (int level = 0; level < source->levelCount(); ++level) {
        ASSERT_TRUE(source->levelReady(level)) << level;
        const QImage tiles = ReadLevel(*source, level);
        const QImage reference = Reference(whole, level);
        ASSERT_FALSE(tiles.isNull()) << level;
        const double difference = MeanDifference(tiles, reference);
        if (c.tolerance == 0) {
            EXPECT_EQ(tiles.convertToFormat(reference.format()), reference) << "level " << level;
        } else {
            EXPECT_LE(difference, c.tolerance) << "level " << level;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, TileRead, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TileRead, EdgeTilesAreCutToTheLevel) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.tif"));
    ASSERT_TRUE(WriteTiff(path, Picture(false), {256, COMPRESSION_NONE, Levels::Pages}));
    const auto source = tiles::OpenTileSource(path, {}, nullptr);
    ASSERT_TRUE(source);
    const std::atomic<bool> cancelled{false};
    EXPECT_EQ(source->readTile({0, 5, 4}, cancelled).size(), QSize(1500 - 5 * 256, 1100 - 4 * 256));
    EXPECT_TRUE(source->readTile({0, 6, 0}, cancelled).isNull());
    EXPECT_TRUE(source->readTile({source->levelCount(), 0, 0}, cancelled).isNull());
    const std::atomic<bool> stop{true};
    EXPECT_TRUE(source->readTile({0, 0, 0}, stop).isNull());
}

} // namespace
