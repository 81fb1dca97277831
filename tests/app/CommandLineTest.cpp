// The viewer's command line: what each form of it asks for (parsed without a QApplication's
// help), the real program answering --help, --version and a wrong line without a display,
// --base making another folder the start-up folder, the files of the command line opening once
// the main window shows, and pictures dropped onto the main window.
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>

#include "AppTestSupport.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CommandLine.h"
#include "Document.h"
#include "DocumentManager.h"

namespace {

using Action = CommandLine::Action;

struct LineCase {
    const char* name;
    QStringList arguments; // after the program's name
    Action action;
    QStringList files;      // expected, relative to the current folder
    QString baseDir;        // expected, relative to the current folder; empty: none
    const char* textPart;   // the text holds this
};

TEST(CommandLine, EachFormAsksForWhatItSays) {
    QTemporaryDir cwd;
    ASSERT_TRUE(cwd.isValid());
    ASSERT_TRUE(QDir(cwd.path()).mkdir("plans"));
    const QString dir = cwd.path();
    const std::vector<LineCase> cases = {
        {"no arguments", {}, Action::Run, {}, {}, ""},
        {"files in order, made absolute",
         {"b.png", "sub/../a.jpg", "/abs/c.png"}, Action::Run, {"b.png", "a.jpg", "/abs/c.png"},
         {}, ""},
        {"a missing file is still passed on", {"missing.png"}, Action::Run, {"missing.png"}, {},
         ""},
        {"--base DIR", {"--base", "plans", "a.png"}, Action::Run, {"a.png"}, "plans", ""},
        {"--base=DIR", {"--base=plans"}, Action::Run, {}, "plans", ""},
        {"--base that is no folder", {"--base", "nowhere"}, Action::Error, {}, {},
         "\"nowhere\" is not a folder"},
        {"--base without a value", {"--base"}, Action::Error, {}, {}, "base"},
        {"--help", {"--help"}, Action::Help, {}, {}, "Usage: zelvor [options] [FILE...]"},
        {"-h wins over files", {"a.png", "-h"}, Action::Help, {}, {}, "--base <DIR>"},
        {"--version", {"--version"}, Action::Version, {}, {}, "zelvor (Zelvor) " ZELVOR_VERSION "\n"},
        {"-v", {"-v"}, Action::Version, {}, {}, "License MIT"},
        {"an unknown option", {"--frobnicate", "a.png"}, Action::Error, {}, {},
         "zelvor: Unknown option 'frobnicate'.\nTry 'zelvor --help'.\n"},
        {"Qt's own options pass", {"-style", "fusion", "-platform=offscreen", "-reverse", "a.png"},
         Action::Run, {"a.png"}, {}, ""},
        {"-- ends the options", {"--", "--help"}, Action::Run, {"--help"}, {}, ""},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = ParseCommandLine(QStringList{"zelvor"} + c.arguments, dir);
        EXPECT_EQ(line.action, c.action);
        EXPECT_TRUE(line.text.contains(QString::fromUtf8(c.textPart))) << line.text.toStdString();
        QStringList files;
        for (const QString& f : c.files) {
            files.append(QDir::cleanPath(QDir(dir).absoluteFilePath(f)));
        }
        EXPECT_EQ(line.files, files);
        EXPECT_EQ(line.baseDir, c.baseDir.isEmpty() ? QString() : dir + "/" + c.baseDir);
    }
}

struct ProgramRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The real program with neither a display nor a Qt platform chosen.
ProgramRun RunWithoutDisplay(const QStringList& arguments) {
    QProcess zelvor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    zelvor.setProcessEnvironment(env);
    zelvor.start(ZELVOR_EXECUTABLE, arguments);
    ProgramRun run;
    if (zelvor.waitForFinished(20000) && zelvor.exitStatus() == QProcess::NormalExit) {
        run.status = zelvor.exitCode();
    } else {
        zelvor.kill();
        zelvor.waitForFinished();
    }
    run.out = zelvor.readAllStandardOutput();
    run.err = zelvor.readAllStandardError();
    return run;
}

TEST(CommandLine, TheProgramAnswersWithoutADisplay) {
    const ProgramRun help = RunWithoutDisplay({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: zelvor [options] [FILE...]\n"));
    EXPECT_TRUE(help.out.contains("--base <DIR>"));
    EXPECT_EQ(help.err, "");

    const ProgramRun version = RunWithoutDisplay({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("zelvor (Zelvor) " ZELVOR_VERSION "\n"));
    EXPECT_EQ(version.err, "");

    const ProgramRun wrong = RunWithoutDisplay({"--no-such-option"});
    EXPECT_EQ(wrong.status, CommandLine::kUsageExit);
    EXPECT_EQ(wrong.out, "");
    EXPECT_TRUE(wrong.err.contains("no-such-option")) << wrong.err.toStdString();
}

#ifdef Q_OS_UNIX
// The real program with --base DIR and files named relative to the folder it was started in:
// start-up makes MAPS in DIR and not there, and the files are found where they were named: the
// picture opens (it reaches the recent-file list), the missing file after it is told in a message
// box, and a request to end while that box is open ends the program cleanly.
TEST(CommandLine, BaseAndFilesOfTheRealProgram) {
    QTemporaryDir cwd;
    QTemporaryDir base;
    ASSERT_TRUE(cwd.isValid() && base.isValid());
    QImage picture(32, 24, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(cwd.path() + "/plan.png"));
    QProcess zelvor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", cwd.path());
    env.insert("XDG_CONFIG_HOME", cwd.path() + "/config");
    zelvor.setProcessEnvironment(env);
    zelvor.setWorkingDirectory(cwd.path());
    zelvor.start(ZELVOR_EXECUTABLE, {"--base", base.path(), "plan.png", "missing.png"});
    ASSERT_TRUE(zelvor.waitForStarted(10000));
    const QString conf = cwd.path() + "/config/Harrowmere/Zelvor.conf";
    const auto opened = [&] {
        return ReadAll(conf).contains(QFile::encodeName(cwd.path() + "/plan.png"));
    };
    for (int i = 0; i < 200 && !opened(); ++i) {
        QThread::msleep(50);
    }
    const bool planOpened = opened();
    ::kill(static_cast<pid_t>(zelvor.processId()), SIGTERM);
    if (!zelvor.waitForFinished(10000)) {
        zelvor.kill();
        zelvor.waitForFinished();
    }
    EXPECT_TRUE(planOpened);
    EXPECT_TRUE(QFileInfo(base.path() + "/MAPS").isDir());
    EXPECT_FALSE(QFile::exists(cwd.path() + "/MAPS"));
    EXPECT_EQ(zelvor.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(base.path() + "/Defaults.map"));
    EXPECT_FALSE(ReadAll(conf).contains("missing.png"));
}
#endif

QStringList OpenPaths(CZelvorApp& app) {
    QStringList paths;
    for (Document* doc : app.documents()->documents()) {
        paths.append(doc->GetPathName());
    }
    return paths;
}

class StartupFilesTest : public AppTest {};

// The command line's files open once the window shows, in order; the one that cannot be opened
// is told once, and the others still open.
TEST_F(StartupFilesTest, OpenInOrderAndAMissingOneIsToldOnce) {
    const QString a = WritePicture("a.png", {40, 30}, Qt::red);
    const QString b = WritePicture("b.png", {40, 30}, Qt::blue);
    const QString missing = baseDir() + "/pics/missing.png";
    auto app = std::make_unique<CZelvorApp>(&settings());
    app->setStartupFiles({a, missing, b});
    ASSERT_TRUE(Start(*app));
    EXPECT_TRUE(app->documents()->documents().empty()) << "opened before the window showed";
    Settle();
    EXPECT_EQ(OpenPaths(*app), (QStringList{a, b}));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("missing.png")) << m_messages[0].toStdString();
    EXPECT_TRUE(QuitApp(app));
}

// Dropping files on the main window: the local files among the URLs open (folders and web
// addresses are left out); a drag with no local file is refused.
TEST_F(StartupFilesTest, DroppedPicturesOpen) {
    const QString a = WritePicture("a.png", {40, 30}, Qt::red);
    const QString b = WritePicture("b.png", {40, 30}, Qt::green);
    auto app = StartApp();
    ASSERT_TRUE(app);
    CMainFrame& frame = *app->mainFrame();

    QMimeData web;
    web.setUrls({QUrl("https://example.org/plan.png"), QUrl::fromLocalFile(baseDir())});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(b), QUrl("https://example.org/x.png"),
                   QUrl::fromLocalFile(baseDir()), QUrl::fromLocalFile(a)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &drop);
    EXPECT_TRUE(drop.isAccepted());
    Settle();
    EXPECT_EQ(OpenPaths(*app), (QStringList{b, a}));
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_TRUE(QuitApp(app));
}

} // namespace
