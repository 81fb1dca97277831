// A background decode cancelled once its result is on its way back: the worker has finished and
// the delivery waits in the event queue, or is about to run in the same batch as another
// decode's, whose callback cancels it. The callback of a cancelled decode never runs; the others
// still deliver their pixels.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <memory>
#include <vector>

#include "BackgroundDecode.h"
#include "PictureFiles.h"

namespace {

constexpr qint64 kBudget = qint64(64) << 20;

class BackgroundDecodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("plan.png"));
        ASSERT_TRUE(PictureFiles::Write(PictureFiles::Quadrants(320, 200), path, "png"));
    }

    // Every worker has finished and queued its delivery; nothing has been delivered yet.
    static void WaitForWorkers() { QThreadPool::globalInstance()->waitForDone(); }
    static void Deliver() { QCoreApplication::sendPostedEvents(); }

    QTemporaryDir dir;
    QString path;
};

TEST_F(BackgroundDecodeTest, CancelledWhileItsDeliveryIsQueuedItNeverCallsBack) {
    int called = 0;
    std::shared_ptr<BackgroundDecode> job =
        BackgroundDecode::Start(path, QRect(), kBudget, [&called] { ++called; });
    ASSERT_TRUE(job);
    WaitForWorkers();
    job->cancel();
    // The caller lets go of it too: the queued delivery keeps what it needs alive.
    const std::weak_ptr<BackgroundDecode> watch = job;
    job.reset();
    Deliver();
    EXPECT_EQ(called, 0);
    EXPECT_TRUE(watch.expired());
}

TEST_F(BackgroundDecodeTest, ADeliveryThatCancelsTheOthersInTheSameBatch) {
    // Three decodes finish before any delivery runs; the first callback to run cancels the
    // other two (as a view does when a result makes older requests pointless). Only that one
    // is called back, with its pixels.
    std::vector<std::shared_ptr<BackgroundDecode>> jobs(3);
    std::vector<int> calls(3, 0);
    QImage image;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        jobs[i] = BackgroundDecode::Start(path, QRect(), kBudget, [&, i] {
            ++calls[i];
            image = jobs[i]->takeImage();
            for (std::size_t k = 0; k < jobs.size(); ++k) {
                if (k != i) {
                    jobs[k]->cancel();
                }
            }
        });
        ASSERT_TRUE(jobs[i]);
    }
    WaitForWorkers();
    Deliver();
    Deliver(); // nothing is delivered late, or twice
    EXPECT_EQ(calls[0] + calls[1] + calls[2], 1);
    EXPECT_EQ(*std::max_element(calls.begin(), calls.end()), 1);
    EXPECT_EQ(image.size(), QSize(320, 200));
}

} // namespace
