// Hostile pictures are harmless: each is refused with a reason that names the limit or the
// damage, or is shown in part; no read crashes or hands out a tile of the wrong size.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tiffio.h>

#include <functional>

#include "BuiltTileSource.h"
#include "PictureFiles.h"
#include "TileImage.h"
#include "TilePictures.h"
#include "TileSourceFactory.h"

namespace {

// A small JPEG whose frame header claims `width` x `height`.
QByteArray JpegClaiming(quint16 width, quint16 height) {
    return PictureFiles::WithJpegSides(
        PictureFiles::JpegBytes(PictureFiles::Quadrants(64, 64), false), width, height);
}

QImage Picture() { return PictureFiles::Quadrants(1500, 1100, 24); }

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Case {
    const char* name;
    // Writes the file at the path given; may tighten the limits.
    std::function<void(const QString&, tiles::TileLimits&)> make;
    const char* refusal; // a part of the reason; null: shown, perhaps in part
    bool partial;        // shown in part, with a notice
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const Case kCases[] = {
    {"jpeg_huge_header_tiny_file",
     [](const QString& p, tiles::TileLimits&) { PictureFiles::WriteBytes(p, JpegClaiming(65500, 65500)); },
     "65500 x 65500", false},
    {"png_huge_header_tiny_file",
     [](const QString& p, tiles::TileLimits&) { PictureFiles::WriteBytes(p, PictureFiles::PngHeaderOnly(60000, 60000)); },
     "60000 x 60000", false},
    {"tiff_huge_header_tiny_file",
     [](const QString& p, tiles::TileLimits&) { PictureFiles::WriteBytes(p, PictureFiles::TiffHeaderOnly(60000, 60000)); },
     "60000 x 60000", false},
    {"over_the_side_limit",
     [](const QString& p, tiles::TileLimits& l) {
         l.maxSide = 1000;
         PictureFiles::Write(Picture(), p, "png");
     },
     "1000 pixels a side", false},
    {"progressive_jpeg_over_budget",
     [](const QString& p, tiles::TileLimits& l) {
         l.buildBytes = 4 * tiles::kMegabyte;
         PictureFiles::WriteBytes(p, PictureFiles::JpegBytes(PictureFiles::Quadrants(2000, 1500, 8), true));
     },
     "progressive JPEG", false},
    {"interlaced_png_over_budget",
     [](const QString& p, tiles::TileLimits& l) {
         l.buildBytes = 2 * tiles::kMegabyte;
         TilePictures::WriteInterlacedPng(p, Picture());
     },
     "interlaced PNG", false},
    {"tiff_blocks_over_the_read_limit",
     [](const QString& p, tiles::TileLimits& l) {
         l.tileReadBytes = tiles::kMegabyte;
         TilePictures::WriteTiff(p, Picture(), {1024, COMPRESSION_LZW, TilePictures::Levels::None});
     },
     "blocks of 1024 x 1024", false},
    {"not_a_picture",
     [](const QString& p, tiles::TileLimits&) { PictureFiles::WriteBytes(p, QByteArray(5000, 'x')); },
     "not a TIFF, JPEG or PNG", false},
    {"truncated_jpeg",
     [](const QString& p, tiles::TileLimits&) {
         const QByteArray bytes = PictureFiles::JpegBytes(Picture(), false);
         PictureFiles::WriteBytes(p, bytes.left(bytes.size() / 2));
     },
     nullptr, true},
    {"truncated_png",
     [](const QString& p, tiles::TileLimits&) {
         PictureFiles::Write(Picture(), p, "png");
         const QByteArray bytes = FileBytes(p);
         PictureFiles::WriteBytes(p, bytes.left(bytes.size() / 2));
     },
     nullptr, true},
    {"damaged_png_data",
     [](const QString& p, tiles::TileLimits&) {
         PictureFiles::Write(Picture(), p, "png");
         QByteArray bytes = FileBytes(p);
         for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) {
             bytes[i] = char(~bytes[i]);
         }
         PictureFiles::WriteBytes(p, bytes);
     },
     nullptr, true},
    {"truncated_striped_tiff",
     [](const QString& p, tiles::TileLimits&) {
         TilePictures::WriteTiff(p, Picture(), {0, COMPRESSION_LZW, TilePictures::Levels::None});
         // libtiff writes the directory after the pixels: cut pixels out of the middle.
         QByteArray bytes = FileBytes(p);
         bytes.replace(bytes.size() / 3, bytes.size() / 3, QByteArray(bytes.size() / 3, '\0'));
         PictureFiles::WriteBytes(p, bytes);
     },
     nullptr, true},
};

class Hostile : public ::testing::TestWithParam<Case> {};

TEST_P(Hostile, IsRefusedOrShownInPart) {
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    tiles::TileLimits limits;
    limits.cacheDir = dir.filePath(QStringLiteral("cache"));
    const QString path = dir.filePath(QStringLiteral("picture"));
    c.make(path, limits);
    QString why;
    const auto source = tiles::OpenTileSource(path, limits, &why);
    if (c.refusal != nullptr) {
        EXPECT_FALSE(source);
        EXPECT_TRUE(why.contains(QLatin1String(c.refusal))) << why.toStdString();
        return;
    }
    ASSERT_TRUE(source) << why.toStdString();
    if (auto built = std::dynamic_pointer_cast<tiles::BuiltTileSource>(source)) {
        built->waitForBuild();
    }
    EXPECT_EQ(!source->notice().isEmpty(), c.partial) << source->notice().toStdString();
    // Every level reads, the top left as the picture, the bottom right (past the damage)
    // missing.
    for (int level = 0; level < source->levelCount(); ++level) {
        EXPECT_TRUE(source->levelReady(level));
        EXPECT_FALSE(TilePictures::ReadLevel(*source, level).isNull()) << level;
    }
    const std::atomic<bool> cancelled{false};
    const QImage top = source->readTile({0, 0, 0}, cancelled);
    EXPECT_LE(TilePictures::MeanDifference(top, Picture().copy(0, 0, 256, 256)), 4.0);
    const QImage bottom = source->readTile({0, 5, 4}, cancelled);
    EXPECT_EQ(bottom.pixel(bottom.width() - 1, bottom.height() - 1), tiles::TileImage::kMissing);
}

INSTANTIATE_TEST_SUITE_P(Pictures, Hostile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
