// Opening hostile pictures and maps in the background: the window keeps answering (measured
// as the event loop's latency while the picture opens and the first ticks draw), and what
// cannot be shown says why. The map arrives after its picture, and nothing done before is lost.
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>
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
        qint64 openStallBound; // ms
    };
    const Row rows[] = {
        {"bomb.jpg", false, "progressive scans", 200},
        {"plan.png", true, "", 200},
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
        // The picture opens on a worker, and then the map (here 100 MB) is read on one.
        const qint64 opening = LongestStall([&] { return !view->IsOpening(); }, 30000);
        EXPECT_LT(opening, row.openStallBound) << row.picture;
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

namespace {

// Holds every thread of Qt's global pool, so work started meanwhile waits until release().
class PoolGate {
public:
    PoolGate() : m_threads(QThreadPool::globalInstance()->maxThreadCount()) {
        for (int i = 0; i < m_threads; ++i) {
            QThreadPool::globalInstance()->start([this] {
                m_started.release();
                m_open.acquire();
            });
        }
        m_started.acquire(m_threads);
    }
    ~PoolGate() {
        release();
        QThreadPool::globalInstance()->waitForDone();
    }
    void release() {
        if (!m_released) {
            m_released = true;
            m_open.release(m_threads);
        }
    }

private:
    int m_threads;
    bool m_released = false;
    QSemaphore m_started;
    QSemaphore m_open;
};

PointList OnDisk(const std::string& path) {
    PointList list;
    LoadMapFile(path, list);
    return list;
}

} // namespace

// The map is read on a worker; until its points arrive the pictures show without them. The
// pool is held so that the read is still waiting whatever the test does meanwhile.
TEST_F(ViewTest, TheMapArrivesAfterThePictureAndNothingDoneMeanwhileIsLost) {
    writePicture("plan.png", 400, 300, QColor(200, 210, 220));
    PointList initial;
    initial.AddPoint(makePoint(50, 50), "from the file", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), initial).ok());
    const std::string bytes = readFile(mapFile("plan"));

    enum class End { Arrives, CloseWhileReading, DropWhileReading };
    struct Row {
        const char* name;
        bool addBefore; // a point added through the Point dialog before the points arrived
        End end;
        int onDisk; // points in the file afterwards; 0: the file is untouched
    };
    const Row rows[] = {
        {"arrives, two views", false, End::Arrives, 0},
        {"added before, arrives", true, End::Arrives, 2},
        {"added before, closed while reading", true, End::CloseWhileReading, 2},
        {"closed while reading", false, End::DropWhileReading, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(SaveMapFile(mapFile("plan"), initial).ok());
        auto gate = std::make_unique<PoolGate>();
        auto shared = std::make_shared<OpenMap>();
        shared->LoadInBackground(mapFile("plan"));
        auto first = openView("plan.png", 500, 400, shared);
        auto second = openView("plan.png", 500, 400, shared); // shares the one read
        ASSERT_TRUE(first->HasPicture());
        EXPECT_TRUE(shared->isLoading());
        EXPECT_EQ(first->points().count(), 0);
        EXPECT_FALSE(first->CanEdit()); // undo, paste, keys wait for the points
        if (row.addBefore) {
            DoubleClick(*first, Qt::LeftButton, QPoint(200, 150));
            ASSERT_EQ(m_dialogCalls.size(), 1u);
            m_dialogCalls.clear();
            EXPECT_EQ(first->points().count(), 0); // not laid over a list the read replaces
        }
        const int expected = row.addBefore ? 2 : 1;
        switch (row.end) {
        case End::Arrives:
            gate->release();
            for (int i = 0; i < 400 && !shared->isLoaded(); ++i) {
                QTest::qWait(5);
            }
            ASSERT_TRUE(shared->isLoaded());
            EXPECT_EQ(first->points().count(), expected);
            EXPECT_EQ(first->points().label(0), "from the file");
            EXPECT_TRUE(first->CanEdit());
            for (CZelvorView* view : {first.get(), second.get()}) {
                view->OnViewFullSize();
                static_cast<TestView*>(view)->OnTimer();
                EXPECT_TRUE(Near(SurfacePixel(*view, 50, 50 - 3), RGB(255, 0, 255)));
            }
            EXPECT_TRUE(first->CloseMap());
            EXPECT_TRUE(second->CloseMap());
            break;
        case End::CloseWhileReading:
            gate->release(); // the read may finish, but is not delivered before the close
            EXPECT_TRUE(shared->isLoading());
            EXPECT_TRUE(second->CloseMap());
            EXPECT_EQ(first->points().count(), expected);
            break;
        case End::DropWhileReading:
            break;
        }
        first.reset();
        second.reset();
        shared.reset();
        gate.reset();
        QApplication::processEvents(); // a delivery left behind finds nobody
        if (row.onDisk == 0) {
            EXPECT_EQ(readFile(mapFile("plan")), bytes);
        } else {
            const PointList disk = OnDisk(mapFile("plan"));
            ASSERT_EQ(disk.count(), row.onDisk);
            EXPECT_EQ(disk.label(0), "from the file");
        }
        EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("|").toStdString();
    }
}
