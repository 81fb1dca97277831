#include "RenderCommand.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "DrawingSurface.h"
#include "ExitStatus.h"
#include "MapFiles.h"
#include "MapLocator.h"
#include "PagePainter.h"
#include "Picture.h"
#include "PointRenderer.h"
#include "TextSink.h"
#include "ToolFiles.h"
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
        // Wide enough for the longest stage, so a shorter one overwrites it whole.
        constexpr int kStageWidth = 14;
        m_err.write(QStringLiteral("\rzelvor-maps: %1: %2")
                        .arg(m_subject,
                             (QString::fromLatin1(what) + QLatin1String("...")).leftJustified(kStageWidth)));
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

// A write-only device over the sink the output goes to: Qt's image and PDF writers write
// through it, and a failed write fails at once, with the system's reason kept by the sink.
class SinkDevice : public QIODevice {
public:
    explicit SinkDevice(ByteSink& sink) : m_sink(sink) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (!m_sink.write(std::string_view(data, static_cast<std::size_t>(size)))) {
            m_failed = true;
            return -1;
        }
        return size;
    }

private:
    ByteSink& m_sink;
    bool m_failed = false;
};

// A failure of the encoder itself (not of the file), which abandons the save.
struct EncodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void EncodeRaster(const QImage& image, OutputKind kind, ByteSink& sink) {
    SinkDevice device(sink);
    QImageWriter writer(&device, kind == OutputKind::Jpeg ? "jpeg" : "png");
    if (kind == OutputKind::Jpeg) {
        writer.setQuality(kJpegQuality);
    }
    // A write the sink refused is reported by the save with the system's reason; any other
    // failure is the encoder's.
    if (!writer.write(image) && !device.failed()) {
        throw EncodeError(writer.errorString().toStdString());
    }
}

void EncodePdf(Picture& picture, PointList& list, PageOptions page, const RenderOptions& o,
               ByteSink& sink) {
    SinkDevice device(sink);
    // The page is the drawn picture at the size it has on the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpiX = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    const double dpiY = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    QPdfWriter pdf(&device);
    pdf.setResolution(kPdfDpi);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    // Pages are whole points: rounded up, so that no row or column of the picture is cut off.
    const QSize points(static_cast<int>(std::ceil(page.drawn.width() * 72.0 / dpiX)),
                       static_cast<int>(std::ceil(page.drawn.height() * 72.0 / dpiY)));
    pdf.setPageSize(QPageSize(points, QString(), QPageSize::ExactMatch));
    pdf.setTitle(QFileInfo(o.picture).fileName());
    QPainter painter;
    if (!painter.begin(&pdf)) {
        throw EncodeError("cannot start the PDF");
    }
    {
        // As a printed page: one screen pixel mapped to the page's resolution.
        page.medium = PageOptions::Medium::Paper;
        page.displayDpiX = dpiX;
        page.displayDpiY = dpiY;
        page.deviceDpiX = pdf.logicalDpiX();
        page.deviceDpiY = pdf.logicalDpiY();
        DrawingSurface surface(painter);
        PointRenderer renderer;
        PagePainter(page).paintPage(surface, picture, renderer, list);
    }
    if (!painter.end()) {
        throw EncodeError("cannot finish the PDF");
    }
}

} // namespace

bool OutputKindOf(const QString& path, OutputKind& kind) {
    return OutputKindNamed(QFileInfo(path).suffix(), kind);
}

bool OutputKindNamed(const QString& name, OutputKind& kind) {
    const QString suffix = name.toLower();
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

int RunRender(const RenderOptions& o, TextSink& out, TextSink& err) {
    std::string why;
    if (!IsReadableRegularFile(o.picture, why)) {
        ReportError(err, Name(o.picture) + ": " + why);
        return kExitFailed;
    }
    Progress progress(err, QFileInfo(o.picture).fileName());
    progress.stage("decoding");
    // Fitted to a width, the picture is decoded as the window decodes it for that width.
    PictureFailure failure;
    const std::unique_ptr<Picture> picture =
        Picture::Load(o.picture, std::max(o.width, 0), 0, &failure);
    if (!picture || picture->isTruncated()) {
        ReportError(err, Name(o.picture) + ": " + failure.describe().toStdString() +
                             " (nothing was written)");
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

    PageOptions page;
    page.zoom = zoom;
    page.drawn = QSize(drawn.w, drawn.h);
    page.showTexts = o.points;
    page.now = o.now;

    progress.stage("drawing");
    QImage image;
    if (o.kind != OutputKind::Pdf) {
        // The window surface: cleared to the base colour, the picture, then one tick of points.
        image = QImage(drawn.w, drawn.h, QImage::Format_RGB32);
        if (image.isNull()) {
            ReportError(err, Name(o.picture) + ": not enough memory for the drawn size");
            return kExitFailed;
        }
        image.fill(QGuiApplication::palette().color(QPalette::Base));
        QPainter painter(&image);
        DrawingSurface surface(painter);
        PointRenderer renderer;
        PagePainter(page).paintPage(surface, *picture, renderer, list);
        painter.end();
        progress.stage("writing");
    }
    FileResult written;
    try {
        written = WriteOutputFile(
            o.output,
            [&](ByteSink& sink) {
                if (o.kind == OutputKind::Pdf) {
                    EncodePdf(*picture, list, page, o, sink);
                } else {
                    EncodeRaster(image, o.kind, sink);
                }
            },
            out);
    } catch (const EncodeError& e) {
        written = FileResult::failure(Name(o.output) + ": cannot write: " + e.what());
    }
    const PictureFailure full = picture->fullPixelsFailure();
    if (full.reason != PictureFailure::None) {
        ReportError(err, Name(o.picture) + ": drawn from a reduced copy, as the window would: " +
                             full.describe().toStdString());
    }
    if (!written.ok()) {
        ReportError(err, written.message + " (nothing was replaced)");
        return kExitFailed;
    }
    return kExitOk;
}
