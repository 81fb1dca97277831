// The window surface, the view commands and the printed page.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>

#include <cmath>

#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

const QColor kPictureColor(30, 90, 160);
const COLORREF kPicture = RGB(30, 90, 160);
const COLORREF kMagenta = RGB(255, 0, 255);

COLORREF PagePixel(const QImage& page, int x, int y) {
    const QRgb p = page.pixel(x, y);
    return RGB(static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
               static_cast<std::uint8_t>(qBlue(p)));
}

// Columns of row `y` from 0 on that show the picture's colour.
int PictureRun(const QImage& page, int y) {
    int x = 0;
    while (x < page.width() && Near(PagePixel(page, x, y), kPicture, 8)) {
        ++x;
    }
    return x;
}

bool AnyPixelNear(const QImage& page, COLORREF color) {
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (Near(PagePixel(page, x, y), color, 40)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

TEST_F(ViewTest, TicksPaintPointsOverThePictureAndAFullRepaintErasesThem) {
    writePicture("plan.png", 1000, 600, kPictureColor);
    PointList list;
    list.AddPoint(makePoint(200, 100), "abc", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png"); // zoom 0.5: the point sits at client (100, 50)

    // (97, 47) lies inside the square (96..103) but off the cross arms.
    EXPECT_TRUE(Near(SurfacePixel(*view, 97, 47), kPicture));
    view->OnTimer();
    EXPECT_EQ(SurfacePixel(*view, 97, 47), kMagenta);
    EXPECT_EQ(SurfacePixel(*view, 100, 50), RGB(0, 0, 0));
    EXPECT_TRUE(Near(SurfacePixel(*view, 300, 200), kPicture));

    // What reaches the screen is the surface.
    const QImage shown = view->viewport()->grab().toImage();
    EXPECT_EQ(shown.pixel(97, 47), view->surfaceImage().pixel(97, 47));
    EXPECT_EQ(shown.pixel(300, 200), view->surfaceImage().pixel(300, 200));

    view->RedrawWindow();
    EXPECT_TRUE(Near(SurfacePixel(*view, 97, 47), kPicture));
    EXPECT_TRUE(Near(SurfacePixel(*view, 100, 50), kPicture));

    // The real 300 ms timer brings the points back.
    EXPECT_TRUE(QTest::qWaitFor([&] { return SurfacePixel(*view, 97, 47) == kMagenta; }, 2000));
}

TEST_F(ViewTest, ZoomModeScrollsThePictureAndThePoints) {
    writePicture("plan.png", 1000, 600, kPictureColor);
    PointList list;
    list.AddPoint(makePoint(300, 200), "abc", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png", 300, 200);

    // Fit mode: the picture is 300 x 180, so nothing scrolls.
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);

    view->OnViewFullSize();
    const QSize vp = view->viewport()->size();
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 1000 - 32 - vp.width());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 600 - vp.height());
    EXPECT_EQ(view->horizontalScrollBar()->pageStep(), vp.width());

    view->horizontalScrollBar()->setValue(200);
    view->verticalScrollBar()->setValue(150);
    EXPECT_EQ(view->scrollPosition(), QPoint(200, 150));
    view->OnTimer();
    EXPECT_EQ(SurfacePixel(*view, 97, 47), kMagenta);
    EXPECT_EQ(SurfacePixel(*view, 100, 50), RGB(0, 0, 0));

    // A scroll moves the surface's pixels, points included, and draws the picture alone into
    // the strip that comes into view: the same pixels there as a full repaint.
    const QImage before = view->surfaceImage();
    const int repaints = view->fullRepaintCount();
    view->horizontalScrollBar()->setValue(210);
    view->verticalScrollBar()->setValue(145);
    EXPECT_EQ(view->fullRepaintCount(), repaints);
    const QImage moved = view->surfaceImage();
    EXPECT_EQ(moved.copy(0, 5, vp.width() - 10, vp.height() - 5),
              before.copy(10, 0, vp.width() - 10, vp.height() - 5));
    EXPECT_EQ(SurfacePixel(*view, 87, 52), kMagenta);
    view->RedrawWindow();
    const QImage full = view->surfaceImage();
    EXPECT_EQ(moved.copy(vp.width() - 10, 0, 10, vp.height()),
              full.copy(vp.width() - 10, 0, 10, vp.height()));
    EXPECT_EQ(moved.copy(0, 0, vp.width(), 5), full.copy(0, 0, vp.width(), 5));
    view->OnTimer();
    EXPECT_EQ(SurfacePixel(*view, 87, 52), kMagenta);
}

TEST_F(ViewTest, ViewCommandsFollowTheZoomRules) {
    writePicture("plan.png", 1000, 600, kPictureColor);
    auto view = openView("plan.png");
    ASSERT_DOUBLE_EQ(view->zoom(), 0.5);

    // Fit mode: zooming does nothing, not even a repaint.
    const int repaints = view->fullRepaintCount();
    view->OnViewZoomPlus();
    view->OnViewZoomMinus();
    EXPECT_EQ(view->fullRepaintCount(), repaints);
    EXPECT_DOUBLE_EQ(view->zoom(), 0.5);
    EXPECT_FALSE(view->IsZoomMode());

    view->OnViewFullSize();
    EXPECT_TRUE(view->IsZoomMode());
    EXPECT_EQ(view->zoom(), 1.0);
    view->OnViewZoomPlus();
    view->OnViewZoomPlus();
    EXPECT_NEAR(view->zoom(), 1.21, 1e-12);
    EXPECT_EQ(view->fullRepaintCount(), repaints + 3);

    view->OnViewFullSize(); // back to fit: the draw derives the zoom from the width again
    EXPECT_FALSE(view->IsZoomMode());
    EXPECT_DOUBLE_EQ(view->zoom(), 0.5);
    view->OnViewFullSize(); // each entry starts at 1.0
    EXPECT_EQ(view->zoom(), 1.0);
    view->OnViewZoomPlus();
    view->OnViewZoomMinus();
    EXPECT_NEAR(view->zoom(), 0.99, 1e-12);
}

TEST_F(ViewTest, ShowTextsOffHidesEveryPointAndFreezesTheFlashing) {
    writePicture("plan.png", 1000, 600, kPictureColor);
    PointRecord flashing = makePoint(200, 100);
    flashing.bSinceDate = 1;
    flashing.bFlashRect = 1;
    flashing.stSince = SYSTEMTIME{1850, 1, 0, 1, 0, 0, 0, 0}; // always passed
    PointList list;
    list.AddPoint(flashing, "abc", "since", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png");

    EXPECT_TRUE(view->IsShowTexts());
    view->OnViewShowTexts();
    EXPECT_FALSE(view->IsShowTexts());
    const QImage before = view->surfaceImage();
    view->OnTimer();
    view->OnTimer();
    EXPECT_EQ(view->surfaceImage(), before);
    EXPECT_EQ(view->points().point(0).bRectPhase, 0);

    view->OnViewShowTexts();
    view->OnTimer(); // phase 0: white, then 1
    EXPECT_EQ(SurfacePixel(*view, 97, 47), RGB(255, 255, 255));
    EXPECT_EQ(view->points().point(0).bRectPhase, 1);
}

TEST_F(ViewTest, APrintedPageShowsOneDisplayPixelAtThePrinterResolution) {
    writePicture("plan.png", 400, 200, kPictureColor);
    PointList list;
    list.AddPoint(makePoint(200, 100), "abc", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png", 192, 300);

    // Fit mode: the window's 192 pixels at 96 dpi are two inches, 600 pixels at 300 dpi.
    QImage page(1400, 800, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        view->PrintPage(painter, 96, 96, 300, 300);
    }
    EXPECT_NEAR(PictureRun(page, 10), 600, 1);
    EXPECT_TRUE(Near(PagePixel(page, 10, 290), kPicture, 8)); // 96 display rows: 300 on paper
    EXPECT_TRUE(Near(PagePixel(page, 10, 310), RGB(255, 255, 255), 8));
    // The point at picture (200, 100), zoom 0.48: display (96, 48), paper (300, 150); its
    // square spans four display pixels (12.5 printer pixels) each way.
    EXPECT_TRUE(Near(PagePixel(page, 292, 142), kMagenta, 40));

    // Zoom mode at 1.0, scrolled: 400 display pixels print 1250 wide and the point carries no
    // scroll offset.
    view->OnViewFullSize();
    view->horizontalScrollBar()->setValue(100);
    ASSERT_EQ(view->scrollPosition().x(), 100);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        view->PrintPage(painter, 96, 96, 300, 300);
    }
    EXPECT_NEAR(PictureRun(page, 10), 1250, 1);
    EXPECT_TRUE(Near(PagePixel(page, 617, 305), kMagenta, 40));

    view->OnViewShowTexts();
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        view->PrintPage(painter, 96, 96, 300, 300);
    }
    EXPECT_NEAR(PictureRun(page, 10), 1250, 1);
    EXPECT_FALSE(AnyPixelNear(page, kMagenta));
}

TEST_F(ViewTest, PrintingToAPdfFileMakesExactlyOnePage) {
    writePicture("plan.png", 2000, 1500, kPictureColor);
    auto view = openView("plan.png");
    view->OnViewFullSize(); // far wider than the page: cut off, not tiled

    const QString pdf = QString::fromStdString(base() + "/page.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    view->PrintPage(&printer);

    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    EXPECT_EQ(text.count(QRegularExpression("/Type\\s*/Page\\b")), 1);
}

TEST_F(ViewTest, ZoomingStopsAtItsBoundsAndStaysSafe) {
    writePicture("plan.png", 1000, 600, kPictureColor);
    PointList list;
    list.AddPoint(makePoint(500, 300), "centre", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png");

    view->OnViewFullSize();
    for (int i = 0; i < 300; ++i) { // 1.1^300 would be about 2.6e12
        view->OnViewZoomPlus();
    }
    EXPECT_EQ(view->zoom(), 64.0);
    EXPECT_GE(view->horizontalScrollBar()->maximum(), 0);
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    view->OnTimer();
    HoverTo(*view, QPoint(10, 10));
    DoubleClick(*view, Qt::LeftButton, QPoint(30, 40));
    ASSERT_EQ(view->points().count(), 2);
    EXPECT_TRUE(std::isfinite(view->points().point(1).dX));
    EXPECT_TRUE(std::isfinite(view->points().point(1).dY));

    for (int i = 0; i < 600; ++i) { // down to a picture narrower than the 32-pixel allowance
        view->OnViewZoomMinus();
    }
    EXPECT_EQ(view->zoom(), 1.0 / 64);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    view->OnTimer();
    EXPECT_EQ(view->points().count(), 2);
}
