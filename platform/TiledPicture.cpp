#include "TiledPicture.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "DeviceArea.h"
#include "PixelBox.h"

namespace {

using i64 = std::int64_t;
using tiles::TileId;
using tiles::TileSource;

constexpr int kTile = tiles::kTileSize;
// Device rows drawn at a time: a band's tiles and its mosaic stay a few megabytes.
constexpr i64 kBandRows = 256;
// Level pixels kept around a band so interpolation at its edges sees its neighbours.
constexpr int kCopyMargin = 2;
// Enlargements at least this strong show the pixels as sharp blocks; milder ones interpolate.
constexpr double kSharpZoom = 3.0;
// How often levels still being built are looked at (and their new rows asked for).
constexpr int kLevelPollMs = 100;

using Box = PixelBox;

// The level pixels under `box` (device pixels from the target's corner) of a target of
// tw x th drawn from a level of `frame` pixels, with kCopyMargin around them.
QRect LevelUnder(QSize frame, i64 tw, i64 th, const Box& box) {
    const double fx = double(frame.width()) / double(tw);
    const double fy = double(frame.height()) / double(th);
    const int x0 = std::max(0, int(std::floor(double(box.x0) * fx)) - kCopyMargin);
    const int y0 = std::max(0, int(std::floor(double(box.y0) * fy)) - kCopyMargin);
    const int x1 = std::min(frame.width(), int(std::ceil(double(box.x1) * fx)) + kCopyMargin);
    const int y1 = std::min(frame.height(), int(std::ceil(double(box.y1) * fy)) + kCopyMargin);
    return QRect(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
}

// The tiles of `level` that `under` (level pixels) touches, widened by `ring` tiles each way
// within the level.
struct TileRange {
    int c0 = 0;
    int r0 = 0;
    int c1 = -1; // inclusive
    int r1 = -1;
};

TileRange RangeOf(QSize levelSize, const QRect& under, int ring) {
    if (under.isEmpty()) {
        return {};
    }
    const int columns = (levelSize.width() + kTile - 1) / kTile;
    const int rows = (levelSize.height() + kTile - 1) / kTile;
    return {std::max(0, under.left() / kTile - ring), std::max(0, under.top() / kTile - ring),
            std::min(columns - 1, under.right() / kTile + ring),
            std::min(rows - 1, under.bottom() / kTile + ring)};
}

} // namespace

// The target in device pixels: how many device pixels a logical one spans, and its size.
struct TiledPicture::Placement {
    double sx = 1.0;
    double sy = 1.0;
    i64 tw = 0;
    i64 th = 0;
    Box target; // logical

