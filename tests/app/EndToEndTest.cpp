// The program end to end, in process and headless: open a picture through File Open, add a point
// with the mouse and the Point dialog, close, quit, and check the files; the second start; Save
// and Save As; New Window; reopening; a map save that fails at close.
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ActionBuilder.h"
#include "CChildFrame.h"
#include "CDia_Point.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorDoc.h"
#include "CZelvorView.h"
#include "Document.h"
#include "DocumentManager.h"
#include "MapFiles.h"
#include "RecentFileList.h"
#include "Resources.h"

namespace {
// Answers the next File Open or Save As dialog with `path`.
void ChooseFile(const QString& path) {
    AnswerNext<QFileDialog>([path](QFileDialog* dialog) {
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Answers the next Point dialog: types `label` into the label box and presses OK.
void TypeLabelAndOk(const QString& label) {
    AnswerNext<CDia_Point>([label](CDia_Point* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>("1002");
        auto* ok = dialog->findChild<QPushButton*>("1");
        if (edit == nullptr || ok == nullptr) {
            dialog->reject();
            return;
        }
        edit->selectAll();
        QTest::keyClicks(edit, label);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
}

QByteArray MapBytes(const PointList& list) {
    return QByteArray::fromStdString(EncodeMap(list));
}
} // namespace

TEST_F(AppTest, OpenAddAPointCloseQuitAndFindItAgainAtTheNextStart) {
    const QString picture = WritePicture("plan.png", {400, 300}, QColor(200, 220, 240));
    const QByteArray pictureBytes = ReadAll(picture);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ActionBuilder& cmd = app->mainFrame()->commands();

    // File Open, as the menu item runs it.
    ChooseFile(picture);
    EXPECT_TRUE(cmd.execute(ID_FILE_OPEN));
    Settle();
    Document* doc = app->documents()->activeDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "plan.png");
    const auto* zelvorDoc = qobject_cast<CZelvorDoc*>(doc);
    ASSERT_NE(zelvorDoc, nullptr);
    EXPECT_EQ(QString::fromStdString(zelvorDoc->readPath()), picture);
    EXPECT_EQ(zelvorDoc->readName(), "plan.png");
    CZelvorView* view = app->activeView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->HasPicture());
    EXPECT_TRUE(view->isTicking());

    // Full Size, then a double-click on empty space adds a point where clicked.
    EXPECT_TRUE(cmd.execute(ID_VIEW_FULLSIZE));
    TypeLabelAndOk("Desk");
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 40));
    Settle();
    ASSERT_EQ(view->points().count(), 1);
    EXPECT_EQ(view->points().label(0), "Desk");
    EXPECT_DOUBLE_EQ(view->points().point(0).dX, 50.0);
    EXPECT_DOUBLE_EQ(view->points().point(0).dY, 40.0);

    // Ctrl+S leaves the picture as it was.
    EXPECT_TRUE(cmd.action(ID_FILE_SAVE)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_S)));
    EXPECT_TRUE(cmd.execute(ID_FILE_SAVE));
    EXPECT_EQ(ReadAll(picture), pictureBytes);
    // The point reaches the map within two seconds, with the window still open.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ReadAll(mapsDir() + "/plan.map").size() == 2 + 184 + 3 + 7 + 3; }, 2000));

    ASSERT_TRUE(QuitApp(app));

    // The map: the default look with the point's position and label, byte for byte.
    PointRecord expected = FactoryDefaults();
    expected.dX = 50.0;
    expected.dY = 40.0;
    PointList list;
    list.AddPoint(expected, "Desk", "", "");
    const QByteArray map = ReadAll(mapsDir() + "/plan.map");
    EXPECT_EQ(map.size(), 2 + 184 + 3 + 7 + 3);
    EXPECT_EQ(map, MapBytes(list));
    EXPECT_EQ(map.mid(2 + 184, 3), QByteArray("\x01\x00\x00", 3)); // one empty memo
    EXPECT_EQ(map.mid(2 + 184 + 3, 7), QByteArray("\x01\x00\x04"
                                                  "Desk",
                                                  7));
    // Defaults.map: the untouched factory record.
    const QByteArray defaults = ReadAll(baseDir() + "/Defaults.map");
    ASSERT_EQ(defaults.size(), 186);
    const RecordImage factory = StorageImage(FactoryDefaults());
    EXPECT_EQ(defaults, QByteArray("\x01\x00", 2) +
                            QByteArray(reinterpret_cast<const char*>(factory.data()), 184));
    EXPECT_EQ(ReadAll(picture), pictureBytes);
    settings().sync();
    EXPECT_EQ(settings().value("Recent File List/File1").toString(), picture);

    // The next start changes into MAPS and finds the point again through the recent files.
    QDir::setCurrent(baseDir());
    app = StartApp();
    ASSERT_TRUE(app);
    EXPECT_EQ(QDir::currentPath(), mapsDir());
    ASSERT_EQ(app->recentFiles().size(), 1);
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_MRU_FILE1));
    Settle();
    ASSERT_NE(app->activeView(), nullptr);
    ASSERT_EQ(app->activeView()->points().count(), 1);
    EXPECT_EQ(app->activeView()->points().label(0), "Desk");
    ASSERT_TRUE(QuitApp(app));
    EXPECT_EQ(ReadAll(mapsDir() + "/plan.map"), map);
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(AppTest, AWindowClosedWhileItsPointDialogRunsEndsTheDialogAndGoesAfterIt) {
    const QString picture = WritePicture("plan.png", {400, 300}, QColor(200, 220, 240));
    auto app = StartApp();
    ASSERT_TRUE(app);
    Document* doc = app->documents()->OpenDocumentFile(picture);
    ASSERT_NE(doc, nullptr);
    CZelvorView* view = app->activeView();
    ASSERT_NE(view, nullptr);
    TypeLabelAndOk("Desk");
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 40));
    Settle();
    ASSERT_EQ(view->points().count(), 1);

    // While the next Point dialog runs, with a label typed, its document is closed.
    bool closed = false;
    AnswerNext<CDia_Point>([&](CDia_Point* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("1002"), "Lost");
        closed = app->documents()->CloseDocument(*doc);
    });
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    EXPECT_TRUE(closed);
    Settle();
    EXPECT_TRUE(app->documents()->documents().empty());
    EXPECT_TRUE(app->mainFrame()->mdiArea()->subWindowList().isEmpty());
    PointList saved;
    ASSERT_EQ(LoadMapFile((mapsDir() + "/plan.map").toStdString(), saved).status, FileResult::Ok);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.label(0), "Desk");
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, SaveAsMakesAnEmptyFileAndRetitlesWithoutTouchingThePicture) {
    const QString picture = WritePicture("plan.png", {200, 100}, Qt::red);
    const QByteArray pictureBytes = ReadAll(picture);
    auto app = StartApp();
    ASSERT_TRUE(app);
    Document* doc = app->documents()->OpenDocumentFile(picture);
    ASSERT_NE(doc, nullptr);
    CZelvorView* view = app->activeView();
    view->map().Add({FactoryDefaults(), "kept", "", ""});

    const QString copy = baseDir() + "/pics/copy.dat";
    ChooseFile(copy);
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_SAVE_AS));
    Settle();
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(QFileInfo(copy).size(), 0);
    EXPECT_EQ(doc->GetTitle(), "copy.dat");
    EXPECT_EQ(doc->frames()[0]->windowTitle(), "copy.dat");
    EXPECT_EQ(app->mainFrame()->windowTitle(), "Zelvor - copy.dat");
    EXPECT_EQ(app->recentFiles().at(0), copy);
    EXPECT_TRUE(view->HasPicture()); // the view still shows the picture
    EXPECT_EQ(ReadAll(picture), pictureBytes);

    // Save As aimed at the picture itself, and Save under either name, write nothing.
    EXPECT_TRUE(app->documents()->SaveDocumentAs(*doc, picture));
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_FILE_SAVE));
    EXPECT_EQ(ReadAll(picture), pictureBytes);
    ASSERT_TRUE(QuitApp(app));
    EXPECT_EQ(ReadAll(picture), pictureBytes);
    // The map still belongs to the picture's name.
    PointList saved;
    EXPECT_TRUE(LoadMapFile(MapPathFor(baseDir().toStdString(), "plan.png"), saved).ok());
    EXPECT_EQ(saved.count(), 1);

    // Reopening the empty file gives a window without a picture, and writes no map for it.
    QDir::setCurrent(baseDir());
    app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(copy), nullptr);
    ASSERT_NE(app->activeView(), nullptr);
    EXPECT_FALSE(app->activeView()->HasPicture());
    ASSERT_TRUE(QuitApp(app));
    EXPECT_FALSE(QFileInfo::exists(mapsDir() + "/copy.map"));
}

