#include "DemoPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

// The sample pictures and points are data written as code: their coordinates, colours and sizes
// are the content, so they are not named one by one.
// NOLINTBEGIN(readability-magic-numbers)
namespace {
constexpr double kPi = 3.14159265358979323846;

QFont SansFont(int pixelSize, bool bold = false, bool italic = false) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// A door: a gap in the wall is assumed; draws the leaf and its swing.
void Door(QPainter& p, QPointF hinge, double width, double startAngle) {
    p.save();
    p.setPen(QPen(QColor(60, 60, 60), 2));
    const double a = startAngle * kPi / 180.0;
    p.drawLine(hinge, hinge + QPointF(std::cos(a) * width, -std::sin(a) * width));
    p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DashLine));
    p.drawArc(QRectF(hinge.x() - width, hinge.y() - width, 2 * width, 2 * width),
              int((startAngle - 90) * 16), 90 * 16);
    p.restore();
}

void Window(QPainter& p, QPointF from, QPointF to) {
    p.save();
    p.setPen(QPen(QColor(250, 250, 246), 8));
    p.drawLine(from, to);
    p.setPen(QPen(QColor(70, 110, 170), 2));
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF n(-d.y() / len * 3, d.x() / len * 3);
    p.drawLine(from + n, to + n);
    p.drawLine(from - n, to - n);
    p.restore();
}

void Desk(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(110, 90, 70), 1.5));
    p.setBrush(QColor(236, 224, 204));
    p.drawRect(r);
    p.setBrush(QColor(200, 200, 210));
    p.drawEllipse(QPointF(r.center().x(), r.bottom() + 14), 9, 9);
}

void RoomLabel(QPainter& p, const QRectF& room, const QString& name, const QString& area) {
    p.setPen(QColor(40, 40, 40));
    p.setFont(SansFont(22, true));
    p.drawText(room, Qt::AlignCenter, name + QLatin1Char('\n'));
    p.setFont(SansFont(15));
    p.setPen(QColor(90, 90, 90));
    p.drawText(room.adjusted(0, 30, 0, 0), Qt::AlignCenter, area);
}

// Value noise in [0, 1), smooth between lattice points.
double Hash(int x, int y, int seed) {
    quint32 h = quint32(x) * 374761393u + quint32(y) * 668265263u + quint32(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double(h ^ (h >> 16)) / 4294967296.0;
}

double SmoothNoise(double x, double y, int seed) {
    const int x0 = int(std::floor(x));
    const int y0 = int(std::floor(y));
    const double fx = x - x0;
    const double fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx);
    const double sy = fy * fy * (3 - 2 * fy);
    const double top = Hash(x0, y0, seed) * (1 - sx) + Hash(x0 + 1, y0, seed) * sx;
    const double bottom = Hash(x0, y0 + 1, seed) * (1 - sx) + Hash(x0 + 1, y0 + 1, seed) * sx;
    return top * (1 - sy) + bottom * sy;
}

double Terrain(double x, double y) {
    double value = 0;
    double amplitude = 1;
    double frequency = 1.0 / 320.0;
    for (int octave = 0; octave < 3; ++octave) {
        value += amplitude * SmoothNoise(x * frequency, y * frequency, 7 + octave);
        amplitude *= 0.5;
        frequency *= 2;
    }
    return value / 1.75;
}
void FloorPlanGrid(QPainter& p, QSize size) {
    // Drawing grid.
    p.setPen(QPen(QColor(222, 230, 238), 1));
    for (int x = 0; x < size.width(); x += 20) {
        p.drawLine(x, 0, x, size.height());
    }
    for (int y = 0; y < size.height(); y += 20) {
        p.drawLine(0, y, size.width(), y);
    }
}

