// The benchmarks' huge pyramidal TIFF, written from a few raw JPEG tiles, is a sound file: read
// in place with every level, each tile the size of its place and showing its pattern (a dark
// grid line down its left edge, light shading beside it).
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "RepeatedTileTiff.h"
#include "TileSourceFactory.h"

namespace {

TEST(RepeatedTileTiff, IsReadInPlaceWithEveryLevelAndItsPatterns) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("repeated.tif"));
    const QSize size(3000, 1700);
    ASSERT_TRUE(BigPictures::WriteRepeatedTileTiff(path, size.width(), size.height(), 3));
    QString why;
    tiles::OpenInfo info;
    const auto source = tiles::OpenTileSource(path, {}, &why, &info);
    ASSERT_TRUE(source) << why.toStdString();
    EXPECT_TRUE(info.inPlace);
    EXPECT_EQ(source->pictureSize(), size);
    const std::atomic<bool> cancelled{false};
    for (int level = 0; level < source->levelCount(); ++level) {
        ASSERT_TRUE(source->levelReady(level)) << level;
        const QSize levelSize = tiles::TileSource::LevelSize(size, level);
        for (int r = 0; r * tiles::kTileSize < levelSize.height(); ++r) {
            for (int c = 0; c * tiles::kTileSize < levelSize.width(); ++c) {
                const tiles::TileId id{level, c, r};
                const QImage tile = source->readTile(id, cancelled);
                ASSERT_EQ(tile.size(), tiles::TileSource::TileRect(size, id).size())
                    << level << " " << c << "," << r;
                const int y = std::min(tile.height() - 1, 40);
                EXPECT_LT(qGray(tile.pixel(0, y)), 40) << level << " " << c << "," << r;
                EXPECT_GT(qGray(tile.pixel(std::min(tile.width() - 1, 70), y)), 40)
                    << level << " " << c << "," << r;
            }
        }
    }
}

} // namespace
