#include "TiffTileSource.h"

#include <cstdlib>

#include "TileImage.h"

namespace tiles {

namespace {

bool Matches(QSize directory, QSize level) {
    return std::abs(directory.width() - level.width()) <= 1 &&
           std::abs(directory.height() - level.height()) <= 1;
}

} // namespace

std::shared_ptr<TiffTileSource> TiffTileSource::Open(const QString& path,
                                                     const TileLimits& limits, QString* whyNot) {
    auto fail = [whyNot](const QString& why) {
        if (whyNot != nullptr) {
            *whyNot = why;
        }
        return std::shared_ptr<TiffTileSource>();
    };
    TiffFile::Handle handle = TiffFile::Open(path, limits.tileReadBytes);
    if (!handle) {
        return fail(TileRefusal::Unreadable(QStringLiteral("it is not a TIFF file")));
    }
    std::shared_ptr<TiffTileSource> source(new TiffTileSource);
    source->m_path = path;
    source->m_maxAlloc = limits.tileReadBytes;
    source->m_directories = TiffFile::ReadDirectories(handle.get(), kMaxDirectories);
    if (source->m_directories.empty()) {
        return fail(TileRefusal::Unreadable(QStringLiteral("it has no image")));
    }
    const TiffFile::Directory& first = source->m_directories.front();
    const QSize size = first.size;
    if (size.width() > limits.maxSide || size.height() > limits.maxSide ||
        qint64(size.width()) * size.height() > limits.maxPixels) {
        return fail(TileRefusal::TooManyPixels(size.width(), size.height(), limits.maxPixels,
                                               limits.maxSide));
    }
    if (!first.readable) {
        return fail(TileRefusal::Unreadable(first.whyNot));
    }
    // A block is read whole, then turned into four bytes a pixel.
    const qint64 blockRead = first.blockBytes + qint64(first.block.width()) * first.block.height() * 4;
    if (blockRead > limits.tileReadBytes || first.blockBytes <= 0) {
        return fail(TileRefusal::TileMemory(first.block.width(), first.block.height(), blockRead,
                                            limits.tileReadBytes));
    }
    source->m_size = size;
    source->m_first = first;
    source->m_levels.resize(size_t(LevelCount(size)));
    for (int k = 0; k < int(source->m_levels.size()); ++k) {
        const QSize levelSize = LevelSize(size, k);
        for (int d = 0; d < int(source->m_directories.size()); ++d) {
            const TiffFile::Directory& dir = source->m_directories[size_t(d)];
            const qint64 read = dir.blockBytes + qint64(dir.block.width()) * dir.block.height() * 4;
            if (dir.tiled && dir.readable && read <= limits.tileReadBytes &&
                Matches(dir.size, levelSize) && dir.alpha == first.alpha) {
                source->m_levels[size_t(k)] = {d, 0};
                break;
            }
        }
        const Level& finer = source->m_levels[size_t(std::max(0, k - 1))];
        if (k > 0 && source->m_levels[size_t(k)].directory < 0 && finer.directory >= 0 &&
            finer.steps < kMaxReduceSteps) {
            source->m_levels[size_t(k)] = {finer.directory, finer.steps + 1};
        }
    }
    source->giveBack(std::move(handle));
    source->m_open = 1;
    return source;
}

TiffTileSource::~TiffTileSource() = default;

bool TiffTileSource::levelReady(int level) const {
    return level >= 0 && level < int(m_levels.size()) && m_levels[size_t(level)].directory >= 0;
}

bool TiffTileSource::complete() const {
    for (int k = 0; k < int(m_levels.size()); ++k) {
        if (!levelReady(k)) {
            return false;
        }
    }
    return true;
}

QImage TiffTileSource::readTile(const TileId& id, const std::atomic<bool>& cancelled) const {
    const QRect rect = TileRect(m_size, id);
    if (rect.isEmpty() || !levelReady(id.level) || cancelled.load()) {
        return {};
    }
    const Level level = m_levels[size_t(id.level)];
    const TiffFile::Directory& dir = m_directories[size_t(level.directory)];
    // The same rectangle in the directory's pixels, cut to what the directory holds.
    const QRect wanted(rect.topLeft() * (1 << level.steps), rect.size() * (1 << level.steps));
    const QRect inside = wanted.intersected(QRect(QPoint(0, 0), dir.size));
    if (inside.isEmpty()) {
        return {};
    }
    TiffFile::Handle handle = take();
    if (!handle) {
        return {};
    }
    QImage image;
    if (TiffFile::Select(handle.get(), dir.offset)) {
        image = TiffFile::ReadRegion(handle.get(), inside, m_first.alpha);
    }
    giveBack(std::move(handle));
    for (int s = 0; s < level.steps && !image.isNull() && !cancelled.load(); ++s) {
        image = TileImage::Halve(image);
    }
    if (image.isNull() || cancelled.load()) {
        return {};
    }
    return TileImage::Extend(image, rect.size()).copy(QRect(QPoint(0, 0), rect.size()));
}

TiffFile::Handle TiffTileSource::take() const {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_idle.empty()) {
            TiffFile::Handle handle = std::move(m_idle.back());
            m_idle.pop_back();
            return handle;
        }
        if (m_open < kMaxHandles) {
            ++m_open;
            lock.unlock();
            TiffFile::Handle handle = TiffFile::Open(m_path, m_maxAlloc);
            if (!handle) {
                lock.lock();
                --m_open;
            }
            return handle;
        }
        m_returned.wait(lock);
    }
}

void TiffTileSource::giveBack(TiffFile::Handle handle) const {
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(handle));
    }
    m_returned.notify_one();
}

} // namespace tiles