void FloorPlanWalls(QPainter& p) {
    // Outer walls and rooms (pixel coordinates of the plan).
    const QRectF outside(100, 100, 1400, 860);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(45, 45, 50), 12, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(outside);
    p.setPen(QPen(QColor(45, 45, 50), 6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawLine(QPointF(520, 100), QPointF(520, 420));  // reception | office
    p.drawLine(QPointF(100, 420), QPointF(470, 420));  // reception / corridor
    p.drawLine(QPointF(570, 420), QPointF(1500, 420)); // office / corridor
    p.drawLine(QPointF(100, 560), QPointF(640, 560));  // corridor / south rooms
    p.drawLine(QPointF(740, 560), QPointF(1500, 560));
    p.drawLine(QPointF(420, 560), QPointF(420, 960));   // meeting A | kitchen
    p.drawLine(QPointF(760, 560), QPointF(760, 960));   // kitchen | meeting B
    p.drawLine(QPointF(1120, 560), QPointF(1120, 960)); // meeting B | server
    p.drawLine(QPointF(1120, 760), QPointF(1500, 760)); // server / stairs
}

void FloorPlanDoors(QPainter& p) {
    // Door gaps, painted in paper colour, then the doors.
    p.setPen(QPen(QColor(250, 250, 246), 8));
    p.drawLine(QPointF(472, 420), QPointF(568, 420));
    p.drawLine(QPointF(642, 560), QPointF(738, 560));
    p.drawLine(QPointF(260, 560), QPointF(340, 560));
    p.drawLine(QPointF(900, 560), QPointF(980, 560));
    p.drawLine(QPointF(1280, 560), QPointF(1350, 560));
    p.drawLine(QPointF(100, 470), QPointF(100, 530));
    Door(p, QPointF(472, 420), 90, 90);
    Door(p, QPointF(642, 560), 90, 270);
    Door(p, QPointF(260, 560), 76, 270);
    Door(p, QPointF(900, 560), 76, 270);
    Door(p, QPointF(1280, 560), 66, 270);
    Door(p, QPointF(100, 470), 60, 0);

    // Windows on the outer walls.
    for (int x : {160, 330, 640, 880, 1120, 1340}) {
        Window(p, QPointF(x, 100), QPointF(x + 110, 100));
    }
    for (int x : {180, 520, 880}) {
        Window(p, QPointF(x, 960), QPointF(x + 130, 960));
    }
    Window(p, QPointF(1500, 160), QPointF(1500, 330));
}

void FloorPlanFurniture(QPainter& p) {
    // Furniture.
    Desk(p, QRectF(200, 230, 200, 60));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 5; ++col) {
            Desk(p, QRectF(600 + col * 170, 140 + row * 100, 120, 50));
        }
    }
    p.setPen(QPen(QColor(110, 90, 70), 1.5));
    p.setBrush(QColor(230, 214, 190));
    p.drawRoundedRect(QRectF(170, 680, 180, 110), 20, 20);
    p.drawEllipse(QRectF(850, 680, 180, 180));
    p.setBrush(QColor(200, 200, 210));
    for (int i = 0; i < 6; ++i) {
        const double a = i * kPi / 3;
        p.drawEllipse(QPointF(940 + std::cos(a) * 110, 770 + std::sin(a) * 110), 12, 12);
    }
    p.setBrush(QColor(225, 230, 235));
    p.drawRect(QRectF(440, 860, 300, 80)); // kitchen counter
    p.drawEllipse(QPointF(520, 900), 18, 18);
    p.setBrush(QColor(70, 80, 95));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(1150 + i * 80, 590, 50, 80)); // server racks
    }
    p.setPen(QPen(QColor(80, 80, 80), 1.5));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 10; ++i) {
        p.drawLine(QPointF(1150, 780 + i * 17), QPointF(1470, 780 + i * 17)); // stairs
    }
}

