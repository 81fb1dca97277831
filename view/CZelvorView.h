// The map view: one picture with its points in a document window. It owns its picture; the
// points belong to the picture's OpenMap, shared with every other view of the same picture
// (each view keeps its own zoom and scroll position). It paints the picture on every full
// repaint and the points on the map's 300 ms tick, straight onto a persistent window surface,
// without erasing, which is what makes points flash.
//
// The window surface is an image the size of the viewport (at the screen's device pixel ratio):
// a full repaint clears it and draws the picture into it at once; every timer tick paints the
// points over whatever is there; a drag writes its red trail pixels into it; paintEvent only
// copies it to the screen. A resize is a full repaint; a scroll moves the surface's pixels and
// draws the picture into the strip that comes into view. A tick repaints only what changed
// and sends only that to the screen. The picture, the printed page and the points all go
// through PagePainter. The scroll ranges follow the drawn picture's size and are set whenever
// it can change (a new picture, a resize, a zoom or mode change), never while painting, so a
// repaint is one pass.
//
// The map file is read once per map, when the first view's picture has decoded. Every change the
// user makes is a step on the map and reaches the file shortly after (MapSaver: write-behind, in
// the background, never during a drag, whatever dialog is open), and it is written once more
// when the window closes (CloseMap), or quietly when the map goes for hosts that never call
// CloseMap. A view without a picture never writes a map; a map that could not be read is never
// overwritten. Another writer's changes to the same map are merged or kept aside; the user is
// told which file holds the other version. A change made in another view of the map shows here
// at the next tick.
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
#include <optional>
#include <string>
#include <vector>

#include "AppServices.h"
#include "BackgroundJob.h"
#include "MapFiles.h"
#include "MapSaver.h"
#include "OpenMap.h"
#include "PagePainter.h"
#include "Picture.h"
#include "PointList.h"
#include "PointRenderer.h"
#include "PointSelection.h"
#include "SelectionMarks.h"
#include "ViewGeometry.h"

class QMessageBox;
class QRubberBand;
class ViewNavigation;
class QPainter;
class QPaintDevice;
class DrawingSurface;

