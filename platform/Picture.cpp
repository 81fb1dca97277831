#include "Picture.h"

#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "DeviceArea.h"

namespace {

using i64 = std::int64_t;

// Upscales at least this strong show the source pixels as sharp blocks (and cost less);
// milder ones are interpolated.
constexpr double kSharpZoom = 3.0;
// Source pixels kept around a copied region so interpolation at its edges sees its neighbours.
constexpr int kCopyMargin = 2;

// A rectangle as half-open 64-bit edges, so sums and extents never overflow.
struct Box {
    i64 x0 = 0;
    i64 y0 = 0;
    i64 x1 = 0;
    i64 y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    i64 width() const { return x1 - x0; }
    i64 height() const { return y1 - y0; }
};

Box BoxOf(const QRect& r) {
    // left()/right() are the stored edges; width() could overflow for extreme rectangles.
    return {r.left(), r.top(), i64(r.right()) + 1, i64(r.bottom()) + 1};
}

Box Intersect(const Box& a, const Box& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

// Qt refuses images above a fixed allocation limit (128 MB in Qt 6.4, less than a 40-megapixel
// picture needs). Raise it to what the largest picture accepted here needs at eight bytes a
// pixel (16-bit formats). The own size check before decoding stays the guard, also when
// QT_IMAGEIO_MAXALLOC switches Qt's limit off.
void RaiseAllocationLimit() {
    static const bool raised = [] {
        constexpr i64 kBytes = Picture::kMaxPixels * 8;
        constexpr i64 kMegabytes = kBytes / (1024 * 1024) + 1;
        static_assert(kMegabytes < INT_MAX);
        QImageReader::setAllocationLimit(int(kMegabytes));
        return true;
    }();
    (void)raised;
}

bool AcceptableSize(const QSize& size) {
    return size.isValid() && !size.isEmpty() &&
           i64(size.width()) * i64(size.height()) <= Picture::kMaxPixels;
}

// Decoded pixels in one of the two formats that scale and draw fastest, at ratio 1 (the
// reader gives "@2x" file names a ratio of 2).
void Normalize(QImage& image) {
    const QImage::Format wanted =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != wanted) {
        image.convertTo(wanted);
    }
    image.setDevicePixelRatio(1.0);
}

void PrepareReader(QImageReader& reader) {
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
}

// A smoothing resize: Qt's smooth scaling averages every source pixel under each target pixel
// when it reduces, so strong reductions do not alias.
QImage SmoothResize(const QImage& source, int width, int height) {
    QImage result = source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.setDevicePixelRatio(1.0);
    return result;
}

i64 ToDevice(i64 logical, double dpr) {
    return dpr == 1.0 ? logical : i64(std::llround(double(logical) * dpr));
}

} // namespace

struct Picture::Impl {
    QString path;
    QImage full;    // the full-size pixels, once decoded
    QImage reduced; // a first decode reduced to the fit width, until the full one is there
    bool fullFailed = false;

    // The whole picture at the last drawn size (targets up to kMaxCachedPixels).
    QImage scaled;
    // Large targets: the picture halved `levelShift` times, and the last part drawn from it.
    QImage level;
    int levelShift = -1;
    const void* levelBase = nullptr;
    QImage part;
    Box partKey;      // the part, in device pixels relative to the target's corner
    QSize partTarget; // the target's size in device pixels, saturated

    bool ensureFull();
    const QImage& sourceFor(i64 width, i64 height);
    const QImage& levelFor(double ratio);
    void renderPart(i64 targetWidth, i64 targetHeight, const Box& box);
};

bool Picture::Impl::ensureFull() {
    if (!full.isNull()) {
        return true;
    }
    if (fullFailed || path.isEmpty()) {
        return false;
    }
    QImageReader reader(path);
    PrepareReader(reader);
    QImage image;
    if (AcceptableSize(reader.size())) {
        image = reader.read();
    }
    if (image.isNull()) {
        // The file changed or went away since the first decode: keep drawing the reduced one.
        fullFailed = true;
        return false;
    }
    Normalize(image);
    full = std::move(image);
    reduced = QImage();
    return true;
}