    Placement(const QPainter& painter, const Box& t) : target(t) {
        const QTransform device = painter.deviceTransform();
        sx = std::abs(device.m11()) > 0 ? std::abs(device.m11()) : 1.0;
        sy = std::abs(device.m22()) > 0 ? std::abs(device.m22()) : 1.0;
        tw = std::max<i64>(1, std::llround(double(t.width()) * sx));
        th = std::max<i64>(1, std::llround(double(t.height()) * sy));
    }
    // A logical box in device pixels from the target's corner.
    Box toDevice(const Box& b) const {
        return {std::llround(double(b.x0 - target.x0) * sx),
                std::llround(double(b.y0 - target.y0) * sy),
                std::llround(double(b.x1 - target.x0) * sx),
                std::llround(double(b.y1 - target.y0) * sy)};
    }
    QRectF toLogical(const Box& d) const {
        return QRectF(double(target.x0) + double(d.x0) / sx, double(target.y0) + double(d.y0) / sy,
                      double(d.width()) / sx, double(d.height()) / sy);
    }
};

TiledPicture::TiledPicture(std::shared_ptr<const tiles::TileSource> source, qint64 cacheBytes)
    : m_source(std::move(source)), m_size(m_source->pictureSize()),
      m_topLevel(m_source->levelCount() - 1), m_cache(cacheBytes),
      m_fetcher(m_source, [this](const TileId& id, QImage tile) { arrived(id, std::move(tile)); }),
      m_ready(std::size_t(m_topLevel + 1), false) {
    for (int level = 0; level <= m_topLevel; ++level) {
        m_ready[std::size_t(level)] = m_source->levelReady(level);
    }
}

void TiledPicture::ensureTimers() {
    if (m_notice) {
        return;
    }
    m_notice = std::make_unique<QTimer>();
    m_notice->setSingleShot(true);
    m_notice->setInterval(0);
    QObject::connect(m_notice.get(), &QTimer::timeout, [this] { notify(); });
    m_levelPoll = std::make_unique<QTimer>();
    m_levelPoll->setInterval(kLevelPollMs);
    QObject::connect(m_levelPoll.get(), &QTimer::timeout, [this] { checkLevels(); });
}

TiledPicture::~TiledPicture() = default;

int TiledPicture::LevelFor(QSize picture, qint64 width, qint64 height) {
    const int count = TileSource::LevelCount(picture);
    int level = 0;
    while (level + 1 < count) {
        const QSize next = TileSource::LevelSize(picture, level + 1);
        if (next.width() < width || next.height() < height) {
            break;
        }
        ++level;
    }
    return level;
}

void TiledPicture::readCoarsest() {
    if (!m_top.isNull() || !m_source->levelReady(m_topLevel)) {
        return;
    }
    const std::atomic<bool> never{false};
    const TileId id{m_topLevel, 0, 0};
    m_top = m_source->readTile(id, never);
    if (m_top.isNull()) {
        m_failed.insert(TileCache::Key(id));
    }
}

// Notes which levels have become readable; while some have not, looks again later, and the
// picture is redrawn when one has.
void TiledPicture::checkLevels() {
    ensureTimers();
    const bool wasWaiting = m_levelPoll->isActive();
    bool changed = false;
    bool waiting = false;
    for (int level = 0; level <= m_topLevel; ++level) {
        if (!m_ready[std::size_t(level)] && m_source->levelReady(level)) {
            m_ready[std::size_t(level)] = true;
            changed = true;
        }
        waiting = waiting || !m_ready[std::size_t(level)];
    }
    if (!waiting) {
        m_levelPoll->stop();
    } else if (!m_levelPoll->isActive()) {
        m_levelPoll->start();
    }
    // Rows of a level being built have come since the view asked: ask for them.
    if (waiting && wasWaiting && m_asked.level >= 0) {
        request(m_asked.level, m_asked.under);
    }
    if (changed && wasWaiting) {
        m_sharpened = QRect(QPoint(0, 0), m_size);
        m_notice->start();
    }
}

void TiledPicture::draw(QPainter& painter, const QRect& target, const QRect& visible) {
    if (!painter.isActive() || m_size.isEmpty()) {
        return;
    }
    const Box t = BoxOf(target);
    const DeviceArea area = DeviceArea::Of(painter, 0);
    Box wanted = Intersect(t, Box{area.left, area.top, area.right, area.bottom});
    if (!visible.isEmpty()) {
        wanted = Intersect(wanted, BoxOf(visible));
    }
    // Only what the clip lets through is drawn (a strip scrolled into view, tiles that
    // arrived); the tiles are asked for the whole visible part.
    Box shown = wanted;
    if (painter.hasClipping()) {
        shown = Intersect(shown, BoxOf(painter.clipBoundingRect().toAlignedRect()));
    }
    if (wanted.empty()) {
        return;
    }
    const auto rect = [](const Box& b) {
        return QRect(int(b.x0), int(b.y0), int(b.width()), int(b.height()));
    };
    render(painter, target, shown.empty() ? QRect() : rect(shown), rect(wanted), !m_sharper);
}

void TiledPicture::drawForPrint(QPainter& painter, const QRect& target) {
    if (!painter.isActive() || m_size.isEmpty()) {
        return;
    }
    const Box t = BoxOf(target);
    const DeviceArea area = DeviceArea::Of(painter, 1);
    const Box shown = Intersect(t, Box{area.left, area.top, area.right, area.bottom});
    if (shown.empty()) {
        return;
    }
    const QRect rect(int(shown.x0), int(shown.y0), int(shown.width()), int(shown.height()));
    render(painter, target, rect, rect, true);
}

// Draws `shown` of the picture scaled into `target` from the level that matches, a band of
// device rows at a time; asks for the tiles of `wanted` (or, when `block`, reads those of each
// band and waits).
void TiledPicture::render(QPainter& painter, const QRect& target, const QRect& shown,
                          const QRect& wanted, bool block) {
    const Placement place(painter, BoxOf(target));
    int level = LevelFor(m_size, place.tw, place.th);
    // A final drawing (a printed page, a rendered file) waits for its level while it is being
    // built; where the build ends without it, it takes the finest level that can be read.
    if (block && !m_source->waitForLevel(level)) {
        while (level < m_topLevel && !m_source->levelReady(level)) {
            ++level;
        }
    }
    const QSize frame = TileSource::LevelSize(m_size, level);
    if (!block) {
        // A level still being built is looked at again until it is ready.
        if (std::find(m_ready.begin(), m_ready.end(), false) != m_ready.end()) {
            checkLevels();
        }
        request(level, LevelUnder(frame, place.tw, place.th, place.toDevice(BoxOf(wanted))));
    }
    if (shown.isEmpty()) {
        return;
    }
    const Box box = place.toDevice(BoxOf(shown));
    painter.save();
    for (i64 y = box.y0; y < box.y1; y += kBandRows) {
        const Box band{box.x0, y, box.x1, std::min(box.y1, y + kBandRows)};
        // A band of which the level has no tile here yet is drawn from the first coarser level
        // that has one, enlarged once, rather than composed at the level from enlarged coarse
        // tiles and then scaled again: the first paint of a big picture is mostly that.
        int drawn = level;
        while (!block && drawn < m_topLevel && !hasTileUnder(drawn, place, band)) {
            ++drawn;
        }
        const QSize levelFrame = TileSource::LevelSize(m_size, drawn);
        const QRect under = LevelUnder(levelFrame, place.tw, place.th, band);
        if (under.isEmpty()) {
            continue;
        }
        const double fx = double(levelFrame.width()) / double(place.tw);
        const double fy = double(levelFrame.height()) / double(place.th);
        const bool exact = levelFrame.width() == place.tw && levelFrame.height() == place.th;
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !exact && 1.0 / fx < kSharpZoom);
        const Local local = block ? readNow(drawn, under) : Local();
        const QImage mosaic = compose(drawn, under, local);
        const QRectF from(double(band.x0) * fx - under.x(), double(band.y0) * fy - under.y(),
                          double(band.width()) * fx, double(band.height()) * fy);
        painter.drawImage(place.toLogical(band), mosaic, from);
    }
    painter.restore();
}

