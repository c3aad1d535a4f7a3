#pragma once

#include <cstdint>

constexpr int kMonitorWidth = 512;
constexpr int kMonitorHeight = 342;

// The picture of one monitor window, kept here so that only showing it
// needs a display. Pixels are 0x00RRGGBB; the canvas starts black.
class MonitorCanvas {
public:
    static constexpr uint32_t kWhite = 0xFFFFFF;
    static constexpr uint32_t kBlack = 0x000000;

    // A one-pixel line that leaves out its end point, as a pen's line-to
    // does, so that joined segments meet without drawing a pixel twice.
    // Pixels outside the canvas are skipped.
    void line(int x0, int y0, int x1, int y1, uint32_t colour);

    uint32_t pixel(int x, int y) const { return pixels_[y * kMonitorWidth + x]; }
    const uint32_t* pixels() const { return pixels_; }

private:
    uint32_t pixels_[kMonitorWidth * kMonitorHeight] = {};
};
