// Selection, its marks, the keyboard and the edit commands of a view, driven by real mouse and
// key events; every change one step that undoes exactly.
#include <QPainter>
#include <QTest>

#include "MapFiles.h"
#include "SelectionMarks.h"
#include "ViewTestSupport.h"

namespace {

const COLORREF kMarkBlue = RGB(0, 120, 215);

// Points at picture (200, 100), (600, 300), (640, 320): client (100, 50), (300, 150), (320, 160)
// at the fit zoom of 0.5.
class ViewEditTest : public ViewTest {
protected:
    std::unique_ptr<TestView> openPlan() {
        writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
        PointList list;
        list.AddPoint(makePoint(200, 100), "first", "", "note 1");
        list.AddPoint(makePoint(600, 300), "second", "", "");
        list.AddPoint(makePoint(640, 320), "third", "", "");
        EXPECT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
        auto view = openView("plan.png");
        view->mapSaver().setTiming({20, 50, 10});
        return view;
    }
    static std::string Bytes(const CZelvorView& view) { return EncodeMap(view.points()); }
    static QImage Printed(CZelvorView& view) {
        QImage page(600, 400, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        view.PrintPage(painter, 96, 96, 96, 96);
        return page;
    }
};

// The mark's frame lies kMarkMargin + max(square, cross, 6) = 9 pixels from the centre.
bool Marked(const CZelvorView& view, QPoint centre) {
    return SurfacePixel(view, centre.x() - 9, centre.y()) == kMarkBlue;
}

} // namespace

TEST_F(ViewEditTest, ClicksBandsAndKeysSelectAndOnlySelectedPointsAreMarked) {
    auto view = openPlan();
    auto twin = openView("plan.png"); // never selects: the surface as it has always been
    QWidget* vp = view->viewport();
    view->OnTimer();
    twin->OnTimer();
    ASSERT_EQ(view->surfaceImage(), twin->surfaceImage());
    const QImage printedBefore = Printed(*view);

    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(view->selection().count(), 1);
    EXPECT_TRUE(view->hasFocus() || !view->isActiveWindow());
    view->OnTimer();
    EXPECT_TRUE(Marked(*view, {100, 50}));
    EXPECT_FALSE(Marked(*view, {300, 150}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(300, 150));
    EXPECT_EQ(view->selection().count(), 2);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(100, 50));
    ASSERT_EQ(view->selection().count(), 1);
    EXPECT_EQ(view->selection().ids().front(), view->map().map().idAt(1));
    // Marks are the window's: a printed page is the same with or without them.
    EXPECT_EQ(Printed(*view), printedBefore);

    // A band from empty space takes the points whose positions lie inside it; Ctrl adds.
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(310, 140));
    QTest::mouseMove(vp, QPoint(330, 170));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(330, 170));
    ASSERT_EQ(view->selection().count(), 1);
    EXPECT_EQ(view->selection().ids().front(), view->map().map().idAt(2));
    QTest::mousePress(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(90, 40));
    QTest::mouseMove(vp, QPoint(110, 60));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(110, 60));
    EXPECT_EQ(view->selection().count(), 2);

    // Tab walks the list, Esc and a click on empty space clear, Select All takes every point.
    QTest::keyClick(view.get(), Qt::Key_Tab);
    ASSERT_EQ(view->selection().count(), 1);
    EXPECT_EQ(view->selection().ids().front(), view->map().map().idAt(0)); // after the last
    QTest::keyClick(view.get(), Qt::Key_Backtab);
    EXPECT_EQ(view->selection().ids().front(), view->map().map().idAt(2));
    view->OnEditSelectAll();
    EXPECT_EQ(view->selection().count(), 3);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_TRUE(view->selection().empty());
    view->OnEditSelectAll();
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(450, 300));
    EXPECT_TRUE(view->selection().empty());

    // With nothing selected again, every pixel is as it would have been.
    view->OnTimer();
    twin->OnTimer();
    EXPECT_EQ(view->surfaceImage(), twin->surfaceImage());
}

TEST_F(ViewEditTest, DragsAndArrowKeysMoveTheSelectionInOneStepEach) {
    auto view = openPlan();
    QWidget* vp = view->viewport();
    const std::string start = Bytes(*view);
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(300, 150));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(320, 160));

    // Pressing on a selected point drags the whole selection by as much.
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(300, 150));
    QTest::mouseMove(vp, QPoint(305, 160));
    QTest::mouseMove(vp, QPoint(310, 170));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(310, 170));
    EXPECT_EQ(view->points().point(1).dX, 620.0);
    EXPECT_EQ(view->points().point(1).dY, 340.0);
    EXPECT_EQ(view->points().point(2).dX, 660.0);
    EXPECT_EQ(view->points().point(2).dY, 360.0);
    EXPECT_EQ(view->points().point(0).dX, 200.0);
    EXPECT_EQ(view->map().map().undoName(), "Move Points");
    const std::string dragged = Bytes(*view);

    // A run of arrow presses is one step: one picture pixel, ten with Shift.
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Right);
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(view->points().point(1).dX, 622.0);
    EXPECT_EQ(view->points().point(2).dY, 350.0);
    EXPECT_EQ(view->map().map().stepCount(), 2u);

    view->OnEditUndo();
    EXPECT_EQ(Bytes(*view), dragged);
    view->OnEditUndo();
    EXPECT_EQ(Bytes(*view), start);
    view->OnEditRedo();
    EXPECT_EQ(Bytes(*view), dragged);

    // Pressing on a point outside the selection drags it alone, as always.
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseMove(vp, QPoint(120, 60));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(120, 60));
    EXPECT_EQ(view->points().point(0).dX, 240.0);
    EXPECT_EQ(view->points().point(1).dX, 620.0);
    EXPECT_EQ(view->map().map().undoName(), "Move Point");
}

