// The mouse on a view over a real picture, driven by real mouse events on the viewport.
#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <cstring>

#include "CDia_Point.h"
#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

const QColor kPictureColor(30, 90, 160);
const COLORREF kPicture = RGB(30, 90, 160);

// While it lives, the C library formats numbers with a decimal comma and Qt's default locale is
// German. The comma locale is built for the test, since the machine may have none installed.
class CommaLocale {
public:
    CommaLocale() {
        QFile source(m_dir.filePath("comma.src"));
        if (!source.open(QIODevice::WriteOnly) ||
            source.write("LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\n"
                         "END LC_NUMERIC\n") < 0) {
            return;
        }
        source.close();
        QProcess localedef; // its warnings about the categories left out do not matter
        localedef.start("localedef", {"-c", "-i", source.fileName(), "-f", "ANSI_X3.4-1968",
                                      m_dir.filePath("comma_TEST")});
        localedef.waitForFinished(30000);
        qputenv("LOCPATH", QFile::encodeName(m_dir.path()));
        m_active = std::setlocale(LC_NUMERIC, "comma_TEST") != nullptr;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        qunsetenv("LOCPATH");
        QLocale::setDefault(m_qtLocale);
    }
    bool active() const { return m_active; }

private:
    QTemporaryDir m_dir;
    QLocale m_qtLocale;
    bool m_active = false;
};

} // namespace

class ViewMouseTest : public ViewTest {
protected:
    // plan.png, 1000 x 600, in a 500 x 400 window (zoom 0.5), with two points:
    // "first" at picture (200, 100) = client (100, 50), "second" at (600, 300) = client (300, 150).
    std::unique_ptr<TestView> openPlan(bool withPoints = true) {
        writePicture("plan.png", 1000, 600, kPictureColor);
        if (withPoints) {
            PointList list;
            list.AddPoint(makePoint(200, 100), "first", "", "note 1");
            list.AddPoint(makePoint(600, 300), "", "later", "");
            EXPECT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
        }
        return openView("plan.png");
    }
};

TEST_F(ViewMouseTest, LeftDoubleClickOnEmptySpaceAddsAPointWhereClicked) {
    auto view = openPlan(false);
    m_dialogEdit = [](PointRecord&, std::string& label, std::string&, std::string& memo) {
        label = "new";
        memo = "memo";
    };

    DoubleClick(*view, Qt::LeftButton, QPoint(100, 60));
    ASSERT_EQ(m_dialogCalls.size(), 1u);
    // The dialog starts from the default look and empty texts.
    PointRecord shown = m_dialogCalls[0].rec;
    EXPECT_EQ(std::memcmp(&shown, &services().defaults(), sizeof shown), 0);
    EXPECT_EQ(m_dialogCalls[0].label, "");
    ASSERT_EQ(view->points().count(), 1);
    EXPECT_EQ(view->points().point(0).dX, 200.0);
    EXPECT_EQ(view->points().point(0).dY, 120.0);
    EXPECT_EQ(view->points().label(0), "new");
    EXPECT_EQ(view->points().memo(0), "memo");
    EXPECT_TRUE(view->isTicking());

    // Zoom mode, scrolled: the scroll position is added before dividing by the zoom.
    view->OnViewFullSize();
    view->horizontalScrollBar()->setValue(150);
    view->verticalScrollBar()->setValue(100);
    ASSERT_EQ(view->scrollPosition(), QPoint(150, 100));
    DoubleClick(*view, Qt::LeftButton, QPoint(10, 21));
    ASSERT_EQ(view->points().count(), 2);
    EXPECT_EQ(view->points().point(1).dX, 160.0);
    EXPECT_EQ(view->points().point(1).dY, 121.0);

    // Cancel adds nothing but still repaints.
    m_dialogOk = false;
    const int repaints = view->fullRepaintCount();
    DoubleClick(*view, Qt::LeftButton, QPoint(200, 200));
    EXPECT_EQ(m_dialogCalls.size(), 3u);
    EXPECT_EQ(view->points().count(), 2);
    EXPECT_EQ(view->fullRepaintCount(), repaints + 1);
}

