// Shared set-up for the view tests: a temporary start-up directory with its MAPS folder, real
// picture files, a fixed clock, and the seams (status pane, message box, Point dialog) answered
// and recorded.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "AppServices.h"
#include "CZelvorView.h"
#include "PointRecord.h"

// Exposes the view's repaint and tick so tests need not wait for the timer.
class TestView : public CZelvorView {
public:
    using CZelvorView::CZelvorView;
    using CZelvorView::OnTimer;
    using CZelvorView::RedrawWindow;
};

// What the Point dialog runner saw and what it does.
struct DialogCall {
    PointRecord rec{};
    std::string label;
    std::string sinceText;
    std::string memo;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string base() const { return m_dir.path().toStdString(); }
    // The services every view of the test gets: the temporary start-up folder, a fixed clock
    // (m_now), and the recorders below.
    AppServices& services() { return *m_services; }
    std::string mapFile(const std::string& stem) const { return base() + "/MAPS/" + stem + ".map"; }

    // Writes a picture of one solid colour; returns its full path.
    std::string writePicture(const std::string& name, int w, int h, QColor color) const;
    // Writes arbitrary bytes; returns the full path.
    std::string writeFile(const std::string& path, const std::string& bytes) const;
    static std::string readFile(const std::string& path);
    static bool exists(const std::string& path);

    // Services over the start-up folder `baseDir` with the test's clock and recorders.
    std::unique_ptr<AppServices> makeServices(const std::string& baseDir);

    // A shown view of `w` x `h` over `pictureName` (already written, in base()), initialised;
    // on `map` when given (several views of one picture), else on a map of its own; with
    // `services` when given, else with services().
    std::unique_ptr<TestView> openView(const std::string& pictureName, int w = 500, int h = 400,
                                       std::shared_ptr<OpenMap> map = nullptr,
                                       AppServices* services = nullptr);

    // A visible point: square of half-side 4 in `rectColor`, cross 3, the label.
    static PointRecord makePoint(double x, double y, COLORREF rectColor = RGB(255, 0, 255));

    // The Point dialog: records each call; `edit` may change the copies; OK when `m_dialogOk`,
    // with "Apply to all points" when `m_dialogApplyToAll`.
    std::vector<DialogCall> m_dialogCalls;
    std::function<void(PointRecord&, std::string&, std::string&, std::string&)> m_dialogEdit;
    bool m_dialogOk = true;
    bool m_dialogApplyToAll = false;

    // Message boxes: recorded texts, answered with the front of `m_answers` (or OK/Yes).
    QStringList m_messages;
    std::vector<QMessageBox::StandardButton> m_answers;
    std::function<void()> m_onMessage;

    QStringList m_status;
    std::int64_t m_now = 1'700'000'000;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppServices> m_services;
};

// Real mouse events on the view's viewport.
void DoubleClick(CZelvorView& view, Qt::MouseButton button, QPoint pos,
                 Qt::KeyboardModifiers keys = Qt::NoModifier);
void HoverTo(CZelvorView& view, QPoint pos);

// The surface pixel at a client position, as a COLORREF.
COLORREF SurfacePixel(const CZelvorView& view, int x, int y);
// True when `c` is within `tol` of `expected` in every channel.
bool Near(COLORREF c, COLORREF expected, int tol = 3);
