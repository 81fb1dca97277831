// The map view: one picture with its points in a document window. It owns its picture and its
// point list; it paints the picture on every full repaint and the points on a 300 ms timer,
// straight onto a persistent window surface, without erasing, which is what makes points flash.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QImage>

#include <functional>
#include <memory>
#include <string>

#include "MapFiles.h"
#include "PointList.h"

class Picture;
class QPrinter;
class DrawingSurface;

class CZelvorView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Runs the Point dialog over `parent` on the given copies; true for OK. The application
    // installs the real dialog; tests may install their own.
    using PointDialogRunner = std::function<bool(QWidget* parent, PointRecord& rec,
                                                 std::string& label, std::string& sinceText,
                                                 std::string& memo)>;
    static void SetPointDialogRunner(PointDialogRunner runner);

    explicit CZelvorView(QWidget* parent = nullptr);
    // Saves the map if CloseMap has not done so (quietly), then frees the picture.
    ~CZelvorView() override;

    // Decodes the picture at `path` (file name `fileName`), and when that succeeded sets the
    // zoom to 1.0, loads the picture's map from g_strBaseDir and starts the paint timer.
    // Empty strings give a blank view that never writes a map.
    void OnInitialUpdate(const std::string& path, const std::string& fileName);

    // Writes the map as the window is about to close. On failure the user is told which file
    // could not be written and why, and may retry or keep the window open: false means keep
    // it open. Views that must not write (blank, unreadable map left untouched) return true.
    bool CloseMap();

    // Commands and their update rules.
    void OnViewFullSize();
    void OnViewZoomPlus();
    void OnViewZoomMinus();
    void OnViewShowTexts();
    bool IsZoomMode() const { return m_bZoomMode; }
    bool IsShowTexts() const { return m_bShowTexts; }
    bool HasPicture() const { return m_pImage != nullptr; }

    // Prints or previews one page: one display pixel (the screen's logical dpi) maps to the
    // printer's resolution, the picture at its drawn size, the points without scroll offset.
    void PrintPage(QPrinter* printer);

    // The renderer: paints every point on `surface` at `zoom` and advances flash phases.
    void DrawPoints(DrawingSurface& surface, double zoom);
    // The hit test: index of the first point within 15 picture pixels of a client position.
    int FindPointAt(int x, int y) const;

    const PointList& points() const { return m_list; }
    PointList& points() { return m_list; }
    double zoom() const { return m_dZoom; }
    const std::string& mapPath() const { return m_strMapPath; }
    bool isTimerRunning() const { return m_timer.isActive(); }
    // The persistent window surface (what the user sees).
    const QImage& surfaceImage() const { return m_surface; }

protected:
    // Full repaint: clear the surface, draw the picture (OnDraw), schedule a blit.
    void RedrawWindow();
    void OnDraw(DrawingSurface& surface);
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
    bool m_bZoomMode = false;
    bool m_bShowTexts = true;
    bool m_bPrinting = false;
    int m_nDragIndex = -1;
    double m_dZoom = 1.0;
    std::string m_strMapPath;
    std::string m_strPath;
    std::string m_strFileName;
    std::unique_ptr<Picture> m_pImage;
    PointList m_list;

    QBasicTimer m_timer;
    QImage m_surface;
};
