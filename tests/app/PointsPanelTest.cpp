// The Points panel in the main window: shown once a picture opens, listing the active picture's
// points with their count, filtering, centring a point on activation, Delete, View > Points.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "ActionBuilder.h"
#include "AppTestSupport.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "DocumentManager.h"
#include "MapFiles.h"
#include "OpenMap.h"
#include "PointsPanel.h"
#include "PointsTableModel.h"
#include "Resources.h"

namespace {

PointRecord At(double x, double y) {
    PointRecord rec = FactoryDefaults();
    rec.dX = x;
    rec.dY = y;
    return rec;
}

} // namespace

TEST(PointsPanelText, CountsAreWrittenInFull) {
    EXPECT_EQ(PointsPanel::CountText(12, 3400, true), "12 of 3,400 points");
    EXPECT_EQ(PointsPanel::CountText(3400, 3400, false), "3,400 points");
    EXPECT_EQ(PointsPanel::CountText(1, 1, false), "1 point");
    EXPECT_EQ(PointsPanel::CountText(0, 1000000, true), "0 of 1,000,000 points");
}

TEST_F(AppTest, PointsPanelListsFiltersCentresAndDeletes) {
    const QString picture = WritePicture("plan.png", {3000, 2000}, Qt::gray);
    PointList list;
    list.AddPoint(At(100, 100), "Boiler", "", "basement");
    list.AddPoint(At(2500, 1800), "Roof hatch", "", "locked");
    list.AddPoint(At(1500, 300), "boiler flue", "", "");
    ASSERT_TRUE(QDir().mkpath(mapsDir()));
    ASSERT_TRUE(SaveMapFile((mapsDir() + "/plan.map").toStdString(), list).ok());

    auto app = StartApp();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->pointsPanel(), nullptr) << "start-up makes no panel";
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    Settle();
    PointsPanel* panel = app->pointsPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible()) << "shown by default once a picture is open";
    CZelvorView* view = app->activeView();
    ASSERT_EQ(panel->attachedView(), view);
    EXPECT_EQ(panel->model().rowCount(), 3);
    EXPECT_EQ(panel->countLabel()->text(), "3 points");

    // The filter, with the count.
    panel->filterBox()->setText("BOILER");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->model().rowCount() == 2; }, 3000));
    EXPECT_EQ(panel->countLabel()->text(), "2 of 3 points");
    panel->filterBox()->clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->model().rowCount() == 3; }, 3000));

    // Activating a row puts its point in the middle of the view (1:1, scrolled there).
    app->mainFrame()->commands().execute(ID_VIEW_FULLSIZE);
    Settle();
    QTableView* table = panel->table();
    table->setFocus();
    table->setCurrentIndex(panel->model().index(1, 0));
    QTest::keyClick(table, Qt::Key_Return);
    const QSize vp = view->viewport()->size();
    EXPECT_EQ(view->scrollPosition(), QPoint(2500 - vp.width() / 2, 1800 - vp.height() / 2));

    // Activation selected that point in the view too: the selection is shared both ways.
    ASSERT_EQ(view->selection().count(), 1);
    EXPECT_EQ(view->points().label(view->map().map().indexOf(view->selection().ids()[0])),
              "Roof hatch");
    table->selectRow(0);
    ASSERT_EQ(view->selection().count(), 1);
    EXPECT_EQ(view->selection().ids()[0], view->map().map().idAt(0));
    view->selection().set({view->map().map().idAt(1), view->map().map().idAt(2)});
    EXPECT_EQ(panel->selectedPoints(), std::vector<int>({1, 2}));

    // Under a filter that reorders the rows the view's selection still shows on its points.
    panel->filterBox()->setText("boiler");
    panel->table()->sortByColumn(0, Qt::DescendingOrder); // "boiler flue" (2), "Boiler" (0)
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return panel->model().rowCount() == 2 && !panel->model().isBusy(); }, 3000));
    Settle();
    EXPECT_EQ(panel->model().pointAt(0), 2);
    EXPECT_EQ(panel->selectedPoints(), std::vector<int>({2}));
    panel->filterBox()->clear();
    panel->table()->sortByColumn(-1, Qt::AscendingOrder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->model().rowCount() == 3; }, 3000));

    // Delete removes the selected points after the view's one question, in one step.
    table->selectRow(0);
    m_messageAnswer = QMessageBox::Yes;
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages.back(), "Remove that Point?\n\n Boiler");
    EXPECT_EQ(view->points().count(), 2);
    EXPECT_EQ(panel->model().rowCount(), 2);
    EXPECT_EQ(panel->countLabel()->text(), "2 points");

    // Several at once are one step: one undo brings them all back, and the list follows.
    table->selectAll();
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_EQ(m_messages.size(), 2);
    EXPECT_EQ(view->points().count(), 0);
    ASSERT_TRUE(view->map().Undo());
    EXPECT_EQ(view->points().count(), 2);
    EXPECT_EQ(panel->model().rowCount(), 2);
    EXPECT_EQ(panel->countLabel()->text(), "2 points");
    ASSERT_TRUE(view->map().Undo());
    EXPECT_EQ(panel->model().rowCount(), 3) << "the first Delete was a step of its own";

    // View > Points hides it, and it stays hidden for the next picture.
    ActionBuilder& cmd = app->mainFrame()->commands();
    EXPECT_TRUE(cmd.action(ID_VIEW_POINTS)->isChecked());
    EXPECT_TRUE(cmd.execute(ID_VIEW_POINTS));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(settings().value("PointsPanel/visible", true).toBool());
    const QString second = WritePicture("other.png", {200, 100}, Qt::red);
    ASSERT_NE(app->documents()->OpenDocumentFile(second), nullptr);
    Settle();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->attachedView(), app->activeView()) << "it follows the active picture";
    EXPECT_EQ(panel->model().rowCount(), 0);
    EXPECT_TRUE(QuitApp(app));
}

