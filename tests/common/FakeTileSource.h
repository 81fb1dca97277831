// An in-memory tile source for tests and benchmarks: the levels of a QImage, each made from the
// full picture by the same smooth reduction Picture uses, whose levels can be held back (not
// ready yet, perhaps with their first rows there, as a level being built has them, or ready as
// soon as someone waits for them, as a build that goes on does) and whose tiles can be made to
// fail. Reads may run on any thread.
#pragma once

#include <QImage>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "TileSource.h"

class FakeTileSource : public tiles::TileSource {
public:
    explicit FakeTileSource(const QImage& picture);

    QSize pictureSize() const override { return m_levels.front().size(); }
    bool levelReady(int level) const override;
    int rowsReady(int level) const override;
    QImage readTile(const tiles::TileId& id, const std::atomic<bool>& cancelled) const override;
    // Makes a level held back by buildOnWait ready; the others answer at once.
    bool waitForLevel(int level) const override;

    void setReady(int level, bool ready);
    // `level`, not ready, has its first `rows` rows: the tiles there come with those rows.
    void setRows(int level, int rows);
    // Levels not ready become ready when waited for (false: they stay as they are).
    void buildOnWait(bool build) { m_buildOnWait = build; }
    int waits() const { return m_waits.load(); }
    // Reads of `id` fail from now on.
    void failTile(const tiles::TileId& id);
    // The pixels of a whole level.
    const QImage& level(int k) const { return m_levels[std::size_t(k)]; }
    int reads() const { return m_reads.load(); }
    // Reads of tiles of `level` so far.
    int readsOf(int level) const { return m_levelReads[std::size_t(level)].load(); }
    // Every read keeps a processor busy this long first (a decoder's time), in microseconds.
    void setReadDelay(int microseconds) { m_delayUs = microseconds; }

private:
    std::vector<QImage> m_levels;
    std::unique_ptr<std::atomic<bool>[]> m_ready;
    std::unique_ptr<std::atomic<int>[]> m_levelReads;
    std::unique_ptr<std::atomic<int>[]> m_rows;
    mutable std::mutex m_mutex;
    std::set<std::tuple<int, int, int>> m_failing;
    mutable std::atomic<int> m_reads{0};
    std::atomic<int> m_delayUs{0};
    std::atomic<bool> m_buildOnWait{false};
    mutable std::atomic<int> m_waits{0};
};
