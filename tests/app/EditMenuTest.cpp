// The Edit menu on the real application: items that name their steps and follow the active
// view, and the clipboard between two pictures (our exact form, and CSV text).
#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMimeData>

#include <gtest/gtest.h>

#include "ActionBuilder.h"
#include "AppTestSupport.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "DocumentManager.h"
#include "AppServices.h"
#include "MapFiles.h"
#include "PointClipboard.h"
#include "Resources.h"

namespace {

PointRecord Distinct(std::uint8_t seed, double x, double y) {
    PointRecord rec{};
    auto* bytes = reinterpret_cast<std::uint8_t*>(&rec);
    for (std::size_t i = 0; i < sizeof rec; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    rec.bTextPhase = 0;
    rec.bRectPhase = 0;
    rec.dX = x;
    rec.dY = y;
    rec.nRectSize = 4;
    rec.nCrossSize = 3;
    return rec;
}

} // namespace

TEST_F(AppTest, TheEditMenuNamesItsStepsAndTheClipboardCarriesPointsBetweenPictures) {
    const QString plan = WritePicture("plan.png", {400, 300}, Qt::white);
    const QString site = WritePicture("site.png", {400, 300}, Qt::gray);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ActionBuilder& cmd = app->mainFrame()->commands();
    ASSERT_NE(app->documents()->OpenDocumentFile(plan), nullptr);
    CZelvorView* planView = app->activeView();
    ASSERT_NE(planView, nullptr);
    cmd.updateAll();
    EXPECT_FALSE(cmd.action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_FALSE(cmd.action(ID_EDIT_COPY)->isEnabled());
    EXPECT_FALSE(cmd.action(ID_EDIT_SELECT_ALL)->isEnabled());

    // Two points whose every record byte differs from the default look's.
    planView->map().Add({Distinct(3, 10, 20), "one", "since one", "memo one"});
    planView->map().Add({Distinct(90, 30.5, 40.25), "two", "", "memo, \"two\""});
    cmd.updateAll();
    EXPECT_EQ(cmd.action(ID_EDIT_UNDO)->text(), "&Undo Add Point\tCtrl+Z");
    ASSERT_TRUE(cmd.execute(ID_EDIT_SELECT_ALL));
    cmd.updateAll();
    EXPECT_TRUE(cmd.action(ID_EDIT_COPY)->isEnabled());
    ASSERT_TRUE(cmd.execute(ID_EDIT_COPY));
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(PointClipboard::kMimeType));
    EXPECT_TRUE(data->text().startsWith("map,index,x,y,label,memo,since,since_text"))
        << data->text().toStdString();

    // Pasted into another picture, every byte of the records and texts arrives.
    ASSERT_NE(app->documents()->OpenDocumentFile(site), nullptr);
    CZelvorView* siteView = app->activeView();
    ASSERT_NE(siteView, planView);
    ASSERT_TRUE(cmd.execute(ID_EDIT_PASTE));
    EXPECT_EQ(EncodeMap(siteView->points()), EncodeMap(planView->points()));
    EXPECT_EQ(siteView->selection().count(), 2);
    cmd.updateAll();
    EXPECT_EQ(cmd.action(ID_EDIT_UNDO)->text(), "&Undo Paste\tCtrl+Z");
    ASSERT_TRUE(cmd.execute(ID_EDIT_UNDO));
    EXPECT_EQ(siteView->points().count(), 0);
    cmd.updateAll();
    EXPECT_EQ(cmd.action(ID_EDIT_REDO)->text(), "&Redo Paste\tCtrl+Y");
    EXPECT_EQ(cmd.action(ID_EDIT_UNDO)->text(), "&Undo\tCtrl+Z");

    // CSV text, as a spreadsheet puts it there, makes new points with the default look.
    QApplication::clipboard()->setText("x,y,label,memo\n12,34,Desk,by the window\n56,78,Door,\n");
    ASSERT_TRUE(cmd.execute(ID_EDIT_PASTE));
    ASSERT_EQ(siteView->points().count(), 2);
    EXPECT_EQ(siteView->points().label(0), "Desk");
    EXPECT_EQ(siteView->points().memo(0), "by the window");
    EXPECT_EQ(siteView->points().point(1).dY, 78.0);
    PointRecord look = siteView->points().point(1);
    const PointRecord& defaults = app->services()->defaults();
    look.dX = defaults.dX;
    look.dY = defaults.dY;
    EXPECT_EQ(StorageImage(look), StorageImage(defaults));

    // Anything else changes nothing.
    QApplication::clipboard()->setText("just some words");
    EXPECT_TRUE(cmd.execute(ID_EDIT_PASTE));
    EXPECT_EQ(siteView->points().count(), 2);
    ASSERT_TRUE(QuitApp(app));
}
