// Zelvor: pins annotated points onto pictures.
#include <QApplication>

#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    CZelvorApp app;
    // A polite request to end (logout, kill, Ctrl+C) closes the main window as File > Exit does.
    TerminationSignals terminationSignals([&app] {
        if (CMainFrame* frame = app.mainFrame()) {
            frame->close();
        } else {
            QApplication::quit();
        }
    });
    return app.Run();
}
