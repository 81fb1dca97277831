#include "E2eSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>

#include "MapFiles.h"

namespace {

constexpr int kPollMs = 50;
constexpr int kToolTimeoutMs = 10000;

// Polls `done` until it holds or `timeoutMs` has passed.
template <typename Done> bool WaitFor(int timeoutMs, Done done) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (done()) {
            return true;
        }
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(kPollMs);
    }
}

} // namespace

E2eSession::E2eSession() {
    QDir(m_dir.path()).mkpath("home/config");
}

E2eSession::~E2eSession() {
    if (m_zelvor && m_zelvor->state() != QProcess::NotRunning) {
        m_zelvor->kill();
        m_zelvor->waitForFinished(kToolTimeoutMs);
    }
    if (m_xvfb && m_xvfb->state() != QProcess::NotRunning) {
        m_xvfb->terminate();
        if (!m_xvfb->waitForFinished(kToolTimeoutMs)) {
            m_xvfb->kill();
            m_xvfb->waitForFinished(kToolTimeoutMs);
        }
    }
}

QString E2eSession::Unavailable() {
    QStringList missing;
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            missing.append(tool);
        }
    }
    return missing.isEmpty() ? QString() : "not installed: " + missing.join(", ");
}

int E2eSession::timeScale() {
#if defined(__SANITIZE_ADDRESS__)
    return 4;
#else
    return 1;
#endif
}

bool E2eSession::fail(const QString& why) {
    m_error = why;
    return false;
}

QString E2eSession::dir() const {
    return m_dir.path();
}

QString E2eSession::path(const QString& name) const {
    return m_dir.filePath(name);
}

QString E2eSession::writePicture(const QString& name, QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    const QString file = path(name);
    QDir().mkpath(QFileInfo(file).absolutePath());
    return image.save(file) ? file : QString();
}

QString E2eSession::writeFile(const QString& name, const QByteArray& bytes) {
    const QString file = path(name);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        return {};
    }
    return file;
}