void FloorPlanLabels(QPainter& p) {
    RoomLabel(p, QRectF(100, 300, 420, 120), QStringLiteral("Reception"), QStringLiteral("34 m²"));
    RoomLabel(p, QRectF(520, 330, 980, 90), QStringLiteral("Open Office"), QStringLiteral("96 m²"));
    RoomLabel(p, QRectF(100, 800, 320, 120), QStringLiteral("Meeting Room A"),
              QStringLiteral("22 m²"));
    RoomLabel(p, QRectF(420, 640, 340, 120), QStringLiteral("Kitchen"), QStringLiteral("18 m²"));
    RoomLabel(p, QRectF(760, 880, 360, 80), QStringLiteral("Meeting Room B"),
              QStringLiteral("30 m²"));
    RoomLabel(p, QRectF(1120, 680, 380, 80), QStringLiteral("Server Room"),
              QStringLiteral("12 m²"));
    p.setPen(QColor(120, 120, 120));
    p.setFont(SansFont(18, false, true));
    p.drawText(QRectF(100, 420, 1400, 140), Qt::AlignCenter, QStringLiteral("Corridor"));
}

void FloorPlanTitle(QPainter& p) {
    // Dimension line and title block.
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.drawLine(QPointF(100, 60), QPointF(1500, 60));
    p.drawLine(QPointF(100, 50), QPointF(100, 70));
    p.drawLine(QPointF(1500, 50), QPointF(1500, 70));
    p.setFont(SansFont(16));
    p.drawText(QRectF(100, 30, 1400, 26), Qt::AlignCenter, QStringLiteral("28.00 m"));
    p.setPen(QPen(QColor(45, 45, 50), 2));
    p.setBrush(QColor(255, 255, 255));
    const QRectF block(1130, 985, 370, 95);
    p.drawRect(block);
    p.setFont(SansFont(20, true));
    p.drawText(block.adjusted(14, 8, -10, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Harbour House"));
    p.setFont(SansFont(15));
    p.drawText(block.adjusted(14, 40, -10, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Ground floor    scale 1:50\nSheet A-101"));
}

// The harbour photo's parts, painted in this order; `rng` carries on from part to part.
void HarbourSky(QPainter& p, int w, int horizon, QRandomGenerator& rng) {
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0.0, QColor(38, 64, 122));
    sky.setColorAt(0.55, QColor(148, 128, 170));
    sky.setColorAt(0.85, QColor(238, 160, 112));
    sky.setColorAt(1.0, QColor(252, 206, 140));
    p.fillRect(0, 0, w, horizon, sky);

    QRadialGradient sun(QPointF(1560, horizon - 110), 420);
    sun.setColorAt(0.0, QColor(255, 246, 210, 255));
    sun.setColorAt(0.12, QColor(255, 226, 160, 230));
    sun.setColorAt(1.0, QColor(255, 190, 120, 0));
    p.fillRect(0, 0, w, horizon, sun);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 248, 224));
    p.drawEllipse(QPointF(1560, horizon - 110), 58, 58);

    // Clouds: soft ellipses.
    for (int i = 0; i < 40; ++i) {
        const double cx = rng.bounded(w);
        const double cy = 80 + rng.bounded(420);
        const double rx = 80 + rng.bounded(220);
        QRadialGradient cloud(QPointF(cx, cy), rx);
        cloud.setColorAt(0, QColor(255, 236, 226, 70));
        cloud.setColorAt(1, QColor(255, 236, 226, 0));
        p.setBrush(cloud);
        p.drawEllipse(QPointF(cx, cy), rx, rx * 0.35);
    }
}

void HarbourHills(QPainter& p, int w, int horizon) {
    // Hills behind the harbour.
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hill;
        hill.moveTo(0, horizon);
        for (int x = 0; x <= w; x += 20) {
            const double y = horizon - 60 - layer * 40 -
                             120 * SmoothNoise(x / (380.0 - layer * 80), layer * 3.0, 31 + layer);
            hill.lineTo(x, y);
        }
        hill.lineTo(w, horizon);
        hill.closeSubpath();
        const int shade = 70 + layer * 25;
        p.setBrush(QColor(shade - 20, shade - 10, shade + 30));
        p.drawPath(hill);
    }
}

