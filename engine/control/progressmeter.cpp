#include "engine/control/progressmeter.h"

#include <cstdio>

#include "engine/control/console.h"
#include "engine/control/options.h"

namespace {
constexpr int kEscape = 27;
}

ProgressMeter::~ProgressMeter() = default;

void ProgressMeter::setTitle(const char* text) { std::snprintf(title, sizeof title, "%s", text); }

void ProgressMeter::begin() {
    std::printf("%s\n[                                        ]\r[", title);
    std::fflush(stdout);
    drawn = 0;
    isBarOpen = true;
}

void ProgressMeter::setPercent(int n) { percent = n; }

int ProgressMeter::update() {
    int target = 2 * percent / 5;
    // Out-of-range percentages must not draw outside the brackets.
    if (target < 0) target = 0;
    if (target > kCells) target = kCells;
    if (target > drawn) {
        for (int i = drawn; i < target; ++i) std::putchar(options.progressChar);
        std::fflush(stdout);
    }
    drawn = target;
    auto now = std::chrono::steady_clock::now();
    if (now < nextKeyPoll) return 0;
    int key = pollKey();
    nextKeyPoll = key < 0 ? now + kKeyPollInterval : std::chrono::steady_clock::time_point{};
    if (key != kEscape) return 0;
    escaped_ = true;
    return 1;
}

void ProgressMeter::finish() {
    std::printf("\n\n");
    std::fflush(stdout);
    isBarOpen = false;
}

void ProgressMeter::leaveBar() {
    if (!isBarOpen) return;
    std::printf("\n");
    std::fflush(stdout);
    isBarOpen = false;
}
