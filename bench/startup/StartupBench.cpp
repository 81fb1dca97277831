// Start-up to the first paint of a small picture (a 0.7-megapixel JPEG): Zelvor's own start-up
// and open, against a minimal Qt viewer. Each run starts the program afresh and times it from
// the start of the process to the line it prints once the picture's widget has painted (see
// FirstPaintProbe); the *_cpu_ms counters are the processor time the program used up to then.
// Both run headless unless QT_QPA_PLATFORM says otherwise, in a scratch folder with their own
// settings. A second benchmark times Zelvor from its start to the sharp fitted view of a
// gigapixel pyramidal TIFF (below).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "RepeatedTileTiff.h"

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

// A 1-gigapixel pyramidal TIFF of JPEG tiles (31623 x 31623, some 50 MB), made on first use
// in the scratch folder; empty when it could not be written.
const QString& PyramidalTiff() {
    static const QString path = [] {
        const QString file = scratch().dir.filePath(QStringLiteral("survey.tif"));
        return BigPictures::WriteRepeatedTileTiff(file, 31623, 31623) ? file : QString();
    }();
    return path;
}

// One run of a program: when its first and last "painted" lines came, how many there were, and
// its processor time (user and system, from wait4, which the load of other processes on the
// machine hardly changes).
struct Run {
    double firstS = 0;
    double lastS = 0;
    int paints = 0;
    double cpuS = 0;
};

// Starts `executable` with `args` and reads its standard output. With `quietMs` 0 it reads up
// to the first line, after which the program ends itself; otherwise it takes every line until
// none has come for `quietMs`, then ends the program. Times are from the start.
bool RunProgram(const std::string& executable, const std::vector<std::string>& args, char** env,
                int quietMs, Run& run) {
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(executable.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const bool spawned =
        ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), env) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    run = {};
    bool wellFormed = true;
    std::string line;
    while (spawned && (quietMs > 0 || run.paints == 0)) {
        pollfd ready{out[0], POLLIN, 0};
        if (quietMs > 0 && ::poll(&ready, 1, quietMs) == 0) {
            break;
        }
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                line.push_back(buffer[i]);
                continue;
            }
            wellFormed = wellFormed && line == "painted";
            line.clear();
            run.firstS = run.paints == 0 ? now : run.firstS;
            run.lastS = now;
            ++run.paints;
        }
    }
    ::close(out[0]);
    if (!spawned) {
        return false;
    }
    if (quietMs > 0) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    run.cpuS = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const bool ended = quietMs > 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return wellFormed && run.paints > 0 && line.empty() && ended;
}

// Where a program starts: its path beside this benchmark, and an environment whose settings
// and home are the scratch folder's.
struct Launch {
    std::string executable;
    std::vector<std::string> entries;
    std::vector<char*> envp;

    // `platform` (when given) replaces QT_QPA_PLATFORM.
    explicit Launch(const char* program, const QString& platform = QString())
        : executable((QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                      QLatin1String(program))
                         .toStdString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), scratch().dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   scratch().dir.filePath(QStringLiteral("config")));
        if (!platform.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        }
        for (const QString& entry : env.toStringList()) {
            entries.push_back(entry.toStdString());
        }
        for (std::string& entry : entries) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
    }
    // envp points into entries: never copied.
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Each iteration starts both programs, one right after the other and in turns first, so that
// a machine whose speed drifts (other work, a virtual machine's host) slows both alike; the
// figures are medians over the iterations, the ratio the median of each pair's ratio.
void BM_StartupSideBySide(benchmark::State& state) {
    const Launch peer("bench_startup_peer");
    const Launch zelvor("bench_startup_zelvor");
    const std::string picture = scratch().picture.toStdString();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scratch().dir.path());
    std::vector<double> peerMs, zelvorMs, peerCpuMs, zelvorCpuMs, ratios;
    for (auto _ : state) {
        double seconds[2] = {};
        double cpu[2] = {};
        bool ok = true;
        for (int k = 0; k < 2 && ok; ++k) {
            const int which = (k + int(ratios.size())) % 2; // 0: the peer, 1: Zelvor
            const Launch& launch = which == 0 ? peer : zelvor;
            Run run;
            ok = RunProgram(launch.executable, {picture}, const_cast<char**>(launch.envp.data()),
                            0, run);
            seconds[which] = run.lastS;
            cpu[which] = run.cpuS;
        }
        if (!ok) {
            state.SkipWithError("a program did not paint its picture");
            break;
        }
        state.SetIterationTime(seconds[1]);
        peerMs.push_back(seconds[0] * 1e3);
        zelvorMs.push_back(seconds[1] * 1e3);
        peerCpuMs.push_back(cpu[0] * 1e3);
        zelvorCpuMs.push_back(cpu[1] * 1e3);
        ratios.push_back(seconds[1] / seconds[0]);
    }
    QDir::setCurrent(previous);
    state.counters["zelvor_ms"] = Median(zelvorMs);
    state.counters["peer_ms"] = Median(peerMs);
    state.counters["ratio"] = Median(ratios);
    state.counters["zelvor_cpu_ms"] = Median(zelvorCpuMs);
    state.counters["peer_cpu_ms"] = Median(peerCpuMs);
}

} // namespace

