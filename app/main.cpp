// Zelvor: pins annotated points onto pictures.
#include <QApplication>

#include "CZelvorApp.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    CZelvorApp app;
    return app.Run();
}
