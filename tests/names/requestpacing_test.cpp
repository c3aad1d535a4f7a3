#include "engine/names/requestpacing.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono;

nanoseconds booked(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return seconds(status.st_mtim.tv_sec) + nanoseconds(status.st_mtim.tv_nsec);
}

nanoseconds now() { return system_clock::now().time_since_epoch(); }

// Each request books the moment one interval after the last booking; a
// booking far ahead (a clock set back) costs a few intervals at most.
TEST(RequestPacingTest, RequestsBookMomentsOneIntervalApart) {
    TempDir dir;
    std::string stamp = dir.file("last-request");
    const int interval = 40;
    nanoseconds before = now();
    waitForRequestSlot(stamp, interval);
    nanoseconds first = booked(stamp);
    EXPECT_GE(first, before - milliseconds(1));
    waitForRequestSlot(stamp, interval);
    nanoseconds second = booked(stamp);
    EXPECT_GE(second - first, milliseconds(interval));
    EXPECT_GE(now(), second);

    timespec future[2] = {{static_cast<time_t>(duration_cast<seconds>(now()).count() + 3600), 0},
                          {static_cast<time_t>(duration_cast<seconds>(now()).count() + 3600), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, stamp.c_str(), future, 0), 0);
    nanoseconds start = now();
    waitForRequestSlot(stamp, interval);
    EXPECT_LE(booked(stamp) - start, milliseconds(5 * interval + 10));
}

}  // namespace