class CZelvorView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A view with a map of its own; SetMap before OnInitialUpdate shares another one.
    // `services` (the start-up folder, the defaults, the clock, questions, the status pane, the
    // Point dialog) must outlive the view.
    explicit CZelvorView(AppServices& services, QWidget* parent = nullptr);
    // Leaves the map, which saves quietly when its last owner lets it go unsettled.
    ~CZelvorView() override;

    // Shows and edits `map` (the document's) instead of a map of its own. Call before
    // OnInitialUpdate.
    void SetMap(std::shared_ptr<OpenMap> map);
    OpenMap& map() { return *m_map; }
    const OpenMap& map() const { return *m_map; }
    AppServices& services() const { return m_services; }

    // Decodes the picture at `path` (file name `fileName`), and when that succeeded sets the
    // zoom to 1.0, loads the picture's map from the start-up folder unless the map was read
    // already,
    // and starts ticking with the map.
    // A failed decode (empty strings included) gives a blank view: no map read, no timer, no
    // message box, and it never writes a map; a file that could not be shown is named in a
    // notice painted in the view, with the reason. Full pixels decode in the background. A map that
    // exists but cannot be read leaves the picture without points and tells the user once; that
    // file is never overwritten. Call once.
    // When the services open pictures in the background, the picture is opened on a worker
    // (BackgroundJob): the view shows a "loading" notice and answers input until it arrives, and
    // what is said above happens then; the map is then read on a worker too
    // (OpenMap::LoadInBackground), the picture showing without points until they arrive.
    // Otherwise both happen at once, within OnInitialUpdate.
    void OnInitialUpdate(const std::string& path, const std::string& fileName);
    // True while the picture is still being opened in the background.
    bool IsOpening() const { return m_opening.isRunning(); }
    // The notice the view paints instead of its picture (opening, or why it cannot be shown);
    // empty when there is none.
    const QString& notice() const { return m_notice; }

    // Writes the map as the window is about to close. On failure the user is told which file
    // could not be written and why, and may retry, discard the points or keep the window open:
    // false means keep it open. Views that must not write (blank, unreadable map with no points
    // added) return true without writing. An unreadable map to which points were added is first
    // renamed aside ("<map>.bad", ".bad2", ...), then the new list is saved. After a request to
    // quit (AppServices::quitRequested, also while the question is open) nothing is asked: a failed
    // save writes the points to a recovery copy (WriteRecoveryCopy), says where on standard error,
    // and returns true. A view destroyed with a map it could not save does the same.
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

    // The hit test: index of the first point within 15 picture pixels of a client position.
    int FindPointAt(int x, int y) const;

    // The points selected in this view (each view has its own). Selected points are marked on
    // the window surface (never on a printed page); with none selected nothing is drawn.
    PointSelection& selection() { return m_selection; }
    const PointSelection& selection() const { return m_selection; }

    // Edit commands on the map and this view's selection. Each change is one step.
    bool CanEdit() const { return m_pImage != nullptr && m_map->isLoaded() && !isBusy(); }
    void OnEditUndo();
    void OnEditRedo();
    // Removes the selection after one question (the point's label, or the count); `name`
    // names the step ("Delete", "Cut"); false when nothing was removed.
    bool OnEditDelete(const std::string& name = "Delete");
    void OnEditSelectAll();
    // Adds `entries` as one step named `name` and selects them. A point that would lie
    // exactly over a point of the map with the same record and texts moves by 10 picture
    // pixels right and down (again while taken); positions outside the picture move onto its
    // edge. Returns how many were moved onto the edge.
    int PasteEntries(std::vector<PointEntry> entries, const std::string& name);
    // A drag or rubber band is in progress: keys and edit commands wait.
    bool isBusy() const { return !m_dragIds.empty() || m_bBand; }

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

    const PointList& points() const { return m_map->list(); }
    double zoom() const { return m_dZoom; }
    const std::string& mapPath() const { return m_strMapPath; }
    // The map's write-behind saves: their timing, their state and their signals.
    MapSaver& mapSaver() { return m_map->saver(); }
    // The index of the point the drag holds, or -1.
    int dragIndex() const;
    // Whether the map's tick paints this view (not during a drag).
    bool isTicking() const { return m_bTicking; }
    // The map's tick: a pending full repaint (another view changed the points), then the
    // points; `advancePhases` as RenderContext has it.
    void TickPoints(bool advancePhases);
    // The drawn-picture position of the viewport's top-left corner: the scroll bars' values,
    // less the margin that centres the picture in Fit Picture. Every conversion between client
    // and picture coordinates adds it to the client position.
    QPoint scrollPosition() const;
    // The persistent window surface (what the user sees).
    const QImage& surfaceImage() const { return m_surface; }
    // Number of full repaints so far.
    int fullRepaintCount() const { return m_nFullRepaints; }

