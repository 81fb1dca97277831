// Drawing a picture from levels of tiles: the same pixels as the whole picture, coarse tiles
// standing in for those on their way, tiles that fail or levels still being built, and the
// tile cache's bound.
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "FakeTileSource.h"
#include "Picture.h"
#include "PictureFiles.h"
#include "TiledPicture.h"

namespace {

using PictureFiles::ProcessEventsUntil;

constexpr int kWidth = 1536;
constexpr int kHeight = 1024;
constexpr QSize kViewport(600, 400);
constexpr qint64 kTileBytes = qint64(tiles::kTileSize) * tiles::kTileSize * 4;

// Smooth colours with some structure, so scaled drawings differ only by their filtering.
QImage Plan() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int wave = int(100.0 * std::sin(x / 37.0) * std::cos(y / 53.0));
            line[x] = qRgb(x * 255 / kWidth, y * 255 / kHeight, 128 + wave);
        }
    }
    return image;
}

int MaxDistance(const QImage& a, const QImage& b) {
    int most = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return most;
}

bool HasBlack(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == qRgb(0, 0, 0)) {
                return true;
            }
        }
    }
    return false;
}

// The viewport of a window scrolled to `scroll` over the picture drawn `zoom` times its size.
QImage View(Picture& picture, double zoom, QPoint scroll) {
    QImage surface(kViewport, QImage::Format_RGB32);
    surface.fill(Qt::black);
    QPainter painter(&surface);
    painter.translate(-scroll);
    const QRect target(0, 0, int(kWidth * zoom), int(kHeight * zoom));
    picture.drawScaled(painter, target, QRect(scroll, kViewport));
    return surface;
}

class TiledPictureTest : public ::testing::Test {
protected:
    QImage m_plan = Plan();
    std::shared_ptr<FakeTileSource> m_source = std::make_shared<FakeTileSource>(m_plan);
    std::unique_ptr<Picture> m_whole = Picture::FromImage(m_plan);
};

TEST_F(TiledPictureTest, DrawsTheSamePixelsAsTheWholePictureAtEachZoom) {
    // Where a level has the drawn size (1:1, and half size from the level made by the same
    // reduction) the pixels are identical; where a level is scaled, the filtering differs a
    // little: a third is drawn from the half level reduced by 2/3, twice from full size.
    const struct {
        double zoom;
        int tolerance;
    } rows[] = {{1.0, 0}, {0.5, 0}, {1.0 / 3.0, 4}, {2.0, 2}};
    for (const auto& row : rows) {
        const std::unique_ptr<Picture> tiled = Picture::FromTiles(m_source);
        ASSERT_NE(tiled, nullptr);
        const QPoint scroll(int(kWidth * row.zoom / 4), int(kHeight * row.zoom / 5));
        const QImage expected = View(*m_whole, row.zoom, scroll);
        const QImage drawn = View(*tiled, row.zoom, scroll);
        EXPECT_LE(MaxDistance(drawn, expected), row.tolerance) << "zoom " << row.zoom;
    }
}

TEST_F(TiledPictureTest, PrintingReadsTheLevelOfItsResolutionAndMatchesTheWholePicture) {
    // The picture printed into 768 x 512 logical pixels on pages of 1/2, 1 and 3 dots a pixel:
    // the whole picture is smoothed by the painter, the tiles come reduced by area (within 2).
    const struct {
        double dots;
        int level;
        int tolerance;
    } rows[] = {{0.5, 2, 2}, {1.0, 1, 2}, {3.0, 0, 2}};
    for (const auto& row : rows) {
        const auto source = std::make_shared<FakeTileSource>(m_plan);
        const std::unique_ptr<Picture> tiled = Picture::FromTiles(source);
        const auto print = [&](Picture& picture) {
            QImage page(int(768 * row.dots), int(512 * row.dots), QImage::Format_RGB32);
            page.fill(Qt::black);
            QPainter painter(&page);
            painter.scale(row.dots, row.dots);
            picture.drawForPrint(painter, QRect(0, 0, 768, 512));
            return page;
        };
        const QImage printed = print(*tiled);
        EXPECT_LE(MaxDistance(printed, print(*m_whole)), row.tolerance) << row.dots;
        EXPECT_FALSE(HasBlack(printed));
        for (int level = 0; level < source->levelCount() - 1; ++level) {
            EXPECT_EQ(source->readsOf(level) > 0, level == row.level) << row.dots << " " << level;
        }
    }
}

