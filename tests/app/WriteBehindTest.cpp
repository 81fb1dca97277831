// Saving while the program runs, seen from the windows: a map that cannot be written shows in
// its window's title until a save succeeds; "Save Settings" reaches Defaults.map at once.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "CChildFrame.h"
#include "CDia_Point.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "Document.h"
#include "DocumentManager.h"
#include "MapFiles.h"

TEST_F(AppTest, AMapThatCannotBeWrittenShowsInTheTitleUntilASaveSucceeds) {
    const QString picture = WritePicture("plan.png", {200, 100}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    auto* frame = qobject_cast<CChildFrame*>(app->documents()->activeFrame());
    ASSERT_NE(frame, nullptr);
    CZelvorView* view = frame->view();
    view->mapSaver().setTiming({20, 50, 10});
    const QString map = mapsDir() + "/plan.map";
    ASSERT_TRUE(QDir().mkpath(map + "/blocked"));

    view->map().Add({FactoryDefaults(), "precious", "", ""});
    view->mapSaver().Changed();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return frame->windowTitle() == "plan.png (not saved)"; }, 2000))
        << frame->windowTitle().toStdString();
    EXPECT_TRUE(frame->toolTip().contains("plan.map")) << frame->toolTip().toStdString();
    EXPECT_TRUE(m_messages.isEmpty());

    ASSERT_TRUE(QDir(map).removeRecursively());
    view->mapSaver().Changed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame->windowTitle() == "plan.png"; }, 2000));
    EXPECT_TRUE(QFileInfo(map).isFile());
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, SaveSettingsWritesTheDefaultsAtOnce) {
    const QString picture = WritePicture("plan.png", {200, 100}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    AnswerNext<CDia_Point>([](CDia_Point* dialog) {
        auto* cross = dialog->findChild<QLineEdit*>("1003");
        auto* save = dialog->findChild<QCheckBox*>("1013");
        auto* ok = dialog->findChild<QPushButton*>("1");
        if (cross == nullptr || save == nullptr || ok == nullptr) {
            dialog->reject();
            return;
        }
        cross->setText("12");
        save->setChecked(true);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::mouseDClick(app->activeView()->viewport(), Qt::LeftButton, Qt::NoModifier, {50, 40});
    Settle();

    PointRecord saved{};
    ASSERT_EQ(LoadDefaultsFile((baseDir() + "/Defaults.map").toStdString(), saved).status,
              FileResult::Ok);
    EXPECT_EQ(saved.nCrossSize, 12);
    ASSERT_TRUE(QuitApp(app));
}
