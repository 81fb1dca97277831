// Encodes a build's tiles and appends them to its pyramid on a thread of its own, so the next
// rows decode while the last ones are compressed. The queue is bounded in bytes: the builder
// waits when it is full. A level is marked done after every tile queued before it is written.
// push, markDone and drain belong to the builder thread; failed() to any.
#pragma once

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "PyramidStore.h"

namespace tiles {

class TileEncoder {
public:
    static constexpr qint64 kMaxQueuedBytes = 16 * 1024 * 1024;

    TileEncoder(PyramidStore& store, const std::atomic<bool>& cancel);
    ~TileEncoder();
    TileEncoder(const TileEncoder&) = delete;
    TileEncoder& operator=(const TileEncoder&) = delete;

    // False once a tile could not be written (or the build was cancelled).
    bool push(const TileId& id, QImage tile, bool fullChroma);
    void markDone(int level);
    // Waits until everything queued is written.
    void drain();
    bool failed() const { return m_failed.load(); }

private:
    struct Job {
        TileId id;
        QImage tile; // null: mark the level done
        bool fullChroma = true;
    };

    void run();

    PyramidStore& m_store;
    const std::atomic<bool>& m_cancel;
    std::atomic<bool> m_failed{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    qint64 m_queuedBytes = 0;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace tiles
