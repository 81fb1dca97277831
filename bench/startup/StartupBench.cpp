// Start-up to the first paint of a small picture (a 0.7-megapixel JPEG): Zelvor's own start-up
// and open, against a minimal Qt viewer. Each run starts the program afresh and times it from
// the start of the process to the line it prints once the picture's widget has painted (see
// FirstPaintProbe). Both run headless unless QT_QPA_PLATFORM says otherwise, in a scratch
// folder with their own settings.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Scratch {
    QTemporaryDir dir;
    QString picture;

    Scratch() {
        // Smooth shapes and some texture, so the JPEG decodes like a photo, not a flat fill.
        QImage image(1000, 700, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                line[x] = qRgb((x * 255) / 1000, (y * 255) / 700, ((x ^ y) * 7) & 0xFF);
            }
        }
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < 40; ++i) {
            painter.setBrush(QColor::fromHsv((i * 37) % 360, 160, 220));
            painter.drawEllipse(QPoint((i * 97) % 1000, (i * 53) % 700), 30 + i, 20 + i);
        }
        painter.end();
        picture = dir.filePath(QStringLiteral("harbour.jpg"));
        image.save(picture, "JPG", 90);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void RunToFirstPaint(benchmark::State& state, const char* program) {
    Scratch& s = scratch();
    const QString executable = QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                               QString::fromLatin1(program);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), s.dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), s.dir.filePath(QStringLiteral("config")));
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(s.dir.path());
        QElapsedTimer clock;
        clock.start();
        process.start(executable, {s.picture});
        bool painted = process.waitForStarted(10000);
        while (painted && !process.canReadLine()) {
            painted = process.waitForReadyRead(10000);
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        process.waitForFinished(10000);
        if (!painted || process.readLine().trimmed() != "painted") {
            state.SkipWithError("the program did not paint its picture");
            break;
        }
    }
}

void BM_StartupPeerViewer(benchmark::State& state) {
    RunToFirstPaint(state, "bench_startup_peer");
}

void BM_StartupZelvor(benchmark::State& state) {
    RunToFirstPaint(state, "bench_startup_zelvor");
}

} // namespace

BENCHMARK(BM_StartupPeerViewer)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_StartupZelvor)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