void HarbourSea(QPainter& p, int w, int h, int horizon, QRandomGenerator& rng) {
    // Sea.
    QLinearGradient sea(0, horizon, 0, h);
    sea.setColorAt(0.0, QColor(214, 150, 118));
    sea.setColorAt(0.25, QColor(70, 92, 132));
    sea.setColorAt(1.0, QColor(18, 36, 64));
    p.fillRect(0, horizon, w, h - horizon, sea);
    for (int i = 0; i < 900; ++i) {
        const double y = horizon + std::pow(rng.generateDouble(), 1.6) * (h - horizon);
        const double len = 10 + (y - horizon) * 0.25 * rng.generateDouble();
        const double x = rng.bounded(w);
        const int alpha = 40 + rng.bounded(80);
        const bool glitter = std::abs(x - 1560) < 120 + (y - horizon) * 0.4;
        p.setPen(QPen(glitter ? QColor(255, 230, 180, alpha + 60) : QColor(200, 210, 230, alpha),
                      1 + (y - horizon) / 300));
        p.drawLine(QPointF(x, y), QPointF(x + len, y));
    }
}

void HarbourPier(QPainter& p, int horizon, QRandomGenerator& rng) {
    // Pier, lighthouse and boats.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(46, 40, 44));
    p.drawRect(QRectF(0, horizon + 90, 900, 36));
    for (int x = 20; x < 900; x += 70) {
        p.drawRect(QRectF(x, horizon + 120, 10, 70));
    }
    p.setBrush(QColor(236, 232, 226));
    QPolygonF tower;
    tower << QPointF(780, horizon + 92) << QPointF(812, horizon - 230)
          << QPointF(852, horizon - 230) << QPointF(884, horizon + 92);
    p.drawPolygon(tower);
    p.setBrush(QColor(190, 48, 44));
    for (int band = 0; band < 3; ++band) {
        const double top = horizon - 190 + band * 95;
        const double inset = 32 * (1 - (top - (horizon - 230)) / 322.0);
        p.drawRect(QRectF(780 + inset, top, 104 - 2 * inset, 34));
    }
    p.setBrush(QColor(255, 240, 170));
    p.drawRect(QRectF(818, horizon - 270, 28, 40));
    p.setBrush(QColor(40, 36, 40));
    p.drawRect(QRectF(810, horizon - 232, 44, 8));
    for (int i = 0; i < 5; ++i) {
        const double bx = 1100 + i * 230 + rng.bounded(80);
        const double by = horizon + 60 + i * 55;
        const double s = 0.7 + i * 0.25;
        QPolygonF hull;
        hull << QPointF(bx, by) << QPointF(bx + 120 * s, by) << QPointF(bx + 100 * s, by + 22 * s)
             << QPointF(bx + 18 * s, by + 22 * s);
        p.setBrush(QColor(30 + i * 20, 30, 40));
        p.drawPolygon(hull);
        QPolygonF sail;
        sail << QPointF(bx + 58 * s, by - 4) << QPointF(bx + 58 * s, by - 120 * s)
             << QPointF(bx + 104 * s, by - 8);
        p.setBrush(QColor(245, 236, 220));
        p.drawPolygon(sail);
    }
}

void HarbourVignette(QPainter& p, QImage& image, int w, int h) {
    // Vignette.
    QRadialGradient vignette(QPointF(w / 2.0, h / 2.0), w * 0.75);
    vignette.setColorAt(0.55, QColor(0, 0, 0, 0));
    vignette.setColorAt(1.0, QColor(0, 0, 0, 120));
    p.fillRect(image.rect(), vignette);
}

void HarbourSensorNoise(QImage& image, int w, int h, QRandomGenerator& rng) {
    // Sensor noise.
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(17)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
}

} // namespace

namespace DemoPictures {

QImage FloorPlan() {
    QImage image(kFloorPlanWidth, kFloorPlanHeight, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 246));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    FloorPlanGrid(p, image.size());
    FloorPlanWalls(p);
    FloorPlanDoors(p);
    FloorPlanFurniture(p);
    FloorPlanLabels(p);
    FloorPlanTitle(p);
    return image;
}