TEST_F(AppTest, NewWindowShowsItsDocumentsPictureAndReopeningActivates) {
    const QString plan = WritePicture("plan.png", {300, 200}, Qt::red);
    const QString photo = WritePicture("photo.png", {200, 300}, Qt::blue);
    auto app = StartApp();
    ASSERT_TRUE(app);
    DocumentManager& docs = *app->documents();
    Document* planDoc = docs.OpenDocumentFile(plan);
    ASSERT_NE(planDoc, nullptr);
    app->activeView()->map().Add({FactoryDefaults(), "p", "", ""});
    Document* photoDoc = docs.OpenDocumentFile(photo);
    ASSERT_NE(photoDoc, nullptr);

    // Reopening the plan only brings its window forward.
    EXPECT_EQ(docs.OpenDocumentFile(plan), planDoc);
    EXPECT_EQ(docs.activeDocument(), planDoc);
    EXPECT_EQ(app->mainFrame()->mdiArea()->subWindowList().size(), 2);

    // Window > New Window on the plan shows the plan, not the last file read.
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_WINDOW_NEW));
    Settle();
    ASSERT_EQ(planDoc->frames().size(), 2);
    EXPECT_EQ(planDoc->frames()[0]->windowTitle(), "plan.png:1");
    EXPECT_EQ(planDoc->frames()[1]->windowTitle(), "plan.png:2");
    auto* second = qobject_cast<CChildFrame*>(planDoc->frames()[1]);
    ASSERT_NE(second, nullptr);
    CZelvorView* view = second->view();
    ASSERT_TRUE(view->HasPicture());
    EXPECT_EQ(view->points().count(), 1); // every window of the plan shows its one map
    const QImage surface = view->surfaceImage();
    ASSERT_FALSE(surface.isNull());
    EXPECT_EQ(QColor(surface.pixel(2, 2)), QColor(Qt::red));
    EXPECT_EQ(view->mapPath(), MapPathFor(baseDir().toStdString(), "plan.png"));
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, AMapThatCannotBeSavedKeepsTheWindowOpenUntilTheUserDecides) {
    const QString picture = WritePicture("plan.png", {200, 100}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    app->activeView()->map().Add({FactoryDefaults(), "precious", "", ""});

    // A folder where the map file should go makes the save fail.
    ASSERT_TRUE(QDir().mkpath(mapsDir() + "/plan.map/blocked"));
    m_messageAnswer = QMessageBox::Cancel;
    EXPECT_FALSE(app->mainFrame()->close());
    Settle();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("plan.map")) << m_messages[0].toStdString();
    EXPECT_TRUE(app->mainFrame()->isVisible());
    ASSERT_NE(app->activeView(), nullptr);
    EXPECT_EQ(app->activeView()->points().count(), 1);

    // Once the way is clear the close goes through and the point is saved.
    ASSERT_TRUE(QDir(mapsDir() + "/plan.map").removeRecursively());
    ASSERT_TRUE(QuitApp(app));
    EXPECT_EQ(m_messages.size(), 1);
    PointList saved;
    EXPECT_EQ(LoadMapFile(MapPathFor(baseDir().toStdString(), "plan.png"), saved).status,
              FileResult::Ok);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.label(0), "precious");
}

