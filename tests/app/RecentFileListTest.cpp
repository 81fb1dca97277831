// The recent-file list: order, de-duplication, the limit of ten, removal, and its storage under
// "Recent File List" / "File1"... in the settings file, written a moment after a change.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "RecentFileList.h"

namespace {
class RecentFileListTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString settingsPath() const { return dir.path() + "/recent.ini"; }
    QString file(int n) const { return dir.path() + QStringLiteral("/pic%1.png").arg(n); }
};
} // namespace

TEST_F(RecentFileListTest, MostRecentFirstWithoutRepeatsAndAtMostTen) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    RecentFileList list(settings, 10);
    for (int n = 1; n <= 11; ++n) {
        list.Add(file(n));
    }
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(list.at(0), file(11));
    EXPECT_EQ(list.at(9), file(2)); // the oldest, pic1, fell off
    EXPECT_FALSE(list.entries().contains(file(1)));

    // Re-adding an entry moves it to the top instead of repeating it.
    list.Add(file(5));
    EXPECT_EQ(list.size(), 10);
    EXPECT_EQ(list.at(0), file(5));
    EXPECT_EQ(list.entries().count(file(5)), 1);
    EXPECT_EQ(list.at(1), file(11));

    // Relative and unclean spellings of the same file are the same entry.
    list.Add(dir.path() + QStringLiteral("/sub/.././pic11.png"));
    EXPECT_EQ(list.at(0), file(11));
    EXPECT_EQ(list.entries().count(file(11)), 1);
}

TEST_F(RecentFileListTest, StoredUnderTheUsualSectionAndKeysAndReadBack) {
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        RecentFileList list(settings, 10);
        list.Add(file(1));
        list.Add(file(2));
        list.Add(file(3));
        list.Remove(1); // pic2
    }
    QSettings raw(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Recent File List/File1").toString(), file(3));
    EXPECT_EQ(raw.value("Recent File List/File2").toString(), file(1));
    EXPECT_FALSE(raw.contains("Recent File List/File3")); // no stale key after the removal

    // Reading skips gaps and keys beyond the limit.
    raw.setValue("Recent File List/File3", "");
    raw.setValue("Recent File List/File4", file(4));
    raw.setValue("Recent File List/File11", file(11));
    raw.sync();
    RecentFileList reread(raw, 10);
    reread.ReadList();
    EXPECT_EQ(reread.entries(), QStringList({file(3), file(1), file(4)}));

    // Out-of-range removals change nothing.
    reread.Remove(-1);
    reread.Remove(3);
    reread.Remove(QStringLiteral("/no/such/file"));
    EXPECT_EQ(reread.size(), 3);
    EXPECT_EQ(reread.at(7), QString());
}

TEST_F(RecentFileListTest, AChangeReachesTheFileAMomentLaterFromTheEventLoop) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    RecentFileList list(settings, 10);
    list.Add(file(1));
    list.Add(file(2));
    EXPECT_TRUE(list.writePending());
    EXPECT_FALSE(QFile::exists(settingsPath())); // opening a file does not wait for the disk
    ASSERT_TRUE(QTest::qWaitFor([&list] { return !list.writePending(); },
                                RecentFileList::kWriteDelayMs * 10));
    const QSettings raw(settingsPath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Recent File List/File1").toString(), file(2));
    EXPECT_EQ(raw.value("Recent File List/File2").toString(), file(1));
}

TEST_F(RecentFileListTest, DisplayNamesShortenTheHomeFolder) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    RecentFileList list(settings, 4);
    list.Add(QDir::homePath() + "/plans/a.png");
    list.Add("/srv/b.png");
    EXPECT_EQ(list.displayNames(), QStringList({"/srv/b.png", "~/plans/a.png"}));
}
