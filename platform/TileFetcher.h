// Reads the tiles a view wants on worker threads of Qt's global pool (QtConcurrent), the most
// needed first, and hands each one back on the thread that owns the fetcher.
//
// want() replaces the whole wish list: tiles no longer in it are dropped from the queue, and
// reads running for them are cancelled (the source sees its cancel flag), so a view that moves
// on never waits behind the tiles of where it was. A few reads run at once (one fewer than the
// pool's threads, at least one), so the window thread keeps a core. A read that fails (a
// damaged tile, a level not ready) is handed back as a null image.
//
// Every member belongs to the owning thread, which runs the event loop that delivers the
// results. Destroying the fetcher cancels everything; `arrived` is never called afterwards.
#pragma once

#include <QImage>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "TileSource.h"

template <typename T> class QFutureWatcher;

class TileFetcher {
public:
    using Arrived = std::function<void(const tiles::TileId& id, QImage tile)>;

    TileFetcher(std::shared_ptr<const tiles::TileSource> source, Arrived arrived);
    ~TileFetcher();
    TileFetcher(const TileFetcher&) = delete;
    TileFetcher& operator=(const TileFetcher&) = delete;

    // The tiles wanted now, most needed first (the caller leaves out those it has).
    void want(const std::vector<tiles::TileId>& ids);
    // True while reads are queued or running.
    bool busy() const { return !m_queue.empty() || !m_running.empty(); }
    // Blocks until every queued read has finished, handing each tile back from here.
    void drain();

    // Reads `ids` on the pool's workers and waits for all of them (printing, rendering to a
    // file): the results in the same order, null where a read failed.
    static std::vector<QImage> ReadAll(const tiles::TileSource& source,
                                       const std::vector<tiles::TileId>& ids);

private:
    struct Running {
        tiles::TileId id;
        std::shared_ptr<std::atomic<bool>> cancel;
        QFutureWatcher<QImage>* watcher = nullptr;
    };
    void startMore();
    void finish(QFutureWatcher<QImage>* watcher);
    void complete(std::size_t index);

    std::shared_ptr<const tiles::TileSource> m_source;
    Arrived m_arrived;
    std::deque<tiles::TileId> m_queue;
    std::vector<Running> m_running;
    int m_maxRunning = 1;
};
