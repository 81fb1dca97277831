// Zelvor's own start-up, as main() does it, followed at once by opening the picture named on
// the command line through the document manager, as File > Open does. The run ends when the
// picture's view has painted for the first time; with --every-paint after the picture it runs
// on in a 1920 x 1080 main window with the picture's window maximized in it (whatever the
// screen, so that the view needs the same tiles on every platform), telling each paint of the
// view, until it is ended.
#include <QMdiSubWindow>

#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "DocumentManager.h"
#include "FirstPaintProbe.h"
#include "FontSystemWarmUp.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
    FontSystemWarmUp::Start();
    FirstPaintProbe qtApp(argc, argv);
    FontSystemWarmUp::ApplicationReady();
    if (argc < 2) {
        return 2;
    }
    CZelvorApp app;
    TerminationSignals terminationSignals([] { QApplication::quit(); });
    if (!app.InitInstance()) {
        return 1;
    }
    if (app.documents()->OpenDocumentFile(QString::fromLocal8Bit(argv[1])) == nullptr ||
        app.activeView() == nullptr) {
        return 1;
    }
    const bool everyPaint = argc > 2 && qstrcmp(argv[2], "--every-paint") == 0;
    if (everyPaint) {
        app.mainFrame()->resize(1920, 1080);
        for (QWidget* w = app.activeView(); w != nullptr; w = w->parentWidget()) {
            if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
                frame->showMaximized();
                break;
            }
        }
    }
    qtApp.watch(app.activeView()->viewport(), everyPaint);
    return QApplication::exec();
}
