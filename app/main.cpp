// Zelvor: pins annotated points onto pictures.
#include <QApplication>

#include <clocale>

#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "FontSystemWarmUp.h"
#include "Globals.h"
#include "QuitRequest.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
    FontSystemWarmUp::Start();
    QApplication qtApp(argc, argv);
    // QApplication takes the user's locale for the C library too; every number the program
    // writes uses "." whatever the locale, so the C library's number formats stay those of "C".
    std::setlocale(LC_NUMERIC, "C");
    FontSystemWarmUp::ApplicationReady();
    // Pictures open on a worker: a window shows at once and answers while a large one decodes.
    CZelvorView::SetOpenInBackground(true);
    CZelvorApp app;
    // A polite request to end (logout, kill, Ctrl+C) ends any open dialog as if cancelled, then
    // closes the main window as File > Exit does.
    QuitRequest quit([&app] {
        if (CMainFrame* frame = app.mainFrame()) {
            frame->close();
        } else {
            QApplication::quit();
        }
    });
    TerminationSignals terminationSignals([&quit] {
        g_bQuitRequested = true; // from here on no close asks a question
        quit.request();
    });
    return app.Run();
}
