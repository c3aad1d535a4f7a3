#include "engine/drive/commandqueue.h"

CommandQueue::CommandQueue(ScsiTarget& unit) : unit_(unit), worker_([this] { run(); }) {}

CommandQueue::~CommandQueue() {
    std::deque<RequestBlock*> abandoned;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        abandoned.swap(pending_);
    }
    for (RequestBlock* block : abandoned) block->complete(kStatusAborted);
    wake_.notify_one();
    worker_.join();
}

void CommandQueue::submit(RequestBlock& block) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(&block);
    }
    wake_.notify_one();
}

void CommandQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) return;
        RequestBlock* block = pending_.front();
        pending_.pop_front();
        lock.unlock();
        block->complete(unit_.execute(*block));
        lock.lock();
    }
}
