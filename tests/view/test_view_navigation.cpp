// Moving about the view: zoom about the cursor (wheel, pinch, Zoom Plus about the middle), the
// wheel's scrolling, panning, and Fit Picture with its hit tests and printing.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPointingDevice>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "ViewGeometry.h"
#include "ViewTestSupport.h"

namespace {

const QColor kPictureColor(30, 90, 160);
const COLORREF kPicture = RGB(30, 90, 160);

void Wheel(CZelvorView& view, QPointF pos, QPoint angle,
           Qt::KeyboardModifiers keys = Qt::NoModifier) {
    QWidget* vp = view.viewport();
    QWheelEvent event(pos, vp->mapToGlobal(pos), QPoint(), angle, Qt::NoButton, keys,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &event);
}

void Key(CZelvorView& view, QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
}

// The picture position under a client position.
QPointF PictureAt(const CZelvorView& view, QPointF client) {
    const QPoint s = view.scrollPosition();
    return {(client.x() + s.x()) / view.zoom(), (client.y() + s.y()) / view.zoom()};
}

class ViewNavigationTest : public ViewTest {};

} // namespace

TEST_F(ViewNavigationTest, CtrlWheelZoomsAboutTheCursor) {
    writePicture("big.png", 2000, 1500, kPictureColor);
    auto view = openView("big.png", 500, 400);
    view->OnViewFullSize();
    view->horizontalScrollBar()->setValue(600);
    view->verticalScrollBar()->setValue(500);

    // Notches (positive in) at cursor positions; each keeps the picture point under the cursor.
    const struct {
        int notches;
        QPointF at;
    } steps[] = {{1, {250, 200}}, {1, {10, 10}},   {3, {480, 30}},
                 {-1, {100, 350}}, {-4, {300, 120}}, {2, {0, 0}}};
    double expectedZoom = 1.0;
    for (const auto& step : steps) {
        const QPointF before = PictureAt(*view, step.at);
        for (int i = 0; i < std::abs(step.notches); ++i) {
            Wheel(*view, step.at, QPoint(0, step.notches > 0 ? 120 : -120), Qt::ControlModifier);
            expectedZoom *= step.notches > 0 ? kZoomInFactor : kZoomOutFactor;
        }
        EXPECT_DOUBLE_EQ(view->zoom(), expectedZoom);
        const QPointF after = PictureAt(*view, step.at);
        EXPECT_NEAR(after.x(), before.x(), 0.5 / view->zoom() + 1e-9) << step.at.x();
        EXPECT_NEAR(after.y(), before.y(), 0.5 / view->zoom() + 1e-9) << step.at.y();
    }
    // Half notches of a smooth wheel add up to one step.
    const double zoom = view->zoom();
    Wheel(*view, {200, 200}, QPoint(0, 60), Qt::ControlModifier);
    EXPECT_EQ(view->zoom(), zoom);
    Wheel(*view, {200, 200}, QPoint(0, 60), Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(view->zoom(), zoom * kZoomInFactor);
}

TEST_F(ViewNavigationTest, FitModesEnterZoomModeAtTheFittedScale) {
    writePicture("plan.png", 1000, 800, kPictureColor);
    auto view = openView("plan.png", 500, 400);
    ASSERT_FALSE(view->IsZoomMode());
    const double fitted = view->zoom();
    Wheel(*view, {100, 100}, QPoint(0, 120), Qt::ControlModifier);
    EXPECT_TRUE(view->IsZoomMode());
    EXPECT_DOUBLE_EQ(view->zoom(), fitted * kZoomInFactor);

    // From Fit Picture (centred): the margin counts, so the point under the cursor stays too.
    view->OnViewFitPicture();
    ASSERT_TRUE(view->IsFitPicture());
    const QPointF before = PictureAt(*view, {260, 210});
    Wheel(*view, {260, 210}, QPoint(0, 120), Qt::ControlModifier);
    EXPECT_TRUE(view->IsZoomMode());
    EXPECT_FALSE(view->IsFitPicture());
    const QPointF after = PictureAt(*view, {260, 210});
    EXPECT_NEAR(after.x(), before.x(), 1.0 / view->zoom());
    EXPECT_NEAR(after.y(), before.y(), 1.0 / view->zoom());

    // A pinch zooms by its own amounts, about its centre.
    const double z = view->zoom();
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 1,
                              QPointF(250, 200), QPointF(250, 200),
                              view->viewport()->mapToGlobal(QPointF(250, 200)), 0.25, QPointF());
    QApplication::sendEvent(view->viewport(), &pinch);
    EXPECT_DOUBLE_EQ(view->zoom(), z * 1.25);
}

TEST_F(ViewNavigationTest, ZoomPlusAndMinusZoomAboutTheMiddle) {
    writePicture("big.png", 2000, 1500, kPictureColor);
    auto view = openView("big.png", 500, 400);
    view->OnViewFullSize();
    view->horizontalScrollBar()->setValue(400);
    view->verticalScrollBar()->setValue(300);
    const QPointF middle = QRectF(view->viewport()->rect()).center();
    const QPointF before = PictureAt(*view, middle);
    view->OnViewZoomPlus();
    view->OnViewZoomPlus();
    view->OnViewZoomMinus();
    EXPECT_DOUBLE_EQ(view->zoom(), 1.1 * 1.1 * 0.9);
    const QPointF after = PictureAt(*view, middle);
    EXPECT_NEAR(after.x(), before.x(), 1.0);
    EXPECT_NEAR(after.y(), before.y(), 1.0);
}

