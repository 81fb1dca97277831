// Opening hostile pictures and maps in the background: the window keeps answering (measured
// as the event loop's latency while the picture opens and the first ticks draw), and what
// cannot be shown says why.
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QTimer>

#include <algorithm>

#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

// The longest the event loop kept a 5 ms timer waiting past its time, over `run` (which drives
// the loop until it returns true or `limitMs` passes).
qint64 LongestStall(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    probe.start(5);
    while (!done() && clock.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    probe.stop();
    return std::max(longest, clock.elapsed() - last);
}

QByteArray ProgressiveJpeg(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, (x ^ y) % 256));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// The last scan repeated until there are `scans`: each is a pass over the whole picture.
QByteArray ScanBomb(QSize size, int scans) {
    const QByteArray jpeg = ProgressiveJpeg(size);
    const qsizetype lastScan = jpeg.lastIndexOf("\xFF\xDA");
    const qsizetype end = jpeg.lastIndexOf("\xFF\xD9");
    const QByteArray scan = jpeg.mid(lastScan, end - lastScan);
    return jpeg.left(end) + scan.repeated(scans) + jpeg.mid(end);
}

class ViewOpeningTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        services().setOpenInBackground(true);
    }
};

} // namespace

TEST_F(ViewOpeningTest, HostileInputsOpenWhileTheWindowKeepsAnswering) {
    writeFile(base() + "/bomb.jpg", ScanBomb({1024, 1024}, 3000).toStdString());
    writePicture("plan.png", 800, 600, QColor(200, 210, 220));
    writePicture("big.png", 6000, 6000, QColor(20, 110, 220));
    PointList list;
    list.AddPoint(makePoint(50, 50), std::string(100u << 20, 'W'), "", std::string(1u << 20, 'm'));
    list.AddPoint(makePoint(60, 300), "ordinary", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());

    struct Row {
        const char* picture;
        bool shown;
        const char* notice;    // a text the final notice holds
        qint64 openStallBound; // ms; 0: not bounded (reading a 100 MB map is plain I/O)
    };
    const Row rows[] = {
        {"bomb.jpg", false, "progressive scans", 200},
        {"plan.png", true, "", 0},
        {"big.png", true, "", 200}, // 36 megapixels: a decode of several hundred ms
    };
    for (const Row& row : rows) {
        auto view = std::make_unique<TestView>(services());
        view->resize(600, 400);
        view->show();
        QApplication::processEvents();
        view->OnInitialUpdate(base() + "/" + row.picture, row.picture);
        EXPECT_TRUE(view->IsOpening()) << row.picture;
        EXPECT_TRUE(view->notice().contains("Opening")) << row.picture;
        // The picture opens on a worker; the map (here 100 MB) is read when it has arrived.
        const qint64 opening = LongestStall([&] { return !view->IsOpening(); }, 30000);
        if (row.openStallBound > 0) {
            EXPECT_LT(opening, row.openStallBound) << row.picture;
        }
        // Drawn and ticked as the window does, zoomed to full size once, and hovered.
        int ticks = 0;
        const qint64 drawing = LongestStall(
            [&] {
                if (ticks == 1) {
                    view->OnViewFullSize();
                    HoverTo(*view, QPoint(52, 52));
                }
                view->OnTimer();
                return ++ticks >= 4;
            },
            30000);
        EXPECT_LT(drawing, 200) << row.picture;
        EXPECT_FALSE(view->IsOpening()) << row.picture;
        EXPECT_EQ(view->HasPicture(), row.shown) << row.picture;
        EXPECT_TRUE(view->notice().contains(row.notice)) << view->notice().toStdString();
    }
}
