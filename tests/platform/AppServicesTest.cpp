// The services made at start-up: each over its own start-up folder, with its own defaults,
// clock and sinks, so that two of them (two programs, or two tests) never see each other.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include "AppServices.h"
#include "MapFiles.h"

namespace {

PointRecord LookWithCross(int size) {
    PointRecord look = FactoryDefaults();
    look.nCrossSize = size;
    return look;
}

TEST(AppServicesTest, TwoStartupFoldersKeepTheirOwnDefaultsAndSinks) {
    QTemporaryDir dirA;
    QTemporaryDir dirB;
    ASSERT_TRUE(dirA.isValid() && dirB.isValid());
    AppServices a(dirA.path().toStdString());
    AppServices b(dirB.path().toStdString());
    ASSERT_TRUE(a.LoadDefaults().ok());
    ASSERT_TRUE(b.LoadDefaults().ok());
    QStringList statusA;
    a.setStatusSink([&](const QString& text) { statusA << text; });
    a.setClock([] { return std::int64_t(100); });

    // "Save Settings" in one folder writes that folder's Defaults.map only.
    a.SetDefaults(LookWithCross(21));
    EXPECT_EQ(a.defaults().nCrossSize, 21);
    EXPECT_EQ(StorageImage(b.defaults()), StorageImage(FactoryDefaults()));
    EXPECT_FALSE(QFile::exists(dirB.filePath("Defaults.map")));
    b.SetDefaults(LookWithCross(5));
    b.showStatus(QStringLiteral("only b"));
    EXPECT_NE(b.now(), 100);

    const struct {
        const QTemporaryDir& dir;
        int crossSize;
    } rows[] = {{dirA, 21}, {dirB, 5}};
    for (const auto& row : rows) {
        PointRecord read{};
        ASSERT_TRUE(LoadDefaultsFile(DefaultsPathFor(row.dir.path().toStdString()), read).ok());
        EXPECT_EQ(read.nCrossSize, row.crossSize) << row.dir.path().toStdString();
    }
    EXPECT_TRUE(statusA.isEmpty()) << "b's status went to a's pane";
}

TEST(AppServicesTest, DefaultsAreWrittenOnlyWhenTheirBytesChange) {
    QTemporaryDir dir;
    AppServices services(dir.path().toStdString());
    ASSERT_TRUE(services.LoadDefaults().ok());
    const QString path = dir.filePath("Defaults.map");
    services.SetDefaults(FactoryDefaults()); // the look it already has
    EXPECT_FALSE(QFile::exists(path));
    services.SetDefaults(LookWithCross(9));
    EXPECT_TRUE(QFile::exists(path));

    // A dialog result asking for "Save Settings" goes through the same rule.
    services.setPointDialogRunner([](QWidget*, const PointEntry& shown) {
        PointDialogResult result{shown, true, false};
        result.entry.rec.nCrossSize = 13;
        return std::optional<PointDialogResult>(result);
    });
    const auto result = services.RunPointDialog(nullptr, {FactoryDefaults(), "", "", ""});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(services.defaults().nCrossSize, 13);
    PointRecord read{};
    ASSERT_TRUE(LoadDefaultsFile(path.toStdString(), read).ok());
    EXPECT_EQ(read.nCrossSize, 13);
}

} // namespace
