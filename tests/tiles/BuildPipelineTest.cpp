// A pyramid built on two threads (the reader, the worker that halves and writes): the rows a
// level shows while it is built are those of the finished level, the finished levels are the
// picture halved whatever number of bands go round, and closing the source mid-build stops it
// and leaves no file behind; a wait for a level lasts until the build has made it; a build runs
// in idle time only where the program asks.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <future>
#include <cstring>
#include <thread>

#include "BackgroundPriority.h"
#include "BuiltTileSource.h"
#include "PictureFiles.h"
#include "TileImage.h"
#include "TilePictures.h"

using namespace TilePictures;

namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 20s;

// The scheduling policy of the thread a build last read on.
std::atomic<int> g_readerPolicy{-1};

// Rows of a picture held in memory, a band at a time (at most `step` rows each, so bands of
// odd heights reach every level); once `gate` rows are out it waits until let go (or
// cancelled), so a test can look at a build half done.
class GatedReader : public tiles::BandReader {
public:
    GatedReader(QImage picture, int gate, int step, const std::atomic<bool>& open)
        : m_picture(std::move(picture)), m_gate(gate), m_step(step), m_open(open) {}
    QSize size() const override { return m_picture.size(); }
    bool alpha() const override { return m_picture.hasAlphaChannel(); }
    bool damaged() const override { return false; }
    int read(QImage& band, const std::atomic<bool>& cancelled) override {
        g_readerPolicy = ::sched_getscheduler(0);
        while (m_next >= m_gate && !m_open.load() && !cancelled.load()) {
            std::this_thread::sleep_for(1ms);
        }
        if (cancelled.load()) {
            return 0;
        }
        const int limit = m_open.load() ? m_picture.height() : m_gate;
        const int rows = std::min({band.height(), m_step, limit - m_next});
        for (int y = 0; y < rows; ++y) {
            std::memcpy(band.scanLine(y), m_picture.constScanLine(m_next + y),
                        size_t(m_picture.bytesPerLine()));
        }
        m_next += rows;
        return rows;
    }

private:
    QImage m_picture;
    int m_gate;
    int m_step;
    const std::atomic<bool>& m_open;
    int m_next = 0;
};

class BuildPipeline : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // A build of `picture` whose reader stops at `gate` rows until m_open is set.
    std::shared_ptr<tiles::BuiltTileSource> start(const QImage& picture, int gate, int bands,
                                                  int step = tiles::BuiltTileSource::kBandRows) {
        const QByteArray key(tiles::PyramidStore::kKeyBytes, 'k');
        m_part = m_dir.filePath(QStringLiteral("p.zpyr.part"));
        m_final = m_dir.filePath(QStringLiteral("p.zpyr"));
        auto store = tiles::PyramidStore::Create(m_part, key, picture.size(), 0,
                                                 picture.hasAlphaChannel());
        EXPECT_TRUE(store);
        auto source = std::make_shared<tiles::BuiltTileSource>(nullptr, store);
        const int last = tiles::TileSource::LevelCount(picture.size()) - 1;
        const std::atomic<bool>& open = m_open;
        tiles::BuildPass pass{[picture, gate, step, &open] {
                                  return std::make_unique<GatedReader>(picture, gate, step, open);
                              },
                              0, 0, last, true, bands};
        source->startBuild({pass}, tiles::PyramidCache(m_dir.path(), 0), m_final);
        return source;
    }

    static bool WaitForRows(const tiles::TileSource& source, int level, int rows) {
        const auto until = std::chrono::steady_clock::now() + kPatience;
        while (source.rowsReady(level) < rows) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    // The first `rows` rows of `level`, put together from its tiles (each as read now).
    static QImage TopRows(const tiles::TileSource& source, int level, int rows) {
        const QSize size = tiles::TileSource::LevelSize(source.pictureSize(), level);
        QImage out(size.width(), rows, tiles::TileImage::DisplayFormat(true));
        out.fill(Qt::transparent);
        const std::atomic<bool> never{false};
        for (int r = 0; r * tiles::kTileSize < rows; ++r) {
            for (int c = 0; c * tiles::kTileSize < size.width(); ++c) {
                const QImage tile = source.readTile({level, c, r}, never);
                EXPECT_FALSE(tile.isNull()) << level << " " << c << " " << r;
                for (int y = 0; y < tile.height() && r * tiles::kTileSize + y < rows; ++y) {
                    std::memcpy(out.scanLine(r * tiles::kTileSize + y) + c * tiles::kTileSize * 4,
                                tile.constScanLine(y), size_t(tile.width()) * 4);
                }
            }
        }
        return out;
    }

    QTemporaryDir m_dir;
    std::atomic<bool> m_open{false};
    QString m_part;
    QString m_final;
};

