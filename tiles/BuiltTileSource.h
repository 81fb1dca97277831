// A picture whose levels come from a pyramid in the tile cache, with some levels perhaps read
// in place from the picture file itself (a tiled TIFF without all its levels). When the
// pyramid is not in the cache yet, a builder thread reads the picture once, in passes of bands
// (BuildPass), and hands the bands to a worker thread that halves them into the levels and
// writes the tiles into a new pyramid file (BandPipeline, LevelStrips); the file goes into the
// cache when done. Meanwhile levelReady(), tileReady() and rowsReady() say what can be read
// already: the rows of a level come a band at a time, and readTile gives a tile of the strip
// under way as the rows it has so far.
//
// readTile runs on any number of worker threads while the builder runs; the destructor stops
// the builder (at its next band) and waits for it, and a pyramid not finished is removed.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "BandReader.h"
#include "PyramidCache.h"
#include "PyramidStore.h"
#include "TileSource.h"

namespace tiles {

class LevelStrips;

// One read of the picture: its rows at `baseLevel`, levels firstWritten .. lastLevel kept.
struct BuildPass {
    std::function<std::unique_ptr<BandReader>()> open;
    int baseLevel = 0;
    int firstWritten = 0;
    int lastLevel = 0;
    bool fullChroma = true; // tiles keep colour at full resolution (see TileCodec)
    int bands = 2;          // bands of kBandRows rows going round between reader and worker
};

class BuiltTileSource : public TileSource {
public:
    // Rows read at a time by a build.
    static constexpr int kBandRows = 64;
    // Bands a build keeps at most (one being read, one being built from, the rest waiting).
    static constexpr int kMostBands = 6;

    BuiltTileSource(std::shared_ptr<TileSource> inPlace, std::shared_ptr<PyramidStore> store);
    ~BuiltTileSource() override;

    // Starts the builder thread on the store given at construction (a new one); `finalPath` is
    // where the finished pyramid goes.
    void startBuild(std::vector<BuildPass> passes, PyramidCache cache, QString finalPath);

    QSize pictureSize() const override { return m_store->pictureSize(); }
    bool levelReady(int level) const override;
    bool tileReady(const TileId& id) const override;
    int rowsReady(int level) const override;
    QImage readTile(const TileId& id, const std::atomic<bool>& cancelled) const override;
    QString notice() const override;
    bool waitForLevel(int level) const override;

    // Blocks until no build runs; true when the pyramid is complete (found or built).
    bool waitForBuild() const;

private:
    void build(std::vector<BuildPass> passes, PyramidCache cache, QString finalPath);
    bool runPass(const BuildPass& pass);
    bool readInto(const BuildPass& pass, BandReader* reader, LevelStrips& strips);

    std::shared_ptr<TileSource> m_inPlace;
    std::shared_ptr<PyramidStore> m_store;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_writeFailed{false};
    std::thread m_builder;
    // The strips of the pass under way, for readers of the rows not in the file yet.
    std::shared_ptr<const LevelStrips> liveStrips() const;
    std::shared_ptr<const LevelStrips> m_live; // under m_mutex

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_finished; // the build ended or a level became ready
    bool m_building = false;
    bool m_complete = true;
};

} // namespace tiles
