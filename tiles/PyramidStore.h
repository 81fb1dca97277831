// One pyramid file of the tile cache: the levels of a picture that can only be read from the
// top, as compressed tiles (TileCodec), each with its CRC-32.
//
// Layout, little-endian: a 64-byte header (magic, version, flags, picture size, first level
// kept, level count, the picture's content key), the tiles in the order they were built, the
// index (offset, length, CRC-32 of every tile of every kept level, row by row), and a 32-byte
// footer (index offset, tile count, CRC-32 of the index and of the header, end magic). A tile
// of length 0 stands for pixels the picture did not hold (it was truncated or damaged).
//
// A file is trusted only once every check passes: sizes, magics, both CRCs, every tile inside
// the file, the key and the size it is expected to have; each tile's CRC is checked again when
// it is read, and a file found damaged then is removed so the next open rebuilds it.
//
// A store being built is written by one thread (append, setLevelDone, finish) while any
// number of threads read the tiles already written; finish writes the index, syncs and renames
// the file into place, so a cache file is never seen half written.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "TileSource.h"

namespace tiles {

class PyramidStore {
public:
    static constexpr quint32 kVersion = 1;
    static constexpr qint64 kMaxTileBytes = 4 * 1024 * 1024;
    static constexpr int kKeyBytes = 32;

    // The complete pyramid at `path`, checked; null with `whyNot` set when it is missing,
    // damaged, or not the one of the picture with `key` and `size`.
    static std::shared_ptr<PyramidStore> Open(const QString& path, const QByteArray& key,
                                              QSize size, QString* whyNot);
    // A new file at `partPath` (which must not exist) for the levels from `firstLevel` up.
    static std::shared_ptr<PyramidStore> Create(const QString& partPath, const QByteArray& key,
                                                QSize size, int firstLevel, bool alpha);
    ~PyramidStore();
    PyramidStore(const PyramidStore&) = delete;
    PyramidStore& operator=(const PyramidStore&) = delete;

    QSize pictureSize() const { return m_size; }
    int firstLevel() const { return m_firstLevel; }
    bool alpha() const { return m_alpha; }
    bool partial() const { return m_partial.load(); }
    QString path() const;

    bool levelDone(int level) const;
    bool tileReady(const TileId& id) const;
    // The tile's pixels; null when it is not written yet or is damaged.
    QImage readTile(const TileId& id) const;

    // Building, from one thread.
    bool append(const TileId& id, const QByteArray& bytes);
    void setLevelDone(int level);
    void setPartial() { m_partial = true; }
    // Writes index and footer, syncs, and renames the file to `finalPath`.
    bool finish(const QString& finalPath);
    // Removes the file being built.
    void discard();

private:
    struct Entry {
        quint64 offset = 0;
        quint32 length = 0;
        quint32 crc = 0;
    };

    PyramidStore() = default;
    int slot(const TileId& id) const; // index in m_entries, -1 outside the kept levels
    void layOut();
    QByteArray header() const;
    void markDamaged() const;

    int m_fd = -1;
    QSize m_size;
    int m_firstLevel = 0;
    int m_levelCount = 1;
    bool m_alpha = false;
    QByteArray m_key;
    std::atomic<bool> m_partial{false};
    std::vector<int> m_levelStart; // first slot of each kept level
    quint64 m_end = 0;             // where the next tile goes

    mutable std::mutex m_mutex;
    QString m_path;
    std::vector<Entry> m_entries;
    std::vector<bool> m_written;
    std::vector<bool> m_done;
    mutable bool m_damaged = false;
};

} // namespace tiles