TEST_F(AppTest, ZeroByteAndNonPictureFilesOpenAsBlankWindows) {
    const QString empty = baseDir() + "/pics/empty.png";
    ASSERT_TRUE(WriteAll(empty, ""));
    const QString text = baseDir() + "/pics/notes.txt";
    ASSERT_TRUE(WriteAll(text, "not a picture"));
    // A map with the same stem as the text file must survive its blank window.
    ASSERT_TRUE(QDir().mkpath(mapsDir()));
    const QByteArray existingMap(8, '\0');
    ASSERT_TRUE(WriteAll(mapsDir() + "/notes.map", existingMap));

    auto app = StartApp();
    ASSERT_TRUE(app);
    const auto* emptyDoc = qobject_cast<CZelvorDoc*>(app->documents()->OpenDocumentFile(empty));
    ASSERT_NE(emptyDoc, nullptr);
    EXPECT_EQ(emptyDoc->readName(), ""); // nothing read
    EXPECT_FALSE(app->activeView()->HasPicture());
    const auto* textDoc = qobject_cast<CZelvorDoc*>(app->documents()->OpenDocumentFile(text));
    ASSERT_NE(textDoc, nullptr);
    EXPECT_EQ(textDoc->readName(), "notes.txt"); // read, but not a picture
    EXPECT_FALSE(app->activeView()->HasPicture());
    ASSERT_TRUE(QuitApp(app));
    EXPECT_EQ(ReadAll(mapsDir() + "/notes.map"), existingMap);
    EXPECT_FALSE(QFileInfo::exists(mapsDir() + "/empty.map"));
    EXPECT_TRUE(m_messages.isEmpty());
}
