#include "Picture.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "BackgroundDecode.h"
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
    qint64 budget = 0;
    QImage full;    // the full-size pixels, once decoded
    QImage reduced; // a first decode reduced to the fit width, until the full one is there
    bool fullFailed = false;
    PictureFailure fullFailure;
    std::function<void()> onFullPixels;
    std::shared_ptr<BackgroundDecode> job; // the background decode of the full pixels

    // The whole picture at the last drawn size (targets up to kMaxCachedPixels).
    QImage scaled;
    // Large targets: the picture halved `levelShift` times, and the last part drawn from it.
    QImage level;
    int levelShift = -1;
    const void* levelBase = nullptr;
    QImage part;
    const void* partBase = nullptr;
    Box partKey;      // the part, in device pixels relative to the target's corner
    QSize partTarget; // the target's size in device pixels, saturated

    ~Impl();
    bool ensureFull(bool block);
    void adopt(const std::shared_ptr<BackgroundDecode>& done, bool notify);
    const QImage& sourceFor(i64 width, i64 height);
    const QImage& levelFor(const QImage& base, double ratio);
    void renderPart(const QImage& base, i64 targetWidth, i64 targetHeight, const Box& box);
};

Picture::Impl::~Impl() {
    if (job) {
        job->cancel();
    }
}

// True when the full pixels are there. Without them, a blocking call decodes them now (or
// waits for the background decode); otherwise, with a handler set, the background decode is
// started and the caller draws from the reduced copy meanwhile.
bool Picture::Impl::ensureFull(bool block) {
    if (!full.isNull()) {
        return true;
    }
    if (fullFailed || path.isEmpty()) {
        return false;
    }
    if (job) {
        if (!block) {
            return false;
        }
        job->wait();
        adopt(job, false);
        return !full.isNull();
    }
    if (!block && onFullPixels) {
        job = BackgroundDecode::Start(path, QSize(), budget, [this] { adopt(job, true); });
        if (job) {
            return false;
        }
    }
    PictureFailure failure;
    QImage image = PictureDecoder::Decode(path, QSize(), budget, failure);
    if (image.isNull()) {
        // Too large for the budget, or the file changed since the first decode: keep drawing
        // the reduced one.
        fullFailed = true;
        fullFailure = failure;
        return false;
    }
    full = std::move(image);
    reduced = QImage();
    return true;
}

// Takes the result of the background decode `done`. What was drawn from the stand-in goes;
// the copy cached at its own size (the fit copy) was made from pixels at least that large and
// stays.
void Picture::Impl::adopt(const std::shared_ptr<BackgroundDecode>& done, bool notify) {
    const std::shared_ptr<BackgroundDecode> finished = done;
    job.reset();
    finished->cancel();
    QImage image = finished->takeImage();
    if (image.isNull()) {
        fullFailed = true;
        fullFailure = finished->failure();
    } else {
        full = std::move(image);
        reduced = QImage();
    }
    level = QImage();
    part = QImage();
    if (notify && onFullPixels) {
        onFullPixels();
    }
}

// The pixels to draw a width x height target from: the reduced copy while it is at least that
// large, else the full pixels; while those are not there, the reduced copy stands in.
const QImage& Picture::Impl::sourceFor(i64 width, i64 height) {
    if (full.isNull() && !reduced.isNull() && reduced.width() >= width &&
        reduced.height() >= height) {
        return reduced;
    }
    return ensureFull(false) ? full : reduced;
}