// Whether any tile of `level` under `band` (device pixels) is here, whole or in part.
bool TiledPicture::hasTileUnder(int level, const Placement& place, const Box& band) {
    const QSize levelFrame = TileSource::LevelSize(m_size, level);
    const TileRange range =
        RangeOf(levelFrame, LevelUnder(levelFrame, place.tw, place.th, band), 0);
    const Local none;
    for (int r = range.r0; r <= range.r1; ++r) {
        for (int c = range.c0; c <= range.c1; ++c) {
            if (tileFor({level, c, r}, none) != nullptr) {
                return true;
            }
        }
    }
    return false;
}

// Asks for the tiles under `under` of `level` that are not here: nearest the centre first, then
// a ring around them. While `level` is being built, the tiles of the first level from it up
// that is ready or has rows are asked for, those partly there again as their rows come.
void TiledPicture::request(int drawn, const QRect& drawnUnder) {
    m_asked = {drawn, drawnUnder};
    int level = drawn;
    int rows = 0; // of `level`, from its top
    for (;; ++level) {
        if (m_ready[std::size_t(level)]) {
            rows = TileSource::LevelSize(m_size, level).height();
            break;
        }
        rows = m_source->rowsReady(level);
        if (rows > 0 || level == m_topLevel) {
            break;
        }
    }
    // `drawnUnder` is in the pixels of the level drawn; a level further up is smaller.
    const int up = level - drawn;
    const QRect under = drawnUnder.isEmpty()
                            ? QRect()
                            : QRect(QPoint(drawnUnder.left() >> up, drawnUnder.top() >> up),
                                    QPoint(drawnUnder.right() >> up, drawnUnder.bottom() >> up));
    std::vector<TileId> ids;
    if (m_top.isNull() && m_ready[std::size_t(m_topLevel)] &&
        !m_failed.count(TileCache::Key({m_topLevel, 0, 0}))) {
        ids.push_back({m_topLevel, 0, 0});
    }
    if (rows <= 0 || under.isEmpty()) {
        m_fetcher.want(ids);
        return;
    }
    const QSize levelSize = TileSource::LevelSize(m_size, level);
    const TileRange inner = RangeOf(levelSize, under, 0);
    const TileRange outer = RangeOf(levelSize, under, 1);
    const QPoint centre = under.center();
    std::vector<std::pair<i64, TileId>> near;
    std::vector<TileId> ring;
    const Local none;
    for (int r = outer.r0; r <= std::min(outer.r1, (rows - 1) / kTile); ++r) {
        for (int c = outer.c0; c <= outer.c1; ++c) {
            const TileId id{level, c, r};
            const QRect rect = TileSource::TileRect(m_size, id);
            // The coarsest tile is kept apart from the cache: it counts as here too.
            const QImage* cached = tileFor(id, none);
            const int have = cached != nullptr ? cached->height() : 0;
            if (have >= std::min(rect.height(), rows - rect.top()) ||
                m_failed.count(TileCache::Key(id)) != 0) {
                continue;
            }
            if (c < inner.c0 || c > inner.c1 || r < inner.r0 || r > inner.r1) {
                ring.push_back(id);
                continue;
            }
            const i64 dx = i64(c) * kTile + kTile / 2 - centre.x();
            const i64 dy = i64(r) * kTile + kTile / 2 - centre.y();
            near.push_back({dx * dx + dy * dy, id});
        }
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : near) {
        ids.push_back(entry.second);
    }
    ids.insert(ids.end(), ring.begin(), ring.end());
    m_fetcher.want(ids);
}

