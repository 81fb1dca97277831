#include "TileFetcher.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

constexpr int kMostRunning = 4;

bool Contains(const std::vector<tiles::TileId>& ids, const tiles::TileId& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

TileFetcher::TileFetcher(std::shared_ptr<const tiles::TileSource> source, Arrived arrived)
    : m_source(std::move(source)), m_arrived(std::move(arrived)),
      m_maxRunning(
          std::clamp(QThreadPool::globalInstance()->maxThreadCount() - 1, 1, kMostRunning)) {}

TileFetcher::~TileFetcher() {
    // The reads still running hold the source and their flag; only the watchers go now.
    for (Running& running : m_running) {
        running.cancel->store(true, std::memory_order_relaxed);
        running.watcher->disconnect();
        delete running.watcher;
    }
}

void TileFetcher::want(const std::vector<tiles::TileId>& ids) {
    for (Running& running : m_running) {
        if (!Contains(ids, running.id)) {
            running.cancel->store(true, std::memory_order_relaxed);
        }
    }
    m_queue.clear();
    for (const tiles::TileId& id : ids) {
        const bool running = std::any_of(m_running.begin(), m_running.end(), [&](const Running& r) {
            return r.id == id && !r.cancel->load(std::memory_order_relaxed);
        });
        if (!running) {
            m_queue.push_back(id);
        }
    }
    startMore();
}

void TileFetcher::startMore() {
    const auto live = [this] {
        return std::count_if(m_running.begin(), m_running.end(), [](const Running& r) {
            return !r.cancel->load(std::memory_order_relaxed);
        });
    };
    // A cancelled read still holds its worker until the source notices; it is not counted,
    // so the reads that are wanted start at once.
    while (!m_queue.empty() && live() < m_maxRunning) {
        Running running;
        running.id = m_queue.front();
        m_queue.pop_front();
        running.cancel = std::make_shared<std::atomic<bool>>(false);
        running.watcher = new QFutureWatcher<QImage>();
        QFutureWatcher<QImage>* watcher = running.watcher;
        QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                         [this, watcher] { finish(watcher); });
        std::shared_ptr<const tiles::TileSource> source = m_source;
        std::shared_ptr<std::atomic<bool>> cancel = running.cancel;
        const tiles::TileId id = running.id;
        m_running.push_back(running);
        watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [source, cancel, id] {
            return source->readTile(id, *cancel);
        }));
    }
}

void TileFetcher::finish(QFutureWatcher<QImage>* watcher) {
    const auto found = std::find_if(m_running.begin(), m_running.end(),
                                    [watcher](const Running& r) { return r.watcher == watcher; });
    if (found != m_running.end()) {
        complete(std::size_t(found - m_running.begin()));
    }
}

// Hands the finished read at `index` back (unless it was cancelled) and starts the next ones.
void TileFetcher::complete(std::size_t index) {
    const Running done = m_running[index];
    m_running.erase(m_running.begin() + std::ptrdiff_t(index));
    done.watcher->disconnect();
    done.watcher->deleteLater();
    const bool cancelled = done.cancel->load(std::memory_order_relaxed);
    QImage tile = cancelled ? QImage() : done.watcher->future().result();
    startMore();
    if (!cancelled && m_arrived) {
        m_arrived(done.id, std::move(tile));
    }
}

void TileFetcher::drain() {
    while (!m_running.empty()) {
        m_running.front().watcher->waitForFinished();
        complete(0);
    }
}

std::vector<QImage> TileFetcher::ReadAll(const tiles::TileSource& source,
                                         const std::vector<tiles::TileId>& ids) {
    const std::atomic<bool> never{false};
    return QtConcurrent::blockingMapped<std::vector<QImage>>(
        QThreadPool::globalInstance(), ids,
        [&source, &never](const tiles::TileId& id) { return source.readTile(id, never); });
}
