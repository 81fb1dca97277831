// The map view: one picture with its points in a document window. It owns its picture and its
// point list; it paints the picture on every full repaint and the points on a 300 ms timer,
// straight onto a persistent window surface, without erasing, which is what makes points flash.
//
// The window surface is an image the size of the viewport (at the screen's device pixel ratio):
// a full repaint clears it and draws the picture into it at once; every timer tick paints the
// points over whatever is there; a drag writes its red trail pixels into it; paintEvent only
// copies it to the screen. A resize is a full repaint; a scroll moves the surface's pixels and
// draws the picture into the strip that comes into view. A tick repaints only what changed
// and sends only that to the screen.
//
// The map file is read once, when the picture has decoded. Every change the user makes reaches
// it shortly after (MapSaver: write-behind, in the background, never during a drag or under a
// modal dialog), and it is written once more when the window closes (CloseMap), or quietly by
// the destructor for hosts that never call CloseMap. A view without a picture never writes a
// map; a map that could not be read is never overwritten. Another writer's changes to the same
// map are merged or kept aside; the user is told which file holds the other version.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MapFiles.h"
#include "MapSaver.h"
#include "PointList.h"
#include "PointRenderer.h"

class Picture;
class QMessageBox;
class QPainter;
class QPaintDevice;
class DrawingSurface;
struct DrawnSize;

class CZelvorView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Runs the Point dialog over `parent` on the given copies; true for OK. The application
    // installs the real dialog; tests may install their own. Without a runner a double-click
    // behaves as if the dialog had been cancelled.
    using PointDialogRunner =
        std::function<bool(QWidget* parent, PointRecord& rec, std::string& label,
                           std::string& sinceText, std::string& memo)>;
    static void SetPointDialogRunner(PointDialogRunner runner);

    explicit CZelvorView(QWidget* parent = nullptr);
    // Saves the map quietly if CloseMap has not settled it (hosts and tests that just delete
    // the view), then frees the picture.
    ~CZelvorView() override;

    // Decodes the picture at `path` (file name `fileName`), and when that succeeded sets the
    // zoom to 1.0, loads the picture's map from g_strBaseDir and starts the paint timer.
    // A failed decode (empty strings included) gives a blank view: no map read, no timer, no
    // message box, and it never writes a map; a file that could not be shown is named in a
    // notice painted in the view, with the reason. Full pixels decode in the background. A map that
    // exists but cannot be read leaves the picture without points and tells the user once; that
    // file is never overwritten. Call once.
    void OnInitialUpdate(const std::string& path, const std::string& fileName);

    // Writes the map as the window is about to close. On failure the user is told which file
    // could not be written and why, and may retry, discard the points or keep the window open:
    // false means keep it open. Views that must not write (blank, unreadable map with no points
    // added) return true without writing. An unreadable map to which points were added is first
    // renamed aside ("<map>.bad", ".bad2", ...), then the new list is saved.
    bool CloseMap();

    // Commands. Full Size toggles zoom mode (entering it at zoom 1.0); Zoom Plus and Zoom Minus
    // multiply the zoom by 1.1 and 0.9 about the middle of the view, in zoom mode only (in fit
    // mode they do nothing, not even a repaint); Show Texts hides or shows every point. Each
    // change repaints in full.
    void OnViewFullSize();
    void OnViewZoomPlus();
    void OnViewZoomMinus();
    void OnViewShowTexts();
    // Fit Picture shows the whole picture inside the window, centred; chosen again it returns
    // to fitting the width. Full Size leaves it (and leaving Full Size fits the width).
    void OnViewFitPicture();
    // Zooms by `factor` (within kMinZoom..kMaxZoom) keeping the picture point under `anchor`
    // (viewport coordinates) where it is, as far as the scroll range allows. In either fit mode
    // it first enters zoom mode at the fitted scale. Zoom Plus and Zoom Minus zoom about the
    // middle of the view. False when nothing changed (no picture, or at a bound).
    bool ZoomAbout(double factor, QPointF anchor);
    // Update rules: Full Size checked in zoom mode, Zoom Plus/Minus enabled in zoom mode,
    // Fit Picture checked while it fits the whole picture, Show Texts checked while points
    // are shown.
    bool IsZoomMode() const { return m_bZoomMode; }
    bool IsFitPicture() const { return !m_bZoomMode && m_bFitPicture; }
    bool IsShowTexts() const { return m_bShowTexts; }
    bool HasPicture() const { return m_pImage != nullptr; }

    // Prints or previews one page: one display pixel (the screen's logical dpi) maps to the
    // printer's resolution, the picture at its drawn size from its full-size pixels, the points
    // without scroll offset. Never starts a second page.
    void PrintPage(QPaintDevice* page);
    // The same onto any painter whose device has `deviceDpiX` x `deviceDpiY` dots per inch,
    // one logical unit being one pixel of a `displayDpiX` x `displayDpiY` display.
    void PrintPage(QPainter& painter, double displayDpiX, double displayDpiY, double deviceDpiX,
                   double deviceDpiY);

    // The renderer: paints every point on `surface` at `zoom` and advances flash phases. On the
    // screen positions are offset by the scroll position; while printing they are not.
    void DrawPoints(DrawingSurface& surface, double zoom);
    // The hit test: index of the first point within 15 picture pixels of a client position.
    int FindPointAt(int x, int y) const;

    // Mouse handlers, called from Qt's mouse events with the keyboard modifiers and the cursor
    // in viewport (client) coordinates.
    void OnLButtonDown(Qt::KeyboardModifiers keys, QPoint point);
    void OnMouseMove(Qt::KeyboardModifiers keys, QPoint point);
    void OnLButtonUp(Qt::KeyboardModifiers keys, QPoint point);
    void OnLButtonDblClk(Qt::KeyboardModifiers keys, QPoint point);
    void OnRButtonDblClk(Qt::KeyboardModifiers keys, QPoint point);

    // Scrolls so that point `index` sits in the middle of the window, as far as the scroll
    // range allows (in a fit mode the picture may not scroll at all).
    void CentreOnPoint(int index);
    // Removes the points at these indices (any order, repeats ignored) and saves soon.
    void RemovePoints(std::vector<int> indices);

    const PointList& points() const { return m_list; }
    PointList& points() { return m_list; }
    double zoom() const { return m_dZoom; }
    const std::string& mapPath() const { return m_strMapPath; }
    // The map's write-behind saves: their timing, their state and their signals.
    MapSaver& mapSaver() { return m_saver; }
    int dragIndex() const { return m_nDragIndex; }
    bool isTimerRunning() const { return m_timer.isActive(); }
    // The drawn-picture position of the viewport's top-left corner: the scroll bars' values,
    // less the margin that centres the picture in Fit Picture. Every conversion between client
    // and picture coordinates adds it to the client position.
    QPoint scrollPosition() const;
    // The persistent window surface (what the user sees).
    const QImage& surfaceImage() const { return m_surface; }
    // Number of full repaints so far.
    int fullRepaintCount() const { return m_nFullRepaints; }