// Premultiplied with alpha (kept losslessly), or opaque (JPEG tiles).
QImage Picture(int width, int height, bool alpha) {
    QImage image = PictureFiles::Quadrants(width, height, 24);
    if (!alpha) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            line[x] = (line[x] & 0x00FFFFFF) | (quint32((x + 3 * y) % 256) << 24);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

struct PartCase {
    const char* name;
    bool alpha;
    double tolerance; // against the finished level: its tiles are compressed after
};

class PartlyBuilt : public BuildPipeline, public ::testing::WithParamInterface<PartCase> {};

TEST_P(PartlyBuilt, ItsRowsAreThoseOfTheFinishedLevel) {
    const PartCase& c = GetParam();
    constexpr int kGate = 600; // inside the third tile row of level 0
    const auto source = start(Picture(1500, 1100, c.alpha), kGate, 3);
    const int levels = source->levelCount();
    std::vector<QImage> partial;
    for (int level = 0; level < 4; ++level) {
        const int rows = kGate >> level;
        ASSERT_TRUE(WaitForRows(*source, level, rows)) << level << ": " << source->rowsReady(level);
        EXPECT_EQ(source->rowsReady(level), rows) << level; // no more than has come
        EXPECT_FALSE(source->levelReady(level));
        partial.push_back(TopRows(*source, level, rows));
        // The tile the strip holds comes with the rows it has, fewer than the tile's.
        const std::atomic<bool> never{false};
        const int row = rows / tiles::kTileSize;
        EXPECT_EQ(source->readTile({level, 0, row}, never).height(), rows % tiles::kTileSize);
    }
    m_open = true;
    ASSERT_TRUE(source->waitForBuild());
    EXPECT_EQ(source->rowsReady(levels - 1), tiles::TileSource::LevelSize(source->pictureSize(),
                                                                           levels - 1).height());
    for (int level = 0; level < 4; ++level) {
        const QImage finished = TopRows(*source, level, partial[size_t(level)].height());
        if (c.tolerance == 0) {
            EXPECT_EQ(partial[size_t(level)], finished) << level;
        } else {
            EXPECT_LE(MeanDifference(partial[size_t(level)], finished), c.tolerance) << level;
        }
    }
}

const PartCase kPartCases[] = {{"alpha_lossless", true, 0}, {"opaque_jpeg_tiles", false, 3.0}};

INSTANTIATE_TEST_SUITE_P(Tiles, PartlyBuilt, ::testing::ValuesIn(kPartCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Tall enough for the bands to go round the pool many times and several strips to wait; bands
// of 64 rows and of an odd 37, which leave a row of every level waiting for its pair.
TEST_F(BuildPipeline, AnyNumberOfBandsGivesThePictureHalvedExactly) {
    const QImage picture = Picture(700, 3001, true);
    m_open = true;
    for (const auto& [bands, step] : {std::pair{2, 64}, std::pair{6, 37}}) {
        const auto source = start(picture, picture.height(), bands, step);
        ASSERT_TRUE(source->waitForBuild()) << bands;
        for (int level = 0; level < source->levelCount(); ++level) {
            EXPECT_EQ(ReadLevel(*source, level), Reference(picture, level))
                << bands << " bands, level " << level;
        }
        ASSERT_TRUE(QFile::remove(m_final));
    }
}

TEST_F(BuildPipeline, ClosingDuringTheBuildStopsItAndLeavesNoFile) {
    {
        const auto source = start(Picture(1500, 3000, false), 700, 2);
        ASSERT_TRUE(WaitForRows(*source, 0, 512));
        EXPECT_TRUE(QFile::exists(m_part));
    } // the reader waits at its gate: only the close can end the build
    EXPECT_FALSE(QFile::exists(m_part));
    EXPECT_FALSE(QFile::exists(m_final));
    EXPECT_TRUE(QDir(m_dir.path()).entryList({QStringLiteral("*.zpyr*")}, QDir::Files).isEmpty());
}

TEST_F(BuildPipeline, ABuildRunsInIdleTimeOnlyWhereTheProgramAsks) {
    const QImage picture = Picture(300, 300, false);
    m_open = true;
    for (const auto priority : {tiles::BuildPriority::Normal, tiles::BuildPriority::Idle}) {
        tiles::SetBuildPriority(priority);
        g_readerPolicy = -1;
        const auto source = start(picture, picture.height(), 2);
        ASSERT_TRUE(source->waitForBuild());
        EXPECT_EQ(g_readerPolicy.load(),
                  priority == tiles::BuildPriority::Idle ? SCHED_IDLE : SCHED_OTHER);
        ASSERT_TRUE(QFile::remove(m_final));
    }
    tiles::SetBuildPriority(tiles::BuildPriority::Normal);
    EXPECT_EQ(::sched_getscheduler(0), SCHED_OTHER) << "the thread that started them keeps its own";
}

TEST_F(BuildPipeline, AWaitForALevelLastsUntilTheBuildHasMadeIt) {
    const QImage picture = Picture(600, 2000, true); // lossless tiles: compared exactly
    const auto source = start(picture, 700, 2);
    ASSERT_TRUE(WaitForRows(*source, 0, 512));
    auto waited = std::async(std::launch::async, [&] { return source->waitForLevel(0); });
    EXPECT_EQ(waited.wait_for(200ms), std::future_status::timeout) << "the reader is held";
    m_open = true;
    ASSERT_EQ(waited.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(waited.get());
    EXPECT_EQ(ReadLevel(*source, 0), Reference(picture, 0));
    EXPECT_TRUE(source->waitForBuild());
}

} // namespace
