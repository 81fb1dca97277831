// Ending the program with a signal closes it as File > Exit does: the defaults are saved.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#ifdef Q_OS_UNIX

TEST(TerminationSignals, SigtermClosesTheProgramAndSavesTheDefaults) {
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
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
    ASSERT_TRUE(QFile::exists(base.path() + "/MAPS"));
    EXPECT_FALSE(QFile::exists(base.path() + "/Defaults.map"));

    ::kill(static_cast<pid_t>(zelvor.processId()), SIGTERM);
    ASSERT_TRUE(zelvor.waitForFinished(10000));
    EXPECT_EQ(zelvor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(zelvor.exitCode(), 0);
    EXPECT_EQ(QFileInfo(base.path() + "/Defaults.map").size(), 186);
}

#endif
