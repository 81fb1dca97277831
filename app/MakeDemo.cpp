// zelvor_make_demo <folder>: makes a demo start-up folder with sample pictures and a map file.
#include <QGuiApplication>

#include <cstdio>

#include "DemoFolder.h"

int main(int argc, char** argv) {
    // Drawing needs fonts but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: zelvor_make_demo <folder>\n");
        return 2;
    }
    QString error;
    if (!DemoFolder::Make(args.at(1), &error)) {
        std::fprintf(stderr, "zelvor_make_demo: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("zelvor_make_demo: demo folder ready in %s\n", qPrintable(args.at(1)));
    return 0;
}
