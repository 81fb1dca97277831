// The application shell: start-up and shut-down with the start-up directory, the MAPS folder and
// Defaults.map; menus 128 and 129; the command rules; the toolbar and status bar; File New;
// About; help; the Window menu; the recent-file menu.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

#include <functional>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "AppTestSupport.h"
#include "ActionBuilder.h"
#include "AppServices.h"
#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorDoc.h"
#include "CZelvorView.h"
#include "ContextHelpMode.h"
#include "Document.h"
#include "DocumentManager.h"
#include "HelpWindow.h"
#include "LockKeyIndicators.h"
#include "MapFiles.h"
#include "RecentFileList.h"
#include "Resources.h"
#include "WindowListMenu.h"
#include "WindowPlacement.h"

namespace {
QByteArray DefaultsBytes(const PointRecord& rec) {
    const RecordImage image = StorageImage(rec);
    return QByteArray("\x01\x00", 2) +
           QByteArray(reinterpret_cast<const char*>(image.data()), int(image.size()));
}

QStringList Titles(const QList<QAction*>& actions) {
    QStringList titles;
    for (const QAction* action : actions) {
        titles.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return titles;
}

QMenu* Popup(CMainFrame& frame, const QString& title) {
    for (QAction* action : frame.menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

// Counts the title changes of a window while it lives.
class TitleChangeCounter : public QObject {
public:
    TitleChangeCounter(QWidget* window, int* count) : m_count(count) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange) {
            ++*m_count;
        }
        return false;
    }

private:
    int* m_count;
};

bool Enabled(CZelvorApp& app, int id) {
    app.mainFrame()->commands().updateAll();
    return app.mainFrame()->commands().action(id)->isEnabled();
}

bool Checked(CZelvorApp& app, int id) {
    app.mainFrame()->commands().updateAll();
    return app.mainFrame()->commands().action(id)->isChecked();
}
} // namespace

TEST_F(AppTest, FirstStartCreatesMapsAndStaysSecondStartChangesIntoIt) {
    ASSERT_FALSE(QFileInfo::exists(mapsDir()));
    auto app = StartApp();
    ASSERT_TRUE(app);
    EXPECT_TRUE(QFileInfo(mapsDir()).isDir());
    EXPECT_EQ(QDir::currentPath(), baseDir());
    EXPECT_FALSE(app->startupFolder().changedIntoMaps);
    EXPECT_EQ(QString::fromStdString(app->services()->baseDir()), baseDir());
    EXPECT_EQ(StorageImage(app->services()->defaults()), StorageImage(FactoryDefaults()));
    EXPECT_TRUE(app->mainFrame()->isVisible());
    EXPECT_TRUE(app->mainFrame()->mdiArea()->subWindowList().isEmpty());
    ASSERT_TRUE(QuitApp(app));
    // The first exit creates Defaults.map with the factory values.
    EXPECT_EQ(ReadAll(baseDir() + "/Defaults.map"), DefaultsBytes(FactoryDefaults()));

    // A defaults file of three records: the first is used, one is written back.
    PointRecord first = FactoryDefaults();
    first.nCrossSize = 21;
    first.bShowRect = 1;
    PointRecord other = FactoryDefaults();
    other.nCrossSize = 3;
    QByteArray three("\x03\x00", 2);
    for (const PointRecord& rec : {first, other, other}) {
        const RecordImage image = StorageImage(rec);
        three += QByteArray(reinterpret_cast<const char*>(image.data()), int(image.size()));
    }
    ASSERT_TRUE(WriteAll(baseDir() + "/Defaults.map", three));

    QDir::setCurrent(baseDir());
    app = StartApp();
    ASSERT_TRUE(app);
    EXPECT_EQ(QDir::currentPath(), mapsDir());
    EXPECT_TRUE(app->startupFolder().changedIntoMaps);
    EXPECT_EQ(QString::fromStdString(app->services()->baseDir()), baseDir());
    EXPECT_EQ(app->services()->defaults().nCrossSize, 21);
    ASSERT_TRUE(QuitApp(app));
    EXPECT_EQ(ReadAll(baseDir() + "/Defaults.map"), DefaultsBytes(first));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(AppTest, AMapsFolderThatCannotBeUsedIsToldOnceAndTheProgramStillWorks) {
    ASSERT_TRUE(WriteAll(mapsDir(), "a file in the way"));
    const QString picture = WritePicture("plan.png", {120, 80}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(mapsDir())) << m_messages[0].toStdString();
    app->ReportStorageProblem();
    EXPECT_EQ(m_messages.size(), 1); // told once

    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    CZelvorView* view = app->activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->HasPicture());
    view->map().Add({FactoryDefaults(), "lost", "", ""});

    // The point cannot be saved: the user is asked, and Discard lets the window close.
    m_messageAnswer = QMessageBox::Discard;
    ASSERT_TRUE(QuitApp(app));
    EXPECT_EQ(m_messages.filter("Points cannot be saved in this folder").size(), 1);
    ASSERT_EQ(m_messages.size(), 2); // no second message about the unreadable map
    EXPECT_TRUE(m_messages.last().contains("Discard")) << m_messages.last().toStdString();
    EXPECT_EQ(ReadAll(mapsDir()), QByteArray("a file in the way"));
    EXPECT_EQ(QDir::currentPath(), baseDir());
    EXPECT_EQ(ReadAll(baseDir() + "/Defaults.map").size(), 186);
}

// A Defaults.map that exists but cannot be read is reported once at start-up, the factory
// defaults are used, and it is left as it is at exit, also when Save Settings changed the look.
TEST_F(AppTest, AnUnreadableDefaultsFileIsToldOnceAndKept) {
    const QString path = baseDir() + "/Defaults.map";
    const std::string native = QFile::encodeName(path).toStdString();
    const struct {
        const char* what;
        std::function<bool()> make;
        std::function<bool()> unchanged;
    } cases[] = {
        {"a folder", [&] { return QDir().mkdir(path); },
         [&] { return QFileInfo(path).isDir(); }},
        {"a FIFO", [&] { return ::mkfifo(native.c_str(), 0600) == 0; },
         [&] {
             struct stat st {};
             return ::lstat(native.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
         }},
    };
    for (const auto& c : cases) {
        QFile::remove(path);
        QDir().rmdir(path);
        m_messages.clear();
        ASSERT_TRUE(c.make()) << c.what;
        auto app = StartApp();
        ASSERT_TRUE(app);
        ASSERT_EQ(m_messages.size(), 1) << c.what;
        EXPECT_TRUE(m_messages[0].contains(path)) << m_messages[0].toStdString();
        app->ReportStorageProblem();
        EXPECT_EQ(m_messages.size(), 1) << c.what; // told once
        EXPECT_EQ(StorageImage(app->services()->defaults()), StorageImage(FactoryDefaults()))
            << c.what;
        PointRecord look = FactoryDefaults();
        look.nCrossSize = 17;
        app->services()->SetDefaults(look); // as "Save Settings" does
        ASSERT_TRUE(QuitApp(app));
        EXPECT_TRUE(c.unchanged()) << c.what;
        EXPECT_EQ(m_messages.size(), 1) << c.what;
    }
}

TEST_F(AppTest, MenusSwitchBetweenTheMainAndTheDocumentMenu) {
    const QString picture = WritePicture("plan.png", {120, 80}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    CMainFrame& frame = *app->mainFrame();
    EXPECT_EQ(frame.currentMenuId(), IDR_MAINFRAME);
    EXPECT_EQ(Titles(frame.menuBar()->actions()), QStringList({"&File", "&View", "&Help"}));
    ASSERT_NE(Popup(frame, "&View"), nullptr);
    EXPECT_EQ(Titles(Popup(frame, "&View")->actions()), QStringList({"&Toolbar", "&Status Bar"}));
    EXPECT_EQ(frame.windowTitle(), "Zelvor");

    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    Settle();
    EXPECT_EQ(frame.currentMenuId(), IDR_ZelvorTYPE);
    EXPECT_EQ(Titles(frame.menuBar()->actions()),
              QStringList({"&File", "&Edit", "&View", "&Window", "&Help"}));
    EXPECT_EQ(Titles(Popup(frame, "&View")->actions()),
              QStringList({"&Toolbar", "&Status Bar", "&Points", "-", "Full Size",
                           "Fit Picture\tCtrl+0", "Show Texts", "Zoom Plus", "Zoom Minus"}));
    EXPECT_EQ(frame.windowTitle(), "Zelvor - plan.png");

    // Maximised, the document's window title goes in brackets, and stays put.
    QMdiSubWindow* window = frame.mdiArea()->currentSubWindow();
    ASSERT_NE(window, nullptr);
    window->showMaximized();
    Settle();
    EXPECT_EQ(frame.windowTitle(), "Zelvor - [plan.png]");
    int titleChanges = 0;
    TitleChangeCounter counter(&frame, &titleChanges);
    Settle();
    Settle();
    EXPECT_EQ(titleChanges, 0);
    EXPECT_EQ(frame.windowTitle(), "Zelvor - [plan.png]");
    window->showNormal();
    Settle();
    EXPECT_EQ(frame.windowTitle(), "Zelvor - plan.png");

    ASSERT_TRUE(app->documents()->CloseAllDocuments());
    Settle();
    EXPECT_EQ(frame.currentMenuId(), IDR_MAINFRAME);
    EXPECT_EQ(Titles(frame.menuBar()->actions()), QStringList({"&File", "&View", "&Help"}));
    EXPECT_EQ(frame.windowTitle(), "Zelvor");
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, CommandRulesFollowTheActiveView) {
    const QString picture = WritePicture("plan.png", {300, 200}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ActionBuilder& cmd = app->mainFrame()->commands();

    // Without a document only the application's commands are available.
    EXPECT_TRUE(Enabled(*app, ID_FILE_OPEN));
    for (int id : {ID_FILE_CLOSE, ID_FILE_SAVE_AS, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW,
                   ID_VIEW_FULLSIZE, ID_VIEW_SHOWTEXTS, ID_VIEW_ZOOMPLUS, ID_WINDOW_NEW}) {
        EXPECT_FALSE(Enabled(*app, id)) << id;
    }

    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
    CZelvorView* view = app->activeView();
    ASSERT_NE(view, nullptr);

    // Fit mode: Full Size unchecked, zooming disabled and doing nothing.
    EXPECT_TRUE(Enabled(*app, ID_VIEW_FULLSIZE));
    EXPECT_FALSE(Checked(*app, ID_VIEW_FULLSIZE));
    EXPECT_TRUE(Checked(*app, ID_VIEW_SHOWTEXTS));
    EXPECT_FALSE(Enabled(*app, ID_VIEW_ZOOMPLUS));
    EXPECT_FALSE(Enabled(*app, ID_VIEW_ZOOMMINUS));
    const double fitZoom = view->zoom();
    EXPECT_FALSE(cmd.execute(ID_VIEW_ZOOMPLUS));
    EXPECT_FALSE(cmd.execute(ID_VIEW_ZOOMMINUS));
    EXPECT_EQ(view->zoom(), fitZoom);
    EXPECT_FALSE(view->IsZoomMode());

    // Zoom mode: checked, starting at 1.0, zooming by 1.1 and 0.9.
    EXPECT_TRUE(cmd.execute(ID_VIEW_FULLSIZE));
    EXPECT_TRUE(view->IsZoomMode());
    EXPECT_TRUE(Checked(*app, ID_VIEW_FULLSIZE));
    EXPECT_DOUBLE_EQ(view->zoom(), 1.0);
    EXPECT_TRUE(Enabled(*app, ID_VIEW_ZOOMPLUS));
    EXPECT_TRUE(cmd.execute(ID_VIEW_ZOOMPLUS));
    EXPECT_TRUE(cmd.execute(ID_VIEW_ZOOMPLUS));
    EXPECT_DOUBLE_EQ(view->zoom(), 1.1 * 1.1);
    EXPECT_TRUE(cmd.execute(ID_VIEW_ZOOMMINUS));
    EXPECT_DOUBLE_EQ(view->zoom(), 1.1 * 1.1 * 0.9);

    // Back to fit mode, and in again: zoom restarts at 1.0.
    EXPECT_TRUE(cmd.execute(ID_VIEW_FULLSIZE));
    EXPECT_FALSE(Checked(*app, ID_VIEW_FULLSIZE));
    EXPECT_FALSE(Enabled(*app, ID_VIEW_ZOOMMINUS));
    EXPECT_TRUE(cmd.execute(ID_VIEW_FULLSIZE));
    EXPECT_DOUBLE_EQ(view->zoom(), 1.0);

    EXPECT_TRUE(cmd.execute(ID_VIEW_SHOWTEXTS));
    EXPECT_FALSE(view->IsShowTexts());
    EXPECT_FALSE(Checked(*app, ID_VIEW_SHOWTEXTS));

    // The toolbar button carries the same state and the exact tooltip.
    QAction* zoomPlus = cmd.action(ID_VIEW_ZOOMPLUS);
    EXPECT_EQ(zoomPlus->toolTip(), "Make more Zomm");
    QWidget* button = app->mainFrame()->m_wndToolBar->widgetForAction(zoomPlus);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), "Make more Zomm");
    EXPECT_TRUE(button->isEnabled());
    auto* fullSizeButton = qobject_cast<QToolButton*>(
        app->mainFrame()->m_wndToolBar->widgetForAction(cmd.action(ID_VIEW_FULLSIZE)));
    ASSERT_NE(fullSizeButton, nullptr);
    EXPECT_TRUE(fullSizeButton->isChecked());
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, ToolbarDocksOnEverySideFloatsAndTogglesFromTheViewMenu) {
    auto app = StartApp();
    ASSERT_TRUE(app);
    CMainFrame& frame = *app->mainFrame();
    QToolBar* bar = frame.m_wndToolBar;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(frame.toolBarArea(bar), Qt::TopToolBarArea);
    EXPECT_TRUE(bar->isMovable());
    EXPECT_TRUE(bar->isFloatable());
    for (Qt::ToolBarArea side :
         {Qt::LeftToolBarArea, Qt::BottomToolBarArea, Qt::RightToolBarArea, Qt::TopToolBarArea}) {
        EXPECT_TRUE(bar->isAreaAllowed(side));
        frame.addToolBar(side, bar);
        EXPECT_EQ(frame.toolBarArea(bar), side);
    }
    // Nine entries: eight buttons and the separator.
    EXPECT_EQ(bar->actions().size(), 9);

    EXPECT_TRUE(Checked(*app, ID_VIEW_TOOLBAR));
    EXPECT_TRUE(frame.commands().execute(ID_VIEW_TOOLBAR));
    EXPECT_TRUE(bar->isHidden());
    EXPECT_FALSE(Checked(*app, ID_VIEW_TOOLBAR));
    EXPECT_TRUE(frame.commands().execute(ID_VIEW_TOOLBAR));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(Checked(*app, ID_VIEW_TOOLBAR));

    EXPECT_TRUE(Checked(*app, ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(frame.commands().execute(ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(frame.m_wndStatusBar->isHidden());
    EXPECT_FALSE(Checked(*app, ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(frame.commands().execute(ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(Checked(*app, ID_VIEW_STATUS_BAR));
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, StatusBarPanesAndContextHelp) {
    auto app = StartApp();
    ASSERT_TRUE(app);
    CMainFrame& frame = *app->mainFrame();
    EXPECT_EQ(frame.m_wndStatusBar->currentMessage(), " ");
    QLabel* caps = frame.indicator(ID_INDICATOR_CAPS);
    QLabel* num = frame.indicator(ID_INDICATOR_NUM);
    QLabel* scroll = frame.indicator(ID_INDICATOR_SCRL);
    ASSERT_TRUE(caps && num && scroll);
    EXPECT_EQ(frame.indicator(ID_SEPARATOR), nullptr);

    // Headless there is no keyboard to ask: the indicators stay blank.
    if (QGuiApplication::platformName() == "offscreen") {
        EXPECT_FALSE(LockKeyIndicators::Query().has_value());
        EXPECT_EQ(caps->text(), "");
    }
    LockKeyIndicators shown(caps, num, scroll);
    shown.Show(LockKeyStates{true, false, true});
    EXPECT_EQ(caps->text(), "CAP");
    EXPECT_EQ(num->text(), "");
    EXPECT_EQ(scroll->text(), "SCRL");
    shown.Show(LockKeyStates{false, true, false});
    EXPECT_EQ(caps->text(), "");
    EXPECT_EQ(num->text(), "NUM");
    shown.Show(std::nullopt);
    EXPECT_EQ(num->text(), "");

    // Shift+F1: What's This mode with its text in pane 0, the idle text after it.
    EXPECT_TRUE(frame.commands()
                    .action(ID_CONTEXT_HELP)
                    ->shortcuts()
                    .contains(QKeySequence(Qt::SHIFT | Qt::Key_F1)));
    EXPECT_TRUE(frame.commands().execute(ID_CONTEXT_HELP));
    EXPECT_TRUE(ContextHelpMode::isActive());
    EXPECT_EQ(frame.m_wndStatusBar->currentMessage(), "Select an object on which to get Help");
    frame.contextHelp()->leave();
    EXPECT_FALSE(ContextHelpMode::isActive());
    EXPECT_EQ(frame.m_wndStatusBar->currentMessage(), " ");
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, HelpTopicsAndF1ShowTheShippedHelpPage) {
    auto app = StartApp();
    ASSERT_TRUE(app);
    CMainFrame& frame = *app->mainFrame();
    EXPECT_TRUE(frame.commands().action(ID_HELP)->shortcuts().contains(QKeySequence(Qt::Key_F1)));
    EXPECT_TRUE(frame.commands().execute(ID_HELP_FINDER));
    ASSERT_NE(frame.helpWindow(), nullptr);
    EXPECT_TRUE(frame.helpWindow()->isVisible());
    EXPECT_FALSE(frame.helpWindow()->isModal());
    const QString text = frame.helpWindow()->browser()->toPlainText();
    EXPECT_TRUE(text.contains("MAPS")) << text.left(200).toStdString();
    frame.helpWindow()->close();
    EXPECT_TRUE(frame.commands().execute(ID_HELP));
    EXPECT_TRUE(frame.helpWindow()->isVisible());
    ASSERT_TRUE(QuitApp(app));
    Settle();
}

TEST_F(AppTest, FileNewMakesNumberedBlankWindowsThatWriteNoMap) {
    const QString picture = WritePicture("plan.png", {120, 80}, Qt::red);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ActionBuilder& cmd = app->mainFrame()->commands();
    EXPECT_TRUE(cmd.action(ID_FILE_NEW)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_N)));
    ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);

    EXPECT_TRUE(cmd.execute(ID_FILE_NEW));
    EXPECT_TRUE(cmd.execute(ID_FILE_NEW));
    Settle();
    Document* doc = app->documents()->activeDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "Zelvor2");
    EXPECT_EQ(app->mainFrame()->windowTitle(), "Zelvor - Zelvor2");
    ASSERT_NE(app->activeView(), nullptr);
    EXPECT_FALSE(app->activeView()->HasPicture());
    EXPECT_EQ(qobject_cast<CZelvorDoc*>(doc)->readPath(), ""); // nothing was read
    EXPECT_EQ(app->mainFrame()->mdiArea()->subWindowList().size(), 3);

    // Ctrl+S on an untitled document asks for a name; cancelling writes nothing.
    AnswerNext<QDialog>([](QDialog* d) { d->reject(); });
    EXPECT_TRUE(cmd.execute(ID_FILE_SAVE));
    EXPECT_EQ(doc->GetTitle(), "Zelvor2");

    ASSERT_TRUE(QuitApp(app));
    const QStringList maps = QDir(mapsDir()).entryList(QDir::Files);
    EXPECT_EQ(maps, QStringList({"plan.map"})); // the picture's, none for the blank windows
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(AppTest, AboutBoxOverTheMainWindow) {
    auto app = StartApp();
    ASSERT_TRUE(app);
    QString title;
    QWidget* parent = nullptr;
    AnswerNext<CAboutDlg>([&](CAboutDlg* about) {
        title = about->windowTitle();
        parent = about->parentWidget();
        about->accept();
    });
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_APP_ABOUT));
    EXPECT_EQ(title, "About Zelvor");
    EXPECT_EQ(parent, app->mainFrame());
    ASSERT_TRUE(QuitApp(app));
}

TEST_F(AppTest, WindowMenuListsTheOpenWindowsTilesAndArrangesThem) {
    // The rows of minimised windows below count on the window area's width: no Points panel.
    settings().setValue("PointsPanel/visible", false);
    const QString plan = WritePicture("plan.png", {120, 80}, Qt::red);
    const QString photo = WritePicture("photo.png", {80, 120}, Qt::blue);
    auto app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_NE(app->documents()->OpenDocumentFile(plan), nullptr);
    ASSERT_NE(app->documents()->OpenDocumentFile(photo), nullptr);
    Settle();
    QMenu* windowMenu = Popup(*app->mainFrame(), "&Window");
    ASSERT_NE(windowMenu, nullptr);
    WindowListMenu list(*windowMenu, *app->mainFrame()->mdiArea());
    list.Rebuild();
    ASSERT_EQ(list.entries().size(), 2);
    EXPECT_EQ(list.entries()[0]->text(), "&1 plan.png");
    EXPECT_EQ(list.entries()[1]->text(), "&2 photo.png");
    EXPECT_FALSE(list.entries()[0]->isChecked());
    EXPECT_TRUE(list.entries()[1]->isChecked());
    list.entries()[0]->trigger();
    EXPECT_EQ(app->documents()->activeDocument()->GetTitle(), "plan.png");
    // Rebuilding replaces the entries instead of adding more.
    list.Rebuild();
    EXPECT_EQ(list.entries().size(), 2);
    EXPECT_TRUE(list.entries()[0]->isChecked());
    EXPECT_EQ(Titles(windowMenu->actions()).mid(0, 4),
              QStringList({"&New Window", "&Cascade", "&Tile", "&Arrange Icons"}));

    // Arrange Icons puts minimised windows in a row along the bottom.
    QMdiArea* area = app->mainFrame()->mdiArea();
    for (QMdiSubWindow* window : area->subWindowList()) {
        window->showMinimized();
    }
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_WINDOW_ARRANGE));
    const QList<QMdiSubWindow*> windows = area->subWindowList(QMdiArea::CreationOrder);
    EXPECT_EQ(windows[0]->geometry().bottom(), area->viewport()->height() - 1);
    EXPECT_EQ(windows[1]->y(), windows[0]->y());
    EXPECT_EQ(windows[1]->x(), windows[0]->geometry().right() + 1);

    // Tile stacks the windows one above another, each the full width, the active one on top.
    for (QMdiSubWindow* window : windows) {
        window->showNormal();
    }
    area->setActiveSubWindow(windows[1]);
    EXPECT_TRUE(app->mainFrame()->commands().execute(ID_WINDOW_TILE_HORZ));
    const QSize room = area->viewport()->size();
    EXPECT_EQ(windows[1]->geometry(), QRect(0, 0, room.width(), room.height() / 2));
    EXPECT_EQ(windows[0]->geometry(),
              QRect(0, room.height() / 2, room.width(), room.height() - room.height() / 2));
    ASSERT_TRUE(QuitApp(app));
}

TEST(WindowPlacement, TheFirstWindowFitsInsideTheAvailableArea) {
    struct Row {
        QRect available;
        QSize wanted;
        QSize minimum;
        QMargins frame;
        QRect expected;
    };
    const Row rows[] = {
        // Four fifths of a 1280 x 800 screen, centred.
        {{0, 0, 1280, 800}, {1024, 640}, {}, {}, {128, 80, 1024, 640}},
        // Wanted or minimum sizes larger than the screen are cut to it.
        {{0, 0, 1280, 800}, {1600, 1000}, {}, {}, {0, 0, 1280, 800}},
        {{0, 0, 1280, 800}, {1024, 640}, {1400, 900}, {}, {0, 0, 1280, 800}},
        // The window manager's frame stays on the screen too.
        {{0, 0, 1280, 800}, {1280, 800}, {}, {4, 30, 4, 4}, {4, 30, 1272, 766}},
        // A second screen beside the first, below a panel.
        {{1280, 32, 1920, 1048}, {2000, 500}, {}, {}, {1280, 306, 1920, 500}},
    };
    for (const Row& row : rows) {
        const QRect placed = FitInside(row.available, row.wanted, row.minimum, row.frame);
        EXPECT_EQ(placed, row.expected) << row.wanted.width() << "x" << row.wanted.height();
        EXPECT_TRUE(row.available.contains(placed.marginsAdded(row.frame)));
    }
}

TEST_F(AppTest, RecentFileMenuOpensEntriesAndDropsOnesThatFail) {
    QStringList pictures;
    for (int n = 1; n <= 3; ++n) {
        pictures.append(WritePicture(QStringLiteral("p%1.png").arg(n), {20, 20}, Qt::green));
    }
    auto app = StartApp();
    ASSERT_TRUE(app);
    ActionBuilder& cmd = app->mainFrame()->commands();
    // An empty list shows the grayed placeholder.
    EXPECT_EQ(cmd.action(ID_FILE_MRU_FILE1)->text(), "Recent File");
    EXPECT_FALSE(Enabled(*app, ID_FILE_MRU_FILE1));

    for (const QString& picture : pictures) {
        ASSERT_NE(app->documents()->OpenDocumentFile(picture), nullptr);
        ASSERT_TRUE(app->documents()->CloseAllDocuments());
        Settle();
    }
    ASSERT_EQ(app->recentFiles().entries(), QStringList({pictures[2], pictures[1], pictures[0]}));
    EXPECT_TRUE(Enabled(*app, ID_FILE_MRU_FILE1));
    EXPECT_EQ(cmd.action(ID_FILE_MRU_FILE1)->text(), "&1 " + pictures[2]);
    EXPECT_EQ(cmd.action(ID_FILE_MRU_FILE1 + 2)->text(), "&3 " + pictures[0]);

    // Entry 2 opens its file, which moves to the top.
    EXPECT_TRUE(cmd.execute(ID_FILE_MRU_FILE1 + 1));
    Settle();
    ASSERT_NE(app->documents()->activeDocument(), nullptr);
    EXPECT_EQ(app->documents()->activeDocument()->GetPathName(), pictures[1]);
    EXPECT_EQ(app->recentFiles().at(0), pictures[1]);
    ASSERT_TRUE(app->documents()->CloseAllDocuments());
    Settle();

    // A file that has gone: a message naming it, no window, and the entry is removed.
    ASSERT_TRUE(QFile::remove(pictures[0]));
    EXPECT_TRUE(cmd.execute(ID_FILE_MRU_FILE1 + 2));
    Settle();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(pictures[0]));
    EXPECT_TRUE(app->mainFrame()->mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(app->recentFiles().entries(), QStringList({pictures[1], pictures[2]}));
    EXPECT_FALSE(Enabled(*app, ID_FILE_MRU_FILE1 + 2));
    ASSERT_TRUE(QuitApp(app));

    // The list is in the settings file under the usual names.
    settings().sync();
    EXPECT_EQ(settings().value("Recent File List/File1").toString(), pictures[1]);
    EXPECT_EQ(settings().value("Recent File List/File2").toString(), pictures[2]);
    EXPECT_FALSE(settings().contains("Recent File List/File3"));
}
