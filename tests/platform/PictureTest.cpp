// Decoding pictures by path and drawing them scaled, with the limits on size and memory.
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <cstdlib>

#include "Picture.h"
#include "PictureFiles.h"

namespace {

using namespace PictureFiles;

int ChannelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

QImage Surface(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

QImage Draw(Picture& picture, QSize target) {
    QImage surface = Surface(target.width(), target.height());
    QPainter painter(&surface);
    picture.drawScaled(painter, QRect(QPoint(0, 0), target), surface.rect());
    return surface;
}

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class PictureTest : public ::testing::Test {
protected:
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(PictureTest, DecodesPngAndJpegWithTheirSize) {
    const QImage source = Quadrants(300, 200);
    ASSERT_TRUE(Write(source, file("plan.png"), "png"));
    ASSERT_TRUE(Write(source, file("plan.jpg"), "jpg"));
    // Named for the wrong format: the content decides.
    ASSERT_TRUE(Write(source, file("really-png.jpg"), "png"));
    ASSERT_TRUE(Write(source, file("really-jpeg.png"), "jpg"));

    for (const char* name : {"plan.png", "plan.jpg", "really-png.jpg", "really-jpeg.png"}) {
        const auto picture = Picture::Load(file(name));
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_EQ(picture->size(), QSize(300, 200)) << name;
        EXPECT_TRUE(picture->hasFullPixels()) << name;

        QImage drawn = Surface(300, 200);
        QPainter painter(&drawn);
        picture->drawScaled(painter, QRect(0, 0, 300, 200), drawn.rect());
        painter.end();
        const bool lossy = QByteArray(name) == "plan.jpg" || QByteArray(name) == "really-jpeg.png";
        const int tolerance = lossy ? 12 : 0;
        if (!lossy) {
            EXPECT_EQ(drawn, source) << name;
        }
        for (const QPoint p : {QPoint(10, 10), QPoint(290, 10), QPoint(10, 190), QPoint(290, 190),
                               QPoint(140, 90), QPoint(160, 110)}) {
            EXPECT_LE(ChannelDistance(drawn.pixel(p), source.pixel(p)), tolerance)
                << name << " at " << p.x() << "," << p.y();
        }
    }
}

// Decoded straight into memory advised for huge pages: no copy, and one fault per 2 MB.
TEST_F(PictureTest, WholeDecodesOfLargePicturesFillHugePageMemory) {
    const QImage source = Quadrants(600, 400); // 960 KB as 32-bit pixels
    ASSERT_TRUE(Write(source, file("large.png"), "png"));
    ASSERT_TRUE(Write(source, file("large.jpg"), "jpg"));
    for (const char* name : {"large.png", "large.jpg"}) {
        PictureFailure failure;
        const QImage image =
            PictureDecoder::Decode(file(name), QSize(), PictureDecoder::MachineBudget(), failure);
        ASSERT_EQ(image.size(), source.size()) << name;
        EXPECT_EQ(reinterpret_cast<quintptr>(image.constBits()) % (quintptr(2) << 20), 0u) << name;
    }
}

TEST_F(PictureTest, OrientationTagIsNotApplied) {
    const QImage source = Quadrants(40, 20);
    ASSERT_TRUE(WriteBytes(file("turned.jpg"), JpegWithOrientation(source, 6)));
    // The tag is real: a reader that applies it turns the picture upright.
    QImageReader applying(file("turned.jpg"));
    applying.setAutoTransform(true);
    ASSERT_EQ(applying.read().size(), QSize(20, 40));

    const auto picture = Picture::Load(file("turned.jpg"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(40, 20));
    QImage drawn = Surface(40, 20);
    QPainter painter(&drawn);
    picture->drawScaled(painter, QRect(0, 0, 40, 20), QRect());
    painter.end();
    EXPECT_LE(ChannelDistance(drawn.pixel(3, 3), source.pixel(3, 3)), 16) << "top left";
    EXPECT_LE(ChannelDistance(drawn.pixel(36, 16), source.pixel(36, 16)), 16) << "bottom right";
}

TEST_F(PictureTest, HostilePicturesFailWithTheirReasonBeforeTakingMemory) {
    ASSERT_TRUE(WriteBytes(file("notes.txt"), "just some text, not a picture\n"));
    ASSERT_TRUE(WriteBytes(file("empty.png"), QByteArray()));
    ASSERT_TRUE(WriteBytes(file("zero.png"), PngHeaderOnly(0, 100)));
    ASSERT_TRUE(WriteBytes(file("header-only.png"), PngHeaderOnly(64, 64)));
    QByteArray cut;
    {
        const QImage source = Noise(64, 64, 3);
        ASSERT_TRUE(Write(source, file("whole.png"), "png"));
        QFile whole(file("whole.png"));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        cut = whole.read(60); // the header survives, the pixel data does not
    }
    ASSERT_TRUE(WriteBytes(file("cut.png"), cut));
    // 24000 x 24000: 16-bit RGBA needs 4.3 GB as decoded, 8-bit grey 549 MB (kept grey).
    ASSERT_TRUE(WriteBytes(file("bomb16.png"), PngHeaderOnly(24000, 24000, 16)));
    ASSERT_TRUE(WriteBytes(file("bomb.tif"), TiffHeaderOnly(24000, 24000)));
    ASSERT_TRUE(WriteBytes(file("huge.png"), PngHeaderOnly(65535, 65535)));

    constexpr qint64 kBudget = qint64(256) << 20;
    const struct {
        const char* name;
        PictureFailure::Reason reason;
        const char* says;
    } rows[] = {
        {"notes.txt", PictureFailure::NotAPicture, "not a picture"},
        {"empty.png", PictureFailure::NotAPicture, "not a picture"},
        {"missing.png", PictureFailure::NotAPicture, "not a picture"},
        {"zero.png", PictureFailure::Truncated, "truncated or damaged"},
        {"header-only.png", PictureFailure::Truncated, "truncated"},
        {"cut.png", PictureFailure::Truncated, "truncated"},
        {"bomb16.png", PictureFailure::TooLarge, "it would need 4394 MB of memory"},
        {"bomb.tif", PictureFailure::TooLarge, "it would need 549 MB of memory"},
        // No pixel count is refused as such: what does not fit is, with the figures.
        {"huge.png", PictureFailure::TooLarge, "it would need 16383 MB of memory"},
    };
    const long before = PeakResidentKb();
    for (const auto& row : rows) {
        for (const int fitWidth : {0, 32}) {
            PictureFailure failure;
            EXPECT_EQ(Picture::Load(file(row.name), fitWidth, kBudget, &failure), nullptr)
                << row.name;
            EXPECT_EQ(failure.reason, row.reason) << row.name;
            EXPECT_TRUE(failure.describe().contains(QLatin1String(row.says)))
                << row.name << ": " << failure.describe().toStdString();
        }
    }
    EXPECT_LT(PeakResidentKb() - before, 64 * 1024) << "no pixel memory was taken";
    EXPECT_EQ(Picture::Load(QString()), nullptr);
    EXPECT_EQ(Picture::FromImage(QImage()), nullptr);
}

TEST_F(PictureTest, BudgetCountsTheDecodersWidthAndReducesWhatCanBeReduced) {
    // A 16-bit PNG decodes at eight bytes a pixel and is kept at four.
    const QColor colour(200, 40, 90);
    QImage deep(300, 200, QImage::Format_RGBA64);
    deep.fill(colour);
    ASSERT_TRUE(Write(deep, file("deep.png"), "png"));
    ASSERT_EQ(QImage::toPixelFormat(QImageReader(file("deep.png")).imageFormat()).bitsPerPixel(),
              64u);
    const qint64 decoded = 300 * 200 * 8;
    PictureFailure failure;
    EXPECT_EQ(Picture::Load(file("deep.png"), 0, decoded - 1, &failure), nullptr);
    EXPECT_EQ(failure.reason, PictureFailure::TooLarge);
    const auto fits = Picture::Load(file("deep.png"), 0, decoded, &failure);
    ASSERT_NE(fits, nullptr);
    EXPECT_EQ(Draw(*fits, QSize(300, 200)).pixel(150, 100), colour.rgb());

    // Grey stays grey: one byte a pixel. A large one is scaled a band at a time, seamlessly.
    QImage grey(4000, 2500, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            line[x] = uchar(x * 100 / grey.width() + y * 155 / grey.height());
        }
    }
    ASSERT_TRUE(Write(grey, file("grey.png"), "png"));
    const auto kept = Picture::Load(file("grey.png"), 0, 4000 * 2500, &failure);
    ASSERT_NE(kept, nullptr);
    const QImage fitted = Draw(*kept, QSize(400, 250));
    const QImage reference = grey.convertToFormat(QImage::Format_RGB32)
                                 .scaled(400, 250, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int worst = 0;
    for (int y = 0; y < 250; ++y) {
        for (int x = 0; x < 400; ++x) {
            worst = std::max(worst, ChannelDistance(fitted.pixel(x, y), reference.pixel(x, y)));
        }
    }
    EXPECT_LE(worst, 2);

    // A JPEG whose whole decode does not fit is shown reduced, and stays so at 1:1.
    const QImage source = Quadrants(800, 600, 8);
    ASSERT_TRUE(Write(source, file("wide.jpg"), "jpg"));
    const auto reduced = Picture::Load(file("wide.jpg"), 0, 800 * 600 * 4 / 2, &failure);
    ASSERT_NE(reduced, nullptr);
    EXPECT_EQ(reduced->size(), QSize(800, 600));
    const QImage full = Draw(*reduced, QSize(800, 600));
    EXPECT_FALSE(reduced->hasFullPixels());
    EXPECT_EQ(reduced->fullPixelsFailure().reason, PictureFailure::TooLarge);
    EXPECT_LE(ChannelDistance(full.pixel(600, 450), source.pixel(600, 450)), 16);
}

TEST_F(PictureTest, HugeClaimedSizeIsRefusedBeforeDecodingEvenWithoutQtLimit) {
    ASSERT_TRUE(WriteBytes(file("huge.png"), PngHeaderOnly(65535, 65535)));
    ASSERT_TRUE(WriteBytes(file("wide.png"), PngHeaderOnly(0x7FFFFFFF, 1)));
    ASSERT_TRUE(WriteBytes(file("zero.png"), PngHeaderOnly(0, 100)));
    // The header itself is readable: it is the size check that refuses the picture.
    ASSERT_EQ(QImageReader(file("huge.png")).size(), QSize(65535, 65535));
    // Load once so the picture code has set its own limit, then switch Qt's limit off as
    // QT_IMAGEIO_MAXALLOC=0 does.
    EXPECT_EQ(Picture::Load(file("huge.png")), nullptr);
    const int saved = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(0);
    const long before = PeakResidentKb();
    for (const char* name : {"huge.png", "wide.png", "zero.png"}) {
        EXPECT_EQ(Picture::Load(file(name)), nullptr) << name;
        EXPECT_EQ(Picture::Load(file(name), 800), nullptr) << name;
    }
    EXPECT_LT(PeakResidentKb() - before, 64 * 1024) << "no pixel memory was taken";
    QImageReader::setAllocationLimit(saved);
    // The limit is high enough for a 40-megapixel picture (Qt's default refuses it).
    EXPECT_GE(qint64(saved) * 1024 * 1024, qint64(40'000'000) * 4);
}

TEST_F(PictureTest, FitDecodeIsReducedUntilALargerDrawNeedsTheFullPixels) {
    const QImage source = Quadrants(800, 600, 8);
    ASSERT_TRUE(Write(source, file("photo.jpg"), "jpg"));
    const auto picture = Picture::Load(file("photo.jpg"), 200);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(800, 600)) << "the header's size, not the reduced one";
    EXPECT_FALSE(picture->hasFullPixels());

    QImage small = Surface(200, 150);
    {
        QPainter painter(&small);
        picture->drawScaled(painter, QRect(0, 0, 200, 150), small.rect());
        picture->drawScaled(painter, QRect(0, 0, 100, 75), small.rect()); // smaller still
    }
    EXPECT_FALSE(picture->hasFullPixels()) << "the reduced decode serves smaller draws";
    EXPECT_LE(ChannelDistance(small.pixel(150, 100), source.pixel(600, 400)), 16);

    QImage large = Surface(400, 300);
    {
        QPainter painter(&large);
        picture->drawScaled(painter, QRect(0, 0, 400, 300), large.rect());
    }
    EXPECT_TRUE(picture->hasFullPixels()) << "a wider draw decodes the full pixels";
    EXPECT_LE(ChannelDistance(large.pixel(300, 50), source.pixel(600, 100)), 16);

    // A format that cannot reduce while decoding is decoded whole at once.
    ASSERT_TRUE(Write(source, file("photo.png"), "png"));
    const auto png = Picture::Load(file("photo.png"), 200);
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->size(), QSize(800, 600));
}

TEST_F(PictureTest, StrongReductionAveragesLikeABoxFilter) {
    // 1/6 of a noise picture: every drawn pixel is the mean of its 6 x 6 block. Sampling
    // (bilinear or nearest) would leave the noise in.
    const QImage source = Noise(600, 420, 11);
    const auto picture = Picture::FromImage(source);
    ASSERT_NE(picture, nullptr);
    QImage drawn = Surface(100, 70);
    {
        QPainter painter(&drawn);
        picture->drawScaled(painter, QRect(0, 0, 100, 70), drawn.rect());
    }
    int worst = 0;
    for (int y = 0; y < 70; ++y) {
        for (int x = 0; x < 100; ++x) {
            int sum[3] = {0, 0, 0};
            for (int j = 0; j < 6; ++j) {
                for (int i = 0; i < 6; ++i) {
                    const QRgb p = source.pixel(x * 6 + i, y * 6 + j);
                    sum[0] += qRed(p);
                    sum[1] += qGreen(p);
                    sum[2] += qBlue(p);
                }
            }
            const QRgb mean = qRgb(sum[0] / 36, sum[1] / 36, sum[2] / 36);
            worst = std::max(worst, ChannelDistance(drawn.pixel(x, y), mean));
        }
    }
    EXPECT_LE(worst, 4);
}

TEST_F(PictureTest, RepaintsAndPartsDrawTheSamePixelsAsAWholeDraw) {
    const QImage source = Quadrants(320, 240, 40);
    const auto picture = Picture::FromImage(source);
    ASSERT_NE(picture, nullptr);
    const QRect target(0, 0, 500, 375);

    QImage whole = Surface(500, 375);
    {
        QPainter painter(&whole);
        picture->drawScaled(painter, target, whole.rect());
    }
    // A scrolled view: the painter moved, only a window of the target visible.
    QImage window = Surface(200, 100);
    {
        QPainter painter(&window);
        painter.translate(-150, -120);
        picture->drawScaled(painter, target, QRect(150, 120, 200, 100));
        picture->drawScaled(painter, target, QRect(150, 120, 200, 100)); // from the cache
    }
    EXPECT_EQ(window, whole.copy(150, 120, 200, 100));

    // Only the visible rectangle is touched.
    QImage partial = Surface(500, 375);
    {
        QPainter painter(&partial);
        picture->drawScaled(painter, target, QRect(10, 20, 30, 40));
    }
    for (const QPoint p : {QPoint(9, 30), QPoint(40, 30), QPoint(20, 19), QPoint(20, 60)}) {
        EXPECT_EQ(partial.pixel(p), qRgb(0, 0, 0)) << p.x() << "," << p.y();
    }
    EXPECT_EQ(partial.copy(10, 20, 30, 40), whole.copy(10, 20, 30, 40));
}

TEST_F(PictureTest, HighDensitySurfaceIsDrawnAtDevicePixels) {
    // A logical 250 x 180 target on a surface of ratio 2 gets the pixels of a 500 x 360 draw.
    const QImage source = Quadrants(320, 240, 40);
    const auto picture = Picture::FromImage(source);
    ASSERT_NE(picture, nullptr);
    QImage plain = Surface(500, 360);
    {
        QPainter painter(&plain);
        picture->drawScaled(painter, QRect(0, 0, 500, 360), plain.rect());
    }
    QImage dense = Surface(500, 360);
    dense.setDevicePixelRatio(2.0);
    {
        QPainter painter(&dense);
        picture->drawScaled(painter, QRect(0, 0, 250, 180), QRect(0, 0, 250, 180));
    }
    dense.setDevicePixelRatio(1.0);
    EXPECT_EQ(dense, plain);
}

TEST_F(PictureTest, DeepZoomScalesOnlyTheVisiblePart) {
    // 64 x 64 pixels at 80 times: a 5120-pixel-square target, drawn through a 300 x 200 window.
    const QImage source = Noise(64, 64, 5);
    const auto picture = Picture::FromImage(source);
    ASSERT_NE(picture, nullptr);
    QImage window = Surface(300, 200);
    {
        QPainter painter(&window);
        painter.translate(-1000, -2000);
        picture->drawScaled(painter, QRect(0, 0, 5120, 5120), QRect(1000, 2000, 300, 200));
    }
    int mismatches = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) {
            const int tx = 1000 + x;
            const int ty = 2000 + y;
            if (tx % 80 == 0 || ty % 80 == 0 || tx % 80 == 79 || ty % 80 == 79) {
                continue; // block edges may round either way
            }
            mismatches += window.pixel(x, y) != source.pixel(tx / 80, ty / 80);
        }
    }
    EXPECT_EQ(mismatches, 0);

