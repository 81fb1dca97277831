// One decode of a picture file, whole or a region of it (PictureDecoder), in the background
// (BackgroundJob). The result is handed back on the thread that started it, so the worker
// never touches anything of the caller's.
//
// Start, cancel, wait and the done callback belong to the starting thread (which runs the
// application's event loop). After cancel() the callback is never called; the worker stops at
// its next read from the file, and the decode's memory goes with the last reference.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

#include "BackgroundJob.h"
#include "PictureDecoder.h"

class BackgroundDecode {
public:
    // Starts decoding `path` (whole when `clip` is empty, else that region) within `budget`;
    // `onDone` runs later on this thread. Null without an application object (no event loop
    // to deliver to).
    static std::shared_ptr<BackgroundDecode> Start(const QString& path, const QRect& clip,
                                                   qint64 budget, std::function<void()> onDone);

    // The callback will not run; a decode still running stops early.
    void cancel() { m_job.cancel(); }
    // Blocks until the worker has finished (at once after the callback or a cancel).
    void wait();
    // After the callback or wait(): the decoded pixels (null on failure) and why it failed.
    QImage takeImage() { return std::move(m_result.image); }
    PictureFailure failure() const { return m_result.failure; }

private:
    struct Decoded {
        QImage image;
        PictureFailure failure;
    };
    BackgroundDecode() = default;

    BackgroundJob<Decoded> m_job;
    Decoded m_result;
};
