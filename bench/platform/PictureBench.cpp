// Opening and repainting pictures: the first full paint of a 24-megapixel JPEG in fit mode
// against a bare full-size decode of the same file, fit-mode repaints of a 100-megapixel
// picture, and zoom-mode repaints at high zoom.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "BenchPictures.h"
#include "Picture.h"

namespace {

constexpr int kPhotoWidth = 6000; // 24 megapixels
constexpr int kPhotoHeight = 4000;
constexpr int kWindowWidth = 1600;
constexpr int kViewportHeight = 1000;

QTemporaryDir* g_dir = nullptr;

QString PhotoPath() {
    return g_dir->filePath(QStringLiteral("photo24.jpg"));
}

const QImage& Decoded24() {
    static const QImage image = [] {
        QImageReader reader(PhotoPath());
        reader.setAutoTransform(false);
        return reader.read();
    }();
    return image;
}

const QImage& Picture100() {
    static const QImage image = BenchPictures::PhotoLike(12000, 8400); // 100.8 megapixels
    return image;
}

QImage Viewport() {
    QImage surface(kWindowWidth, kViewportHeight, QImage::Format_RGB32);
    surface.fill(Qt::white);
    return surface;
}

// (1a) The reference: a bare full-size decode of the 24-megapixel JPEG.
void BM_BareFullRead24MP(benchmark::State& state) {
    for (auto _ : state) {
        QImageReader reader(PhotoPath());
        QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_BareFullRead24MP)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// (1b) Opening in fit mode: from the start of the decode to the first full paint at 1600 px.
void BM_OpenFitFirstPaint24MP(benchmark::State& state) {
    QImage surface = Viewport();
    for (auto _ : state) {
        auto picture = Picture::Load(PhotoPath(), kWindowWidth);
        const int h = Picture::FitHeight(picture->size(), kWindowWidth);
        QPainter painter(&surface);
        picture->drawScaled(painter, QRect(0, 0, kWindowWidth, h), surface.rect());
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
        state.counters["fullDecoded"] = picture->hasFullPixels() ? 1 : 0;
    }
}
BENCHMARK(BM_OpenFitFirstPaint24MP)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// (2a) The first fit-mode paint of a 100-megapixel picture already in memory: one smoothing
// downscale to the window's width.
void BM_FitFirstPaint100MP(benchmark::State& state) {
    QImage surface = Viewport();
    const QImage& pixels = Picture100(); // made once, before timing
    for (auto _ : state) {
        auto picture = Picture::FromImage(pixels);
        const int h = Picture::FitHeight(picture->size(), kWindowWidth);
        QPainter painter(&surface);
        picture->drawScaled(painter, QRect(0, 0, kWindowWidth, h), surface.rect());
    }
}
BENCHMARK(BM_FitFirstPaint100MP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// (2b) Every later full repaint in fit mode (goal: under 5 ms).
void BM_FitRepaint100MP(benchmark::State& state) {
    QImage surface = Viewport();
    auto picture = Picture::FromImage(Picture100());
    const QRect target(0, 0, kWindowWidth, Picture::FitHeight(picture->size(), kWindowWidth));
    {
        QPainter painter(&surface);
        picture->drawScaled(painter, target, surface.rect());
    }
    for (auto _ : state) {
        surface.fill(Qt::white); // a full repaint clears the surface first
        QPainter painter(&surface);
        painter.translate(0, -300); // scrolled down a little
        picture->drawScaled(painter, target, QRect(0, 300, kWindowWidth, kViewportHeight));
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_FitRepaint100MP)->Unit(benchmark::kMicrosecond)->UseRealTime();

// (3) Zoom mode at zoom range(0) / 100: a repaint of the same view (range(1) == 0) or one
// that scrolled by 37 pixels since the last (range(1) == 1).
void ZoomRepaint(benchmark::State& state, const QImage& image) {
    const double zoom = double(state.range(0)) / 100.0;
    const bool scrolling = state.range(1) != 0;
    auto picture = Picture::FromImage(image);
    const QRect target(0, 0, int(image.width() * zoom), int(image.height() * zoom));
    QImage surface = Viewport();
    // Scrolls through the middle third of the target, never past its end.
    const int start = target.width() / 3;
    const int range = std::max(1, target.width() / 3 - kWindowWidth);
    {
        // The first paint at this zoom (it may build a reduced copy) is not a repaint.
        QPainter painter(&surface);
        painter.translate(-start, -start / 2);
        picture->drawScaled(painter, target,
                            QRect(start, start / 2, kWindowWidth, kViewportHeight));
    }
    int step = 0;
    for (auto _ : state) {
        const int scroll = start + (scrolling ? (step++ * 37) % range : 0);
        surface.fill(Qt::white);
        QPainter painter(&surface);
        painter.translate(-scroll, -scroll / 2);
        picture->drawScaled(painter, target,
                            QRect(scroll, scroll / 2, kWindowWidth, kViewportHeight));
        painter.end();
        benchmark::DoNotOptimize(surface.constBits());
    }
}
void BM_ZoomRepaint24MP(benchmark::State& state) {
    ZoomRepaint(state, Decoded24());
}
BENCHMARK(BM_ZoomRepaint24MP)
    ->ArgsProduct({{121, 800, 100000}, {0, 1}})
    ->ArgNames({"zoomx100", "scrolling"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Zoomed out on the 100-megapixel picture with a target too large to cache whole: drawn from
// the full pixels (0.9) or from a halved copy (0.45).
void BM_ZoomRepaint100MP(benchmark::State& state) {
    ZoomRepaint(state, Picture100());
}
BENCHMARK(BM_ZoomRepaint100MP)
    ->ArgsProduct({{45, 90}, {0, 1}})
    ->ArgNames({"zoomx100", "scrolling"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    if (!BenchPictures::WritePhotoJpeg(PhotoPath(), kPhotoWidth, kPhotoHeight)) {
        std::fprintf(stderr, "could not write the benchmark picture\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
