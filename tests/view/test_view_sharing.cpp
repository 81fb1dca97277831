// One map per picture: every view of it shows and edits the same points, reads the file once,
// keeps its own zoom, and flashes in step with the others; a dialog never holds a save back.
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>

#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

PointList OnDisk(const std::string& path) {
    PointList list;
    LoadMapFile(path, list);
    return list;
}

} // namespace

TEST_F(ViewTest, TwoViewsOfOnePictureShareOneMapAndFlashInStep) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    // A point whose square flashes: its since date (2000) passed long before the clock's now.
    PointRecord flasher = makePoint(100, 80, RGB(255, 0, 255));
    flasher.bSinceDate = 1;
    flasher.bFlashRect = 1;
    flasher.stSince = {2000, 1, 6, 1, 0, 0, 0, 0};
    PointList initial;
    initial.AddPoint(flasher, "flash", "since", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), initial).ok());

    auto shared = std::make_shared<OpenMap>();
    auto first = openView("plan.png", 500, 400, shared);
    // Read once: what the second view shows comes from the map, not from the file.
    writeFile(mapFile("plan"), "not a map any more");
    auto second = openView("plan.png", 500, 400, shared);
    EXPECT_EQ(&first->points(), &second->points());
    ASSERT_EQ(second->points().count(), 1);
    EXPECT_TRUE(m_messages.isEmpty());

    // The map's one tick moves each phase once per period, whatever the number of views: in
    // 1.5 s of 300 ms ticks about five flips (two views each moving it would give none or ten).
    const auto phase = [&] {
        return first->points().point(0).bRectPhase;
    };
    int flips = 0;
    auto last = phase();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        QTest::qWait(10);
        if (phase() != last) {
            ++flips;
            last = phase();
        }
    }
    EXPECT_GE(flips, 3);
    EXPECT_LE(flips, 6);
    // Both windows show the square in the same phase.
    EXPECT_EQ(SurfacePixel(*first, 100, 80 - 3), SurfacePixel(*second, 100, 80 - 3));

    // An edit in one view shows in the other at its next tick; zoom stays each view's own.
    const PointEntry added{makePoint(300, 200, RGB(0, 255, 0)), "added", "", ""};
    first->map().Add(added);
    second->OnTimer();
    EXPECT_TRUE(Near(SurfacePixel(*second, 300 / 2 - 3, 200 / 2 - 3), RGB(0, 255, 0)));
    first->OnViewFullSize();
    EXPECT_TRUE(first->IsZoomMode());
    EXPECT_FALSE(second->IsZoomMode());

    // The map is saved by the map, once the last view lets it go.
    first.reset();
    EXPECT_EQ(second->points().count(), 2);
    second.reset();
    shared.reset();
    EXPECT_EQ(OnDisk(mapFile("plan")).count(), 2);
}

TEST_F(ViewTest, AnEditReachesTheDiskWhileAModalDialogIsOpen) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto view = openView("plan.png");
    view->mapSaver().setTiming({20, 50, 10});
    view->map().Add({makePoint(40, 40), "first", "", ""});

    // The next dialog is modal and stays open until the first point is on disk.
    bool savedWhileOpen = false;
    m_dialogEdit = [&](PointRecord&, std::string&, std::string&, std::string&) {
        QDialog dialog(view.get());
        dialog.setModal(true);
        dialog.show();
        EXPECT_NE(QApplication::activeModalWidget(), nullptr);
        savedWhileOpen =
            QTest::qWaitFor([&] { return OnDisk(mapFile("plan")).count() == 1; }, 2000);
    };
    DoubleClick(*view, Qt::LeftButton, QPoint(300, 300));
    EXPECT_TRUE(savedWhileOpen);
    EXPECT_EQ(view->points().count(), 2);
}