// A page printed (or a file rendered) while the levels are still being built waits for the
// level of its resolution (it once took the coarsest one ready, or drew nothing at all); where the
// build ends without that level it takes the finest one there is.
TEST_F(TiledPictureTest, APrintedPageWaitsForItsLevelWhileItIsBeingBuilt) {
    for (const bool built : {true, false}) {
        const auto source = std::make_shared<FakeTileSource>(m_plan);
        const int top = source->levelCount() - 1;
        for (int level = 0; level < top; ++level) {
            source->setReady(level, false);
        }
        source->buildOnWait(built);
        const std::unique_ptr<Picture> tiled = Picture::FromTiles(source);
        QImage page(kWidth, kHeight, QImage::Format_RGB32);
        page.fill(Qt::black);
        QPainter painter(&page);
        tiled->drawForPrint(painter, QRect(0, 0, kWidth, kHeight));
        painter.end();
        EXPECT_GE(source->waits(), 1) << built;
        EXPECT_FALSE(HasBlack(page)) << built;
        if (built) {
            EXPECT_GT(source->readsOf(0), 0);
            EXPECT_EQ(page, m_plan) << "level 0 is the picture itself";
        } else {
            EXPECT_EQ(source->readsOf(0), 0);
            EXPECT_GT(MaxDistance(page, m_plan), 0) << "the coarsest level, enlarged";
        }
    }
}

TEST_F(TiledPictureTest, LevelMatchesTheDrawnSize) {
    const QSize size(kWidth, kHeight);
    const struct {
        qint64 width;
        qint64 height;
        int level;
    } rows[] = {{1536, 1024, 0}, {3072, 2048, 0}, {769, 400, 0}, {768, 512, 1},
                {512, 341, 1},   {384, 256, 2},   {1, 1, 3}};
    for (const auto& row : rows) {
        EXPECT_EQ(TiledPicture::LevelFor(size, row.width, row.height), row.level)
            << row.width << " x " << row.height;
    }
}

TEST_F(TiledPictureTest, CoarseTilesStandInUntilTheSharpOnesArriveAndTheArrivalIsTold) {
    // One tile in view cannot be read: it stays coarse, the rest sharpens.
    const tiles::TileId broken{0, 2, 1};
    m_source->failTile(broken);
    const std::unique_ptr<Picture> tiled = Picture::FromTiles(m_source);
    QRect sharpened;
    int notices = 0;
    tiled->setSharperHandler([&](const QRect& part) {
        sharpened |= part;
        ++notices;
    });
    const QPoint scroll(300, 200);
    const QImage expected = View(*m_whole, 1.0, scroll);

    // Nothing has arrived yet: the coarsest tile, enlarged, covers the whole view.
    const QImage first = View(*tiled, 1.0, scroll);
    EXPECT_FALSE(HasBlack(first));
    EXPECT_GT(MaxDistance(first, expected), 0);
    EXPECT_LE(MaxDistance(first, expected), 64);

    ASSERT_TRUE(ProcessEventsUntil([&] { return notices > 0 && !tiled->isDecoding(); }));
    EXPECT_TRUE(sharpened.contains(QRect(scroll, kViewport))) << "the visible part is told";
    const QImage sharp = View(*tiled, 1.0, scroll);
    // The broken tile covers picture (512..767, 256..511): view (212..467, 56..311).
    const QRect brokenInView(212, 56, 256, 256);
    QImage outside = sharp;
    QImage outsideExpected = expected;
    for (QImage* image : {&outside, &outsideExpected}) {
        QPainter(image).fillRect(brokenInView, Qt::white);
    }
    EXPECT_EQ(outside, outsideExpected);
    const QImage stillCoarse = sharp.copy(brokenInView);
    EXPECT_FALSE(HasBlack(stillCoarse));
    EXPECT_GT(MaxDistance(stillCoarse, expected.copy(brokenInView)), 0);
}

// A window small enough (or zoomed out far enough) to show the coarsest level has all it needs
// once that one tile is read: its draws ask for nothing more (they once asked for that tile again
// on every draw, and each arrival repainted, so a small window read it without end).
TEST_F(TiledPictureTest, AViewOfTheCoarsestLevelAsksForNothingMore) {
    const std::unique_ptr<Picture> tiled = Picture::FromTiles(m_source);
    const int top = m_source->levelCount() - 1;
    ASSERT_EQ(m_source->readsOf(top), 1) << "read as the picture opens";
    int notices = 0;
    tiled->setSharperHandler([&](const QRect&) { ++notices; });
    for (int draw = 0; draw < 3; ++draw) {
        View(*tiled, 0.1, QPoint(0, 0));
        EXPECT_FALSE(tiled->isDecoding()) << "draw " << draw;
        QElapsedTimer clock;
        clock.start();
        ProcessEventsUntil([&] { return clock.elapsed() >= 50; });
    }
    EXPECT_EQ(m_source->readsOf(top), 1);
    EXPECT_EQ(notices, 0);
}