const QImage& Picture::Impl::sourceFor(i64 width, i64 height) {
    if (full.isNull() && !reduced.isNull() && reduced.width() >= width &&
        reduced.height() >= height) {
        return reduced;
    }
    return ensureFull() ? full : reduced;
}

// The picture reduced by 2^k, where 2^-k is the smallest power of two not below `ratio`
// (target pixels per source pixel), so drawing from it never reduces by more than half.
const QImage& Picture::Impl::levelFor(double ratio) {
    const QImage& base = ensureFull() ? full : reduced;
    int shift = 0;
    while (shift < 30 && ratio * double(i64(1) << (shift + 1)) <= 1.0) {
        ++shift;
    }
    if (shift == 0) {
        return base;
    }
    if (levelShift != shift || levelBase != base.constBits() || level.isNull()) {
        const int w = std::max(1, base.width() >> shift);
        const int h = std::max(1, base.height() >> shift);
        level = SmoothResize(base, w, h);
        levelShift = shift;
        levelBase = base.constBits();
    }
    return level;
}

// Renders `box` (device pixels, relative to the target's corner) of the picture scaled to
// `target` into `part`, from only the source pixels under it.
void Picture::Impl::renderPart(i64 targetWidth, i64 targetHeight, const Box& box) {
    const QImage& base = ensureFull() ? full : reduced;
    const double ratio =
        std::min(double(targetWidth) / base.width(), double(targetHeight) / base.height());
    const QImage& source = ratio < 1.0 ? levelFor(ratio) : base;
    const double fx = double(source.width()) / double(targetWidth);
    const double fy = double(source.height()) / double(targetHeight);

    const double sx0 = double(box.x0) * fx;
    const double sy0 = double(box.y0) * fy;
    const double sx1 = double(box.x1) * fx;
    const double sy1 = double(box.y1) * fy;
    const int cx0 = std::max(0, int(std::floor(sx0)) - kCopyMargin);
    const int cy0 = std::max(0, int(std::floor(sy0)) - kCopyMargin);
    const int cx1 = std::min(source.width(), int(std::ceil(sx1)) + kCopyMargin);
    const int cy1 = std::min(source.height(), int(std::ceil(sy1)) + kCopyMargin);
    const QImage region = source.copy(cx0, cy0, cx1 - cx0, cy1 - cy0);

    part = QImage(int(box.width()), int(box.height()), source.format());
    part.fill(Qt::transparent);
    QPainter painter(&part);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, 1.0 / fx < kSharpZoom);
    painter.drawImage(QRectF(0, 0, part.width(), part.height()), region,
                      QRectF(sx0 - cx0, sy0 - cy0, sx1 - sx0, sy1 - sy0));
    painter.end();
    partKey = box;
    partTarget =
        QSize(int(std::min<i64>(targetWidth, INT_MAX)), int(std::min<i64>(targetHeight, INT_MAX)));
}

Picture::Picture() : d(std::make_unique<Impl>()) {}

Picture::~Picture() = default;

int Picture::FitHeight(QSize size, int width) {
    if (size.width() <= 0 || width <= 0) {
        return 1;
    }
    const i64 h = i64(size.height()) * width / size.width();
    return int(std::clamp<i64>(h, 1, INT_MAX));
}

std::unique_ptr<Picture> Picture::Load(const QString& path, int fitWidth) {
    RaiseAllocationLimit();
    QImageReader reader(path);
    PrepareReader(reader);
    const QSize size = reader.size();
    if (!AcceptableSize(size)) {
        return nullptr;
    }
    const bool reduce = fitWidth > 0 && fitWidth < size.width() &&
                        reader.supportsOption(QImageIOHandler::ScaledSize);
    if (reduce) {
        reader.setScaledSize(QSize(fitWidth, FitHeight(size, fitWidth)));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return nullptr;
    }
    Normalize(image);

    std::unique_ptr<Picture> picture(new Picture());
    picture->m_size = size;
    picture->d->path = path;
    if (reduce) {
        picture->d->reduced = std::move(image);
    } else {
        picture->d->full = std::move(image);
    }
    return picture;
}

