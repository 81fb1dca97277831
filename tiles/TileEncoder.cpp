#include "TileEncoder.h"

#include "TileCodec.h"

namespace tiles {

TileEncoder::TileEncoder(PyramidStore& store, const std::atomic<bool>& cancel)
    : m_store(store), m_cancel(cancel), m_thread([this] { run(); }) {}

TileEncoder::~TileEncoder() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool TileEncoder::push(const TileId& id, QImage tile, bool fullChroma) {
    const qint64 bytes = tile.sizeInBytes();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return m_queuedBytes + bytes <= kMaxQueuedBytes || m_jobs.empty() || m_failed || m_cancel;
    });
    if (m_failed || m_cancel) {
        return false;
    }
    m_queuedBytes += bytes;
    m_jobs.push_back({id, std::move(tile), fullChroma});
    m_changed.notify_all();
    return true;
}

void TileEncoder::markDone(int level) {
    std::lock_guard lock(m_mutex);
    m_jobs.push_back({TileId{level, 0, 0}, QImage(), true});
    m_changed.notify_all();
}

void TileEncoder::drain() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return (m_jobs.empty() && !m_busy) || m_failed; });
}

void TileEncoder::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return !m_jobs.empty() || m_stop; });
        if (m_jobs.empty()) {
            return;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        bool ok = true;
        if (job.tile.isNull()) {
            m_store.setLevelDone(job.id.level);
        } else if (!m_cancel.load()) {
            ok = m_store.append(job.id, TileCodec::Encode(job.tile, job.fullChroma));
        }
        lock.lock();
        m_busy = false;
        m_queuedBytes -= job.tile.sizeInBytes();
        if (!ok) {
            m_failed = true;
            m_jobs.clear();
        }
        m_changed.notify_all();
    }
}

} // namespace tiles
