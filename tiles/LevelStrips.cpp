#include "LevelStrips.h"

#include <algorithm>
#include <cstring>

#include "TileImage.h"

namespace tiles {

LevelStrips::LevelStrips(QSize picture, int baseLevel, int firstWritten, int lastLevel,
                         QImage::Format format, TileSink sink, LevelDone done)
    : m_picture(picture), m_base(baseLevel), m_firstWritten(firstWritten), m_last(lastLevel),
      m_format(format), m_sink(std::move(sink)), m_done(std::move(done)) {
    for (int k = m_base; k <= m_last; ++k) {
        Strip strip;
        strip.level = TileSource::LevelSize(picture, k);
        strip.image = QImage(strip.level.width(), std::min(kTileSize, strip.level.height()), format);
        m_strips.push_back(std::move(strip));
    }
}

qint64 LevelStrips::Bytes(QSize picture, int baseLevel, int lastLevel) {
    qint64 total = 0;
    for (int k = baseLevel; k <= lastLevel; ++k) {
        const QSize level = TileSource::LevelSize(picture, k);
        total += qint64(level.width()) * std::min(kTileSize, level.height()) * 4;
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

bool LevelStrips::addRows(const QImage& band, int rows) {
    return push(m_base, band.constBits(), band.bytesPerLine(), rows);
}

bool LevelStrips::push(int level, const uchar* rows, qsizetype bytesPerLine, int count) {
    Strip& strip = m_strips[size_t(level - m_base)];
    const size_t rowBytes = size_t(strip.level.width()) * 4;
    while (count > 0) {
        if (strip.row * kTileSize >= strip.level.height()) {
            return true; // rows past the level's end (a source a row taller): dropped
        }
        const int n = std::min(count, expected(strip) - strip.filled);
        for (int y = 0; y < n; ++y) {
            std::memcpy(strip.image.scanLine(strip.filled + y), rows + y * bytesPerLine, rowBytes);
        }
        strip.filled += n;
        rows += n * bytesPerLine;
        count -= n;
        if (strip.filled == expected(strip) && !flush(level)) {
            return false;
        }
    }
    return true;
}

bool LevelStrips::flush(int level) {
    Strip& strip = m_strips[size_t(level - m_base)];
    const int height = strip.filled;
    if (level >= m_firstWritten) {
        for (int x = 0; x < strip.level.width(); x += kTileSize) {
            const QRect rect(x, 0, std::min(kTileSize, strip.level.width() - x), height);
            if (!m_sink(TileId{level, x / kTileSize, strip.row}, strip.image.copy(rect))) {
                return false;
            }
        }
    }
    const int done = strip.row;
    strip.filled = 0;
    ++strip.row;
    if (level < m_last) {
        // A view on the strip's rows, not a copy.
        const QImage rows(strip.image.constBits(), strip.level.width(), height,
                          strip.image.bytesPerLine(), m_format);
        const QImage half = TileImage::Halve(rows);
        if (!push(level + 1, half.constBits(), half.bytesPerLine(), half.height())) {
            return false;
        }
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
            std::fill_n(reinterpret_cast<QRgb*>(strip.image.scanLine(y)), strip.level.width(),
                        TileImage::kMissing);
        }
        strip.filled = want;
        if (!flush(k)) {
            return false;
        }
    }
    return true;
}

} // namespace tiles
