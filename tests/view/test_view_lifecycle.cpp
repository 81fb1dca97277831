// The view's birth and death: decoding the picture, loading its map, starting the timer, and
// writing the map at close without ever losing a file it could not read.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThreadPool>

#include <cstring>
#include <filesystem>

#include <sys/stat.h>

#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

std::string Bytes(const void* p, std::size_t n) {
    return {static_cast<const char*>(p), n};
}

// Pixels of the surface that differ from its first one (the cleared background).
int InkPixels(const QImage& surface) {
    int ink = 0;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            ink += surface.pixel(x, y) != surface.pixel(0, 0);
        }
    }
    return ink;
}

} // namespace

TEST_F(ViewTest, PictureWithAMapLoadsItAndStartsTheTimer) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    PointList list;
    list.AddPoint(makePoint(100, 200), "abc", "", "memo");
    list.AddPoint(makePoint(400.25, 50.5), "second", "since", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());

    auto view = openView("plan.png");
    EXPECT_TRUE(view->HasPicture());
    EXPECT_TRUE(view->isTicking());
    ASSERT_EQ(view->points().count(), 2);
    EXPECT_EQ(view->points().label(0), "abc");
    EXPECT_EQ(view->points().memo(0), "memo");
    EXPECT_EQ(view->points().sinceText(1), "since");
    EXPECT_EQ(view->points().point(1).dX, 400.25);
    EXPECT_EQ(view->mapPath(), mapFile("plan"));
    // Fit mode over a 500-pixel-wide window: the first draw derived the zoom from the width.
    EXPECT_DOUBLE_EQ(view->zoom(), 0.5);
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(ViewTest, AViewWithoutAPictureStaysBlankAndNeverWritesAMap) {
    writeFile(base() + "/notes.png", "this is not a picture");
    writeFile(mapFile("notes"), "keep me");
    writeFile(base() + "/stranger.jpg", std::string(100, '\x7f'));

    auto notes = openView("notes.png");
    EXPECT_FALSE(notes->HasPicture());
    // The reason is painted in the view (the empty document below paints nothing).
    EXPECT_GT(InkPixels(notes->surfaceImage()), 0);
    EXPECT_FALSE(notes->isTicking());
    EXPECT_EQ(notes->points().count(), 0);
    EXPECT_DOUBLE_EQ(notes->zoom(), 1.0);
    EXPECT_TRUE(notes->CloseMap());
    notes.reset();
    EXPECT_EQ(readFile(mapFile("notes")), "keep me");

    // Deleted without CloseMap, and a view that read nothing at all (a new, empty document).
    openView("stranger.jpg").reset();
    auto empty = openView("");
    EXPECT_EQ(InkPixels(empty->surfaceImage()), 0);
    empty.reset();
    EXPECT_FALSE(exists(mapFile("stranger")));
    EXPECT_FALSE(exists(mapFile("")));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(ViewTest, ClosingWritesTheListByteExactlyAndOnlyOnce) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    const PointRecord rec = makePoint(12.5, 34.75);

    auto first = openView("plan.png");
    first->map().Add({rec, "abc", "", ""});
    ASSERT_TRUE(first->CloseMap());
    // Record array, memos, labels, since texts: 198 bytes for one point labelled "abc".
    const std::string expected = std::string("\x01\x00", 2) + Bytes(&rec, sizeof rec) +
                                 std::string("\x01\x00\x00", 3) +
                                 std::string("\x01\x00\x03"
                                             "abc",
                                             6) +
                                 std::string("\x01\x00\x00", 3);
    EXPECT_EQ(expected.size(), 198u);
    EXPECT_EQ(readFile(mapFile("plan")), expected);
    first.reset();
    EXPECT_EQ(readFile(mapFile("plan")), expected);

    // A host that just deletes the view still gets the map written.
    auto second = openView("plan.png");
    ASSERT_EQ(second->points().count(), 1);
    EXPECT_EQ(std::memcmp(&second->points().point(0), &rec, sizeof rec), 0);
    second->map().Remove(std::vector<PointId>{second->map().map().idAt(0)}, "Remove Point");
    second.reset();
    EXPECT_EQ(readFile(mapFile("plan")), std::string(8, '\0'));

    // After CloseMap the destructor does not write again.
    auto third = openView("plan.png");
    ASSERT_TRUE(third->CloseMap());
    writeFile(mapFile("plan"), "written by someone else");
    third.reset();
    EXPECT_EQ(readFile(mapFile("plan")), "written by someone else");
}

