// Ending the program with a signal closes it as File > Exit does: the defaults are saved,
// unless the defaults file is one that cannot be read.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/stat.h>

#ifdef Q_OS_UNIX

namespace {

// Starts the program headless in `base`, waits until its start-up has made the MAPS folder, sends
// runs `whileRunning`, sends SIGTERM and expects a clean exit.
void StartThenTerminate(const QTemporaryDir& base, const std::function<void()>& whileRunning = {}) {
    QProcess zelvor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", base.path()); // keeps the settings file out of the real home folder
    env.insert("XDG_CONFIG_HOME", base.path() + "/config");
    zelvor.setProcessEnvironment(env);
    zelvor.setWorkingDirectory(base.path());
    zelvor.start(ZELVOR_EXECUTABLE, {});
    ASSERT_TRUE(zelvor.waitForStarted(10000));

    // The MAPS folder is made during start-up; once it is there the main frame exists.
    for (int i = 0; i < 200 && !QFile::exists(base.path() + "/MAPS"); ++i) {
        QThread::msleep(50);
    }
    const bool started = QFile::exists(base.path() + "/MAPS");
    if (started && whileRunning) {
        whileRunning();
    }
    ::kill(static_cast<pid_t>(zelvor.processId()), SIGTERM);
    const bool finished = zelvor.waitForFinished(10000);
    if (!finished) {
        zelvor.kill();
        zelvor.waitForFinished(10000);
    }
    ASSERT_TRUE(started) << "start-up did not finish";
    ASSERT_TRUE(finished) << "SIGTERM did not end the program";
    EXPECT_EQ(zelvor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zelvor.exitCode(), 0);
}

} // namespace

TEST(TerminationSignals, SigtermClosesTheProgramAndSavesTheDefaults) {
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    StartThenTerminate(base, [&base] {
        EXPECT_FALSE(QFile::exists(base.path() + "/Defaults.map"));
    });
    EXPECT_EQ(QFileInfo(base.path() + "/Defaults.map").size(), 186);
}

// A FIFO as Defaults.map: start-up neither waits for a writer nor swallows the signal, and the
// FIFO is left as it is.
TEST(TerminationSignals, AFifoAsTheDefaultsFileNeitherHangsNorIsReplaced) {
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QByteArray fifo = QFile::encodeName(base.path() + "/Defaults.map");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    // The signal comes while the start-up message about the file is open.
    StartThenTerminate(base, [] { QThread::msleep(500); });
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

#endif
