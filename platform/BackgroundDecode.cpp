#include "BackgroundDecode.h"

#include <QSize>

std::shared_ptr<BackgroundDecode> BackgroundDecode::Start(const QString& path, const QRect& clip,
                                                          qint64 budget,
                                                          std::function<void()> onDone) {
    std::shared_ptr<BackgroundDecode> decode(new BackgroundDecode());
    BackgroundDecode* self = decode.get(); // the job, and so its delivery, dies with it
    const bool started = decode->m_job.start(
        [path, clip, budget](const std::atomic<bool>& cancelled) {
            Decoded result;
            result.image =
                clip.isEmpty()
                    ? PictureDecoder::Decode(path, QSize(), budget, result.failure, &cancelled)
                    : PictureDecoder::DecodeRegion(path, clip, budget, result.failure, &cancelled);
            return result;
        },
        [self, onDone = std::move(onDone)](Decoded result) {
            self->m_result = std::move(result);
            if (onDone) {
                onDone();
            }
        });
    return started ? decode : nullptr;
}

void BackgroundDecode::wait() {
    if (m_job.isRunning()) {
        m_result = m_job.wait();
    }
}