TEST_F(ViewTest, AnUnreadableMapIsReportedOnceKeptAndSetAsideWhenPointsAreAdded) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    const std::string bad("\x05\x00\x01\x02", 4); // claims five records, holds two bytes
    writeFile(mapFile("plan"), bad);

    auto untouched = openView("plan.png");
    EXPECT_TRUE(untouched->HasPicture());
    EXPECT_TRUE(untouched->isTicking());
    EXPECT_EQ(untouched->points().count(), 0);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0].count(QString::fromStdString(mapFile("plan"))), 1)
        << m_messages[0].toStdString();
    untouched->RedrawWindow();
    untouched->OnTimer();
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(untouched->CloseMap());
    untouched.reset();
    EXPECT_EQ(readFile(mapFile("plan")), bad);
    EXPECT_FALSE(exists(mapFile("plan") + ".bad"));

    auto edited = openView("plan.png");
    EXPECT_EQ(m_messages.size(), 2);
    edited->map().Add({makePoint(10, 20), "new", "", ""});
    EXPECT_TRUE(edited->CloseMap());
    edited.reset();
    EXPECT_EQ(readFile(mapFile("plan") + ".bad"), bad);
    PointList saved;
    ASSERT_EQ(LoadMapFile(mapFile("plan"), saved).status, FileResult::Ok);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.label(0), "new");

    // A second unreadable map does not replace the first one kept aside; the destructor alone
    // also keeps it.
    const std::string worse("\xff\xff", 2);
    writeFile(mapFile("plan"), worse);
    auto again = openView("plan.png");
    again->map().Add({makePoint(30, 40), "newer", "", ""});
    again.reset();
    EXPECT_EQ(readFile(mapFile("plan") + ".bad"), bad);
    EXPECT_EQ(readFile(mapFile("plan") + ".bad2"), worse);
    ASSERT_EQ(LoadMapFile(mapFile("plan"), saved).status, FileResult::Ok);
    EXPECT_EQ(saved.label(0), "newer");

    // A FIFO as the map: the open does not wait for a writer, and the FIFO stays.
    std::filesystem::remove(mapFile("plan"));
    ASSERT_EQ(::mkfifo(mapFile("plan").c_str(), 0600), 0);
    auto fifo = openView("plan.png");
    ASSERT_EQ(m_messages.size(), 4);
    EXPECT_TRUE(m_messages.last().contains("not a regular file")) << m_messages.last().toStdString();
    EXPECT_TRUE(fifo->HasPicture());
    fifo.reset();
    struct stat st {};
    ASSERT_EQ(::lstat(mapFile("plan").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ViewTest, AFailedSaveAtCloseOffersRetryDiscardOrCancel) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto view = openView("plan.png");
    view->map().Add({makePoint(10, 20), "kept", "", ""});
    // A folder where the map file should go makes every save fail.
    const QString blocker = QString::fromStdString(mapFile("plan"));
    ASSERT_TRUE(QDir().mkpath(blocker));

    m_answers = {QMessageBox::Cancel};
    EXPECT_FALSE(view->CloseMap());
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(blocker));

    m_answers = {QMessageBox::Retry, QMessageBox::Discard};
    EXPECT_TRUE(view->CloseMap());
    EXPECT_EQ(m_messages.size(), 3);

    // Retry after the obstacle is gone saves.
    m_answers = {QMessageBox::Retry};
    m_onMessage = [&] {
        QDir(blocker).removeRecursively();
    };
    EXPECT_TRUE(view->CloseMap());
    EXPECT_EQ(m_messages.size(), 4);
    PointList saved;
    ASSERT_EQ(LoadMapFile(mapFile("plan"), saved).status, FileResult::Ok);
    EXPECT_EQ(saved.count(), 1);
    m_onMessage = nullptr;

    // Nothing to lose (no map before, no points now): a failure is not worth a question.
    writePicture("other.png", 100, 100, Qt::white);
    ASSERT_TRUE(QDir(QString::fromStdString(base())).mkdir("elsewhere"));
    const auto elsewhere = makeServices(base() + "/elsewhere"); // a start-up folder without MAPS
    auto empty = openView("other.png", 500, 400, nullptr, elsewhere.get());
    EXPECT_TRUE(empty->CloseMap());
    EXPECT_EQ(m_messages.size(), 4);
}