// The time shown is Zelvor's, per iteration; the counters hold both programs' medians.
BENCHMARK(BM_StartupSideBySide)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(41);

namespace {

// A gigapixel pyramidal TIFF from the start of the process to its sharp fitted view: Zelvor
// runs on, telling each paint of the view, and the time is that of the last paint before it
// has painted nothing for a second (the tiles of the fitted level have all come and been drawn).
// first_paint_ms is the view's first paint (the coarsest level); the floor beside them is the
// minimal Qt viewer's start-up to the first paint of the small JPEG, in the same iterations.
// The TIFF is read from the page cache after the first iteration, as a picture opened again is.
constexpr int kQuietMs = 1000;

// Headless, the window is 1920 x 1080 on a screen as large (the offscreen platform's own screen
// is 800 x 800, and a window is kept within its screen).
QString FullHdPlatform() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && platform != QLatin1String("offscreen")) {
        return QString();
    }
    const QString config = scratch().dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "full-hd", "x": 0, "y": 0, "width": 1920,)"
                   R"( "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}]})") < 0) {
        return QString();
    }
    return QStringLiteral("offscreen:configfile=") + config;
}

void BM_PyramidalTiffSharpView(benchmark::State& state) {
    const Launch peer("bench_startup_peer");
    const Launch zelvor("bench_startup_zelvor", FullHdPlatform());
    if (PyramidalTiff().isEmpty()) {
        state.SkipWithError("could not write the pyramidal TIFF");
        return;
    }
    const std::string tiff = PyramidalTiff().toStdString();
    const std::string small = scratch().picture.toStdString();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scratch().dir.path());
    std::vector<double> sharpMs, firstMs, paints, peerMs;
    for (auto _ : state) {
        Run run;
        Run floor;
        if (!RunProgram(zelvor.executable, {tiff, "--every-paint"},
                        const_cast<char**>(zelvor.envp.data()), kQuietMs, run) ||
            !RunProgram(peer.executable, {small}, const_cast<char**>(peer.envp.data()), 0,
                        floor)) {
            state.SkipWithError("a program did not paint its picture");
            break;
        }
        state.SetIterationTime(run.lastS);
        sharpMs.push_back(run.lastS * 1e3);
        firstMs.push_back(run.firstS * 1e3);
        paints.push_back(run.paints);
        peerMs.push_back(floor.lastS * 1e3);
    }
    QDir::setCurrent(previous);
    state.counters["sharp_ms"] = Median(sharpMs);
    state.counters["sharp_max_ms"] = sharpMs.empty() ? 0 : *std::max_element(sharpMs.begin(), sharpMs.end());
    state.counters["first_paint_ms"] = Median(firstMs);
    state.counters["paints"] = Median(paints);
    state.counters["peer_small_jpeg_ms"] = Median(peerMs);
}

} // namespace

BENCHMARK(BM_PyramidalTiffSharpView)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);

