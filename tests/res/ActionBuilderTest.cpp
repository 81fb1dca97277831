// The command machinery: actions from the table, handlers by id, update rules at idle time,
// menu bars, toolbar, accelerators, hover prompts, the recent-file entries and context help.
#include <QAction>
#include <QEventLoop>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "ActionBuilder.h"
#include "PrintQString.h"
#include "ContextHelpMode.h"
#include "Resources.h"
#include "ZelvorCommands.h"

namespace {
// Lets the event loop run until it has waited for events at least once.
void idle() {
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

// Records what reaches the status pane while it lives.
class StatusRecorder {
public:
    // What a builder or the context help is given as its status pane; texts that arrive
    // after the recorder has gone are dropped.
    std::function<void(const QString&)> sink() {
        return [weak = std::weak_ptr<QStringList>(m_texts)](const QString& text) {
            if (const auto shared = weak.lock()) {
                *shared << text;
            }
        };
    }
    QString last() const { return texts.isEmpty() ? QStringLiteral("<none>") : texts.last(); }
    // Lets events run until `text` is the last text shown, or two seconds have passed.
    bool waitFor(const QString& text) {
        return QTest::qWaitFor([&] { return last() == text; }, 2000);
    }

private:
    std::shared_ptr<QStringList> m_texts = std::make_shared<QStringList>();

public:
    QStringList& texts = *m_texts;
};

QStringList menuTitles(QMenuBar* bar) {
    QStringList titles;
    for (QAction* act : bar->actions()) {
        titles << act->text();
    }
    return titles;
}

QStringList itemTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* act : menu->actions()) {
        texts << (act->isSeparator() ? QStringLiteral("-") : act->text());
    }
    return texts;
}

// A small table of its own for the generic behaviour.
CommandTable smallTable() {
    CommandTable table;
    table.addCommand({1, "&One\tCtrl+1", "First command\nOne", false});
    table.addCommand({2, "&Two", "Second command\nTwo", false});
    table.addCommand({3, "T&hree", "Third command\nThree", true});
    table.addAccelerator({QKeySequence("Ctrl+1"), 1});
    table.addAccelerator({QKeySequence("Alt+1"), 1});
    table.idleText = QStringLiteral(" ");
    return table;
}
} // namespace

TEST(ActionBuilder, ActionsCarryTheTableAndRunTheirHandlerById) {
    const CommandTable table = smallTable();
    ActionBuilder builder(table);
    QAction* one = builder.action(1);
    EXPECT_EQ(builder.action(1), one) << "one action per id";
    EXPECT_EQ(one->text(), "&One\tCtrl+1");
    EXPECT_EQ(one->statusTip(), "First command");
    EXPECT_EQ(one->toolTip(), "One");
    EXPECT_EQ(one->whatsThis(), "First command");
    EXPECT_EQ(one->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+1"), QKeySequence("Alt+1")}));
    EXPECT_EQ(one->shortcutContext(), Qt::WindowShortcut);
    EXPECT_TRUE(builder.action(3)->isCheckable());

    std::vector<int> ran;
    builder.setHandler(1, [&] { ran.push_back(1); });
    builder.setHandler(3, [&] { ran.push_back(3); });
    QSignalSpy spy(&builder, &ActionBuilder::commandRun);
    builder.updateAll();
    EXPECT_TRUE(one->isEnabled());
    EXPECT_FALSE(builder.action(2)->isEnabled()) << "nobody handles command 2";

    one->trigger();
    builder.action(3)->trigger();
    builder.action(2)->trigger();
    EXPECT_FALSE(builder.execute(2));
    EXPECT_TRUE(builder.execute(1));
    EXPECT_EQ(ran, std::vector<int>({1, 3, 1}));
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 3);

    // Removing the handler disables the command at once.
    builder.setHandler(1, {});
    EXPECT_FALSE(one->isEnabled());
    one->trigger();
    EXPECT_EQ(ran.size(), 3u);
}

