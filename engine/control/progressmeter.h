#pragma once

#include <chrono>

// The console progress bar of a long operation: a title line, then 40 cells
// between square brackets, filled with options.progressChar as the percentage
// grows. update() also reports whether ESC was pressed.
class ProgressMeter {
  public:
    static constexpr int kCells = 40;
    static constexpr int kTitleCapacity = 1024;

    ProgressMeter() = default;
    virtual ~ProgressMeter();

    void setTitle(const char* text);  // longer titles are cut to fit
    void begin();
    void setPercent(int n);
    int update();  // 1 when ESC was pressed, else 0
    void finish();
    // A run that stops before its end leaves the bar's line, so that what
    // is said next starts at column 0; nothing when no bar is open.
    void leaveBar();
    // Whether an update ever reported ESC: the user stopped the work.
    bool hasBeenEscaped() const { return escaped_; }

    char title[kTitleCapacity] = {};
    int percent = 0;
    int drawn = 0;  // cells printed so far
    bool isBarOpen = false;  // begun, and its line not yet left

  private:
    // Looking for a key costs system calls, and blocks can come far faster
    // than anyone types: after a look that found nothing, the next waits a
    // little.
    static constexpr std::chrono::milliseconds kKeyPollInterval{10};
    std::chrono::steady_clock::time_point nextKeyPoll{};
    bool escaped_ = false;
};