TEST_F(ViewNavigationTest, WheelScrollsAndDragsPan) {
    writePicture("big.png", 2000, 1500, kPictureColor);
    auto view = openView("big.png", 500, 400);
    view->OnViewFullSize();
    QScrollBar* h = view->horizontalScrollBar();
    QScrollBar* v = view->verticalScrollBar();
    h->setValue(500);
    v->setValue(500);

    Wheel(*view, {100, 100}, QPoint(0, -120));
    EXPECT_GT(v->value(), 500) << "the wheel turned towards the user scrolls down";
    EXPECT_EQ(h->value(), 500);
    const int down = v->value();
    Wheel(*view, {100, 100}, QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_GT(h->value(), 500) << "Shift+wheel scrolls sideways";
    EXPECT_EQ(v->value(), down);

    // The middle button drags the picture with the pointer.
    h->setValue(500);
    v->setValue(500);
    QWidget* vp = view->viewport();
    QTest::mousePress(vp, Qt::MiddleButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseMove(vp, QPoint(250, 170));
    EXPECT_EQ(view->scrollPosition(), QPoint(550, 530));
    QTest::mouseRelease(vp, Qt::MiddleButton, Qt::NoModifier, QPoint(250, 170));
    EXPECT_TRUE(view->isTicking()) << "a pan does not stop the paint timer";

    // A left press on empty space is the view's (no pan)...
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseMove(vp, QPoint(200, 100));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
    EXPECT_EQ(view->scrollPosition(), QPoint(550, 530));
    // ... but with Space held it pans, and leaves the points alone.
    view->map().Add({makePoint(850, 730), "p", "", ""});
    Key(*view, QEvent::KeyPress, Qt::Key_Space);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseMove(vp, QPoint(320, 240));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(320, 240));
    Key(*view, QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(view->scrollPosition(), QPoint(530, 490));
    EXPECT_EQ(view->points().point(0).dX, 850.0);
    EXPECT_EQ(view->dragIndex(), -1);
}

TEST_F(ViewNavigationTest, FitPictureShowsATallPlanWholeAndCentred) {
    writePicture("tall.png", 600, 3000, kPictureColor);
    auto view = openView("tall.png", 500, 400);
    view->OnViewFitPicture();
    QApplication::processEvents();
    ASSERT_TRUE(view->IsFitPicture());
    EXPECT_FALSE(view->IsZoomMode());
    const QSize vp = view->viewport()->size();
    ASSERT_EQ(vp, view->contentsRect().size()) << "no scroll bars when the whole picture shows";
    const double zoom = vp.height() / 3000.0;
    EXPECT_DOUBLE_EQ(view->zoom(), zoom);
    // Drawn w x vp.height(), centred across.
    const int w = static_cast<int>(600 * zoom);
    const int left = (vp.width() - w) / 2;
    EXPECT_EQ(view->scrollPosition(), QPoint(-left, 0));
    EXPECT_TRUE(Near(SurfacePixel(*view, left, 200), kPicture));
    EXPECT_TRUE(Near(SurfacePixel(*view, left + w - 1, vp.height() - 1), kPicture));
    EXPECT_FALSE(Near(SurfacePixel(*view, left - 1, 200), kPicture));
    EXPECT_FALSE(Near(SurfacePixel(*view, left + w, 200), kPicture));

    // Points are placed and hit where the picture is shown.
    view->map().Add({makePoint(300, 1500), "mid", "", ""});
    const QPoint mid(static_cast<int>(300 * zoom) + left, static_cast<int>(1500 * zoom));
    EXPECT_EQ(view->FindPointAt(mid.x(), mid.y()), 0);
    EXPECT_EQ(view->FindPointAt(left - 20, mid.y()), -1);
    view->OnTimer();
    EXPECT_EQ(SurfacePixel(*view, mid.x() - 3, mid.y() - 3), RGB(255, 0, 255)) << "its square";
    DoubleClick(*view, Qt::LeftButton, QPoint(left + 20, 100));
    ASSERT_EQ(view->points().count(), 2);
    EXPECT_NEAR(view->points().point(1).dX, 20 / zoom, 1e-9);
    EXPECT_NEAR(view->points().point(1).dY, 100 / zoom, 1e-9);

    // The page shows the picture at its on-screen size, from the corner.
    QImage page(600, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        view->PrintPage(painter, 96, 96, 96, 96);
    }
    EXPECT_EQ(QColor(page.pixel(w - 2, 10)).rgb(), kPictureColor.rgb());
    EXPECT_EQ(QColor(page.pixel(w + 2, 10)).rgb(), QColor(Qt::white).rgb());

    // Chosen again it fits the width; Full Size leaves it for 1:1.
    view->OnViewFitPicture();
    EXPECT_FALSE(view->IsFitPicture());
    EXPECT_EQ(view->scrollPosition().x(), 0);
    view->OnViewFitPicture();
    view->OnViewFullSize();
    EXPECT_FALSE(view->IsFitPicture());
    EXPECT_DOUBLE_EQ(view->zoom(), 1.0);
    view->OnViewFullSize();
    EXPECT_FALSE(view->IsFitPicture()) << "leaving Full Size fits the width";
}
