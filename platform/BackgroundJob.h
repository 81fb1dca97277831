// One piece of work on a worker thread of Qt's global pool, its result handed back on the
// thread that started it: the program's one way of running work in the background.
//
// start() runs `work(cancelled)` through QtConcurrent::run; when it returns, `done(result)`
// runs on the starting thread from its event loop, delivered by a QFutureWatcher that the job
// owns. Dropping the job or cancel() deletes that watcher, so `done` never runs afterwards,
// even when the delivery is already queued; the shared flag tells the work to stop early (work
// that cannot stop simply finishes). The result lives in the future's shared state and goes
// with its last reference: the worker's, when nobody waits for it any more.
//
// A watcher rather than QFuture::then(context, ...): with Qt 6.4 a continuation whose context
// object is destroyed before the future finishes is not safe, and every user here may go
// (a window closes) while its work runs.
//
// The work must not throw and must touch nothing of the caller's (it gets copies); `done` may
// destroy the job itself. start, cancel, wait and destruction belong to the starting thread.
#pragma once

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

template <typename Result> class BackgroundJob {
public:
    using Done = std::function<void(Result)>;

    BackgroundJob() = default;
    ~BackgroundJob() { cancel(); }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // True when work can be delivered back: there is an application object with its event loop.
    static bool CanDeliver() { return QCoreApplication::instance() != nullptr; }

    // Starts `work` (callable as Result(const std::atomic<bool>& cancelled)), cancelling a job
    // still running first. False, and nothing started, when CanDeliver() is false.
    template <typename Work> bool start(Work work, Done done) {
        cancel();
        if (!CanDeliver()) {
            return false;
        }
        auto flag = std::make_shared<std::atomic<bool>>(false);
        m_cancel = flag;
        m_done = std::move(done);
        m_watcher = std::make_unique<QFutureWatcher<Result>>();
        QObject::connect(m_watcher.get(), &QFutureWatcherBase::finished, m_watcher.get(),
                         [this] { deliver(); });
        m_watcher->setFuture(
            QtConcurrent::run(QThreadPool::globalInstance(),
                              [work = std::move(work), flag]() mutable { return work(*flag); }));
        return true;
    }

    bool isRunning() const { return m_watcher != nullptr; }

    // `done` will not run; the work sees the flag and may stop early.
    void cancel() {
        if (m_cancel) {
            m_cancel->store(true, std::memory_order_relaxed);
            m_cancel.reset();
        }
        m_watcher.reset();
        m_done = nullptr;
    }

    // Blocks until the running work has returned and gives its result; `done` does not run.
    // Only while isRunning().
    Result wait() {
        std::unique_ptr<QFutureWatcher<Result>> watcher = std::move(m_watcher);
        m_cancel.reset();
        m_done = nullptr;
        watcher->waitForFinished();
        QFuture<Result> future = watcher->future();
        return future.takeResult();
    }

private:
    void deliver() {
        // Everything is taken out first: `done` may start another job, or destroy this one.
        QFutureWatcher<Result>* watcher = m_watcher.release();
        watcher->deleteLater(); // it is emitting: it goes once its signal has returned
        QFuture<Result> future = watcher->future();
        Done done = std::move(m_done);
        m_done = nullptr;
        m_cancel.reset();
        if (done) {
            done(future.takeResult());
        }
    }

    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::unique_ptr<QFutureWatcher<Result>> m_watcher;
    Done m_done;
};
