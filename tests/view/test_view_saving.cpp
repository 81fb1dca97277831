// Write-behind saves: every change reaches the map soon after, a burst is saved a few times, a
// drag only at its end; two views of one map keep each other's points or both versions.
#include <QMessageBox>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

// The map's points as far as they can be read now (empty when it cannot be read).
PointList OnDisk(const std::string& path) {
    PointList list;
    LoadMapFile(path, list);
    return list;
}

// A spot in a 20 x 20 grid of free places over a 500-pixel-wide view.
QPoint Spot(int i) {
    return {15 + (i % 20) * 22, 15 + (i / 20) * 22};
}

} // namespace

TEST_F(ViewTest, AnAddReachesTheMapWithinTwoSecondsAndABurstIsSavedAFewTimes) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto view = openView("plan.png");
    const std::string map = mapFile("plan");

    DoubleClick(*view, Qt::LeftButton, Spot(0));
    ASSERT_EQ(view->points().count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return OnDisk(map).count() == 1; }, 2000));

    const int saves = view->mapSaver().saveCount();
    for (int i = 1; i <= 100; ++i) {
        DoubleClick(*view, Qt::LeftButton, Spot(i));
        QTest::qWait(5);
    }
    ASSERT_EQ(view->points().count(), 101);
    EXPECT_TRUE(QTest::qWaitFor([&] { return OnDisk(map).count() == 101; }, 2500));
    const int burstSaves = view->mapSaver().saveCount() - saves;
    EXPECT_GE(burstSaves, 1);
    EXPECT_LE(burstSaves, 6);
    EXPECT_FALSE(view->mapSaver().hasUnsavedChanges());
}

TEST_F(ViewTest, ADragIsSavedAtItsEndAndNotDuringIt) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    PointList list;
    list.AddPoint(makePoint(200, 100), "a", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png"); // zoom 0.5: the point is at (100, 50)
    view->mapSaver().setTiming({20, 50, 10});
    QWidget* vp = view->viewport();

    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseMove(vp, QPoint(120, 60));
    QTest::mouseMove(vp, QPoint(140, 70));
    QTest::qWait(300);
    EXPECT_EQ(OnDisk(mapFile("plan")).point(0).dX, 200.0);
    EXPECT_TRUE(view->mapSaver().hasUnsavedChanges());

    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(140, 70));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return OnDisk(mapFile("plan")).point(0).dX == 280.0; }, 2000));
}

TEST_F(ViewTest, TwoViewsOfOneMapEndWithBothPointsOrBothVersions) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto first = openView("plan.png");
    auto second = openView("plan.png");
    first->mapSaver().setTiming({20, 50, 10});
    second->mapSaver().setTiming({20, 50, 10});
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "one";
    };
    DoubleClick(*first, Qt::LeftButton, Spot(0));
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "two";
    };
    DoubleClick(*second, Qt::LeftButton, Spot(1));

    // Whichever saves second merges, and its window then shows both points.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return OnDisk(mapFile("plan")).count() == 2 &&
                   first->points().count() + second->points().count() == 3;
        },
        2000));
    ASSERT_TRUE(first->CloseMap());
    ASSERT_TRUE(second->CloseMap());
    const PointList both = OnDisk(mapFile("plan"));
    ASSERT_EQ(both.count(), 2);
    EXPECT_NE(both.label(0), both.label(1));
    EXPECT_EQ(first->points().count(), 2);

    // Edits that cannot be combined: the later save keeps the other version beside the map and
    // says where, in a notice that does not block.
    first->map().Remove(std::vector<PointId>{first->map().map().idAt(0)}, "Remove Point");
    ASSERT_TRUE(first->CloseMap());
    second->map().Add({makePoint(10, 10), "three", "", ""});
    ASSERT_TRUE(second->CloseMap());
    EXPECT_EQ(OnDisk(mapFile("plan")).count(), 3);
    EXPECT_EQ(OnDisk(mapFile("plan") + ".conflict").count(), 1);
    auto* notice = second->findChild<QMessageBox*>();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_FALSE(notice->isModal());
    EXPECT_TRUE(notice->text().contains(QString::fromStdString(mapFile("plan") + ".conflict")));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(ViewTest, AFailedBackgroundSaveKeepsWhatIsThereAndIsRetriedOnTheNextChange) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto view = openView("plan.png");
    view->mapSaver().setTiming({20, 50, 10});
    // A folder where the map should go: every save fails, and what is in it stays.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(mapFile("plan"))));
    writeFile(mapFile("plan") + "/inside", "old");

    DoubleClick(*view, Qt::LeftButton, Spot(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->mapSaver().problem().isEmpty(); }, 2000));
    EXPECT_TRUE(view->mapSaver().hasUnsavedChanges());
    EXPECT_TRUE(m_status.last().startsWith("The points are not saved"))
        << m_status.last().toStdString();
    EXPECT_EQ(readFile(mapFile("plan") + "/inside"), "old");
    EXPECT_TRUE(m_messages.isEmpty());

    ASSERT_TRUE(QDir(QString::fromStdString(mapFile("plan"))).removeRecursively());
    DoubleClick(*view, Qt::LeftButton, Spot(1));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return view->mapSaver().problem().isEmpty() && !view->mapSaver().isSaving() &&
                   OnDisk(mapFile("plan")).count() == 2;
        },
        2000));
}

TEST_F(ViewTest, AnEditMadeWhileASaveRunsIsSavedByTheNextOne) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto view = openView("plan.png");
    view->mapSaver().setTiming({20, 50, 10});
    const std::string map = mapFile("plan");
    // Holding the map folder's lock, as another running copy does while it saves, keeps our
    // background save waiting half-way, for as long as the test likes.
    const std::string folder = map.substr(0, map.rfind('/'));
    const int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    DoubleClick(*view, Qt::LeftButton, Spot(0));
    const bool started = QTest::qWaitFor([&] { return view->mapSaver().isSaving(); }, 2000);
    DoubleClick(*view, Qt::LeftButton, Spot(1));
    const bool pendingDuringSave =
        view->mapSaver().isSaving() && view->mapSaver().hasUnsavedChanges();
    ::close(lock); // releases the lock
    ASSERT_TRUE(started);
    EXPECT_TRUE(pendingDuringSave);

    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !view->mapSaver().isSaving() && !view->mapSaver().hasUnsavedChanges(); },
        4000));
    EXPECT_EQ(OnDisk(map).count(), 2);
    EXPECT_TRUE(view->mapSaver().problem().isEmpty());
}
