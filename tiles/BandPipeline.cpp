#include "BandPipeline.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tiles::BandPipeline {

namespace {

// The bands and which of them are free or waiting for the worker, by index.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> free;
    std::deque<std::pair<int, int>> full; // band, rows
    bool ended = false;                   // nothing more comes
    bool stopped = false;                 // the consumer said stop
};

void Work(Shared& shared, std::vector<QImage>& images, const Consume& consume) {
    std::unique_lock lock(shared.mutex);
    for (;;) {
        shared.changed.wait(lock, [&] { return !shared.full.empty() || shared.ended; });
        if (shared.full.empty()) {
            return;
        }
        const auto [band, rows] = shared.full.front();
        shared.full.pop_front();
        lock.unlock();
        const bool ok = consume(images[size_t(band)], rows);
        lock.lock();
        shared.free.push_back(band);
        if (!ok) {
            shared.stopped = true;
            shared.full.clear();
        }
        shared.changed.notify_all();
        if (!ok) {
            return;
        }
    }
}

} // namespace

bool Run(QSize bandSize, QImage::Format format, int bands, const Produce& produce,
         const Consume& consume, const std::atomic<bool>& cancelled) {
    std::vector<QImage> images;
    Shared shared;
    for (int i = 0; i < std::max(2, bands); ++i) {
        images.emplace_back(bandSize, format);
        if (images.back().isNull()) {
            return false;
        }
        shared.free.push_back(i);
    }
    std::thread worker([&] { Work(shared, images, consume); });
    bool last = false;
    while (!last && !cancelled.load()) {
        int band = 0;
        {
            std::unique_lock lock(shared.mutex);
            shared.changed.wait(lock, [&] { return !shared.free.empty() || shared.stopped; });
            if (shared.stopped) {
                break;
            }
            band = shared.free.front();
            shared.free.pop_front();
        }
        // Only this thread touches a band taken from the free list until it is handed on.
        const int rows = produce(images[size_t(band)], last);
        std::lock_guard lock(shared.mutex);
        if (rows > 0) {
            shared.full.emplace_back(band, rows);
        } else {
            shared.free.push_back(band);
        }
        shared.changed.notify_all();
    }
    {
        std::lock_guard lock(shared.mutex);
        shared.ended = true;
        shared.changed.notify_all();
    }
    worker.join();
    return !shared.stopped;
}

} // namespace tiles::BandPipeline
