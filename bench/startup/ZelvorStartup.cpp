// Zelvor's own start-up, as main() does it, followed at once by opening the picture named on
// the command line through the document manager, as File > Open does. The run ends when the
// picture's view has painted for the first time.
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
    qtApp.watch(app.activeView()->viewport());
    return QApplication::exec();
}