    // A target of int-range size, far off its origin: one source pixel fills the window,
    // and no target-sized memory is taken.
    const QImage tiny = Quadrants(4, 4);
    const auto deep = Picture::FromImage(tiny);
    const long before = PeakResidentKb();
    QImage far = Surface(200, 150);
    {
        QPainter painter(&far);
        const QRect target(-1'000'000'000, -1'000'000'000, INT_MAX, INT_MAX);
        deep->drawScaled(painter, target, far.rect());
        deep->drawScaled(painter, QRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), far.rect());
    }
    // Scrolled two thousand million pixels into the target, as a deep zoom scrolls.
    QImage scrolled = Surface(200, 150);
    {
        QPainter painter(&scrolled);
        painter.translate(-2'000'000'000, -1'000'000'000);
        deep->drawScaled(painter, QRect(0, 0, INT_MAX, INT_MAX),
                         QRect(2'000'000'000, 1'000'000'000, 200, 150));
    }
    EXPECT_LT(PeakResidentKb() - before, 64 * 1024);
    // 1e9 of 2^31 - 1 is 0.47 of the target (source pixel 1), 2e9 is 0.93 (source pixel 3).
    const struct {
        const QImage& drawn;
        QRgb expected;
    } checks[] = {{far, tiny.pixel(1, 1)}, {scrolled, tiny.pixel(3, 1)}};
    for (const auto& check : checks) {
        int wrong = 0;
        for (int y = 0; y < check.drawn.height(); ++y) {
            for (int x = 0; x < check.drawn.width(); ++x) {
                wrong += check.drawn.pixel(x, y) != check.expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(PictureTest, PrintDrawsFromTheFullPixels) {
    const QImage source = Quadrants(800, 600);
    ASSERT_TRUE(Write(source, file("print.png"), "png"));
    ASSERT_TRUE(Write(source, file("print.jpg"), "jpg"));
    for (const char* name : {"print.png", "print.jpg"}) {
        const auto picture = Picture::Load(file(name), 100);
        ASSERT_NE(picture, nullptr);
        QImage page = Surface(400, 300);
        {
            QPainter painter(&page);
            painter.scale(2.0, 2.0); // a page mapping
            picture->drawForPrint(painter, QRect(0, 0, 200, 150));
        }
        EXPECT_TRUE(picture->hasFullPixels()) << name;
        for (const QPoint p :
             {QPoint(50, 50), QPoint(350, 50), QPoint(50, 250), QPoint(350, 250)}) {
            EXPECT_LE(ChannelDistance(page.pixel(p), source.pixel(p * 2)), 16) << name;
        }
        // A zoomed page far larger than the paper draws only what is on it.
        QImage deep = Surface(100, 100);
        QPainter painter(&deep);
        picture->drawForPrint(painter, QRect(0, 0, INT_MAX, INT_MAX));
        painter.end();
        EXPECT_LE(ChannelDistance(deep.pixel(50, 50), source.pixel(0, 0)), 16) << name;
    }
}

TEST_F(PictureTest, FullPixelsArriveInTheBackgroundAndTheFitCopySurvives) {
    const QImage source = Quadrants(1200, 900, 30);
    ASSERT_TRUE(Write(source, file("photo.jpg"), "jpg"));
    const auto picture = Picture::Load(file("photo.jpg"), 300);
    ASSERT_NE(picture, nullptr);
    int arrivals = 0;
    picture->setFullPixelsHandler([&] { ++arrivals; });
    const QImage fit = Draw(*picture, QSize(300, 225));

    // 1:1 at once from the reduced copy, scaled up; the full pixels are decoding meanwhile.
    const QImage standIn = Draw(*picture, QSize(1200, 900));
    EXPECT_TRUE(picture->isDecoding());
    EXPECT_FALSE(picture->hasFullPixels());
    EXPECT_LE(ChannelDistance(standIn.pixel(900, 700), source.pixel(900, 700)), 24);
    ASSERT_TRUE(ProcessEventsUntil([&] { return arrivals > 0; }));
    EXPECT_EQ(arrivals, 1);
    EXPECT_TRUE(picture->hasFullPixels());
    EXPECT_FALSE(picture->isDecoding());

    // The final pixels equal those of a picture decoded at once.
    const auto direct = Picture::Load(file("photo.jpg"));
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(Draw(*picture, QSize(1200, 900)), Draw(*direct, QSize(1200, 900)));
    EXPECT_NE(Draw(*picture, QSize(1200, 900)), standIn) << "the stand-in is softer";
    // Back to fit: the copy from the reduced decode, which a rescale of the full pixels does
    // not reproduce.
    EXPECT_EQ(Draw(*picture, QSize(300, 225)), fit);
    EXPECT_NE(Draw(*direct, QSize(300, 225)), fit);
    EXPECT_EQ(arrivals, 1);
}

TEST_F(PictureTest, APictureTooLargeToDecodeWholeDrawsFullResolutionFromRegions) {
    ASSERT_TRUE(Write(Quadrants(1200, 900, 30), file("plan.jpg"), "jpg"));
    const auto direct = Picture::Load(file("plan.jpg"));
    ASSERT_NE(direct, nullptr);
    // The whole decode needs 4.3 MB; 3 MB allows regions of it.
    constexpr qint64 kBudget = 3'000'000;
    const auto regional = Picture::Load(file("plan.jpg"), 300, kBudget, nullptr);
    const auto atOnce = Picture::Load(file("plan.jpg"), 300, kBudget, nullptr);
    ASSERT_NE(regional, nullptr);
    ASSERT_NE(atOnce, nullptr);
    int arrivals = 0;
    regional->setFullPixelsHandler([&] { ++arrivals; });
    auto window = [](Picture& picture, QPoint at) {
        QImage surface = Surface(200, 150);
        QPainter painter(&surface);
        painter.translate(-at);
        picture.drawScaled(painter, QRect(0, 0, 1200, 900), QRect(at, surface.size()));
        return surface;
    };
    for (const QPoint at : {QPoint(100, 80), QPoint(990, 740), QPoint(1000, 745)}) {
        const int before = arrivals;
        window(*regional, at);
        if (regional->isDecoding()) {
            ASSERT_TRUE(ProcessEventsUntil([&] { return arrivals > before; }));
        }
        EXPECT_EQ(window(*regional, at), window(*direct, at)) << at.x();
        EXPECT_EQ(window(*atOnce, at), window(*direct, at)) << at.x();
    }
    EXPECT_EQ(arrivals, 2) << "a small scroll stays inside the decoded region";
    EXPECT_FALSE(regional->hasFullPixels());
    EXPECT_FALSE(atOnce->hasFullPixels());
}

TEST_F(PictureTest, APictureDeletedOrWaitedForWhileDecodingNeverCallsItsHandler) {
    ASSERT_TRUE(Write(Noise(3000, 2000, 9), file("big.jpg"), "jpg"));
    int calls = 0;
    auto deleted = Picture::Load(file("big.jpg"), 300);
    auto waited = Picture::Load(file("big.jpg"), 300);
    ASSERT_NE(deleted, nullptr);
    ASSERT_NE(waited, nullptr);
    for (Picture* picture : {deleted.get(), waited.get()}) {
        picture->setFullPixelsHandler([&] { ++calls; });
        Draw(*picture, QSize(1500, 1000));
        EXPECT_TRUE(picture->isDecoding());
    }
    deleted.reset();
    EXPECT_TRUE(waited->waitForPixels());
    EXPECT_TRUE(waited->hasFullPixels());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

TEST(PictureGeometry, FitHeightRoundsDownWithoutOverflow) {
    struct Case {
        QSize size;
        int width;
        int height;
    } cases[] = {
        {QSize(1000, 600), 500, 300},
        {QSize(1000, 601), 500, 300},
        {QSize(3, 1), 1, 1},
        {QSize(100000, 90000), 65535, 58981},
        {QSize(1, INT_MAX), 2, INT_MAX},
        {QSize(0, 10), 100, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Picture::FitHeight(c.size, c.width), c.height)
            << c.size.width() << "x" << c.size.height() << " to " << c.width;
    }
}

} // namespace

// JPEGs are judged by their markers too: a file cut short opens marked as such (its decoder
// alone does not say so), and a progressive file of thousands of scans is refused undecoded.
TEST_F(PictureTest, AJpegCutShortOpensMarkedAndAScanBombIsRefused) {
    const QImage source = Noise(256, 192, 5);
    ASSERT_TRUE(Write(source, file("whole.jpg"), "jpeg"));
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(source));
    }
    ASSERT_TRUE(WriteBytes(file("progressive.jpg"), progressive));
    QFile whole(file("whole.jpg"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    ASSERT_TRUE(WriteBytes(file("cut.jpg"), bytes.left(bytes.size() * 2 / 3)));
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    const qsizetype end = progressive.lastIndexOf("\xFF\xD9");
    ASSERT_TRUE(
        WriteBytes(file("bomb.jpg"), progressive.left(end) +
                                         progressive.mid(lastScan, end - lastScan).repeated(3000) +
                                         progressive.mid(end)));

    const struct {
        const char* name;
        bool opens;
        PictureFailure::Reason reason;
    } rows[] = {
        {"whole.jpg", true, PictureFailure::None},
        {"progressive.jpg", true, PictureFailure::None},
        {"cut.jpg", true, PictureFailure::Truncated},
        {"bomb.jpg", false, PictureFailure::TooComplex},
    };
    for (const auto& row : rows) {
        for (const int fitWidth : {0, 64}) {
            PictureFailure failure;
            QElapsedTimer clock;
            clock.start();
            const auto picture = Picture::Load(file(row.name), fitWidth, 0, &failure);
            EXPECT_EQ(picture != nullptr, row.opens) << row.name;
            EXPECT_EQ(failure.reason, row.reason) << row.name;
            if (picture) {
                EXPECT_EQ(picture->isTruncated(), row.reason == PictureFailure::Truncated)
                    << row.name;
                EXPECT_EQ(picture->size(), source.size()) << row.name;
            }
            EXPECT_LT(clock.elapsed(), 5000) << row.name << " took as long as its scans ask";
        }
    }
}
