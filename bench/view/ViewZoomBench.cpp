// What one zoom step about a corner of a 1600 x 1000 window costs, next to a full repaint at the
// same zoom (the floor: a zoom step repaints in full once) and to the scroll the step makes
// (what painting the moved-in strips would add if the scroll bars' moves were not left to the
// full repaint). Zoom 1.0 shows the picture's cached scaled copy; zoom 8 draws only the part in
// view, scaled afresh. The picture (3000 x 2000) goes to $ZELVOR_BENCH_DIR, or the system's
// temporary folder.
#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <memory>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "AppServices.h"
#include "CZelvorView.h"

namespace {

constexpr QSize kWindow(1600, 1000);
constexpr double kStep = 1.1;

class BenchView : public CZelvorView {
public:
    using CZelvorView::CZelvorView;
    using CZelvorView::RedrawWindow;
};

struct Fixture {
    BenchFolder folder{"zelvor-viewzoom"};
    AppServices services{folder.path.string()};
    std::unique_ptr<BenchView> view;

    Fixture() {
        QImage picture(3000, 2000, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                row[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
            }
        }
        const std::string path = folder.file("plan.png");
        if (!picture.save(QString::fromStdString(path))) {
            throw std::runtime_error("cannot write the benchmark's picture");
        }
        view = std::make_unique<BenchView>(services);
        view->resize(kWindow);
        view->show();
        QApplication::processEvents();
        view->OnInitialUpdate(path, "plan.png");
        QApplication::processEvents();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Enters zoom mode at `zoom`, scrolled to the middle.
BenchView& ViewAt(double zoom) {
    BenchView& view = *fixture().view;
    if (!view.IsZoomMode()) {
        view.OnViewFullSize();
    }
    view.ZoomAbout(zoom / view.zoom(), QPointF(0, 0));
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    return view;
}

void BM_ZoomStep(benchmark::State& state) {
    BenchView& view = ViewAt(static_cast<double>(state.range(0)));
    const QPointF corner(kWindow.width() - 100, kWindow.height() - 100);
    bool in = true;
    for (auto _ : state) {
        view.ZoomAbout(in ? kStep : 1 / kStep, corner);
        in = !in;
    }
}

void BM_FullRepaint(benchmark::State& state) {
    BenchView& view = ViewAt(static_cast<double>(state.range(0)));
    for (auto _ : state) {
        view.RedrawWindow();
    }
}

// The scroll a step about the corner makes at this zoom, back and forth.
void BM_ScrollOfAStep(benchmark::State& state) {
    const double zoom = static_cast<double>(state.range(0));
    BenchView& view = ViewAt(zoom);
    QScrollBar* h = view.horizontalScrollBar();
    QScrollBar* v = view.verticalScrollBar();
    const int x = h->value();
    const int y = v->value();
    const int dx = static_cast<int>((x + kWindow.width() - 100) * (kStep - 1));
    const int dy = static_cast<int>((y + kWindow.height() - 100) * (kStep - 1));
    bool out = true;
    for (auto _ : state) {
        h->setValue(out ? x + dx : x);
        v->setValue(out ? y + dy : y);
        out = !out;
    }
}

BENCHMARK(BM_ZoomStep)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRepaint)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollOfAStep)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

} // namespace
