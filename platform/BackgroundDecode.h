// One decode of a picture file, whole or a region of it (PictureDecoder), on a worker thread of Qt's global pool.
// The result is handed back on the thread that started it, through the application object's
// event queue, so the worker never touches anything of the caller's.
//
// Start, cancel, wait and the done callback belong to the starting thread (which runs the
// application's event loop). After cancel() the callback is never called; the worker stops at
// its next read from the file, and the decode's memory goes with the last reference.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <memory>

#include "PictureDecoder.h"

class BackgroundDecode {
public:
    // Starts decoding `path` (whole when `clip` is empty, else that region) within `budget`;
    // `onDone` runs later on this thread. Null without an application object (no event loop
    // to deliver to).
    static std::shared_ptr<BackgroundDecode> Start(const QString& path, const QRect& clip,
                                                   qint64 budget, std::function<void()> onDone);

    // The callback will not run; a decode still running stops early.
    void cancel();
    // Blocks until the worker has finished.
    void wait();
    // After the callback or wait(): the decoded pixels (null on failure) and why it failed.
    QImage takeImage() { return std::move(m_image); }
    PictureFailure failure() const { return m_failure; }

private:
    BackgroundDecode() = default;
    void deliver();

    std::atomic<bool> m_cancel{false};
    std::function<void()> m_onDone;
    // Written by the worker before it signals `m_finished`.
    QImage m_image;
    PictureFailure m_failure;
    std::promise<void> m_done;
    std::shared_future<void> m_finished;
};