TEST_F(ViewMouseTest, LeftDoubleClickOnAPointEditsIt) {
    auto view = openPlan();
    m_dialogEdit = [](PointRecord& rec, std::string& label, std::string&, std::string&) {
        rec.crRect = RGB(0, 200, 0);
        label = "edited";
    };
    DoubleClick(*view, Qt::LeftButton, QPoint(305, 147));
    ASSERT_EQ(m_dialogCalls.size(), 1u);
    EXPECT_EQ(m_dialogCalls[0].rec.dX, 600.0);
    EXPECT_EQ(m_dialogCalls[0].label, "");
    EXPECT_EQ(m_dialogCalls[0].sinceText, "later");

    ASSERT_EQ(view->points().count(), 2);
    EXPECT_EQ(view->points().label(1), "edited");
    EXPECT_EQ(view->points().sinceText(1), "later");
    EXPECT_EQ(view->points().point(1).crRect, RGB(0, 200, 0));
    EXPECT_EQ(view->points().point(1).dX, 600.0);
    EXPECT_EQ(view->points().label(0), "first");
    EXPECT_EQ(view->points().point(0).crRect, RGB(255, 0, 255));
}

TEST_F(ViewMouseTest, ApplyToAllOnANewPointRestylesTheOthersFirst) {
    auto view = openPlan();
    m_dialogEdit = [](PointRecord& rec, std::string& label, std::string&, std::string&) {
        rec.crRect = RGB(0, 200, 0);
        rec.nRectSize = 7;
        label = "third";
    };
    m_dialogApplyToAll = true;
    DoubleClick(*view, Qt::LeftButton, QPoint(400, 250));

    ASSERT_EQ(view->points().count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(view->points().point(i).crRect, RGB(0, 200, 0)) << i;
        EXPECT_EQ(view->points().point(i).nRectSize, 7) << i;
    }
    // The existing points keep their places and texts.
    EXPECT_EQ(view->points().point(0).dX, 200.0);
    EXPECT_EQ(view->points().point(1).dY, 300.0);
    EXPECT_EQ(view->points().label(0), "first");
    EXPECT_EQ(view->points().label(2), "third");
    EXPECT_EQ(view->points().point(2).dX, 800.0);
    EXPECT_EQ(view->points().point(2).dY, 500.0);
}

TEST_F(ViewMouseTest, RightDoubleClickRemovesAPointOnlyOnYes) {
    auto view = openPlan();

    m_answers = {QMessageBox::No};
    DoubleClick(*view, Qt::RightButton, QPoint(300, 150));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], QString("Remove that Point?\n\n ")); // empty label
    EXPECT_EQ(view->points().count(), 2);

    m_answers = {QMessageBox::Yes};
    const int repaints = view->fullRepaintCount();
    DoubleClick(*view, Qt::RightButton, QPoint(102, 48));
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(m_messages[1], QString("Remove that Point?\n\n first"));
    ASSERT_EQ(view->points().count(), 1);
    EXPECT_EQ(view->points().sinceText(0), "later");
    EXPECT_EQ(view->fullRepaintCount(), repaints + 1);

    // Empty space: no question.
    DoubleClick(*view, Qt::RightButton, QPoint(20, 20));
    EXPECT_EQ(m_messages.size(), 2);
    EXPECT_TRUE(m_dialogCalls.empty());
}

