// The pyramid cache: found again by content under another name, rebuilt when the picture
// changes, kept under its size limit least recently used first, and never trusting a damaged
// pyramid.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "BuiltTileSource.h"
#include "PictureFiles.h"
#include "TilePictures.h"
#include "TileSourceFactory.h"

namespace {

class TileCache : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_limits.cacheDir = m_dir.filePath(QStringLiteral("cache"));
    }

    QString picture(const QString& name, unsigned seed) {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(PictureFiles::Write(PictureFiles::Noise(900, 700, seed), path, "png"));
        return path;
    }

    // Opens `path`, waits for any build; the open's findings.
    tiles::OpenInfo open(const QString& path, std::shared_ptr<tiles::TileSource>* kept = nullptr) {
        tiles::OpenInfo info;
        QString why;
        auto source = tiles::OpenTileSource(path, m_limits, &why, &info);
        EXPECT_TRUE(source) << why.toStdString();
        if (auto built = std::dynamic_pointer_cast<tiles::BuiltTileSource>(source)) {
            EXPECT_TRUE(built->waitForBuild());
        }
        if (kept != nullptr) {
            *kept = source;
        }
        return info;
    }

    QStringList pyramids() const {
        return QDir(m_limits.cacheDir).entryList({QStringLiteral("*.zpyr*")}, QDir::Files);
    }

    QTemporaryDir m_dir;
    tiles::TileLimits m_limits;
};

TEST_F(TileCache, ACopyUnderAnotherNameFindsThePyramidAChangedPictureDoesNot) {
    const QString path = picture(QStringLiteral("a.png"), 1);
    const tiles::OpenInfo first = open(path);
    EXPECT_TRUE(first.building);
    EXPECT_TRUE(QFile::exists(first.pyramidPath));

    const QString copy = m_dir.filePath(QStringLiteral("copy of a.png"));
    ASSERT_TRUE(QFile::copy(path, copy));
    const tiles::OpenInfo again = open(copy);
    EXPECT_TRUE(again.fromCache);
    EXPECT_EQ(again.pyramidPath, first.pyramidPath);

    // Same name, same size, other pixels.
    ASSERT_TRUE(PictureFiles::Write(PictureFiles::Noise(900, 700, 2), path, "png"));
    const tiles::OpenInfo changed = open(path);
    EXPECT_FALSE(changed.fromCache);
    EXPECT_NE(changed.pyramidPath, first.pyramidPath);
}

TEST_F(TileCache, KeepsUnderItsLimitRemovingTheLeastRecentlyUsedFirst) {
    const QString a = picture(QStringLiteral("a.png"), 1);
    const QString b = picture(QStringLiteral("b.png"), 2);
    const QString c = picture(QStringLiteral("c.png"), 3);
    const QString pa = open(a).pyramidPath;
    const qint64 one = QFileInfo(pa).size();
    ASSERT_GT(one, 0);
    // Room for two pyramids and the estimate of a third's build, not for three.
    m_limits.cacheBytes = 2 * one + one / 2;
    const QString pb = open(b).pyramidPath;
    QThread::msleep(20);
    EXPECT_TRUE(open(a).fromCache); // a is now more recently used than b
    QThread::msleep(20);
    const QString pc = open(c).pyramidPath;
    EXPECT_TRUE(QFile::exists(pa));
    EXPECT_FALSE(QFile::exists(pb));
    EXPECT_TRUE(QFile::exists(pc));
    EXPECT_LE(tiles::PyramidCache(m_limits.cacheDir, 0).usedBytes(), m_limits.cacheBytes);
}

// Flips one byte of `path` at `offset` from its end (negative) or start.
void Damage(const QString& path, qint64 offset) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 at = offset < 0 ? file.size() + offset : offset;
    file.seek(at);
    char byte = 0;
    file.getChar(&byte);
    file.seek(at);
    file.putChar(char(byte ^ 0x5A));
}

TEST_F(TileCache, ADamagedIndexIsRebuilt) {
    const QString path = picture(QStringLiteral("a.png"), 1);
    const QString pyramid = open(path).pyramidPath;
    Damage(pyramid, -40); // inside the index
    const tiles::OpenInfo again = open(path);
    EXPECT_FALSE(again.fromCache);
    EXPECT_TRUE(again.building);
    EXPECT_TRUE(open(path).fromCache); // the rebuilt one is sound
}

TEST_F(TileCache, ADamagedTileIsNotShownAndItsPyramidIsRebuilt) {
    const QString path = picture(QStringLiteral("a.png"), 1);
    const QString pyramid = open(path).pyramidPath;
    Damage(pyramid, 64 + 100); // inside the first tile written: level 0, the top left one
    std::shared_ptr<tiles::TileSource> source;
    ASSERT_TRUE(open(path, &source).fromCache); // the index is sound
    const std::atomic<bool> cancelled{false};
    EXPECT_TRUE(source->readTile({0, 0, 0}, cancelled).isNull());
    EXPECT_FALSE(source->readTile({0, 1, 0}, cancelled).isNull());
    EXPECT_FALSE(QFile::exists(pyramid));
    EXPECT_FALSE(open(path).fromCache);
}

TEST_F(TileCache, AnUnfinishedBuildLeavesNothingBehind) {
    const QString path = picture(QStringLiteral("a.png"), 1);
    {
        QString why;
        auto source = tiles::OpenTileSource(path, m_limits, &why);
        ASSERT_TRUE(source);
    } // closed at once: the build is stopped
    for (const QString& name : pyramids()) {
        EXPECT_TRUE(name.endsWith(QStringLiteral(".zpyr"))) << name.toStdString();
    }
}

} // namespace
