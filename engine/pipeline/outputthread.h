#pragma once

#include "engine/pipeline/audiostage.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>

// Runs the stages behind it (an encoder and its file) on a thread of their
// own, behind a bounded queue of blocks, so that the source reads the next
// block while the last one is encoded. Blocks keep their order; a failure
// behind the thread is returned by a later `write` or by `close`, which
// returns once everything is written. Where no thread can be started, the
// stages behind are called directly.
class OutputThread : public AudioStage {
public:
    explicit OutputThread(std::unique_ptr<AudioStage> next);
    ~OutputThread() override;
    void sync() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    // Sixteen: with eight, a source far faster than the file (memory mode
    // writing what it has read) still waited for the writer every few blocks.
    static constexpr int kSlots = 16;
    // Each side sleeps until half the queue is there for it: waking the
    // other thread for every block cost a fast copy a context switch a block.
    static constexpr int kWakeAfter = kSlots / 2;

private:
    static void* threadMain(void* self);
    void drain();
    void stopThread();

    std::mutex mutex_;
    std::condition_variable changed_;
    int head_ = 0;   // the next slot the thread takes
    int count_ = 0;  // slots filled and not yet written
    bool ending_ = false;
    bool flushing_ = false;  // sync() waits for every block, however few
    bool failed_ = false;
    bool running_ = false;  // a thread serves the stages behind
    bool direct_ = false;   // the stages behind are called from the source
    pthread_t thread_{};
    int sizes_[kSlots] = {};
    uint8_t slots_[kSlots][kMaxBlockBytes];
};