TEST_F(ViewMouseTest, CtrlDoubleClicksZoomInZoomModeOnly) {
    auto view = openPlan();

    DoubleClick(*view, Qt::LeftButton, QPoint(100, 50), Qt::ControlModifier);
    DoubleClick(*view, Qt::RightButton, QPoint(100, 50), Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoom(), 0.5);
    EXPECT_TRUE(m_dialogCalls.empty());
    EXPECT_TRUE(m_messages.isEmpty());

    view->OnViewFullSize();
    DoubleClick(*view, Qt::LeftButton, QPoint(20, 20), Qt::ControlModifier);
    EXPECT_NEAR(view->zoom(), 0.9, 1e-12);
    DoubleClick(*view, Qt::RightButton, QPoint(20, 20), Qt::ControlModifier);
    EXPECT_NEAR(view->zoom(), 0.99, 1e-12);
    EXPECT_TRUE(m_dialogCalls.empty());
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(view->points().count(), 2);
}

TEST_F(ViewMouseTest, DoubleClicksInABlankViewDoNothing) {
    writeFile(base() + "/broken.png", "no picture here");
    auto view = openView("broken.png");
    EXPECT_FALSE(view->isTicking());
    DoubleClick(*view, Qt::LeftButton, QPoint(50, 50));
    DoubleClick(*view, Qt::RightButton, QPoint(50, 50));
    EXPECT_TRUE(m_dialogCalls.empty());
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(view->points().count(), 0);
    // Its timer first runs after a left release.
    EXPECT_TRUE(view->isTicking());
}

TEST_F(ViewMouseTest, DragMovesThePointUnderTheCursorAndRepaintsOnceAtRelease) {
    auto view = openPlan();
    QWidget* vp = view->viewport();
    const int repaints = view->fullRepaintCount();

    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(104, 47));
    EXPECT_EQ(view->dragIndex(), 0);
    EXPECT_FALSE(view->isTicking());

    QTest::mouseMove(vp, QPoint(110, 61));
    EXPECT_EQ(view->points().point(0).dX, 220.0); // the centre jumps under the cursor
    EXPECT_EQ(view->points().point(0).dY, 122.0);
    EXPECT_EQ(SurfacePixel(*view, 110, 61), RGB(255, 0, 0));
    QTest::mouseMove(vp, QPoint(121, 70));
    EXPECT_EQ(view->points().point(0).dX, 242.0);
    EXPECT_EQ(SurfacePixel(*view, 110, 61), RGB(255, 0, 0)); // the trail stays
    EXPECT_EQ(SurfacePixel(*view, 121, 70), RGB(255, 0, 0));
    EXPECT_EQ(view->fullRepaintCount(), repaints);
    EXPECT_FALSE(view->isTicking());

    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(121, 70));
    EXPECT_EQ(view->dragIndex(), -1);
    EXPECT_TRUE(view->isTicking());
    EXPECT_EQ(view->fullRepaintCount(), repaints + 1);
    EXPECT_TRUE(Near(SurfacePixel(*view, 110, 61), kPicture));
    EXPECT_EQ(view->points().point(1).dX, 600.0);

    // Moves outside the client area leave the point where the cursor last was inside it, and a
    // release outside still ends the drag there.
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(300, 150));
    QTest::mouseMove(vp, QPoint(310, 160));
    const QPoint outside[] = {
        {-40, 600}, {-1, 10}, {10, -1}, {vp->width(), 10}, {10, vp->height()}};
    for (const QPoint& p : outside) {
        QTest::mouseMove(vp, p);
        EXPECT_EQ(view->points().point(1).dX, 620.0) << p.x() << "," << p.y();
        EXPECT_EQ(view->points().point(1).dY, 320.0) << p.x() << "," << p.y();
    }
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(-40, 600));
    EXPECT_EQ(view->dragIndex(), -1);
    EXPECT_TRUE(view->isTicking());
    HoverTo(*view, QPoint(60, 60));
    EXPECT_EQ(view->points().point(1).dX, 620.0);
}