TEST(ActionBuilder, UpdateRulesRunWhenTheEventLoopGoesIdle) {
    const CommandTable table = smallTable();
    ActionBuilder builder(table);
    bool zoomMode = false;
    int runs = 0;
    builder.setHandler(2, [&] { ++runs; });
    builder.setHandler(3, [&] { zoomMode = !zoomMode; });
    builder.setUpdateHandler(2, [&](CommandState& s) { s.enabled = zoomMode; });
    builder.setUpdateHandler(3, [&](CommandState& s) { s.checked = zoomMode; });
    QAction* two = builder.action(2);
    QAction* three = builder.action(3);

    idle();
    EXPECT_FALSE(two->isEnabled());
    EXPECT_TRUE(three->isEnabled());
    EXPECT_FALSE(three->isChecked());

    three->trigger();
    idle();
    EXPECT_TRUE(zoomMode);
    EXPECT_TRUE(two->isEnabled());
    EXPECT_TRUE(three->isChecked());

    // The state changes behind the builder's back: a key press arriving before the next idle
    // update must not run a command that has become disabled.
    zoomMode = false;
    EXPECT_TRUE(two->isEnabled());
    two->trigger();
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(two->isEnabled());
    idle();
    EXPECT_FALSE(three->isChecked()) << "a check mark follows the rule, not the click";

    zoomMode = true;
    idle();
    EXPECT_TRUE(builder.execute(2));
    EXPECT_EQ(runs, 1);
}

TEST(ActionBuilder, MenuBarsSwitchBetweenTheTwoMenus) {
    ActionBuilder builder(ZelvorCommandTable());
    QMainWindow window;
    QMenuBar* bar = window.menuBar();

    builder.showMenu(bar, IDR_MAINFRAME);
    EXPECT_EQ(menuTitles(bar), QStringList({"&File", "&View", "&Help"}));
    QMenu* mainFile = builder.popup(IDR_MAINFRAME, 0);
    ASSERT_NE(mainFile, nullptr);
    EXPECT_EQ(bar->actions().at(0), mainFile->menuAction());
    EXPECT_EQ(itemTexts(builder.popup(IDR_MAINFRAME, 1)), QStringList({"&Toolbar", "&Status Bar"}));

    builder.showMenu(bar, IDR_ZelvorTYPE);
    EXPECT_EQ(menuTitles(bar), QStringList({"&File", "&Edit", "&View", "&Window", "&Help"}));
    EXPECT_EQ(itemTexts(builder.popup(IDR_ZelvorTYPE, 2)),
              QStringList({"&Toolbar", "&Status Bar", "&Points", "-", "Full Size",
                           "Fit Picture\tCtrl+0", "Show Texts", "Zoom Plus", "Zoom Minus"}));
    // One action per command, shared by both menus.
    EXPECT_TRUE(builder.popup(IDR_ZelvorTYPE, 0)->actions().contains(builder.action(ID_FILE_OPEN)));
    EXPECT_TRUE(mainFile->actions().contains(builder.action(ID_FILE_OPEN)));

    builder.showMenu(bar, IDR_MAINFRAME);
    EXPECT_EQ(menuTitles(bar), QStringList({"&File", "&View", "&Help"}));
    EXPECT_EQ(builder.popup(IDR_MAINFRAME, 0), mainFile) << "popups are built once";
    EXPECT_EQ(builder.popup(IDR_MAINFRAME, 3), nullptr);
    EXPECT_EQ(builder.popup(4711, 0), nullptr);

    // Close is disabled in the main menu simply because no document handles it.
    builder.updateAll();
    EXPECT_FALSE(builder.action(ID_FILE_CLOSE)->isEnabled());
    builder.setHandler(ID_FILE_CLOSE, [] {});
    builder.updateAll();
    EXPECT_TRUE(builder.action(ID_FILE_CLOSE)->isEnabled());
}

