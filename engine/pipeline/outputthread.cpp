#include "engine/pipeline/outputthread.h"

#include <cstring>

OutputThread::OutputThread(std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {}

OutputThread::~OutputThread() {
    stopThread();
}

int OutputThread::open() {
    if (running_ || direct_) return 1;
    const int result = AudioStage::open();
    if (result != 0) return result;
    head_ = count_ = 0;
    ending_ = failed_ = false;
    if (::pthread_create(&thread_, nullptr, threadMain, this) == 0)
        running_ = true;
    else
        direct_ = true;
    return 0;
}

void* OutputThread::threadMain(void* self) {
    static_cast<OutputThread*>(self)->drain();
    return nullptr;
}

void OutputThread::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return count_ >= kWakeAfter || (count_ > 0 && flushing_) || ending_; });
        if (count_ == 0) return;
        while (count_ > 0) {
            const int slot = head_;
            lock.unlock();
            // After a failure the blocks are dropped: the source stops at its
            // next write, and nothing more may reach a failed output.
            const int result = failed_ ? 1 : AudioStage::write(slots_[slot], sizes_[slot]);
            lock.lock();
            if (result != 0) failed_ = true;
            head_ = (head_ + 1) % kSlots;
            --count_;
            if (count_ <= kSlots - kWakeAfter || failed_) changed_.notify_all();
        }
    }
}

int OutputThread::write(const uint8_t* data, int byteCount) {
    if (direct_) return AudioStage::write(data, byteCount);
    if (!running_ || byteCount < 0 || byteCount > kMaxBlockBytes) return 1;
    std::unique_lock<std::mutex> lock(mutex_);
    if (count_ == kSlots) changed_.wait(lock, [this] { return count_ <= kSlots - kWakeAfter || failed_; });
    if (failed_) return 1;
    const int slot = (head_ + count_) % kSlots;
    lock.unlock();
    // The slot is the source's alone until it is counted.
    if (byteCount > 0) std::memcpy(slots_[slot], data, byteCount);
    sizes_[slot] = byteCount;
    lock.lock();
    if (++count_ >= kWakeAfter) changed_.notify_all();
    return 0;
}

void OutputThread::sync() {
    if (running_) {
        std::unique_lock<std::mutex> lock(mutex_);
        flushing_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return count_ == 0; });
        flushing_ = false;
    }
    AudioStage::sync();
}

void OutputThread::stopThread() {
    if (!running_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    ::pthread_join(thread_, nullptr);
    running_ = false;
}

int OutputThread::close() {
    if (direct_) {
        direct_ = false;
        return AudioStage::close();
    }
    if (!running_) return 1;
    stopThread();
    const int result = AudioStage::close();
    return failed_ || result != 0 ? 1 : 0;
}