TEST_F(ViewMouseTest, AClickWithoutAMoveRepaintsAndLeavesThePoint) {
    auto view = openPlan();
    QWidget* vp = view->viewport();

    int repaints = view->fullRepaintCount();
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(103, 52));
    EXPECT_EQ(view->points().point(0).dX, 200.0);
    EXPECT_EQ(view->points().point(0).dY, 100.0);
    EXPECT_EQ(view->fullRepaintCount(), repaints + 1);
    EXPECT_TRUE(view->isTicking());

    // Pressed on empty space: the timer stops, moving draws nothing, releasing repaints nothing.
    repaints = view->fullRepaintCount();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_EQ(view->dragIndex(), -1);
    EXPECT_FALSE(view->isTicking());
    const QImage before = view->surfaceImage();
    QTest::mouseMove(vp, QPoint(220, 210));
    EXPECT_EQ(view->surfaceImage(), before);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(220, 210));
    EXPECT_EQ(view->fullRepaintCount(), repaints);
    EXPECT_TRUE(view->isTicking());
}

TEST_F(ViewMouseTest, TheStatusLineReportsCountCursorZoomAndThePointUnderIt) {
    auto view = openPlan();
    HoverTo(*view, QPoint(20, 7));
    ASSERT_FALSE(m_status.isEmpty());
    EXPECT_EQ(m_status.back(), QString(" points = 2, x =  20, y =   7, zoom =  0.50"));

    HoverTo(*view, QPoint(102, 51));
    EXPECT_EQ(m_status.back(), QString(" points =   2, x = 102, y =  51, zoom =  0.50, "
                                       "point = \"first\", memo = \"note 1\""));

    // 8-bit texts are shown as they are stored.
    view->map().Edit(view->map().map().idAt(0),
                     {view->points().point(0), "Caf\xc3\xa9", "", "\xe9t\xe9"});
    HoverTo(*view, QPoint(102, 51));
    EXPECT_TRUE(m_status.back().endsWith(QString::fromUtf8("point = \"Café\", memo = \"été\"")))
        << m_status.back().toStdString();

    // x and y are client coordinates, whatever the scroll position.
    view->OnViewFullSize();
    view->horizontalScrollBar()->setValue(300);
    HoverTo(*view, QPoint(20, 7));
    EXPECT_EQ(m_status.back(), QString(" points = 2, x =  20, y =   7, zoom =  1.00"));

    writeFile(base() + "/broken.png", "no picture here");
    auto blank = openView("broken.png");
    HoverTo(*blank, QPoint(5, 123));
    EXPECT_EQ(m_status.back(), QString(" points = 0, x =   5, y = 123, zoom =  1.00"));
}

TEST_F(ViewMouseTest, TheStatusLineWritesDecimalPointsWhateverTheLocale) {
    CommaLocale comma;
    if (!comma.active()) {
        GTEST_SKIP() << "localedef could not build a locale with a decimal comma";
    }
    auto view = openPlan();
    HoverTo(*view, QPoint(102, 51));
    EXPECT_EQ(m_status.back(), QString(" points =   2, x = 102, y =  51, zoom =  0.50, "
                                       "point = \"first\", memo = \"note 1\""));
    view->OnViewFullSize();
    view->OnViewZoomPlus();
    HoverTo(*view, QPoint(20, 7));
    EXPECT_EQ(m_status.back(), QString(" points = 2, x =  20, y =   7, zoom =  1.10"));
}

TEST_F(ViewMouseTest, TheRealPointDialogAddsAPointThroughTheRunner) {
    auto view = openPlan(false);
    services().setPointDialogRunner([this](QWidget* parent, const PointEntry& shown) {
        return CDia_Point::Run(parent, services(), shown);
    });
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CDia_Point*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->parentWidget(), view.get());
        dlg->findChild<QLineEdit*>("1002")->setText("Real");
        dlg->findChild<QPushButton*>("1")->click();
        answered = true;
    });
    DoubleClick(*view, Qt::LeftButton, QPoint(150, 100));
    EXPECT_TRUE(answered);
    ASSERT_EQ(view->points().count(), 1);
    EXPECT_EQ(view->points().label(0), "Real");
    EXPECT_EQ(view->points().point(0).dX, 300.0);
    EXPECT_EQ(view->points().point(0).dY, 200.0);
}