TEST(ActionBuilder, RecentFilesReplaceThePlaceholderInEveryFilePopup) {
    ActionBuilder builder(ZelvorCommandTable());
    QMenu* mainFile = builder.popup(IDR_MAINFRAME, 0);
    QMenu* docFile = builder.popup(IDR_ZelvorTYPE, 0);
    ASSERT_NE(mainFile, nullptr);
    ASSERT_NE(docFile, nullptr);
    for (int id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE1 + 9; ++id) {
        builder.setHandler(id, [] {});
    }

    builder.updateAll();
    QAction* first = builder.action(ID_FILE_MRU_FILE1);
    EXPECT_EQ(first->text(), "Recent File");
    EXPECT_FALSE(first->isEnabled()) << "the empty list's placeholder is grayed";

    builder.setRecentFiles({"/pics/plan.png", "/pics/R&D.png"});
    EXPECT_EQ(itemTexts(mainFile),
              QStringList({"&Open...\tCtrl+O", "-", "P&rint Setup...", "-", "&1 /pics/plan.png",
                           "&2 /pics/R&&D.png", "-", "&Close", "E&xit"}));
    EXPECT_EQ(itemTexts(docFile).mid(8, 3),
              QStringList({"&1 /pics/plan.png", "&2 /pics/R&&D.png", "-"}));
    EXPECT_TRUE(first->isEnabled());
    EXPECT_TRUE(builder.action(ID_FILE_MRU_FILE1 + 1)->isEnabled());

    QStringList twelve;
    for (int i = 1; i <= 12; ++i) {
        twelve << QStringLiteral("f%1.png").arg(i);
    }
    builder.setRecentFiles(twelve);
    EXPECT_EQ(builder.recentFileCount(), 10);
    const QStringList items = itemTexts(mainFile);
    EXPECT_EQ(items.mid(4, 11), QStringList({"&1 f1.png", "&2 f2.png", "&3 f3.png", "&4 f4.png",
                                             "&5 f5.png", "&6 f6.png", "&7 f7.png", "&8 f8.png",
                                             "&9 f9.png", "1&0 f10.png", "-"}));

    builder.setRecentFiles({});
    EXPECT_EQ(itemTexts(mainFile), QStringList({"&Open...\tCtrl+O", "-", "P&rint Setup...", "-",
                                                "Recent File", "-", "&Close", "E&xit"}));
    EXPECT_FALSE(first->isEnabled());
}

TEST(ActionBuilder, AcceleratorsReachTheWindowButNotAnotherWindow) {
    const CommandTable table = smallTable();
    ActionBuilder builder(table);
    int runs = 0;
    builder.setHandler(1, [&] { ++runs; });
    QMainWindow window;
    builder.installAccelerators(&window);
    EXPECT_TRUE(window.actions().contains(builder.action(1)));
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(runs, 2);

    // A dialog is a window of its own: the table does not reach it.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(&other, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(runs, 2);
}

TEST(ActionBuilder, UnhandledAcceleratorsDoNothing) {
    ActionBuilder builder(ZelvorCommandTable());
    QMainWindow window;
    builder.installAccelerators(&window);
    QSignalSpy spy(&builder, &ActionBuilder::commandRun);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    int opened = 0;
    builder.setHandler(ID_FILE_OPEN, [&] { ++opened; });
    idle();
    for (int id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_NEXT_PANE}) {
        EXPECT_FALSE(builder.action(id)->isEnabled()) << id;
    }
    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_EQ(spy.count(), 0);
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ID_FILE_OPEN);
}