// The tiles of `level` under `under`: those not cached are read on the pool's workers (and
// cached for the next draw) while this waits.
TiledPicture::Local TiledPicture::readNow(int level, const QRect& under) {
    Local local;
    if (!m_ready[std::size_t(level)] && !m_source->levelReady(level)) {
        return local;
    }
    const TileRange range = RangeOf(TileSource::LevelSize(m_size, level), under, 0);
    std::vector<TileId> ids;
    for (int r = range.r0; r <= range.r1; ++r) {
        for (int c = range.c0; c <= range.c1; ++c) {
            const TileId id{level, c, r};
            // Those cached are held here too: caching the others may push them out. A tile
            // cached while its level was being built may hold only its first rows.
            const QImage* cached = tileFor(id, local);
            if (cached != nullptr && cached->size() == TileSource::TileRect(m_size, id).size()) {
                local.emplace(TileCache::Key(id), *cached);
            } else if (m_failed.count(TileCache::Key(id)) == 0) {
                ids.push_back(id);
            }
        }
    }
    const std::vector<QImage> read = TileFetcher::ReadAll(*m_source, ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (read[i].isNull()) {
            m_failed.insert(TileCache::Key(ids[i]));
            continue;
        }
        local.emplace(TileCache::Key(ids[i]), read[i]);
        m_cache.insert(ids[i], read[i]);
    }
    return local;
}

const QImage* TiledPicture::tileFor(const TileId& id, const Local& local) {
    if (id.level == m_topLevel && !m_top.isNull()) {
        return &m_top;
    }
    if (const auto found = local.find(TileCache::Key(id)); found != local.end()) {
        return &found->second;
    }
    return m_cache.find(id);
}