TEST_F(AppTest, PointsPanelOpensWhereItWasLastDocked) {
    settings().setValue("PointsPanel/area", int(Qt::LeftDockWidgetArea));
    const QString picture = WritePicture("plan.png", {200, 100}, Qt::gray);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    Settle();
    ASSERT_NE(app->pointsPanel(), nullptr);
    EXPECT_EQ(app->mainFrame()->dockWidgetArea(app->pointsPanel()), Qt::LeftDockWidgetArea);
    app->mainFrame()->addDockWidget(Qt::BottomDockWidgetArea, app->pointsPanel());
    EXPECT_EQ(settings().value("PointsPanel/area").toInt(), int(Qt::BottomDockWidgetArea));
    EXPECT_TRUE(QuitApp(app));

    settings().setValue("PointsPanel/area", 12345); // damaged: the usual place
    app = StartApp();
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    Settle();
    EXPECT_EQ(app->mainFrame()->dockWidgetArea(app->pointsPanel()), Qt::RightDockWidgetArea);
    EXPECT_TRUE(QuitApp(app));
}

TEST_F(AppTest, PictureWindowsFitTheAreaLeftBesideTheShownPanel) {
    // The panel appears after the first picture window has taken its size; the window must be
    // narrowed into what the panel leaves, not reach behind the area's scroll bars. So must a
    // window when View > Points shows the panel again.
    const QString picture = WritePicture("plan.png", {400, 300}, Qt::gray);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    Settle();
    ASSERT_NE(app->pointsPanel(), nullptr);
    ASSERT_TRUE(app->pointsPanel()->isVisible());
    QMdiArea* area = app->mainFrame()->mdiArea();
    const auto fits = [area] {
        for (const QMdiSubWindow* window : area->subWindowList()) {
            if (!area->viewport()->rect().contains(window->geometry())) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(fits());

    ActionBuilder& cmd = app->mainFrame()->commands();
    ASSERT_TRUE(cmd.execute(ID_VIEW_POINTS)); // hidden
    Settle();
    QMdiSubWindow* window = area->subWindowList().front();
    window->setGeometry(area->viewport()->rect()); // the whole, wider area
    ASSERT_TRUE(cmd.execute(ID_VIEW_POINTS)); // shown again
    Settle();
    EXPECT_TRUE(app->pointsPanel()->isVisible());
    EXPECT_TRUE(fits());
    EXPECT_TRUE(QuitApp(app));
}
