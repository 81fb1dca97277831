// A small host for looking at the map view by eye: a main window with a status bar around one
// view over a picture drawn here, with a few points in different looks. Runs in a temporary
// start-up folder and quits after the given number of seconds (default 30); a second argument
// "zoom" starts in zoom mode at 1.21.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <string>

#include "AppServices.h"
#include "CZelvorView.h"
#include "MapFiles.h"

namespace {

QImage FloorPlan() {
    QImage img(1200, 800, QImage::Format_RGB32);
    img.fill(QColor(250, 247, 238));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 70), 10));
    p.drawRect(40, 40, 1120, 720);
    p.drawLine(520, 40, 520, 420);
    p.drawLine(40, 420, 900, 420);
    p.drawLine(900, 420, 900, 760);
    p.setPen(QPen(QColor(150, 150, 160), 3, Qt::DashLine));
    for (int x = 80; x < 500; x += 60) {
        p.drawLine(x, 80, x, 380);
    }
    p.fillRect(600, 100, 200, 120, QColor(200, 220, 235));
    p.fillRect(950, 480, 160, 220, QColor(215, 235, 205));
    return img;
}

PointRecord Look(double x, double y) {
    PointRecord rec = FactoryDefaults();
    rec.dX = x;
    rec.dY = y;
    return rec;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("MAPS");
    AppServices services(dir.path().toStdString());

    const std::string picture = services.baseDir() + "/floorplan.png";
    FloorPlan().save(QString::fromStdString(picture));

    PointList list;
    list.AddPoint(Look(300, 250), "Store room", "", "keys at the desk");
    PointRecord square = Look(680, 160);
    square.bShowRect = 1;
    square.nRectSize = 6;
    square.crRect = RGB(30, 120, 220);
    square.crBack = RGB(255, 255, 255);
    square.crText = RGB(30, 60, 140);
    list.AddPoint(square, "Server", "", "");
    PointRecord since = Look(1030, 590);
    since.bShowRect = 1;
    since.nRectSize = 5;
    since.crRect = RGB(220, 40, 40);
    since.bSinceDate = 1;
    since.bFlashRect = 1;
    since.bFlashText = 1;
    since.crSinceText = RGB(200, 0, 0);
    since.stSince = SYSTEMTIME{2001, 1, 0, 1, 0, 0, 0, 0};
    list.AddPoint(since, "Plants", "Water me!", "");
    PointRecord big = Look(700, 600);
    big.nCrossSize = 14;
    big.lfText.lfHeight = -22;
    big.lfText.lfWeight = 700;
    big.crBack = RGB(230, 230, 255);
    list.AddPoint(big, "Meeting", "", "");
    SaveMapFile(MapPathFor(services.baseDir(), "floorplan.png"), list);

    QMainWindow window;
    window.setWindowTitle("floorplan.png");
    auto* view = new CZelvorView(services, &window);
    window.setCentralWidget(view);
    services.setStatusSink(
        [&window](const QString& text) { window.statusBar()->showMessage(text); });
    window.statusBar()->showMessage(" ");
    window.resize(900, 650);
    window.show();
    view->OnInitialUpdate(picture, "floorplan.png");
    if (argc > 2 && std::strcmp(argv[2], "zoom") == 0) {
        view->OnViewFullSize();
        view->OnViewZoomPlus();
        view->OnViewZoomPlus();
    }

    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    const int rc = app.exec();
    view->CloseMap();
    services.setStatusSink({});
    return rc;
}