// The pixels of `under` (in `level`'s pixels): each tile where it is here, else the part of
// the nearest coarser tile here that covers it, enlarged; transparent where there is none.
QImage TiledPicture::compose(int level, const QRect& under, const Local& local) {
    const QImage::Format format = m_top.isNull() || m_top.hasAlphaChannel()
                                      ? QImage::Format_ARGB32_Premultiplied
                                      : QImage::Format_RGB32;
    QImage mosaic(under.size(), format);
    if (mosaic.isNull()) {
        return mosaic;
    }
    if (format != QImage::Format_RGB32) {
        mosaic.fill(Qt::transparent);
    }
    QPainter painter(&mosaic);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.translate(-under.topLeft());
    const TileRange range = RangeOf(TileSource::LevelSize(m_size, level), under, 0);
    for (int r = range.r0; r <= range.r1; ++r) {
        for (int c = range.c0; c <= range.c1; ++c) {
            const TileId id{level, c, r};
            const QRect tileRect = TileSource::TileRect(m_size, id);
            const QRect part = tileRect & under;
            if (part.isEmpty()) {
                continue;
            }
            // A tile of a level being built may have only its first rows: what coarser tiles
            // there are go under it, the coarsest first.
            const QImage* tile = tileFor(id, local);
            if (tile == nullptr || tile->height() < tileRect.height()) {
                drawCoarser(painter, id, part, local);
            }
            if (tile != nullptr) {
                // Rows the tile does not have are left out (the source rectangle is cut to it).
                painter.drawImage(part.topLeft(), *tile, part.translated(-tileRect.topLeft()));
            }
        }
    }
    return mosaic;
}

// Draws `part` (pixels of `id`'s level) from the coarser tiles here, enlarged: the nearest
// whole one and any partly built ones finer than it over it.
void TiledPicture::drawCoarser(QPainter& painter, const TileId& id, const QRect& part,
                               const Local& local) {
    std::vector<std::pair<int, const QImage*>> chain; // levels up, tile
    for (int coarser = id.level + 1; coarser <= m_topLevel; ++coarser) {
        const int up = coarser - id.level;
        const TileId parent{coarser, id.column >> up, id.row >> up};
        const QImage* tile = tileFor(parent, local);
        if (tile == nullptr) {
            continue;
        }
        chain.emplace_back(up, tile);
        if (tile->height() >= TileSource::TileRect(m_size, parent).height()) {
            break;
        }
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const int up = it->first;
        const TileId parent{id.level + up, id.column >> up, id.row >> up};
        const QRect parentRect = TileSource::TileRect(m_size, parent);
        const double f = double(i64(1) << up);
        const QRectF from(part.x() / f - parentRect.x(), part.y() / f - parentRect.y(),
                          part.width() / f, part.height() / f);
        painter.drawImage(QRectF(part), *it->second, from);
    }
}

void TiledPicture::arrived(const TileId& id, QImage tile) {
    const QRect whole = TileSource::TileRect(m_size, id);
    const bool ready = m_ready[std::size_t(id.level)] || m_source->levelReady(id.level);
    if (tile.isNull()) {
        // A level being built may still give it later; a ready one will not.
        if (ready) {
            m_failed.insert(TileCache::Key(id));
        }
        return;
    }
    const bool complete = tile.height() >= whole.height();
    const QImage* before = m_cache.find(id);
    // New rows of a tile partly there, or all of a finished one (its pixels may differ a
    // little from the rows it had: those were not compressed yet).
    const int from = complete || before == nullptr ? 0 : std::min(before->height(), tile.height());
    if (id.level == m_topLevel && complete) {
        m_top = tile;
    } else {
        m_cache.insert(id, tile);
    }
    // The new rows' part of the full-size picture.
    const QRect rect(whole.left(), whole.top() + from, whole.width(), tile.height() - from);
    if (rect.isEmpty()) {
        return;
    }
    const int shift = id.level;
    const i64 x0 = i64(rect.left()) << shift;
    const i64 y0 = i64(rect.top()) << shift;
    const i64 x1 = std::min<i64>(m_size.width(), (i64(rect.right()) + 1) << shift);
    const i64 y1 = std::min<i64>(m_size.height(), (i64(rect.bottom()) + 1) << shift);
    m_sharpened |= QRect(int(x0), int(y0), int(x1 - x0), int(y1 - y0));
    ensureTimers();
    m_notice->start();
}

void TiledPicture::notify() {
    const QRect sharpened = m_sharpened;
    m_sharpened = QRect();
    if (m_sharper && !sharpened.isEmpty()) {
        m_sharper(sharpened);
    }
}

void TiledPicture::waitForTiles() {
    m_fetcher.drain();
    if (m_notice) {
        m_notice->stop();
    }
    m_sharpened = QRect();
}
