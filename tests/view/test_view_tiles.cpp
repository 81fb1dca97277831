// A picture drawn from tiles in the window: tiles arriving repaint only the part they sharpen,
// and the points over it are the same pixels as over the picture decoded whole.
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <memory>

#include "AppServices.h"
#include "FakeTileSource.h"
#include "MapFiles.h"
#include "ViewTestSupport.h"

namespace {

QImage Plan(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, ((x / 64 + y / 64) % 2) * 200));
        }
    }
    return image;
}

// The views of `services` open their pictures as tiles from an in-memory source, counting
// the sources made in `reads`.
void OpenAsTiles(AppServices& services, int* reads) {
    services.setTileOpener([reads](const QString& path) {
        auto source = std::make_shared<FakeTileSource>(QImage(path));
        ++*reads;
        return source;
    });
}

} // namespace

TEST_F(ViewTest, TilesArrivingRepaintTheirPartWithThePointsAsOverTheWholePicture) {
    ASSERT_TRUE(Plan(1200, 900).save(QString::fromStdString(base() + "/plan.png")));
    PointList list;
    // Points across tile edges (256, 512) and one with its text over several tiles.
    list.AddPoint(makePoint(510, 380), "over the edge", "", "");
    list.AddPoint(makePoint(770, 515), "abc", "", "");
    list.AddPoint(makePoint(420, 600), "", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());

    const auto atOneToOne = [](TestView& view) {
        view.OnViewFullSize();
        QApplication::processEvents(); // the scroll bars come, the viewport narrows
        view.horizontalScrollBar()->setValue(300);
        view.verticalScrollBar()->setValue(250);
        view.OnTimer();
    };
    // Tiles come from services of their own: the views of the test's services decode whole.
    int opened = 0;
    const std::unique_ptr<AppServices> tiledServices = makeServices(base());
    OpenAsTiles(*tiledServices, &opened);
    auto whole = openView("plan.png");
    ASSERT_EQ(opened, 0);
    atOneToOne(*whole);
    const QImage expected = whole->surfaceImage();

    auto view = openView("plan.png", 500, 400, nullptr, tiledServices.get());
    ASSERT_EQ(opened, 1);
    atOneToOne(*view);
    const int repaints = view->fullRepaintCount();
    // The coarse stand-in first, then the sharp tiles, each part with its points at once.
    EXPECT_NE(view->surfaceImage(), expected);
    // The points' centres never vanish while parts are repainted (no tick puts them back).
    const QPoint centres[] = {
        {510 - 300, 380 - 250}, {770 - 300, 515 - 250}, {420 - 300, 600 - 250}};
    int missing = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QPoint c : centres) {
                missing += SurfacePixel(*view, c.x(), c.y()) != RGB(0, 0, 0) ? 1 : 0;
            }
            return view->surfaceImage() == expected;
        },
        5000));
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(view->fullRepaintCount(), repaints) << "no full repaint for arriving tiles";
    view->OnTimer();
    EXPECT_EQ(view->surfaceImage(), expected);
}
