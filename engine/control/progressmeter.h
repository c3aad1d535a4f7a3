#pragma once

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

    char title[kTitleCapacity] = {};
    int percent = 0;
    int drawn = 0;  // cells printed so far
};
