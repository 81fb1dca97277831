#include "DemoFolder.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <cstring>

#include "DemoPictures.h"
#include "MapFiles.h"

// The sample pictures and points are data written as code: their coordinates, colours and sizes
// are the content, so they are not named one by one.
// NOLINTBEGIN(readability-magic-numbers)
namespace {
LOGFONTA Font(const char* face, int height, int weight, bool italic = false) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    std::strncpy(lf.lfFaceName, face, sizeof(lf.lfFaceName) - 1);
    return lf;
}

SYSTEMTIME Date(int year, int month, int day, int dayOfWeek) {
    SYSTEMTIME st{};
    st.wYear = std::uint16_t(year);
    st.wMonth = std::uint16_t(month);
    st.wDay = std::uint16_t(day);
    st.wDayOfWeek = std::uint16_t(dayOfWeek);
    return st;
}

PointRecord At(PointRecord rec, double x, double y) {
    rec.dX = x;
    rec.dY = y;
    return rec;
}

bool SavePicture(const QImage& image, const QString& path, int quality, QString* error) {
    QImageWriter writer(path);
    writer.setQuality(quality);
    if (!writer.write(image)) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
        }
        return false;
    }
    return true;
}
} // namespace

namespace DemoFolder {

PointList FloorPlanPoints() {
    PointList list;
    const PointRecord factory = FactoryDefaults();

    // The factory look: a cross, the label in Arial 14, black on yellow.
    list.AddPoint(At(factory, 300, 250), "Reception desk", "", "Visitors sign in here.");

    // A red square and a cross; its since date has passed, so the since text shows in its own
    // font and both the text and the square flash.
    PointRecord server = factory;
    server.bShowRect = 1;
    server.nRectSize = 7;
    server.nCrossSize = 11;
    server.crRect = RGB(200, 30, 30);
    server.crText = RGB(255, 255, 255);
    server.crBack = RGB(120, 20, 20);
    server.lfText = Font("Arial", 16, 700);
    server.bSinceDate = 1;
    server.bFlashText = 1;
    server.bFlashRect = 1;
    server.stSince = Date(2024, 3, 1, 5);
    server.crSinceText = RGB(200, 0, 0);
    server.lfSince = Font("Courier New", 18, 700);
    list.AddPoint(At(server, 1230, 640), "Server room", "Check UPS!",
                  "Replace the UPS battery; the service date has passed.");

    // A green square without a cross, the label in an italic serif font.
    PointRecord exit = factory;
    exit.bShowRect = 1;
    exit.bShowCross = 0;
    exit.nRectSize = 6;
    exit.crRect = RGB(20, 150, 60);
    exit.crText = RGB(255, 255, 255);
    exit.crBack = RGB(20, 120, 50);
    exit.lfText = Font("Times New Roman", 20, 400, true);
    list.AddPoint(At(exit, 112, 500), "Fire exit", "", "Keep clear at all times.");

    // A long cross; its since date lies ahead, so the label shows.
    PointRecord meeting = factory;
    meeting.nCrossSize = 14;
    meeting.crText = RGB(20, 40, 110);
    meeting.crBack = RGB(200, 220, 250);
    meeting.lfText = Font("Times New Roman", 20, 700);
    meeting.bSinceDate = 1;
    meeting.stSince = Date(2099, 1, 1, 4);
    meeting.crSinceText = RGB(200, 0, 0);
    meeting.lfSince = Font("Arial", 16, 700);
    list.AddPoint(At(meeting, 940, 770), "Meeting Room B", "Renovation", "Projector and screen.");

    // A small blue square with a cross.
    PointRecord coffee = factory;
    coffee.bShowRect = 1;
    coffee.nRectSize = 4;
    coffee.crRect = RGB(40, 90, 200);
    coffee.lfText = Font("Arial", 12, 400);
    list.AddPoint(At(coffee, 520, 900), "Coffee", "", "Descale every Friday.");

    // A first-aid point: cross with a white-on-green label.
    PointRecord aid = factory;
    aid.nCrossSize = 9;
    aid.crText = RGB(255, 255, 255);
    aid.crBack = RGB(0, 130, 90);
    list.AddPoint(At(aid, 700, 480), "First aid", "", "Kit and defibrillator.");
    return list;
}

bool Make(const QString& dir, QString* error) {
    if (!QDir().mkpath(dir + QStringLiteral("/MAPS"))) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot create the folder %1/MAPS").arg(dir);
        }
        return false;
    }
    const QString base = QDir(dir).absolutePath();
    if (!SavePicture(DemoPictures::FloorPlan(), base + QLatin1Char('/') + kFloorPlan, -1, error) ||
        !SavePicture(DemoPictures::HarbourPhoto(), base + QLatin1Char('/') + kHarbour, 88, error) ||
        !SavePicture(DemoPictures::TrailMap(), base + QLatin1Char('/') + kTrailMap, -1, error)) {
        return false;
    }
    const std::string mapPath = MapPathFor(QFile::encodeName(base).toStdString(), kFloorPlan);
    const FileResult saved = SaveMapFile(mapPath, FloorPlanPoints());
    if (!saved.ok()) {
        if (error != nullptr) {
            *error = QString::fromStdString(saved.message);
        }
        return false;
    }
    return true;
}

} // namespace DemoFolder
// NOLINTEND(readability-magic-numbers)