TEST_F(TiledPictureTest, ALevelStillBeingBuiltIsDrawnFromTheNextOneUntilItIsReady) {
    m_source->setReady(0, false);
    const std::unique_ptr<Picture> tiled = Picture::FromTiles(m_source);
    QRect sharpened;
    tiled->setSharperHandler([&](const QRect& part) { sharpened |= part; });
    const QPoint scroll(100, 100);
    const QImage expected = View(*m_whole, 1.0, scroll);
    View(*tiled, 1.0, scroll);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !tiled->isDecoding(); }));
    const QImage fromHalf = View(*tiled, 1.0, scroll);
    EXPECT_FALSE(HasBlack(fromHalf));
    EXPECT_GT(MaxDistance(fromHalf, expected), 0);

    sharpened = QRect();
    m_source->setReady(0, true);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !sharpened.isEmpty(); }));
    EXPECT_EQ(sharpened, QRect(0, 0, kWidth, kHeight)) << "a level that became ready redraws all";
    View(*tiled, 1.0, scroll);
    tiled->waitForPixels();
    EXPECT_EQ(View(*tiled, 1.0, scroll), expected);
}

TEST_F(TiledPictureTest, ALevelBeingBuiltShowsTheRowsItHasAndRepaintsOnlyTheNewOnes) {
    for (int level = 0; level < m_source->levelCount(); ++level) {
        m_source->setReady(level, false); // nothing coarser to stand in
    }
    m_source->setRows(0, 150);
    const std::unique_ptr<Picture> tiled = Picture::FromTiles(m_source);
    QRect sharpened;
    tiled->setSharperHandler([&](const QRect& part) { sharpened |= part; });
    const QImage expected = View(*m_whole, 1.0, QPoint(0, 0));
    View(*tiled, 1.0, QPoint(0, 0));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !sharpened.isEmpty() && !tiled->isDecoding(); }));
    const QImage first = View(*tiled, 1.0, QPoint(0, 0));
    EXPECT_EQ(first.copy(0, 0, kViewport.width(), 150), expected.copy(0, 0, kViewport.width(), 150));
    EXPECT_FALSE(HasBlack(first.copy(0, 0, kViewport.width(), 150)));
    EXPECT_TRUE(HasBlack(first.copy(0, 150, kViewport.width(), 10))) << "rows not there stay empty";

    sharpened = QRect();
    m_source->setRows(0, 200); // the level's poll finds them and asks for them
    ASSERT_TRUE(ProcessEventsUntil([&] { return !sharpened.isEmpty() && !tiled->isDecoding(); }));
    EXPECT_EQ(sharpened.top(), 150) << "only the new rows are repainted";
    EXPECT_EQ(sharpened.bottom(), 199);
    const QImage more = View(*tiled, 1.0, QPoint(0, 0));
    EXPECT_EQ(more.copy(0, 0, kViewport.width(), 200), expected.copy(0, 0, kViewport.width(), 200));

    for (int level = 0; level < m_source->levelCount(); ++level) {
        m_source->setReady(level, true);
    }
    View(*tiled, 1.0, QPoint(0, 0));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !tiled->isDecoding(); }));
    View(*tiled, 1.0, QPoint(0, 0));
    tiled->waitForPixels();
    EXPECT_EQ(View(*tiled, 1.0, QPoint(0, 0)), expected) << "the partly read tiles are read again";
}

TEST_F(TiledPictureTest, TheTileCacheStaysWithinItsBound) {
    constexpr qint64 kBound = 6 * kTileBytes;
    const std::unique_ptr<Picture> tiled = Picture::FromTiles(m_source, kBound);
    ASSERT_EQ(tiled->tileCacheBound(), kBound);
    const std::unique_ptr<Picture> roomy = Picture::FromTiles(m_source);
    roomy->setSharperHandler([](const QRect&) {});
    for (const QPoint scroll :
         {QPoint(0, 0), QPoint(900, 0), QPoint(900, 600), QPoint(0, 600), QPoint(450, 300)}) {
        // Each view needs more tiles than the bound holds: still drawn whole and right.
        EXPECT_EQ(View(*tiled, 1.0, scroll), View(*m_whole, 1.0, scroll))
            << scroll.x() << ", " << scroll.y();
        EXPECT_LE(tiled->tileCacheBytes(), kBound);
        View(*roomy, 1.0, scroll);
        roomy->waitForPixels();
        EXPECT_LE(roomy->tileCacheBytes(), roomy->tileCacheBound());
    }
    EXPECT_GT(tiled->tileCacheBytes(), 0);
    // The roomy cache keeps every tile of level 0 the views touched (4 x 6 of them, the ring
    // included).
    EXPECT_EQ(roomy->tileCacheBytes(), 24 * kTileBytes);
}

} // namespace
