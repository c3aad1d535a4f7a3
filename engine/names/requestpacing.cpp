#include "engine/names/requestpacing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr long long kNanosPerMilli = 1000000;
constexpr long long kNanosPerSecond = 1000000000;
constexpr int kMaxWaitIntervals = 5;

long long nanosOf(const timespec& time) { return time.tv_sec * kNanosPerSecond + time.tv_nsec; }

timespec timeOf(long long nanos) {
    return {static_cast<time_t>(nanos / kNanosPerSecond), static_cast<long>(nanos % kNanosPerSecond)};
}

}  // namespace

void waitForRequestSlot(const std::string& stampPath, int intervalMillis) {
    // A stamp made now books nothing yet: the first request goes at once.
    bool fresh = false;
    int fd = ::open(stampPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(stampPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        fresh = fd >= 0;
    }
    if (fd < 0) fd = ::open(stampPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    long long wait = 0;
    if (::flock(fd, LOCK_EX) == 0) {
        struct stat status {};
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        long long interval = intervalMillis * kNanosPerMilli;
        if (!fresh && ::fstat(fd, &status) == 0) {
            long long booked = nanosOf(status.st_mtim);
            wait = std::clamp(booked + interval - nanosOf(now), 0LL, kMaxWaitIntervals * interval);
        }
        timespec slot[2] = {timeOf(nanosOf(now) + wait), timeOf(nanosOf(now) + wait)};
        ::futimens(fd, slot);
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
}
