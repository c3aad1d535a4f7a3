#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/drive/aspi.h"

// The worker of one device: runs its commands one after the other, in the
// order they were sent, while the senders go on with their own work. This
// is what lets a reader keep two requests in flight.
class CommandQueue {
public:
    explicit CommandQueue(ScsiTarget& unit);
    // Lets the command in progress finish and fails those not yet started,
    // so that ending the process waits for one command's time-out at most.
    ~CommandQueue();
    CommandQueue(const CommandQueue&) = delete;
    CommandQueue& operator=(const CommandQueue&) = delete;

    void submit(RequestBlock& block);

private:
    void run();

    ScsiTarget& unit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<RequestBlock*> pending_;
    bool stopping_ = false;
    std::thread worker_;
};
