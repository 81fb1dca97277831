// A minimal Qt picture viewer, the yardstick for Zelvor's start-up: reads the picture named on
// the command line whole and shows it in a window of its own.
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "FirstPaintProbe.h"

int main(int argc, char** argv) {
    FirstPaintProbe app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        return 1;
    }
    QLabel view;
    view.setPixmap(QPixmap::fromImage(image));
    app.watch(&view);
    view.show();
    return QApplication::exec();
}
