#include "LevelStrips.h"

#include <algorithm>
#include <cstring>

#include "TileImage.h"

namespace tiles {

namespace {

constexpr int kBytesPerPixel = 4;

} // namespace

LevelStrips::LevelStrips(QSize picture, int baseLevel, int firstWritten, int lastLevel,
                         QImage::Format format, TileSink sink, LevelDone done)
    : m_picture(picture), m_base(baseLevel), m_firstWritten(firstWritten), m_last(lastLevel),
      m_format(format), m_sink(std::move(sink)), m_done(std::move(done)) {
    for (int k = m_base; k <= m_last; ++k) {
        Strip strip;
        strip.level = TileSource::LevelSize(picture, k);
        strip.image = QImage(strip.level.width(), std::min(kTileSize, strip.level.height()), format);
        strip.bits = strip.image.bits();
        strip.bytesPerLine = strip.image.bytesPerLine();
        m_strips.push_back(std::move(strip));
    }
}

qint64 LevelStrips::Bytes(QSize picture, int baseLevel, int lastLevel) {
    qint64 total = 0;
    for (int k = baseLevel; k <= lastLevel; ++k) {
        const QSize level = TileSource::LevelSize(picture, k);
        total += qint64(level.width()) * std::min(kTileSize, level.height()) * kBytesPerPixel;
    }
    return total;
}

int LevelStrips::expected(const Strip& strip) const {
    return std::min(kTileSize, strip.level.height() - strip.row * kTileSize);
}

bool LevelStrips::complete() const {
    const Strip& base = m_strips.front();
    return base.row * kTileSize >= base.level.height();
}

int LevelStrips::rowsReady(int level) const {
    if (level < std::max(m_base, m_firstWritten) || level > m_last) {
        return 0;
    }
    const Strip& strip = m_strips[size_t(level - m_base)];
    std::lock_guard lock(m_mutex);
    return std::min(strip.level.height(), strip.row * kTileSize + strip.shown);
}

QImage LevelStrips::readRows(const TileId& id) const {
    if (id.level < std::max(m_base, m_firstWritten) || id.level > m_last) {
        return {};
    }
    const Strip& strip = m_strips[size_t(id.level - m_base)];
    const QRect rect = TileSource::TileRect(m_picture, id);
    if (rect.isEmpty()) {
        return {};
    }
    std::lock_guard lock(m_mutex);
    if (strip.row != id.row || strip.shown == 0) {
        return {};
    }
    const int rows = std::min(strip.shown, rect.height());
    QImage out(rect.width(), rows, m_format);
    if (out.isNull()) {
        return out;
    }
    for (int y = 0; y < rows; ++y) {
        std::memcpy(out.scanLine(y), strip.bits + y * strip.bytesPerLine + rect.x() * kBytesPerPixel,
                    size_t(rect.width()) * kBytesPerPixel);
    }
    return out;
}

bool LevelStrips::addRows(const QImage& band, int rows) {
    return push(m_base, band.constBits(), band.bytesPerLine(), rows);
}

bool LevelStrips::push(int level, const uchar* rows, qsizetype bytesPerLine, int count) {
    Strip& strip = m_strips[size_t(level - m_base)];
    const size_t rowBytes = size_t(strip.level.width()) * kBytesPerPixel;
    while (count > 0) {
        if (strip.row * kTileSize >= strip.level.height()) {
            return true; // rows past the level's end (a source a row taller): dropped
        }
        const int n = std::min(count, expected(strip) - strip.filled);
        // Rows from `shown` on are not read by other threads until `shown` counts them.
        for (int y = 0; y < n; ++y) {
            std::memcpy(strip.bits + (strip.filled + y) * strip.bytesPerLine,
                        rows + y * bytesPerLine, rowBytes);
        }
        strip.filled += n;
        {
            std::lock_guard lock(m_mutex);
            strip.shown = std::min(strip.filled, expected(strip) - 1);
        }
        rows += n * bytesPerLine;
        count -= n;
        const bool full = strip.filled == expected(strip);
        if (!halveInto(level, full) || (full && !flush(level))) {
            return false;
        }
    }
    return true;
}

// Halves the pairs of rows of `level`'s strip not halved yet into the next level (and, when
// `all`, an odd last row alone, as Halve treats the last row of an odd image).
bool LevelStrips::halveInto(int level, bool all) {
    if (level >= m_last) {
        return true;
    }
    Strip& strip = m_strips[size_t(level - m_base)];
    const int waiting = strip.filled - strip.halved;
    const int take = all ? waiting : waiting - waiting % 2;
    if (take <= 0) {
        return true;
    }
    // A view on the strip's rows, not a copy.
    const QImage rows(strip.bits + strip.halved * strip.bytesPerLine, strip.level.width(), take,
                      strip.bytesPerLine, m_format);
    const QImage half = TileImage::Halve(rows);
    strip.halved += take;
    return push(level + 1, half.constBits(), half.bytesPerLine(), half.height());
}

bool LevelStrips::flush(int level) {
    Strip& strip = m_strips[size_t(level - m_base)];
    const int height = strip.filled;
    if (level >= m_firstWritten) {
        for (int x = 0; x < strip.level.width(); x += kTileSize) {
            const int width = std::min(kTileSize, strip.level.width() - x);
            // Opaque tiles are encoded row by row straight from the strip; others as a whole
            // block of their own.
            const QImage view(strip.bits + x * kBytesPerPixel, width, height, strip.bytesPerLine,
                              m_format);
            const QImage tile = m_format == QImage::Format_RGB32 ? view : view.copy();
            if (!m_sink(TileId{level, x / kTileSize, strip.row}, tile)) {
                return false;
            }
        }
    }
    const int done = strip.row;
    {
        // Every tile of the strip is with the sink: readers find them there from now on.
        std::lock_guard lock(m_mutex);
        strip.filled = 0;
        strip.halved = 0;
        strip.shown = 0;
        ++strip.row;
    }
    if ((done + 1) * kTileSize >= strip.level.height() && level >= m_firstWritten) {
        m_done(level);
    }
    return true;
}

bool LevelStrips::finishEarly() {
    for (int k = m_base; k <= m_last; ++k) {
        Strip& strip = m_strips[size_t(k - m_base)];
        if (strip.filled == 0 || strip.row * kTileSize >= strip.level.height()) {
            continue;
        }
        const int want = expected(strip);
        for (int y = strip.filled; y < want; ++y) {
            std::fill_n(reinterpret_cast<QRgb*>(strip.bits + y * strip.bytesPerLine),
                        strip.level.width(), TileImage::kMissing);
        }
        strip.filled = want;
        if (!halveInto(k, true) || !flush(k)) {
            return false;
        }
    }
    return true;
}

} // namespace tiles
