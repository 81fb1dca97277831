// The page painter: the media agree pixel for pixel where they should.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DrawingSurface.h"
#include "PagePainter.h"
#include "Picture.h"
#include "RenderTestSupport.h"

namespace {

constexpr QSize kPicture(200, 150);

QImage Gradient() {
    QImage image(kPicture, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
        }
    }
    return image;
}

// A plain label, a square with a cross, a passed since text and a large italic running off
// the right edge.
PointList Points() {
    PointList list;
    list.AddPoint(PlainPoint(20, 20), "Plain", "", "");
    PointRecord marked = PlainPoint(90, 60);
    marked.bShowRect = 1;
    marked.nRectSize = 5;
    marked.crRect = RGB(200, 0, 0);
    marked.bShowCross = 1;
    marked.nCrossSize = 8;
    list.AddPoint(marked, "Marked", "", "");
    PointRecord due = PlainPoint(40, 110);
    due.bSinceDate = 1;
    due.stSince = SYSTEMTIME{2001, 1, 0, 1, 0, 0, 0, 0};
    list.AddPoint(due, "Label", "Due", "");
    PointRecord italic = PlainPoint(170, 130);
    italic.lfText.lfItalic = 1;
    italic.lfText.lfHeight = 24;
    list.AddPoint(italic, "Italic off the edge", "", "");
    return list;
}

PageOptions Screen(QPoint scroll = {}, QSize visible = {}) {
    PageOptions page;
    page.drawn = kPicture;
    page.scroll = scroll;
    page.visible = visible;
    page.now = 1'700'000'000;
    return page;
}

PageOptions Paper() {
    PageOptions page = Screen();
    page.medium = PageOptions::Medium::Paper; // 96 dpi on both sides: one pixel is one pixel
    return page;
}

// The page on a fresh image of `size`, through a fresh renderer, as each medium starts.
QImage Paint(const PageOptions& page, PointList list, QSize size = kPicture) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Canvas::kFill);
    const std::unique_ptr<Picture> picture = Picture::FromImage(Gradient());
    QPainter painter(&image);
    DrawingSurface surface(painter);
    PointRenderer renderer;
    PagePainter(page).paintPage(surface, *picture, renderer, list);
    return image;
}

} // namespace

TEST(PagePainterTest, TheMediaAgreePixelForPixelWhereTheyShould) {
    const PointList points = Points();
    const QImage whole = Paint(Screen(), points);
    PageOptions hidden = Screen();
    hidden.showTexts = false;
    const QRect seen(30, 20, 120, 90);
    struct Case {
        const char* what;
        QImage page;
        QImage expected;
    };
    const std::vector<Case> cases = {
        {"paper at the display's own resolution is the screen page",
         Paint(Paper(), points), whole},
        {"a scrolled window shows its part of the whole page",
         Paint(Screen(seen.topLeft(), seen.size()), points, seen.size()), whole.copy(seen)},
        {"with texts hidden only the picture shows", Paint(hidden, points),
         Paint(Screen(), PointList())},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.page == c.expected) << c.what;
    }
    EXPECT_FALSE(whole == Paint(Screen(), PointList())) << "the points show";
}
