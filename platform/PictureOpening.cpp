#include "PictureOpening.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

#include <atomic>

struct PictureOpening::Job {
    std::atomic<bool> cancel{false};
    Done done; // touched on the starting thread only
    // Written by the worker before it queues the delivery.
    std::unique_ptr<Picture> picture;
    PictureFailure failure;
};

std::unique_ptr<PictureOpening> PictureOpening::Start(const QString& path, int fitWidth,
                                                      qint64 budget, Done done) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return nullptr;
    }
    auto job = std::make_shared<Job>();
    job->done = std::move(done);
    // The application waits for the global pool before it goes, so `app` outlives the worker.
    QThreadPool::globalInstance()->start([job, path, fitWidth, budget, app] {
        job->picture = Picture::Load(path, fitWidth, budget, &job->failure, &job->cancel);
        QMetaObject::invokeMethod(
            app,
            [job] {
                if (job->cancel.load(std::memory_order_relaxed) || !job->done) {
                    return;
                }
                Done done = std::move(job->done);
                job->done = nullptr;
                done(std::move(job->picture), job->failure);
            },
            Qt::QueuedConnection);
    });
    return std::unique_ptr<PictureOpening>(new PictureOpening(std::move(job)));
}

PictureOpening::~PictureOpening() {
    m_job->cancel.store(true, std::memory_order_relaxed);
    m_job->done = nullptr;
}