TEST(ActionBuilder, ToolbarButtonsShowImagesTooltipsAndPrompts) {
    ActionBuilder builder(ZelvorCommandTable());
    QMainWindow window;
    window.resize(600, 300);
    QToolBar* bar = builder.buildToolBar(IDR_MAINFRAME, &window);
    ASSERT_NE(bar, nullptr);
    window.addToolBar(bar);
    builder.routeStatusTips(&window);
    EXPECT_EQ(builder.buildToolBar(4711, &window), nullptr);

    const QList<QAction*> actions = bar->actions();
    ASSERT_EQ(actions.size(), 9);
    EXPECT_TRUE(actions.at(5)->isSeparator());
    EXPECT_EQ(actions.at(0), builder.action(ID_FILE_OPEN));
    EXPECT_EQ(actions.at(3), builder.action(ID_VIEW_ZOOMPLUS));
    EXPECT_EQ(actions.at(3)->toolTip(), "Make more Zomm");
    EXPECT_EQ(actions.at(8)->toolTip(), "Print Preview");
    for (QAction* act : actions) {
        if (!act->isSeparator()) {
            EXPECT_FALSE(act->icon().isNull()) << act->toolTip().toStdString();
        }
    }
    EXPECT_EQ(bar->iconSize(), QSize(16, 15));

    // With only Open handled, every other button is disabled.
    builder.setHandler(ID_FILE_OPEN, [] {});
    builder.updateAll();
    EXPECT_TRUE(actions.at(0)->isEnabled());
    for (int i : {1, 2, 3, 4, 6, 7, 8}) {
        EXPECT_FALSE(actions.at(i)->isEnabled()) << i;
    }

    StatusRecorder status;
    builder.setStatusSink(status.sink());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWidget* open = bar->widgetForAction(builder.action(ID_FILE_OPEN));
    ASSERT_NE(open, nullptr);
    QTest::mouseMove(open, open->rect().center());
    EXPECT_TRUE(status.waitFor("Open an existing document")) << status.last().toStdString();
    QWidget* plus = bar->widgetForAction(builder.action(ID_VIEW_ZOOMPLUS));
    QTest::mouseMove(plus, plus->rect().center());
    EXPECT_TRUE(status.waitFor("Make more Zomm")) << status.last().toStdString();
    QTest::mouseMove(&window, QPoint(300, 250));
    EXPECT_TRUE(status.waitFor(" ")) << status.last().toStdString();
}

TEST(ActionBuilder, HoveredMenuItemsShowTheirPrompt) {
    ActionBuilder builder(ZelvorCommandTable());
    QMainWindow window;
    window.resize(400, 300);
    builder.showMenu(window.menuBar(), IDR_ZelvorTYPE);
    builder.routeStatusTips(&window);
    // Full Size is enabled; Zoom Plus stays grayed, and its prompt shows all the same.
    builder.setHandler(ID_VIEW_FULLSIZE, [] {});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    StatusRecorder status;
    builder.setStatusSink(status.sink());
    QMenu* view = builder.popup(IDR_ZelvorTYPE, 2);
    window.menuBar()->setActiveAction(view->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    QAction* plus = builder.action(ID_VIEW_ZOOMPLUS);
    // A menu reacts to the pointer only once it has really moved over it.
    QTest::mouseMove(view, QPoint(5, 5));
    QTest::mouseMove(view, view->actionGeometry(plus).center());
    EXPECT_FALSE(plus->isEnabled());
    EXPECT_TRUE(status.waitFor("Make more Zomm")) << status.last().toStdString();
    QAction* full = builder.action(ID_VIEW_FULLSIZE);
    QTest::mouseMove(view, view->actionGeometry(full).center());
    EXPECT_TRUE(status.waitFor("Show Picture as 1:1")) << status.last().toStdString();
    view->hide();
    EXPECT_TRUE(status.waitFor(" ")) << status.last().toStdString();
}

TEST(ContextHelpMode, ShowsItsTextWhileTheModeLasts) {
    QWidget window; // the mode's start and end are announced to top-level widgets
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    StatusRecorder status;
    ContextHelpMode help(ZelvorCommandTable().helpModeText, ZelvorCommandTable().idleText,
                         status.sink());
    EXPECT_FALSE(ContextHelpMode::isActive());
    help.enter();
    EXPECT_TRUE(ContextHelpMode::isActive());
    EXPECT_EQ(status.last(), "Select an object on which to get Help");
    help.enter();
    EXPECT_EQ(status.texts.size(), 1) << "entering twice is one mode";
    help.leave();
    EXPECT_FALSE(ContextHelpMode::isActive());
    EXPECT_EQ(status.last(), " ");
    help.leave();
    EXPECT_EQ(status.texts.size(), 2);

    // Esc ends the mode too, and the pane follows.
    help.enter();
    EXPECT_EQ(status.last(), "Select an object on which to get Help");
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(ContextHelpMode::isActive());
    EXPECT_EQ(status.last(), " ");
    EXPECT_EQ(status.texts.size(), 4);
}
