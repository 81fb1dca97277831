#include "RenderCommand.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QSaveFile>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "DrawingSurface.h"
#include "ExitStatus.h"
#include "MapFiles.h"
#include "MapLocator.h"
#include "Picture.h"
#include "PointRenderer.h"
#include "TextSink.h"
#include "ViewGeometry.h"

namespace {

// Output limits: a side a JPEG can hold, and an area whose pixels fit in 1 GB.
constexpr int kMaxSide = 65500;
constexpr qint64 kMaxOutputPixels = 250'000'000;
constexpr int kPdfDpi = 300;
constexpr int kJpegQuality = 90;

// Progress for a person watching: one line on a terminal, updated at each stage once the render
// has taken a second.
class Progress {
public:
    Progress(TextSink& err, QString subject) : m_err(err), m_subject(std::move(subject)) {
        m_clock.start();
    }
    ~Progress() {
        if (m_shown) {
            m_err.put('\n');
            m_err.flush();
        }
    }
    void stage(const char* what) {
        if (m_clock.elapsed() < 1000 || !m_err.isTerminal()) {
            return;
        }
        m_shown = true;
        m_err.write(QStringLiteral("\rzelvor-maps: %1: %2")
                        .arg(m_subject,
                             (QString::fromLatin1(what) + QLatin1String("...")).leftJustified(14)));
        m_err.flush();
    }

private:
    TextSink& m_err;
    QString m_subject;
    QElapsedTimer m_clock;
    bool m_shown = false;
};

std::string Name(const QString& path) {
    return LocalPath(path);
}

bool WriteRaster(const QImage& image, const RenderOptions& o, QString& why) {
    QSaveFile file(o.output);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    QImageWriter writer(&file, o.kind == OutputKind::Jpeg ? "jpeg" : "png");
    if (o.kind == OutputKind::Jpeg) {
        writer.setQuality(kJpegQuality);
    }
    if (!writer.write(image)) {
        why = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

bool WritePdf(Picture& picture, PointList& list, DrawnSize drawn, double zoom,
              const RenderOptions& o, QString& why) {
    QSaveFile file(o.output);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    // The page is the drawn picture at the size it has on the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpiX = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    const double dpiY = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    QPdfWriter pdf(&file);
    pdf.setResolution(kPdfDpi);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    // Pages are whole points: rounded up, so that no row or column of the picture is cut off.
    const QSize points(static_cast<int>(std::ceil(drawn.w * 72.0 / dpiX)),
                       static_cast<int>(std::ceil(drawn.h * 72.0 / dpiY)));
    pdf.setPageSize(QPageSize(points, QString(), QPageSize::ExactMatch));
    pdf.setTitle(QFileInfo(o.picture).fileName());
    QPainter painter;
    if (!painter.begin(&pdf)) {
        why = QStringLiteral("cannot start the PDF");
        file.cancelWriting();
        return false;
    }
    {
        // As a printed page: the mapping from screen pixels to the page's resolution, the
        // picture at full resolution, the points without scrolling.
        DrawingSurface surface(painter);
        surface.setPrinting(true);
        surface.setPageMapping(dpiX, dpiY, pdf.logicalDpiX(), pdf.logicalDpiY());
        picture.drawForPrint(painter, QRect(0, 0, drawn.w, drawn.h));
        if (o.points) {
            RenderContext ctx;
            ctx.zoom = zoom;
            ctx.printing = true;
            ctx.now = o.now;
            PointRenderer renderer;
            renderer.DrawPoints(surface, list, ctx);
        }
    }
    painter.end();
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool OutputKindOf(const QString& path, OutputKind& kind) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) {
        kind = OutputKind::Png;
    } else if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        kind = OutputKind::Jpeg;
    } else if (suffix == QLatin1String("pdf")) {
        kind = OutputKind::Pdf;
    } else {
        return false;
    }
    return true;
}

int RunRender(const RenderOptions& o, TextSink& err) {
    Progress progress(err, QFileInfo(o.picture).fileName());
    progress.stage("decoding");
    // Fitted to a width, the picture is decoded as the window decodes it for that width.
    PictureFailure failure;
    const std::unique_ptr<Picture> picture =
        Picture::Load(o.picture, std::max(o.width, 0), 0, &failure);
    if (!picture) {
        ReportError(err, Name(o.picture) + ": " + failure.describe().toStdString());
        return kExitFailed;
    }
    PointList list;
    if (o.points) {
        const MapTarget target = LocateMap(o.baseDir, o.picture);
        const FileResult load = LoadMapFile(target.mapPath, list);
        if (load.status == FileResult::Failed) {
            ReportError(err, load.message);
            return kExitFailed;
        }
    }
    const auto imgW = static_cast<std::uint32_t>(picture->width());
    const auto imgH = static_cast<std::uint32_t>(picture->height());
    double zoom = o.zoom > 0 ? o.zoom : 1.0;
    const DrawnSize drawn =
        o.width > 0 ? FitSize(imgW, imgH, o.width, zoom) : ZoomSize(imgW, imgH, zoom);
    if (drawn.w < 1 || drawn.h < 1 || drawn.w > kMaxSide || drawn.h > kMaxSide ||
        qint64(drawn.w) * drawn.h > kMaxOutputPixels) {
        ReportError(err, Name(o.picture) + ": the drawn size " + std::to_string(drawn.w) + "x" +
                             std::to_string(drawn.h) + " is outside what can be written");
        return kExitFailed;
    }

    progress.stage("drawing");
    QString why;
    bool written = false;
    if (o.kind == OutputKind::Pdf) {
        written = WritePdf(*picture, list, drawn, zoom, o, why);
    } else {
        // The window surface: cleared to the base colour, the picture, then one tick of points.
        QImage image(drawn.w, drawn.h, QImage::Format_RGB32);
        if (image.isNull()) {
            ReportError(err, Name(o.picture) + ": not enough memory for the drawn size");
            return kExitFailed;
        }
        image.fill(QGuiApplication::palette().color(QPalette::Base));
        const QRect target(0, 0, drawn.w, drawn.h);
        {
            QPainter painter(&image);
            picture->drawScaled(painter, target, target);
        }
        if (o.points) {
            QPainter painter(&image);
            DrawingSurface surface(painter);
            RenderContext ctx;
            ctx.zoom = zoom;
            ctx.now = o.now;
            ctx.visible = target;
            PointRenderer renderer;
            renderer.DrawPoints(surface, list, ctx);
        }
        progress.stage("writing");
        written = WriteRaster(image, o, why);
    }
    const PictureFailure full = picture->fullPixelsFailure();
    if (full.reason != PictureFailure::None) {
        ReportError(err, Name(o.picture) + ": drawn from a reduced copy, as the window would: " +
                             full.describe().toStdString());
    }
    if (!written) {
        ReportError(err, Name(o.output) + ": cannot write: " + why.toStdString());
        return kExitFailed;
    }
    return kExitOk;
}