TEST_F(ViewEditTest, DeleteAsksOnceAndPasteNeverStacksACopyOverItsOriginal) {
    auto view = openPlan();
    const std::string start = Bytes(*view);
    view->OnEditSelectAll();
    const std::vector<PointEntry> copied = view->map().map().Entries(view->selection().ids());
    ASSERT_EQ(copied.size(), 3u);

    m_answers = {QMessageBox::No, QMessageBox::Yes};
    QTest::keyClick(view.get(), Qt::Key_Delete);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("3")) << m_messages[0].toStdString();
    EXPECT_EQ(view->points().count(), 3);
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(view->points().count(), 0);
    EXPECT_TRUE(view->selection().empty());
    view->OnEditUndo();
    EXPECT_EQ(Bytes(*view), start);

    // One point: today's question with its label.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(100, 50));
    m_answers = {QMessageBox::No};
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(m_messages.last(), "Remove that Point?\n\n first");

    // Pasted back into their own picture the copies move off their originals; points outside
    // the picture go onto its edge. The paste is one step and becomes the selection.
    std::vector<PointEntry> paste = copied;
    paste.push_back({makePoint(5000, -20), "far", "", ""});
    EXPECT_EQ(view->PasteEntries(paste, "Paste"), 1);
    ASSERT_EQ(view->points().count(), 7);
    EXPECT_EQ(view->points().point(3).dX, 210.0);
    EXPECT_EQ(view->points().point(3).dY, 110.0);
    EXPECT_EQ(view->points().point(6).dX, 999.0);
    EXPECT_EQ(view->points().point(6).dY, 10.0); // on the edge, then moved on with the rest
    EXPECT_EQ(view->selection().count(), 4);
    view->OnEditUndo();
    EXPECT_EQ(Bytes(*view), start);
}

TEST_F(ViewEditTest, EnterOnSeveralPointsGivesThemTheDialogsLookAndSinceDateInOneStep) {
    auto view = openPlan();
    const std::string start = Bytes(*view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(300, 150));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(320, 160));
    m_dialogEdit = [](PointRecord& rec, std::string& label, std::string&, std::string&) {
        rec.crRect = RGB(1, 2, 3);
        rec.nCrossSize = 9;
        rec.bSinceDate = 1;
        rec.stSince = {2030, 1, 0, 2, 3, 4, 5, 0};
        label = "ignored"; // texts stay each point's own
    };
    QTest::keyClick(view.get(), Qt::Key_Return);
    ASSERT_EQ(m_dialogCalls.size(), 1u);
    EXPECT_EQ(m_dialogCalls[0].label, "second"); // the dialog shows the first selected point
    for (int i : {1, 2}) {
        const PointRecord& r = view->points().point(i);
        EXPECT_EQ(r.crRect, RGB(1, 2, 3)) << i;
        EXPECT_EQ(r.nCrossSize, 9) << i;
        EXPECT_EQ(r.bSinceDate, 1) << i;
        EXPECT_EQ(r.stSince.wYear, 2030) << i;
    }
    EXPECT_EQ(view->points().label(2), "third");
    EXPECT_EQ(view->points().point(2).dX, 640.0);
    EXPECT_NE(view->points().point(0).crRect, RGB(1, 2, 3));
    EXPECT_EQ(view->map().map().undoName(), "Edit Points");
    view->OnEditUndo();
    EXPECT_EQ(Bytes(*view), start);
}

TEST(SelectionMarksTest, ATickThatRepaintsPiecesLeavesTheMarksAsAFullDrawingDoes) {
    // Overlapping marks: redrawn inside a piece, they must end in the full drawing's order.
    PointList list;
    PointRecord rec = FactoryDefaults();
    for (int i = 0; i < 60; ++i) {
        rec.dX = 20 + (i * 37) % 160;
        rec.dY = 20 + (i * 53) % 120;
        rec.nRectSize = 2 + i % 9;
        list.AddPoint(rec, "", "", "");
    }
    PointMap map;
    map.Reset(std::move(list));
    QImage full(200, 160, QImage::Format_RGB32);
    full.fill(Qt::darkGreen);
    SelectionMarks marks;
    marks.DrawAll(full, map, map.ids(), 1.0, {0, 0}, full.rect());
    for (const QRect piece : {QRect(30, 30, 9, 9), QRect(0, 0, 200, 160), QRect(95, 61, 3, 40)}) {
        QImage ticked = full;
        ticked.fill(Qt::darkGreen); // what the points' repaint left there, here nothing
        QImage expected = full;
        {
            QPainter outside(&ticked);
            outside.setClipRegion(QRegion(ticked.rect()) - piece);
            outside.drawImage(0, 0, full);
        }
        const QRect pieces[] = {piece};
        marks.DrawOver(ticked, pieces);
        EXPECT_EQ(ticked, expected) << piece.x() << "," << piece.y();
    }
}