QImage HarbourPhoto() {
    const int w = 2400;
    const int h = 1600;
    const int horizon = 880;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QRandomGenerator rng(20240611);
    HarbourSky(p, w, horizon, rng);
    HarbourHills(p, w, horizon);
    HarbourSea(p, w, h, horizon, rng);
    HarbourPier(p, horizon, rng);
    HarbourVignette(p, image, w, h);
    p.end();
    HarbourSensorNoise(image, w, h, rng);
    return image;
}

QImage TrailMap() {
    const int w = 900;
    const int h = 3200;
    QImage image(w, h, QImage::Format_RGB32);

    // Terrain tint by height, with contour lines every 0.04 of the height range.
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double t = Terrain(x, y) * 0.75 + 0.25 * (1.0 - double(y) / h);
            const double band = t * 25.0;
            const bool contour = std::abs(band - std::round(band)) < 0.03;
            const int g = int(200 + 40 * t);
            QRgb c = qRgb(int(196 + 50 * t), std::min(g, 250), int(150 + 60 * t));
            if (contour) {
                c = qRgb(184, 148, 112);
            }
            line[x] = c;
        }
    }

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Forest dots.
    QRandomGenerator rng(770);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 2600; ++i) {
        const double x = rng.bounded(w);
        const double y = rng.bounded(h);
        if (Terrain(x, y) < 0.48) {
            p.setBrush(QColor(70, 130, 70, 150));
            p.drawEllipse(QPointF(x, y), 4, 4);
        }
    }

    // River and lake.
    QPainterPath river;
    river.moveTo(160, 0);
    for (int y = 0; y <= h; y += 100) {
        river.lineTo(200 + 120 * std::sin(y / 420.0) + 40 * std::sin(y / 97.0), y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(80, 140, 210), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(river);
    p.setPen(QPen(QColor(60, 110, 180), 2));
    p.setBrush(QColor(120, 175, 230));
    p.drawEllipse(QRectF(430, 1150, 300, 170));

    // The trail, dashed red, with its stations.
    QPainterPath trail;
    trail.moveTo(640, h - 60);
    for (int y = h - 160; y >= 140; y -= 160) {
        trail.lineTo(450 + 230 * std::sin(y / 300.0), y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 40, 40), 5, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(trail);

    p.setPen(QColor(40, 40, 40));
    p.setFont(SansFont(26, true));
    p.drawText(QRectF(0, 30, w, 40), Qt::AlignCenter, QStringLiteral("Ridge Trail"));
    p.setFont(SansFont(18, false, true));
    p.drawText(QRectF(470, 1330, 260, 30), Qt::AlignCenter, QStringLiteral("North Lake"));
    p.setFont(SansFont(18, true));
    p.drawText(QRectF(560, h - 110, 300, 30), Qt::AlignLeft, QStringLiteral("Trailhead"));
    p.drawText(QRectF(500, 110, 300, 30), Qt::AlignLeft, QStringLiteral("Summit 1487 m"));

    // North arrow and scale bar.
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.setBrush(QColor(30, 30, 30));
    QPolygonF arrow;
    arrow << QPointF(820, 90) << QPointF(805, 140) << QPointF(820, 130) << QPointF(835, 140);
    p.drawPolygon(arrow);
    p.setFont(SansFont(20, true));
    p.drawText(QRectF(800, 50, 40, 30), Qt::AlignCenter, QStringLiteral("N"));
    p.setBrush(Qt::NoBrush);
    p.drawLine(40, h - 40, 240, h - 40);
    p.drawLine(40, h - 48, 40, h - 32);
    p.drawLine(240, h - 48, 240, h - 32);
    p.setFont(SansFont(16));
    p.drawText(QRectF(40, h - 75, 200, 26), Qt::AlignCenter, QStringLiteral("1 km"));
    return image;
}

} // namespace DemoPictures
// NOLINTEND(readability-magic-numbers)
