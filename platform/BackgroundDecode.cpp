#include "BackgroundDecode.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

std::shared_ptr<BackgroundDecode> BackgroundDecode::Start(const QString& path, const QRect& clip,
                                                          qint64 budget,
                                                          std::function<void()> onDone) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return nullptr;
    }
    std::shared_ptr<BackgroundDecode> job(new BackgroundDecode());
    job->m_onDone = std::move(onDone);
    job->m_finished = job->m_done.get_future().share();
    // The application waits for the global pool before it goes, so `app` outlives the worker.
    QThreadPool::globalInstance()->start([job, path, clip, budget, app] {
        job->m_image =
            clip.isEmpty()
                ? PictureDecoder::Decode(path, QSize(), budget, job->m_failure, &job->m_cancel)
                : PictureDecoder::DecodeRegion(path, clip, budget, job->m_failure,
                                               &job->m_cancel);
        job->m_done.set_value();
        QMetaObject::invokeMethod(app, [job] { job->deliver(); }, Qt::QueuedConnection);
    });
    return job;
}

void BackgroundDecode::cancel() {
    m_onDone = nullptr;
    m_cancel.store(true, std::memory_order_relaxed);
}

void BackgroundDecode::wait() {
    m_finished.wait();
}

void BackgroundDecode::deliver() {
    if (m_onDone) {
        std::function<void()> done = std::move(m_onDone);
        m_onDone = nullptr;
        done();
    }
}