protected:
    // Full repaint: clear the surface, draw the picture (OnDraw), schedule a blit.
    void RedrawWindow();
    // Draws the picture (or the notice of a view without one) onto the window surface at the
    // current scroll position. Painting never changes the scroll sizes (UpdateScrollSizes).
    void OnDraw(DrawingSurface& surface);
    // One tick of this view alone: the points over the surface, then a blit; phases move on.
    void OnTimer() { TickPoints(true); }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Runs the Point dialog on `shown`, keeping the window until it returns; the result on OK.
    std::optional<PointDialogResult> RunDialogOn(const PointEntry& shown);
    void StartTimer();
    // The page the window shows now: the picture at its drawn size and zoom, seen from the
    // scroll position through the viewport, at the clock's current time.
    PageOptions ScreenPage() const;
    void SetScrollSizes(int extentW, int extentH);
    // The drawn size of the picture in the current mode; `zoom` receives the fit modes' scale.
    DrawnSize DrawnPictureSize(double& zoom) const;
    // Decides the drawn size (m_drawn) and, in the fit modes, the zoom, and sets the scroll
    // ranges from them. Called whenever they can change: a new picture, a resize, a zoom or
    // mode change; never while painting. The scroll position may move into the new range.
    void UpdateScrollSizes();
    // Fit Picture's margins around the drawn picture (0, 0 in the other modes).
    QPoint CentringOffset() const;
    // The points changed (here or in another view): the next tick repaints in full.
    void OnPointsChanged();
    // The selection changed: the next tick repaints in full, with the new marks.
    void OnSelectionChanged();
    // Marks the selected points that reach into `area` on the surface; returns what it drew.
    QRegion DrawSelectionMarks(const QRegion& area);
    // Keys: arrows nudge, Delete, Enter, Tab / Shift+Tab, Esc. False: not ours.
    bool OnKey(int key, Qt::KeyboardModifiers keys);
    // Selects the points whose positions lie in `band` (client rectangle); `add` keeps the rest.
    void SelectInBand(const QRect& band, bool add);
    // Selects point i alone and scrolls it into view.
    void SelectAndShow(int i);
    // The Point dialog over several selected points: its look (and its since date, when changed
    // in the dialog) goes to all of them in one step; positions and texts stay.
    void RunBulkDialog();
    // The Point dialog on point i (-1: a new point at client position `at`).
    void RunPointDialog(int i, QPoint at);
    // The Point dialog's result as one step: an edit of point `id` (0: a new point; a point
    // removed while the dialog was open comes back as new), after the look of every point
    // with `applyToAll`. Before the map's points have arrived it waits for them.
    void ApplyPointDialog(PointId id, const PointEntry& entry, bool applyToAll);
    // Tells the user where a version of the map was kept aside.
    void OnMapKeptAside(const QString& path, bool unreadable);
    // Draws the part of the surface that shows `pictureRect` (full-size picture pixels) again,
    // picture then points, where a tiled picture became sharper.
    void RepaintPicturePart(const QRect& pictureRect);
    // Takes the opened picture (null: it cannot be shown, for `failure`), then the map.
    void PictureOpened(std::unique_ptr<Picture> picture, const PictureFailure& failure);
    // Tells the user once that the map file could not be read, when that is so.
    void ReportMapLoad();
    // Writes the points to a recovery copy after `failure` and says where on standard error.
    void KeepRecoveryCopy(const FileResult& failure);
    // Writes the map when the view holds something to write. `quiet` suppresses every
    // question (the destructor); a failure then, or after a request to quit, goes to a recovery
    // copy; otherwise a failure asks Retry / Discard / Cancel.
    bool SaveMapAtClose(bool quiet);

    bool m_bZoomMode = false;
    // Outside zoom mode: fit the whole picture instead of the width.
    bool m_bFitPicture = false;
    bool m_bShowTexts = true;
    bool m_bTicking = false;
    bool m_bRepaintPending = false;
    // The points a drag holds (the one pressed on first), empty without a drag.
    std::vector<PointId> m_dragIds;
    PointId m_dragLead = 0;
    bool m_bDragMoved = false;
    Qt::KeyboardModifiers m_pressKeys;
    // A rubber band from m_bandFrom (client position) while the button is held.
    bool m_bBand = false;
    QPoint m_bandFrom;
    QRubberBand* m_band = nullptr;
    // The last step was a nudge of this selection: the next arrow press joins it.
    bool m_bNudgeRun = false;
    PointSelection m_selection;
    SelectionMarks m_marks;
    // The wheel, pinch and pan gestures: a child filtering the view's events, removed first
    // when the view goes so that no event of its destruction reaches it half torn down.
    ViewNavigation* m_navigation = nullptr;
    std::vector<QRect> m_tickPieces; // reused
    std::uint64_t m_seenRemovals = 0;
    double m_dZoom = 1.0;
    std::string m_strMapPath;
    std::string m_strPath;
    std::string m_strFileName;
    std::unique_ptr<Picture> m_pImage;
    // The picture being opened in the background, and what that gives.
    struct OpenedPicture {
        std::unique_ptr<Picture> picture;
        PictureFailure failure;
    };
    BackgroundJob<OpenedPicture> m_opening;
    // What a blank view paints in place of a picture that could not be shown.
    QString m_notice;
    AppServices& m_services;
    std::shared_ptr<OpenMap> m_map;
    QPointer<QMessageBox> m_keptAsideNotice;

    PointRenderer m_renderer;
    QImage m_surface;
    // The zoom the surface's picture was drawn at: a scroll at another zoom has no pixels to
    // move (a full repaint follows every zoom change).
    double m_surfaceZoom = 1.0;
    // The drawn picture's size, decided by UpdateScrollSizes.
    DrawnSize m_drawn;
    int m_nFullRepaints = 0;
    // The last zoom about a point: the anchor, the exact picture point under it, and the
    // scroll position that zoom left. A next zoom about the same anchor from that position
    // starts from the exact point.
    QPointF m_zoomAnchor{-1, -1};
    QPointF m_zoomPicturePoint;
    QPoint m_zoomScroll;
};
