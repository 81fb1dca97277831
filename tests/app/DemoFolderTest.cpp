// The demo folder: pictures that decode at their sizes and a floor-plan map whose points show
// the square, the cross, both fonts and a passed since date that flashes; and the program
// opening it.
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "DemoFolder.h"
#include "DemoPictures.h"
#include "DocumentManager.h"
#include "MapFiles.h"
#include "SinceTime.h"

TEST(DemoFolderTest, PicturesDecodeAndTheMapShowsEveryFeature) {
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(DemoFolder::Make(dir.path() + "/demo", &error)) << error.toStdString();
    const QString base = dir.path() + "/demo";

    const struct {
        const char* name;
        QSize size;
    } pictures[] = {
        {DemoFolder::kFloorPlan, {DemoPictures::kFloorPlanWidth, DemoPictures::kFloorPlanHeight}},
        {DemoFolder::kHarbour, {2400, 1600}},
        {DemoFolder::kTrailMap, {900, 3200}},
    };
    for (const auto& picture : pictures) {
        QImageReader reader(base + "/" + picture.name);
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << picture.name << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), picture.size) << picture.name;
        // Not a blank sheet: many distinct colours.
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); y += 37) {
            for (int x = 0; x < image.width(); x += 29) {
                colours.insert(image.pixel(x, y));
            }
        }
        EXPECT_GT(colours.size(), 8u) << picture.name;
    }
    EXPECT_GT(QImageReader(base + "/" + DemoFolder::kTrailMap).size().height(),
              2 * QImageReader(base + "/" + DemoFolder::kTrailMap).size().width());

    PointList list;
    const std::string mapPath =
        MapPathFor(QFile::encodeName(base).toStdString(), DemoFolder::kFloorPlan);
    ASSERT_EQ(LoadMapFile(mapPath, list).status, FileResult::Ok);
    EXPECT_EQ(EncodeMap(list), EncodeMap(DemoFolder::FloorPlanPoints()));
    ASSERT_GE(list.count(), 4);

    const std::int64_t now = std::time(nullptr);
    bool square = false;
    bool cross = false;
    bool flashingPassed = false;
    std::set<std::string> faces;
    for (int i = 0; i < list.count(); ++i) {
        const PointRecord& p = list.point(i);
        EXPECT_GE(p.dX, 0);
        EXPECT_LT(p.dX, DemoPictures::kFloorPlanWidth);
        EXPECT_GE(p.dY, 0);
        EXPECT_LT(p.dY, DemoPictures::kFloorPlanHeight);
        EXPECT_FALSE(list.label(i).empty());
        square = square || p.bShowRect;
        cross = cross || p.bShowCross;
        const bool passed = p.bSinceDate && SinceHasPassed(p.stSince, now);
        if (passed && p.bFlashText && p.bFlashRect && p.bShowRect) {
            flashingPassed = true;
            EXPECT_FALSE(list.sinceText(i).empty());
            faces.insert(p.lfSince.lfFaceName);
        } else {
            faces.insert(p.lfText.lfFaceName);
        }
    }
    EXPECT_TRUE(square);
    EXPECT_TRUE(cross);
    EXPECT_TRUE(flashingPassed);
    EXPECT_GE(faces.size(), 2u); // the label font and the since font differ

    // A second run replaces the files instead of failing.
    EXPECT_TRUE(DemoFolder::Make(base, &error)) << error.toStdString();
    // A folder that cannot be made is reported.
    EXPECT_FALSE(DemoFolder::Make("/proc/zelvor-demo", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(AppTest, TheDemoFolderOpensWithItsPoints) {
    QString error;
    ASSERT_TRUE(DemoFolder::Make(baseDir(), &error)) << error.toStdString();
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(baseDir() + "/" + DemoFolder::kFloorPlan),
              nullptr);
    CZelvorView* view = app->activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->HasPicture());
    EXPECT_EQ(EncodeMap(view->points()), EncodeMap(DemoFolder::FloorPlanPoints()));
    ASSERT_TRUE(QuitApp(app));
}