signals:
    // The point list changed: an edit, a removal, a merge from another writer, a load.
    void pointsChanged();

protected:
    // Full repaint: clear the surface, draw the picture (OnDraw), schedule a blit.
    void RedrawWindow();
    // Draws the picture (and, while printing, the points) and sets the scroll sizes.
    void OnDraw(DrawingSurface& surface);
    // One timer tick: the points over the surface, then a blit.
    void OnTimer();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The runner SetPointDialogRunner installed (empty when none).
    static PointDialogRunner& InstalledRunner();
    void StartTimer();
    // What the renderer needs of the view to draw the points at `zoom`.
    RenderContext PointContext(double zoom) const;
    void SetScrollSizes(int extentW, int extentH);
    // The drawn size of the picture in the current mode; the fit modes set m_dZoom from it.
    DrawnSize DrawnPictureSize();
    // Fit Picture's margins around the drawn picture (0, 0 in the other modes).
    QPoint CentringOffset() const;
    // Marks the list as changed by the user since the map was last settled, and saves it soon.
    void ListChanged() {
        m_bMapSettled = false;
        m_saver.Changed();
        m_renderer.invalidate();
        emit pointsChanged();
    }
    // Tells the user where a version of the map was kept aside.
    void OnMapKeptAside(const QString& path, bool unreadable);
    // Writes the map when the view holds something to write. `quiet` suppresses every
    // question (the destructor); otherwise a failure asks Retry / Discard / Cancel.
    bool SaveMapAtClose(bool quiet);

    bool m_bZoomMode = false;
    // Outside zoom mode: fit the whole picture instead of the width.
    bool m_bFitPicture = false;
    bool m_bShowTexts = true;
    bool m_bPrinting = false;
    int m_nDragIndex = -1;
    double m_dZoom = 1.0;
    std::string m_strMapPath;
    std::string m_strPath;
    std::string m_strFileName;
    std::unique_ptr<Picture> m_pImage;
    // What a blank view paints in place of a picture that could not be shown.
    QString m_notice;
    PointList m_list;

    // True once CloseMap has saved, discarded or deliberately left the map; any later edit
    // clears it so that the destructor saves again.
    bool m_bMapSettled = false;
    MapSaver m_saver;
    QPointer<QMessageBox> m_keptAsideNotice;

    PointRenderer m_renderer;
    QBasicTimer m_timer;
    QImage m_surface;
    bool m_bInRedraw = false;
    bool m_bRedrawAgain = false;
    int m_nFullRepaints = 0;
    // The last zoom about a point: the anchor, the exact picture point under it, and the
    // scroll position that zoom left. A next zoom about the same anchor from that position
    // starts from the exact point.
    QPointF m_zoomAnchor{-1, -1};
    QPointF m_zoomPicturePoint;
    QPoint m_zoomScroll;
};
