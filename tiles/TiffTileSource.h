// The levels a tiled TIFF holds itself, read in place: its first image is level 0, reduced
// images whose sides halve (pages or sub-images, each side within a pixel of ours) are the
// levels they match, and a level the file lacks is reduced from a finer one when that costs at
// most kMaxReduceSteps halvings (16 of its tiles for one of ours). Levels it cannot serve are
// not ready; a pyramid is built for them.
//
// readTile runs on any number of threads: each takes a libtiff handle of its own from a small
// pool (opened on demand, kept for the next read).
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "TiffFile.h"
#include "TileLimits.h"
#include "TileSource.h"

namespace tiles {

class TiffTileSource : public TileSource {
public:
    static constexpr int kMaxReduceSteps = 2;
    static constexpr int kMaxDirectories = 64;
    static constexpr int kMaxHandles = 4;

    // Null with `whyNot` set when the file's first image cannot be read in tiles within
    // `limits` (header only: no pixels are read).
    static std::shared_ptr<TiffTileSource> Open(const QString& path, const TileLimits& limits,
                                                QString* whyNot);
    ~TiffTileSource() override;

    QSize pictureSize() const override { return m_size; }
    bool levelReady(int level) const override;
    QImage readTile(const TileId& id, const std::atomic<bool>& cancelled) const override;

    // True when every level is served in place.
    bool complete() const;
    // The first directory: its layout decides how a pyramid build reads it.
    const TiffFile::Directory& first() const { return m_first; }
    bool alpha() const { return m_first.alpha; }

private:
    struct Level {
        int directory = -1; // index in m_directories; -1 when not served
        int steps = 0;      // halvings from that directory's pixels to this level
    };

    TiffTileSource() = default;
    TiffFile::Handle take() const;
    void giveBack(TiffFile::Handle handle) const;

    QString m_path;
    qint64 m_maxAlloc = 0;
    QSize m_size;
    TiffFile::Directory m_first;
    std::vector<TiffFile::Directory> m_directories;
    std::vector<Level> m_levels;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_returned;
    mutable std::vector<TiffFile::Handle> m_idle;
    mutable int m_open = 0;
};

} // namespace tiles
