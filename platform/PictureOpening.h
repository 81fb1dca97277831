// Opening a picture (Picture::Load: its header and first decode) on a worker thread of Qt's
// global pool, so a window shows at once and keeps answering while a large or slow picture
// decodes. The result is handed back on the thread that started it, through the application
// object's event queue.
//
// Start, the done callback and the handle's destruction belong to the starting thread (which
// runs the application's event loop). Dropping the handle cancels: the callback never runs, the
// decode stops at its next read from the file, and its memory goes with it.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "Picture.h"

class PictureOpening {
public:
    using Done = std::function<void(std::unique_ptr<Picture> picture, PictureFailure failure)>;

    // Starts Picture::Load(path, fitWidth, budget, ...); `done` runs later on this thread with
    // what it returned. Null without an application object (no event loop to deliver to).
    static std::unique_ptr<PictureOpening> Start(const QString& path, int fitWidth, qint64 budget,
                                                 Done done);
    ~PictureOpening();
    PictureOpening(const PictureOpening&) = delete;
    PictureOpening& operator=(const PictureOpening&) = delete;

private:
    struct Job;
    explicit PictureOpening(std::shared_ptr<Job> job) : m_job(std::move(job)) {}
    std::shared_ptr<Job> m_job;
};
