// A device's command queue when the process ends with commands in it.

#include "engine/drive/commandqueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Holds each command until the test lets it go, as a stuck drive would.
class GatedTarget : public ScsiTarget {
public:
    uint8_t execute(RequestBlock&) override {
        std::unique_lock lock(mutex_);
        started_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
        return kStatusComplete;
    }
    void waitUntilStarted() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool released_ = false;
};

// Only the command in progress is waited for; the ones behind it fail at
// once instead of each taking its own time-out.
TEST(CommandQueueTest, EndingFailsTheCommandsNotYetStarted) {
    GatedTarget drive;
    CompletionEvent runningDone, queuedDone;
    RequestBlock running, queued;
    running.event = &runningDone;
    queued.event = &queuedDone;
    auto queue = std::make_unique<CommandQueue>(drive);
    queue->submit(running);
    drive.waitUntilStarted();
    queue->submit(queued);
    std::thread ending([&] { queue.reset(); });
    // Watched rather than waited for: a queue that ran it would never let it end.
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (queued.status.load() == kStatusPending && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(queued.status.load(), kStatusAborted);
    drive.release();
    ending.join();
    runningDone.wait();
    queuedDone.wait();
    EXPECT_EQ(running.status.load(), kStatusComplete);
}

}  // namespace
