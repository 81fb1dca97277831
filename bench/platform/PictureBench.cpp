// Opening and repainting pictures: the first full paint of a 24-megapixel JPEG in fit mode
// against a bare full-size decode of the same file, fit-mode repaints of a 100-megapixel
// picture, zoom-mode repaints at high zoom, and switching a 100-megapixel JPEG to Full Size
// with the full pixels decoded in the background against decoding them in the draw.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include "BenchPictures.h"
#include "JpegStructure.h"
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

// (1a') The same decode through PictureDecoder, whose image is made on huge pages: the
// difference to (1a) is the cost of faulting in 96 MB a page at a time.
void BM_DecoderFullRead24MP(benchmark::State& state) {
    for (auto _ : state) {
        PictureFailure failure;
        QImage image =
            PictureDecoder::Decode(PhotoPath(), QSize(), PictureDecoder::MachineBudget(), failure);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DecoderFullRead24MP)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// (1a'') The marker walk every whole or reduced JPEG decode begins with (scans counted, the end
// marker looked for): its share of (1a') and (1b).
void BM_JpegMarkerWalk24MP(benchmark::State& state) {
    for (auto _ : state) {
        const JpegStructure s = JpegStructureReader::Read(PhotoPath());
        benchmark::DoNotOptimize(s.scans);
        state.counters["complete"] = s.complete ? 1 : 0;
    }
}
BENCHMARK(BM_JpegMarkerWalk24MP)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

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

// (4) Full Size on a 100-megapixel JPEG opened in fit mode. range(0): 0 is the former path,
// the whole picture decoded in the switch itself; 1 is the view's path, the region around the
// view decoded in the background while the reduced copy stands in; 2 is that region decoded at
// once (a picture without a handler, as a renderer without an event loop draws). The switch
// runs as an event, with a 1 ms timer ticking throughout; the longest gap between ticks is the
// longest time an event waited. Counters: that gap, the switch draw itself, the resident
// memory grown at 1:1 with the final pixels there, and the first fit repaint after going
// back. Wall time per iteration: from the switch to the final pixels drawn.
QString Photo100Path() {
    static const QString path = [] {
        const QString p = g_dir->filePath(QStringLiteral("photo100.jpg"));
        BenchPictures::WritePhotoJpeg(p, 12000, 8400);
        return p;
    }();
    return path;
}

double ResidentMb() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_FullSizeSwitch100MP(benchmark::State& state) {
    const bool whole = state.range(0) == 0;
    const bool background = state.range(0) == 1;
    const QString path = Photo100Path();
    QImage surface = Viewport();
    double longestMs = 0;
    double switchMs = 0;
    double grownMb = 0;
    double fitBackMs = 0;
    for (auto _ : state) {
        const double baseline = ResidentMb();
        auto picture = Picture::Load(path, kWindowWidth);
        const QRect fit(0, 0, kWindowWidth, Picture::FitHeight(picture->size(), kWindowWidth));
        const QRect full(QPoint(0, 0), picture->size());
        const QRect visible(full.center(), QSize(kWindowWidth, kViewportHeight));
        std::unique_ptr<Picture> decodedWhole;
        auto draw = [&](const QRect& target, const QRect& shown) {
            surface.fill(Qt::white);
            QPainter painter(&surface);
            painter.translate(-shown.topLeft());
            (decodedWhole ? decodedWhole : picture)->drawScaled(painter, target, shown);
        };
        draw(fit, QRect(QPoint(0, 0), surface.size()));

        bool done = false;
        if (background) {
            picture->setFullPixelsHandler([&] {
                draw(full, visible);
                done = true;
            });
        }
        QElapsedTimer clock;
        clock.start();
        qint64 last = -1;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, last < 0 ? 0 : now - last);
            last = now;
        });
        ticker.start();
        while (last < 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        qint64 switchStart = 0;
        QTimer::singleShot(0, [&] {
            switchStart = clock.nsecsElapsed();
            if (whole) {
                PictureFailure failure;
                decodedWhole = Picture::FromImage(PictureDecoder::Decode(
                    path, QSize(), PictureDecoder::MachineBudget(), failure));
            }
            draw(full, visible);
            switchMs = double(clock.nsecsElapsed() - switchStart) / 1e6;
            done = done || !picture->isDecoding();
        });
        while (!done) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const qint64 arrived = clock.nsecsElapsed();
        const qint64 lastTick = last;
        while (last == lastTick) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        ticker.stop();
        state.SetIterationTime(double(arrived - switchStart) / 1e9);
        longestMs = double(longest) / 1e6;
        grownMb = ResidentMb() - baseline;

        QElapsedTimer back;
        back.start();
        // The former path went back to fit from the full pixels, its fit copy dropped.
        draw(fit, QRect(QPoint(0, 0), surface.size()));
        fitBackMs = double(back.nsecsElapsed()) / 1e6;
        benchmark::DoNotOptimize(surface.constBits());
    }
    state.counters["longestEventWaitMs"] = longestMs;
    state.counters["switchDrawMs"] = switchMs;
    state.counters["grownAt1to1MB"] = grownMb;
    state.counters["fitBackMs"] = fitBackMs;
}
BENCHMARK(BM_FullSizeSwitch100MP)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("path")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

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