TEST_F(ViewTest, FullSizeRepaintsWhenTheFullPixelsArriveAndClosingMeanwhileIsSafe) {
    QImage photo(2400, 1800, QImage::Format_RGB32);
    photo.fill(QColor(30, 90, 160));
    ASSERT_TRUE(photo.save(QString::fromStdString(base() + "/photo.jpg"), "JPG"));

    auto shown = openView("photo.jpg");
    ASSERT_TRUE(shown->HasPicture());
    shown->OnViewFullSize();
    // The scroll bars Full Size brings are laid out first (queued on the view itself, while the
    // decoded pixels are handed over through the application): the narrower viewport repaints
    // too, and that repaint is not the arrival's.
    QApplication::sendPostedEvents(shown.get());
    const int repaints = shown->fullRepaintCount();
    QElapsedTimer timer;
    timer.start();
    while (shown->fullRepaintCount() == repaints && timer.elapsed() < 10'000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(shown->fullRepaintCount(), repaints + 1) << "the arrival repaints once";

    // Closed while its decode runs: the result finds no view and nothing happens.
    auto closed = openView("photo.jpg");
    closed->OnViewFullSize();
    closed.reset();
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(m_messages.isEmpty());
}

// Two start-up folders, as two programs (or two tests) have them: each view finds its map and
// its default look under its own services' folder only.
TEST_F(ViewTest, ViewsOfTwoStartupFoldersKeepToTheirOwnMapsAndDefaults) {
    writePicture("plan.png", 400, 300, Qt::white);
    QTemporaryDir otherDir;
    ASSERT_TRUE(QDir(otherDir.path()).mkdir("MAPS"));
    const auto other = makeServices(otherDir.path().toStdString());
    PointRecord otherLook = FactoryDefaults();
    otherLook.nCrossSize = 9;
    other->SetDefaults(otherLook);

    auto here = openView("plan.png");
    auto there = openView("plan.png", 500, 400, nullptr, other.get());
    EXPECT_NE(here->mapPath(), there->mapPath());
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string&) {
        label = "added";
    };
    DoubleClick(*here, Qt::LeftButton, QPoint(50, 50));
    DoubleClick(*there, Qt::LeftButton, QPoint(60, 60));
    ASSERT_EQ(m_dialogCalls.size(), 2u);
    EXPECT_EQ(m_dialogCalls[0].rec.nCrossSize, FactoryDefaults().nCrossSize);
    EXPECT_EQ(m_dialogCalls[1].rec.nCrossSize, 9);
    const double hereX = here->points().point(0).dX;
    const double thereX = there->points().point(0).dX;
    EXPECT_NE(hereX, thereX);
    ASSERT_TRUE(here->CloseMap());
    ASSERT_TRUE(there->CloseMap());

    const struct {
        std::string folder;
        double x;
    } rows[] = {{base(), hereX}, {otherDir.path().toStdString(), thereX}};
    for (const auto& row : rows) {
        PointList saved;
        ASSERT_TRUE(LoadMapFile(MapPathFor(row.folder, "plan.png"), saved).ok()) << row.folder;
        ASSERT_EQ(saved.count(), 1) << row.folder;
        EXPECT_EQ(saved.point(0).dX, row.x) << row.folder;
    }
}