// The picture reduced by 2^k, where 2^-k is the smallest power of two not below `ratio`
// (target pixels per source pixel), so drawing from it never reduces by more than half.
const QImage& Picture::Impl::levelFor(const QImage& base, double ratio) {
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
// `target` into `part`, from only the pixels of `base` under it.
void Picture::Impl::renderPart(const QImage& base, i64 targetWidth, i64 targetHeight,
                               const Box& box) {
    const double ratio =
        std::min(double(targetWidth) / base.width(), double(targetHeight) / base.height());
    const QImage& source = ratio < 1.0 ? levelFor(base, ratio) : base;
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
    partBase = base.constBits();
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
    return Load(path, fitWidth, 0, nullptr);
}

std::unique_ptr<Picture> Picture::Load(const QString& path, int fitWidth, qint64 budget,
                                       PictureFailure* failure) {
    PictureFailure ignored;
    PictureFailure& why = failure != nullptr ? *failure : ignored;
    why = {};
    budget = budget > 0 ? budget : PictureDecoder::MachineBudget();
    PictureHeader header;
    if (!PictureDecoder::ReadHeader(path, header, why)) {
        return nullptr;
    }
    // A decoder that reduces while it decodes starts at the fit width, or at the largest size
    // the budget allows when the whole picture does not fit.
    QSize first;
    if (header.reducible) {
        if (fitWidth > 0 && fitWidth < header.size.width()) {
            first = QSize(fitWidth, FitHeight(header.size, fitWidth));
        }
        const QSize most = PictureDecoder::LargestWithin(header, budget);
        if (!most.isEmpty() && (first.isEmpty() || first.width() > most.width())) {
            first = most;
        }
    }
    QImage image = PictureDecoder::Decode(path, first, budget, why);
    if (image.isNull()) {
        return nullptr;
    }

    std::unique_ptr<Picture> picture(new Picture());
    picture->m_size = header.size;
    picture->d->path = path;
    picture->d->budget = budget;
    if (image.size() == header.size) {
        picture->d->full = std::move(image);
    } else {
        picture->d->reduced = std::move(image);
    }
    return picture;
}

std::unique_ptr<Picture> Picture::FromImage(const QImage& image) {
    if (image.isNull()) {
        return nullptr;
    }
    std::unique_ptr<Picture> picture(new Picture());
    picture->d->full = image;
    PictureDecoder::Normalize(picture->d->full);
    picture->m_size = image.size();
    return picture;
}

bool Picture::hasFullPixels() const {
    return !d->full.isNull();
}

bool Picture::isDecoding() const {
    return d->job != nullptr;
}

PictureFailure Picture::fullPixelsFailure() const {
    return d->fullFailed ? d->fullFailure : PictureFailure{};
}

void Picture::setFullPixelsHandler(std::function<void()> handler) {
    d->onFullPixels = std::move(handler);
}

bool Picture::waitForFullPixels() {
    return d->ensureFull(true);
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

    const QImage& source = d->sourceFor(tw, th);
    if (source.isNull()) {
        return;
    }
    if (&source == &d->full && tw == source.width() && th == source.height()) {
        // One source pixel per device pixel: straight from the decoded pixels.
        d->part = QImage();
        d->level = QImage();
        painter.drawImage(where, source, from);
        return;
    }
    // While the full pixels are on their way, the stand-in is drawn part by part and never
    // replaces the cached copy.
    const bool standIn = d->job != nullptr && &source != &d->full &&
                         (source.width() < tw || source.height() < th);
    if (!standIn && tw <= kMaxCachedPixels && th <= kMaxCachedPixels &&
        tw * th <= kMaxCachedPixels) {
        if (d->scaled.width() != tw || d->scaled.height() != th) {
            d->scaled = source.width() == tw && source.height() == th
                            ? source
                            : SmoothResize(source, int(tw), int(th));
        }
        d->part = QImage();
        d->level = QImage();
        painter.drawImage(where, d->scaled, from);
        return;
    }
    if (d->part.isNull() || d->partBase != source.constBits() ||
        d->partTarget != QSize(int(std::min<i64>(tw, INT_MAX)), int(std::min<i64>(th, INT_MAX))) ||
        d->partKey.x0 != box.x0 || d->partKey.y0 != box.y0 || d->partKey.x1 != box.x1 ||
        d->partKey.y1 != box.y1) {
        d->renderPart(source, tw, th, box);
    }
    painter.drawImage(where, d->part, QRectF(d->part.rect()));
}

void Picture::drawForPrint(QPainter& painter, const QRect& target) {
    const Box t = BoxOf(target);
    if (t.empty() || m_size.isEmpty() || !painter.isActive()) {
        return;
    }
    const QImage& source = d->ensureFull(true) ? d->full : d->reduced;
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