QByteArray E2eSession::readFile(const QString& name) const {
    QFile in(path(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

int E2eSession::mapPointCount(const QString& stem) const {
    PointList list;
    const FileResult result =
        LoadMapFile(QFile::encodeName(path("MAPS/" + stem + ".map")).toStdString(), list);
    return result.status == FileResult::Ok ? list.count() : -1;
}

QPointF E2eSession::mapPointPosition(const QString& stem, int i) const {
    PointList list;
    const FileResult result =
        LoadMapFile(QFile::encodeName(path("MAPS/" + stem + ".map")).toStdString(), list);
    if (result.status != FileResult::Ok || i < 0 || i >= list.count()) {
        return {-1, -1};
    }
    return {list.point(i).dX, list.point(i).dY};
}

bool E2eSession::startDisplay(QSize screen) {
    // -displayfd 1: the server picks a free display and writes its number to its stdout.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb->start("Xvfb", {"-displayfd", "1", "-screen", "0",
                           QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                           "-nolisten", "tcp", "-noreset"});
    if (!m_xvfb->waitForStarted(kToolTimeoutMs)) {
        return fail("Xvfb did not start: " + m_xvfb->errorString());
    }
    QByteArray number;
    const bool announced = WaitFor(kWaitMs * timeScale(), [&] {
        m_xvfb->waitForReadyRead(kPollMs);
        number += m_xvfb->readAllStandardOutput();
        return number.contains('\n') || m_xvfb->state() == QProcess::NotRunning;
    });
    if (!announced || !number.contains('\n')) {
        return fail("Xvfb did not announce its display: " + m_xvfb->readAllStandardError());
    }
    m_display = ":" + QString::fromLatin1(number.trimmed());
    return true;
}

bool E2eSession::start(QSize screen) {
    if (!startDisplay(screen)) {
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    // Settings and recent files stay out of the real home folder.
    env.insert("HOME", path("home"));
    env.insert("XDG_CONFIG_HOME", path("home/config"));
    env.remove("WAYLAND_DISPLAY");
#if defined(__SANITIZE_ADDRESS__)
    // These tests look for crashes and lost files; leaks are the in-process suites' business,
    // and an X client's libraries keep much alive until exit.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
#endif
    m_zelvor = std::make_unique<QProcess>();
    m_zelvor->setProcessEnvironment(env);
    m_zelvor->setWorkingDirectory(dir());
    m_zelvor->setProcessChannelMode(QProcess::MergedChannels);
    m_zelvor->start(ZELVOR_EXECUTABLE, {});
    if (!m_zelvor->waitForStarted(kToolTimeoutMs)) {
        return fail("zelvor did not start: " + m_zelvor->errorString());
    }
    const bool shown = WaitFor(kWaitMs * timeScale(), [&] {
        const QStringList windows = visibleWindows("Zelvor");
        m_mainWindow = windows.isEmpty() ? QString() : windows.constFirst();
        return !m_mainWindow.isEmpty() || m_zelvor->state() == QProcess::NotRunning;
    });
    if (m_mainWindow.isEmpty()) {
        return fail(shown ? "zelvor ended at start-up: " + output()
                          : QString("the main window did not appear"));
    }
    return true;
}

QString E2eSession::xdotool(const QStringList& args) const {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_display);
    tool.setProcessEnvironment(env);
    tool.start("xdotool", args);
    if (!tool.waitForFinished(kToolTimeoutMs * timeScale()) ||
        tool.exitStatus() != QProcess::NormalExit) {
        tool.kill();
        tool.waitForFinished(kToolTimeoutMs);
        return {};
    }
    // search exits 1 when nothing matched: that is an empty answer, not a failure.
    if (tool.exitCode() != 0 && args.value(0) != "search") {
        return {};
    }
    const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    return out.isNull() ? QStringLiteral("") : out;
}

QStringList E2eSession::visibleWindows(const QString& pattern) const {
    const QString found = xdotool({"search", "--onlyvisible", "--name", "^(" + pattern + ")$"});
    return found.split('\n', Qt::SkipEmptyParts);
}

QString E2eSession::findDialog(const QString& pattern) const {
    for (const QString& window : visibleWindows(pattern)) {
        if (window != m_mainWindow) {
            return window;
        }
    }
    return {};
}

QString E2eSession::waitForDialog(const QString& pattern, int timeoutMs) {
    QString window;
    WaitFor(timeoutMs * timeScale(), [&] {
        window = findDialog(pattern);
        return !window.isEmpty();
    });
    if (window.isEmpty()) {
        fail("no window named \"" + pattern + "\" appeared");
    }
    return window;
}

bool E2eSession::waitForDialogGone(const QString& pattern, int timeoutMs) {
    return WaitFor(timeoutMs * timeScale(), [&] { return findDialog(pattern).isEmpty(); }) ||
           fail("the window named \"" + pattern + "\" stayed");
}

bool E2eSession::waitForMainTitle(const QString& pattern, int timeoutMs) {
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    return WaitFor(timeoutMs * timeScale(),
                   [&] { return re.match(windowName(m_mainWindow)).hasMatch(); }) ||
           fail("the main window's title stayed \"" + windowName(m_mainWindow) + "\"");
}

QString E2eSession::windowName(const QString& window) const {
    return xdotool({"getwindowname", window});
}

QRect E2eSession::windowGeometry(const QString& window) const {
    // --shell prints X=, Y=, WIDTH=, HEIGHT= lines.
    QRect rect;
    for (const QString& line : xdotool({"getwindowgeometry", "--shell", window}).split('\n')) {
        const QString value = line.section('=', 1);
        if (line.startsWith("X=")) {
            rect.moveLeft(value.toInt());
        } else if (line.startsWith("Y=")) {
            rect.moveTop(value.toInt());
        } else if (line.startsWith("WIDTH=")) {
            rect.setWidth(value.toInt());
        } else if (line.startsWith("HEIGHT=")) {
            rect.setHeight(value.toInt());
        }
    }
    return rect;
}

bool E2eSession::key(const QString& keys, const QString& window) {
    const QString target = window.isEmpty() ? m_mainWindow : window;
    if (xdotool({"windowfocus", target}).isNull()) {
        return fail("could not focus window " + target);
    }
    return !xdotool(QStringList{"key", "--delay", "30"} + keys.split(' ')).isNull() ||
           fail("xdotool could not press " + keys);
}

bool E2eSession::type(const QString& text, const QString& window) {
    const QString target = window.isEmpty() ? m_mainWindow : window;
    if (xdotool({"windowfocus", target}).isNull()) {
        return fail("could not focus window " + target);
    }
    return !xdotool({"type", "--delay", "10", text}).isNull() ||
           fail("xdotool could not type " + text);
}

bool E2eSession::click(QPoint pos, int button, int count, const QString& window) {
    const QString target = window.isEmpty() ? m_mainWindow : window;
    return !xdotool({"mousemove", "--window", target, QString::number(pos.x()),
                     QString::number(pos.y()), "click", "--repeat", QString::number(count),
                     "--delay", "80", QString::number(button)})
                .isNull() ||
           fail("xdotool could not click in window " + target);
}

bool E2eSession::drag(QPoint from, QPoint to, const QString& window) {
    const QString target = window.isEmpty() ? m_mainWindow : window;
    auto moveTo = [&](QPoint p) {
        return !xdotool({"mousemove", "--window", target, QString::number(p.x()),
                         QString::number(p.y())})
                    .isNull();
    };
    if (!moveTo(from) || xdotool({"mousedown", "1"}).isNull()) {
        return fail("xdotool could not press in window " + target);
    }
    constexpr int kSteps = 5;
    for (int k = 1; k <= kSteps; ++k) {
        QThread::msleep(60);
        if (!moveTo(from + (to - from) * k / kSteps)) {
            return fail("xdotool could not move in window " + target);
        }
    }
    QThread::msleep(60);
    return !xdotool({"mouseup", "1"}).isNull() || fail("xdotool could not release");
}

QString E2eSession::clickForDialog(QPoint pos, int button, int count, const QString& pattern) {
    constexpr int kTries = 3;
    for (int i = 0; i < kTries; ++i) {
        if (!click(pos, button, count)) {
            return {};
        }
        if (const QString dialog = waitForDialog(pattern, kWaitMs / kTries); !dialog.isEmpty()) {
            return dialog;
        }
    }
    return {};
}

bool E2eSession::startOnPicture(const QString& name, QSize size) {
    writePicture(name, size);
    return start() && openPicture(path(name));
}

bool E2eSession::openPicture(const QString& picture, bool waitForTitle) {
    if (!key("ctrl+o")) {
        return false;
    }
    const QString dialog = waitForDialog("Open");
    if (dialog.isEmpty() || !type(picture, dialog) || !key("Return", dialog) ||
        !waitForDialogGone("Open")) {
        return false;
    }
    return !waitForTitle || waitForMainTitle("Zelvor - " + QRegularExpression::escape(
                                                               QFileInfo(picture).fileName()));
}

bool E2eSession::addPoint(QPoint pos) {
    const QString dialog = clickForDialog(pos, 1, 2, "Point");
    return !dialog.isEmpty() && key("Return", dialog) && waitForDialogGone("Point");
}

qint64 E2eSession::pid() const {
    return m_zelvor ? m_zelvor->processId() : 0;
}

void E2eSession::sendSignal(int sig) {
    if (const qint64 id = pid(); id > 0) {
        ::kill(static_cast<pid_t>(id), sig);
    }
}

bool E2eSession::waitForExit(int timeoutMs) {
    if (!m_zelvor) {
        return fail("zelvor was never started");
    }
    return m_zelvor->state() == QProcess::NotRunning ||
           m_zelvor->waitForFinished(timeoutMs * timeScale()) || fail("zelvor is still running");
}

bool E2eSession::exitedNormally() const {
    return m_zelvor && m_zelvor->state() == QProcess::NotRunning &&
           m_zelvor->exitStatus() == QProcess::NormalExit;
}

int E2eSession::exitCode() const {
    return m_zelvor ? m_zelvor->exitCode() : -1;
}

QByteArray E2eSession::output() {
    if (m_zelvor) {
        m_output += m_zelvor->readAll();
    }
    return m_output;
}
