#include "Picture.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "BackgroundDecode.h"
#include "DeviceArea.h"
#include "ImageBands.h"
#include "PixelBox.h"
#include "TileSourceFactory.h"
#include "TiledPicture.h"

namespace {

using i64 = std::int64_t;

// Upscales at least this strong show the source pixels as sharp blocks (and cost less);
// milder ones are interpolated.
constexpr double kSharpZoom = 3.0;
// Source pixels kept around a copied region so interpolation at its edges sees its neighbours.
constexpr int kCopyMargin = 2;
// Pictures whose full decode would take more than this (64 megapixels at four bytes), and
// whose decoder can cut a region (JPEG), are drawn at full resolution from decoded regions.
constexpr qint64 kRegionBytes = qint64(256) * 1024 * 1024;

using Box = PixelBox;

// A smoothing resize: Qt's smooth scaling averages every source pixel under each target pixel
// when it reduces, so strong reductions do not alias.
QImage SmoothResize(const QImage& source, int width, int height) {
    return ImageBands::SmoothResize(source, width, height);
}

i64 ToDevice(i64 logical, double dpr) {
    return dpr == 1.0 ? logical : i64(std::llround(double(logical) * dpr));
}

} // namespace

struct Picture::Impl {
    std::unique_ptr<TiledPicture> tiled; // set for pictures drawn from tiles
    std::function<void(const QRect&)> onSharper;
    QString path;
    qint64 budget = 0;
    QImage full;    // the full-size pixels, once decoded
    QImage reduced; // a first decode reduced to the fit width, until the full one is there
    bool fullFailed = false;
    PictureFailure fullFailure;
    std::function<void()> onFullPixels;
    std::shared_ptr<BackgroundDecode> job; // the background decode of the full pixels
    // Pictures too large to decode whole with ease (see kRegionBytes) decode, for draws that
    // need full resolution, only a region around what they show.
    bool regions = false;
    QImage region;
    QRect regionRect; // in full-resolution pixels
    std::shared_ptr<BackgroundDecode> regionJob;
    QRect regionJobRect;

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
    bool takeFull(QImage image, const PictureFailure& failure);
    void adopt(bool notify);
    const QImage& sourceFor(i64 width, i64 height);
    const QImage& levelFor(const QImage& base, double ratio);
    void renderPart(const QImage& base, i64 targetWidth, i64 targetHeight, const Box& box);
    void renderFrom(const QImage& pixels, QPoint origin, QSize frame, i64 targetWidth,
                    i64 targetHeight, const Box& box);
    const QImage* regionFor(const QRect& needed, QSize frame);
    bool samePart(const void* base, i64 targetWidth, i64 targetHeight, const Box& box) const;
    bool takeRegion(QImage image, const QRect& rect, const PictureFailure& failure);
    void adoptRegion(bool notify);
    void connectTiles();
};

// Tiles arriving tell the sharper-part handler, or else the full-pixels one; with neither,
// draws wait for their tiles.
void Picture::Impl::connectTiles() {
    if (!tiled) {
        return;
    }
    if (onSharper) {
        tiled->setSharperHandler(onSharper);
    } else if (onFullPixels) {
        tiled->setSharperHandler([this](const QRect&) { onFullPixels(); });
    } else {
        tiled->setSharperHandler(nullptr);
    }
}

namespace {
// Takes the background decode out of `slot` once it has finished; its callback will not run.
std::shared_ptr<BackgroundDecode> Finish(std::shared_ptr<BackgroundDecode>& slot) {
    std::shared_ptr<BackgroundDecode> finished = std::move(slot);
    slot.reset();
    finished->cancel();
    return finished;
}
} // namespace

Picture::Impl::~Impl() {
    for (const auto& running : {job, regionJob}) {
        if (running) {
            running->cancel();
        }
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
        adopt(false);
        return !full.isNull();
    }
    if (!block && onFullPixels) {
        job = BackgroundDecode::Start(path, QRect(), budget, [this] { adopt(true); });
        if (job) {
            return false;
        }
    }
    PictureFailure failure;
    QImage image = PictureDecoder::Decode(path, QSize(), budget, failure);
    return takeFull(std::move(image), failure);
}

