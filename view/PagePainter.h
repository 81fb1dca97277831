// One painter for a page of a picture with its points. The window's surface, a printed or
// previewed page and `zelvor-maps render` all compose through it, so what they show agrees.
//
// A page shows the picture drawn scaled into (0, 0, drawn) of the page's logical coordinates
// and, over it, the points at `zoom` in list order (PointRenderer):
// - On the screen the page is seen through a window: the page's logical (0, 0) is the drawn
//   picture's position `scroll`, and only `visible` from (0, 0) is worth drawing (empty: the
//   whole drawn picture). The picture comes from its scaled copy (Picture::drawScaled).
// - On paper one logical unit is one pixel of the display (`displayDpi`) mapped to the
//   device's resolution (`deviceDpi`), with no scroll offset; the picture is drawn from its
//   full pixels (Picture::drawForPrint) and every point afresh.
// While `showTexts` is false no part of any point is drawn and no flash phase moves.
//
// The window paints its picture with paintPicture on a full repaint and its points on the
// timer, through pointContext; the other media paint the whole page at once with paintPage.
// User-interface thread only (as Picture and the renderer are).
#pragma once

#include <QPoint>
#include <QSize>

#include <cstdint>

class DrawingSurface;
class Picture;
class PointList;
class PointRenderer;
class QPainter;
struct RenderContext;

struct PageOptions {
    enum class Medium { Screen, Paper };
    Medium medium = Medium::Screen;
    double zoom = 1.0; // page pixels per picture pixel
    QSize drawn;       // the drawn picture's size
    QPoint scroll;     // Screen: the drawn-picture position of the page's (0, 0)
    QSize visible;     // Screen: the logical size worth drawing; empty: all of `drawn`
    double displayDpiX = 96;
    double displayDpiY = 96;
    double deviceDpiX = 96; // Paper: the device's dots per inch
    double deviceDpiY = 96;
    bool showTexts = true;
    std::int64_t now = 0; // the moment drawn, seconds since 1970 UTC
};

class PagePainter {
public:
    explicit PagePainter(const PageOptions& page) : m_page(page) {}

    // What the renderer needs to paint this page's points (also for the window's ticks).
    RenderContext pointContext() const;
    // The picture alone, as the medium draws it; the painter's state is left as it was.
    void paintPicture(QPainter& painter, Picture& picture) const;
    // The whole page: on paper the surface first gets the page mapping; then the picture,
    // then every point afresh through `renderer` (DrawPoints: phases advance).
    void paintPage(DrawingSurface& surface, Picture& picture, PointRenderer& renderer,
                   PointList& points) const;

private:
    PageOptions m_page;
};
