// Drives the real zelvor executable the way a user does: under a private X server (Xvfb), in a
// temporary start-up folder with its own home folder, through xdotool (keys, typing, clicks,
// windows found by their names), with helpers to signal the process and wait for its end.
//
// Writing a test: make an E2eSession, skip when Unavailable() says why the machine cannot run
// one, prepare files with writePicture/writeFile, then start() and drive it. Every wait polls
// with a timeout (scaled by timeScale(), which is larger in sanitizer builds), so a loaded
// machine makes a test slower, never flaky; never rely on a fixed sleep alone. For example,
// "add a point, wait 2.5 s, kill -9, the map holds the point":
//
//     E2eSession s;
//     if (const QString why = E2eSession::Unavailable(); !why.isEmpty()) GTEST_SKIP() << ...;
//     s.writePicture("plan.png", {800, 600});
//     ASSERT_TRUE(s.start()) << s.error();
//     ASSERT_TRUE(s.openPicture(s.path("plan.png"))) << s.error();
//     ASSERT_TRUE(s.addPoint(E2eSession::kFirstSpot)) << s.error();
//     QThread::msleep(2500);
//     s.sendSignal(SIGKILL);
//     ASSERT_TRUE(s.waitForExit()) << s.error();
//     EXPECT_EQ(s.mapPointCount("plan"), 1);
//
// The destructor kills whatever is still running (zelvor, then the X server) and removes the
// folders. Window ids are xdotool's decimal ids, as strings.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QPoint>
#include <QPointF>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class E2eSession {
public:
    // Positions inside the first document window's view, relative to the main window's client
    // area (the main window is 1024 x 640 on the default screen). The first is where addPoint
    // usually puts a point; the second is empty space away from it.
    static constexpr QPoint kFirstSpot{400, 300};
    static constexpr QPoint kSecondSpot{250, 220};
    // The default time a wait allows before it fails, before scaling.
    static constexpr int kWaitMs = 15000;

    E2eSession();
    ~E2eSession();
    E2eSession(const E2eSession&) = delete;
    E2eSession& operator=(const E2eSession&) = delete;

    // Why sessions cannot run on this machine (Xvfb or xdotool missing), or empty.
    static QString Unavailable();
    // How much longer than usual every wait may take (1, or more under sanitizers).
    static int timeScale();

    // What the last failing step said, for assertion messages.
    const QString& error() const { return m_error; }

    // The start-up folder and files in it.
    QString dir() const;
    QString path(const QString& name) const;
    // A picture of one colour (format from the name's extension); returns its path.
    QString writePicture(const QString& name, QSize size, QColor color = Qt::darkCyan);
    // Any file, folders created on the way; returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes);
    QByteArray readFile(const QString& name) const;
    // Points in MAPS/<stem>.map; -1 when the map is missing or cannot be read.
    int mapPointCount(const QString& stem) const;
    // Point i's position in MAPS/<stem>.map; (-1, -1) when there is no such point.
    QPointF mapPointPosition(const QString& stem, int i) const;

    // Starts the X server (screen of `screen` pixels) and zelvor in the start-up folder, and
    // waits for the main window. False (with error()) when either fails to come up.
    bool start(QSize screen = {1280, 800});

    // Windows. A name pattern is a regular expression over the whole window title, for example
    // "Point" or "Zelvor - .*". Window positions are relative to that window's client area.
    QString mainWindow() const { return m_mainWindow; }
    // The first visible window whose title matches, other than the main window, or empty.
    QString findDialog(const QString& pattern) const;
    // Waits for such a window; empty (with error()) when none came in time.
    QString waitForDialog(const QString& pattern, int timeoutMs = kWaitMs);
    // Waits until no visible window (other than the main window) matches.
    bool waitForDialogGone(const QString& pattern, int timeoutMs = kWaitMs);
    // Waits until the main window's title matches.
    bool waitForMainTitle(const QString& pattern, int timeoutMs = kWaitMs);
    QString windowName(const QString& window) const;
    QRect windowGeometry(const QString& window) const;

    // Input. key() takes xdotool key names ("ctrl+o", "Return", "Tab space"); with a window,
    // that window gets the keyboard focus first.
    bool key(const QString& keys, const QString& window = {});
    bool type(const QString& text, const QString& window = {});
    // Clicks (button 1 left, 3 right; count 2 for a double-click) at `pos` in `window`
    // (the main window when empty).
    bool click(QPoint pos, int button = 1, int count = 1, const QString& window = {});

    // Clicks as click() does until a window named `pattern` appears, and returns it (empty,
    // with error(), when none did after a few tries). On a loaded machine a double-click can
    // reach the program as two single clicks; a repeated click is harmless where nothing
    // opened, and no click is repeated once the window is there.
    // Presses the left button at `from`, moves in a few steps to `to` and releases there.
    bool drag(QPoint from, QPoint to, const QString& window = {});

    QString clickForDialog(QPoint pos, int button, int count, const QString& pattern);

    // Steps a user takes. openPicture: File > Open, type the path, Return, and (unless told
    // not to) wait for the main window's title to name the picture. addPoint: double-click at
    // `pos` in the main window, accept the Point dialog with Return, wait for it to go.
    bool openPicture(const QString& path, bool waitForTitle = true);
    bool addPoint(QPoint pos);
    // The usual start of a test: writes picture `name` in the start-up folder, starts the
    // program and opens the picture.
    bool startOnPicture(const QString& name, QSize size = {800, 600});

    // The process.
    qint64 pid() const;
    void sendSignal(int sig);
    // Waits for zelvor to end; false (with error()) when it is still running.
    bool waitForExit(int timeoutMs = kWaitMs);
    // After the end: true for a normal exit (not killed by a signal), and its code.
    bool exitedNormally() const;
    int exitCode() const;
    // Everything zelvor wrote to stdout and stderr so far.
    QByteArray output();

private:
    bool fail(const QString& why);
    // Runs xdotool with `args`; its trimmed standard output, or a null string on failure.
    QString xdotool(const QStringList& args) const;
    QStringList visibleWindows(const QString& pattern) const;
    bool startDisplay(QSize screen);

    QTemporaryDir m_dir;
    QString m_display; // ":N"
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_zelvor;
    QString m_mainWindow;
    QByteArray m_output;
    QString m_error;
};
