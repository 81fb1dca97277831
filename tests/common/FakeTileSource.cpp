#include "FakeTileSource.h"

#include <algorithm>
#include <chrono>

#include "ImageBands.h"

FakeTileSource::FakeTileSource(const QImage& picture) {
    const QImage full = picture.convertToFormat(QImage::Format_RGB32);
    const int count = LevelCount(full.size());
    m_levels.push_back(full);
    for (int k = 1; k < count; ++k) {
        const QSize size = LevelSize(full.size(), k);
        m_levels.push_back(ImageBands::SmoothResize(full, size.width(), size.height()));
    }
    m_ready = std::make_unique<std::atomic<bool>[]>(std::size_t(count));
    m_levelReads = std::make_unique<std::atomic<int>[]>(std::size_t(count));
    m_rows = std::make_unique<std::atomic<int>[]>(std::size_t(count));
    for (int k = 0; k < count; ++k) {
        m_ready[std::size_t(k)] = true;
        m_levelReads[std::size_t(k)] = 0;
        m_rows[std::size_t(k)] = 0;
    }
}

bool FakeTileSource::levelReady(int level) const {
    return level >= 0 && level < int(m_levels.size()) && m_ready[std::size_t(level)].load();
}

QImage FakeTileSource::readTile(const tiles::TileId& id, const std::atomic<bool>& cancelled) const {
    ++m_reads;
    // The processor is kept busy, as a decoder would keep it.
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::microseconds(m_delayUs.load());
    while (std::chrono::steady_clock::now() < until && !cancelled.load()) {
    }
    QRect rect = TileRect(pictureSize(), id);
    if (!rect.isEmpty() && !levelReady(id.level)) {
        rect.setBottom(std::min(rect.bottom(), rowsReady(id.level) - 1));
        if (rect.isEmpty()) {
            return {};
        }
    }
    if (rect.isEmpty() || cancelled.load()) {
        return {};
    }
    ++m_levelReads[std::size_t(id.level)];
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failing.count({id.level, id.column, id.row}) != 0) {
            return {};
        }
    }
    return m_levels[std::size_t(id.level)].copy(rect);
}

bool FakeTileSource::waitForLevel(int level) const {
    ++m_waits;
    if (m_buildOnWait.load() && level >= 0 && level < int(m_levels.size())) {
        m_ready[std::size_t(level)] = true;
    }
    return levelReady(level);
}

int FakeTileSource::rowsReady(int level) const {
    if (level < 0 || level >= int(m_levels.size())) {
        return 0;
    }
    return levelReady(level) ? m_levels[std::size_t(level)].height() : m_rows[std::size_t(level)].load();
}

void FakeTileSource::setRows(int level, int rows) {
    m_rows[std::size_t(level)] = rows;
}

void FakeTileSource::setReady(int level, bool ready) {
    m_ready[std::size_t(level)] = ready;
}

void FakeTileSource::failTile(const tiles::TileId& id) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_failing.insert({id.level, id.column, id.row});
}