// Keeps the full pixels. A failed decode (too large for the budget, or the file changed since
// the first one) is not tried again: the reduced copy goes on being drawn.
bool Picture::Impl::takeFull(QImage image, const PictureFailure& failure) {
    if (image.isNull()) {
        fullFailed = true;
        fullFailure = failure;
        return false;
    }
    full = std::move(image);
    reduced = QImage();
    return true;
}

// Takes the result of the finished background decode of the full pixels. What was drawn from
// the stand-in goes; the copy cached at its own size (the fit copy) was made from pixels at
// least that large and stays.
void Picture::Impl::adopt(bool notify) {
    const std::shared_ptr<BackgroundDecode> finished = Finish(job);
    takeFull(finished->takeImage(), finished->failure());
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
    // Reductions stop at 2^-30: no picture has sides that large.
    constexpr int kMaxShift = 30;
    int shift = 0;
    while (shift < kMaxShift && ratio * double(i64(1) << (shift + 1)) <= 1.0) {
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

// The source pixels `renderFrom` reads for `box` of a target of tw x th drawn from a frame of
// `frame` pixels: those under the box and kCopyMargin around them, within the frame.
QRect SourceUnder(QSize frame, i64 tw, i64 th, const Box& box) {
    const double fx = double(frame.width()) / double(tw);
    const double fy = double(frame.height()) / double(th);
    const int cx0 = std::max(0, int(std::floor(double(box.x0) * fx)) - kCopyMargin);
    const int cy0 = std::max(0, int(std::floor(double(box.y0) * fy)) - kCopyMargin);
    const int cx1 = std::min(frame.width(), int(std::ceil(double(box.x1) * fx)) + kCopyMargin);
    const int cy1 = std::min(frame.height(), int(std::ceil(double(box.y1) * fy)) + kCopyMargin);
    return QRect(cx0, cy0, cx1 - cx0, cy1 - cy0);
}

// Renders `box` (device pixels, relative to the target's corner) of the picture scaled to
// `target` into `part`, from only the pixels of `base` under it.
void Picture::Impl::renderPart(const QImage& base, i64 targetWidth, i64 targetHeight,
                               const Box& box) {
    const double ratio =
        std::min(double(targetWidth) / base.width(), double(targetHeight) / base.height());
    const QImage& source = ratio < 1.0 ? levelFor(base, ratio) : base;
    renderFrom(source, QPoint(0, 0), source.size(), targetWidth, targetHeight, box);
    partBase = base.constBits();
}

// The same from `pixels`, which hold the rectangle at `origin` of a picture of `frame` pixels
// (the whole picture, or a decoded region of it).
void Picture::Impl::renderFrom(const QImage& pixels, QPoint origin, QSize frame,
                               i64 targetWidth, i64 targetHeight, const Box& box) {
    const double fx = double(frame.width()) / double(targetWidth);
    const double fy = double(frame.height()) / double(targetHeight);
    const double sx0 = double(box.x0) * fx;
    const double sy0 = double(box.y0) * fy;
    const double sx1 = double(box.x1) * fx;
    const double sy1 = double(box.y1) * fy;
    const QRect under = SourceUnder(frame, targetWidth, targetHeight, box);
    const QImage copied = pixels.copy(under.translated(-origin));

    // Grey pixels are drawn into a colour part (a painter cannot draw into every format).
    const QImage::Format format =
        pixels.format() == QImage::Format_Grayscale8 ? QImage::Format_RGB32 : pixels.format();
    part = QImage(int(box.width()), int(box.height()), format);
    part.fill(Qt::transparent);
    QPainter painter(&part);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, 1.0 / fx < kSharpZoom);
    painter.drawImage(QRectF(0, 0, part.width(), part.height()), copied,
                      QRectF(sx0 - under.x(), sy0 - under.y(), sx1 - sx0, sy1 - sy0));
    painter.end();
    partKey = box;
    partBase = pixels.constBits();
    partTarget =
        QSize(int(std::min<i64>(targetWidth, INT_MAX)), int(std::min<i64>(targetHeight, INT_MAX)));
}

// True when `part` holds `box` of a target of that size drawn from `base`.
bool Picture::Impl::samePart(const void* base, i64 targetWidth, i64 targetHeight,
                             const Box& box) const {
    return !part.isNull() && partBase == base &&
           partTarget == QSize(int(std::min<i64>(targetWidth, INT_MAX)),
                               int(std::min<i64>(targetHeight, INT_MAX))) &&
           partKey.x0 == box.x0 && partKey.y0 == box.y0 && partKey.x1 == box.x1 &&
           partKey.y1 == box.y1;
}

// The decoded region holding `needed` (full-resolution pixels), or null while it is not there:
// a region around it (a margin of its own size on each side, for scrolling) is then decoded,
// in the background when a handler is set, else at once.
const QImage* Picture::Impl::regionFor(const QRect& needed, QSize frame) {
    if (!region.isNull() && regionRect.contains(needed)) {
        return &region;
    }
    if (regionJob) {
        if (regionJobRect.contains(needed)) {
            return nullptr;
        }
        regionJob->cancel();
        regionJob.reset();
    }
    const QRect want =
        needed.adjusted(-needed.width(), -needed.height(), needed.width(), needed.height()) &
        QRect(QPoint(0, 0), frame);
    if (onFullPixels) {
        regionJob = BackgroundDecode::Start(path, want, budget, [this] { adoptRegion(true); });
        if (regionJob) {
            regionJobRect = want;
            return nullptr;
        }
    }
    PictureFailure failure;
    QImage image = PictureDecoder::DecodeRegion(path, want, budget, failure);
    if (!takeRegion(std::move(image), want, failure)) {
        return nullptr;
    }
    return &region;
}

// Keeps a decoded region; on failure stops decoding regions (the reduced copy is drawn).
bool Picture::Impl::takeRegion(QImage image, const QRect& rect, const PictureFailure& failure) {
    if (image.isNull()) {
        regions = false;
        fullFailed = true;
        fullFailure = failure;
        region = QImage();
        return false;
    }
    region = std::move(image);
    regionRect = rect;
    return true;
}

void Picture::Impl::adoptRegion(bool notify) {
    const std::shared_ptr<BackgroundDecode> finished = Finish(regionJob);
    takeRegion(finished->takeImage(), regionJobRect, finished->failure());
    part = QImage();
    if (notify && onFullPixels) {
        onFullPixels();
    }
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
                                       PictureFailure* failure, const std::atomic<bool>* cancel,
                                       const TileOpener& tileOpener) {
    PictureFailure ignored;
    PictureFailure& why = failure != nullptr ? *failure : ignored;
    why = {};
    budget = budget > 0 ? budget : PictureDecoder::MachineBudget();
    PictureHeader header;
    if (!PictureDecoder::ReadHeader(path, header, why)) {
        return nullptr;
    }
    // Big pictures are read as tiles where a tile reader takes them; the others, and those it
    // does not take, are decoded as before (which refuses what does not fit the budget).
    QString notTiled;
    const qint64 pixels = qint64(header.size.width()) * header.size.height();
    if (tileOpener) {
        if (std::unique_ptr<Picture> tiled = FromTiles(tileOpener(path))) {
            return tiled;
        }
    } else if (pixels > kTiledPixels ||
               (pixels >= kTiledOverBudgetPixels && header.peakBytes(header.size) > budget)) {
        const qint64 cacheBytes = std::min(kTileCacheBytes, budget / 2);
        const tiles::TileLimits limits;
        if (std::unique_ptr<Picture> tiled = FromTiles(
                tiles::OpenTileSource(path, limits, &notTiled), cacheBytes)) {
            return tiled;
        }
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
    QImage image = PictureDecoder::Decode(path, first, budget, why, cancel);
    if (image.isNull()) {
        if (why.reason == PictureFailure::TooLarge) {
            why.detail = notTiled;
        }
        return nullptr;
    }

    std::unique_ptr<Picture> picture(new Picture());
    picture->m_size = header.size;
    picture->m_truncated = why.reason == PictureFailure::Truncated;
    picture->d->path = path;
    picture->d->budget = budget;
    const qint64 whole = header.peakBytes(header.size);
    picture->d->regions = header.reducible && (whole > kRegionBytes || whole > budget);
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

std::unique_ptr<Picture> Picture::FromTiles(std::shared_ptr<const tiles::TileSource> source,
                                            qint64 cacheBytes) {
    if (!source || source->pictureSize().isEmpty()) {
        return nullptr;
    }
    std::unique_ptr<Picture> picture(new Picture());
    picture->m_size = source->pictureSize();
    picture->d->tiled = std::make_unique<TiledPicture>(
        std::move(source), cacheBytes > 0 ? cacheBytes : kTileCacheBytes);
    picture->d->tiled->readCoarsest();
    return picture;
}

bool Picture::isTiled() const {
    return d->tiled != nullptr;
}

qint64 Picture::tileCacheBytes() const {
    return d->tiled ? d->tiled->cachedBytes() : 0;
}

qint64 Picture::tileCacheBound() const {
    return d->tiled ? d->tiled->cacheBound() : 0;
}

void Picture::setSharperHandler(std::function<void(const QRect& pictureRect)> handler) {
    d->onSharper = std::move(handler);
    d->connectTiles();
}

bool Picture::hasFullPixels() const {
    return !d->full.isNull();
}

bool Picture::isDecoding() const {
    if (d->tiled) {
        return d->tiled->busy();
    }
    return d->job != nullptr || d->regionJob != nullptr;
}

PictureFailure Picture::fullPixelsFailure() const {
    return d->fullFailed ? d->fullFailure : PictureFailure{};
}

void Picture::setFullPixelsHandler(std::function<void()> handler) {
    d->onFullPixels = std::move(handler);
    d->connectTiles();
}

bool Picture::waitForPixels() {
    if (d->tiled) {
        d->tiled->waitForTiles();
        return true;
    }
    if (d->regionJob) {
        d->regionJob->wait();
        d->adoptRegion(false);
        return !d->region.isNull();
    }
    return d->regions ? !d->region.isNull() : d->ensureFull(true);
}

void Picture::drawScaled(QPainter& painter, const QRect& target, const QRect& visible) {
    if (d->tiled) {
        d->tiled->draw(painter, target, visible);
        return;
    }
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

    const auto drawPart = [&] { painter.drawImage(where, d->part, QRectF(d->part.rect())); };
    const bool reducedTooSmall = d->reduced.width() < tw || d->reduced.height() < th;
    if (d->regions && d->full.isNull() && reducedTooSmall &&
        std::min(double(tw) / m_size.width(), double(th) / m_size.height()) > 0.5) {
        // Full resolution from a decoded region; the reduced copy stands in until it is there.
        const QRect needed = SourceUnder(m_size, tw, th, box);
        if (const QImage* region = d->regionFor(needed, m_size)) {
            if (!d->samePart(region->constBits(), tw, th, box)) {
                d->renderFrom(*region, d->regionRect.topLeft(), m_size, tw, th, box);
            }
            drawPart();
            return;
        }
        if (d->regions && !d->reduced.isNull()) {
            if (!d->samePart(d->reduced.constBits(), tw, th, box)) {
                d->renderPart(d->reduced, tw, th, box);
            }
            drawPart();
            return;
        }
    }
    const QImage& source = d->sourceFor(tw, th);
    if (source.isNull()) {
        return;
    }
    if (&source == &d->full && tw == source.width() && th == source.height()) {
        // One source pixel per device pixel: straight from the decoded pixels.
        d->part = QImage();
        d->level = QImage();
        if (source.format() == QImage::Format_Grayscale8) {
            // Only the shown rows and columns pass through the painter's colour conversion.
            painter.drawImage(where, source.copy(from.toAlignedRect()));
        } else {
            painter.drawImage(where, source, from);
        }
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
    if (!d->samePart(source.constBits(), tw, th, box)) {
        d->renderPart(source, tw, th, box);
    }
    drawPart();
}

void Picture::drawForPrint(QPainter& painter, const QRect& target) {
    if (d->tiled) {
        d->tiled->drawForPrint(painter, target);
        return;
    }
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
