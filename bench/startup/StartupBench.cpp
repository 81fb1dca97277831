// Start-up to the first paint of a small picture (a 0.7-megapixel JPEG): Zelvor's own start-up
// and open, against a minimal Qt viewer. Each run starts the program afresh and times it from
// the start of the process to the line it prints once the picture's widget has painted (see
// FirstPaintProbe); the *_cpu_ms counters are the processor time the program used up to then.
// Both run headless unless QT_QPA_PLATFORM says otherwise, in a scratch folder with their own
// settings.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Starts `executable` on the picture and reads its standard output up to the first line. The
// wall time to that line is the iteration's time; the child's own processor time (user and
// system, from wait4), which the load of other processes on the machine hardly changes, is
// reported beside it.
bool RunOnce(const std::string& executable, const std::string& picture, char** env,
             double& seconds, double& cpuSeconds) {
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(executable.c_str()),
                            const_cast<char*>(picture.c_str()), nullptr};
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const bool spawned =
        ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), env) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (spawned && ::read(out[0], &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    ::close(out[0]);
    if (!spawned) {
        return false;
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return line == "painted" && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Where a program starts: its path beside this benchmark, and an environment whose settings
// and home are the scratch folder's.
struct Launch {
    std::string executable;
    std::vector<std::string> entries;
    std::vector<char*> envp;

    explicit Launch(const char* program)
        : executable((QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                      QLatin1String(program))
                         .toStdString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), scratch().dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   scratch().dir.filePath(QStringLiteral("config")));
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
            ok = RunOnce(launch.executable, picture, const_cast<char**>(launch.envp.data()),
                         seconds[which], cpu[which]);
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