std::unique_ptr<Picture> Picture::FromImage(const QImage& image) {
    if (image.isNull()) {
        return nullptr;
    }
    std::unique_ptr<Picture> picture(new Picture());
    picture->d->full = image;
    Normalize(picture->d->full);
    picture->m_size = image.size();
    return picture;
}

bool Picture::hasFullPixels() const {
    return !d->full.isNull();
}

void Picture::drawScaled(QPainter& painter, const QRect& target, const QRect& visible) {
    const Box t = BoxOf(target);
    if (t.empty() || m_size.isEmpty() || !painter.isActive()) {
        return;
    }
    const DeviceArea area = DeviceArea::Of(painter, 0);
    Box shown = Intersect(t, Box{area.left, area.top, area.right, area.bottom});
    if (!visible.isEmpty()) {
        shown = Intersect(shown, BoxOf(visible));
    }
    if (shown.empty()) {
        return;
    }

    // Sizes and the shown part in device pixels, the part relative to the target's corner.
    const QPaintDevice* device = painter.device();
    const double dpr = device != nullptr ? device->devicePixelRatio() : 1.0;
    const i64 tw = ToDevice(t.width(), dpr);
    const i64 th = ToDevice(t.height(), dpr);
    const Box box{ToDevice(shown.x0 - t.x0, dpr), ToDevice(shown.y0 - t.y0, dpr),
                  ToDevice(shown.x1 - t.x0, dpr), ToDevice(shown.y1 - t.y0, dpr)};
    if (tw <= 0 || th <= 0 || box.empty()) {
        return;
    }
    const QRectF where(double(shown.x0), double(shown.y0), double(shown.width()),
                       double(shown.height()));
    const QRectF from(double(box.x0), double(box.y0), double(box.width()), double(box.height()));

    if (!d->full.isNull() && tw == d->full.width() && th == d->full.height()) {
        // One source pixel per device pixel: straight from the decoded pixels.
        d->scaled = QImage();
        d->part = QImage();
        d->level = QImage();
        painter.drawImage(where, d->full, from);
        return;
    }
    if (tw <= kMaxCachedPixels && th <= kMaxCachedPixels && tw * th <= kMaxCachedPixels) {
        if (d->scaled.width() != tw || d->scaled.height() != th) {
            const QImage& source = d->sourceFor(tw, th);
            d->scaled = source.width() == tw && source.height() == th
                            ? source
                            : SmoothResize(source, int(tw), int(th));
        }
        d->part = QImage();
        d->level = QImage();
        painter.drawImage(where, d->scaled, from);
        return;
    }
    d->scaled = QImage();
    if (d->part.isNull() ||
        d->partTarget != QSize(int(std::min<i64>(tw, INT_MAX)), int(std::min<i64>(th, INT_MAX))) ||
        d->partKey.x0 != box.x0 || d->partKey.y0 != box.y0 || d->partKey.x1 != box.x1 ||
        d->partKey.y1 != box.y1) {
        d->renderPart(tw, th, box);
    }
    painter.drawImage(where, d->part, QRectF(d->part.rect()));
}

void Picture::drawForPrint(QPainter& painter, const QRect& target) {
    const Box t = BoxOf(target);
    if (t.empty() || m_size.isEmpty() || !painter.isActive()) {
        return;
    }
    const QImage& source = d->ensureFull() ? d->full : d->reduced;
    if (source.isNull()) {
        return;
    }
    const DeviceArea area = DeviceArea::Of(painter, 1);
    const Box shown = Intersect(t, Box{area.left, area.top, area.right, area.bottom});
    if (shown.empty()) {
        return;
    }
    // Only the source pixels under the page, so no coordinate handed on is out of range.
    const double fx = double(source.width()) / double(t.width());
    const double fy = double(source.height()) / double(t.height());
    const QRectF from(double(shown.x0 - t.x0) * fx, double(shown.y0 - t.y0) * fy,
                      double(shown.width()) * fx, double(shown.height()) * fy);
    const QRectF where(double(shown.x0), double(shown.y0), double(shown.width()),
                       double(shown.height()));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(where, source, from);
    painter.restore();
}
