#pragma once

#include "engine/output/monitors/monitorcanvas.h"

#include <cstdint>

// The oscilloscope's picture: both channels, one point for every second
// frame, 2 pixels apart, the left channel around row 80 and the right
// around row 240.
class ScopeTrace {
public:
    static constexpr int kPoints = 256;
    static constexpr int kLeftCentre = 80;
    static constexpr int kRightCentre = 240;
    // The trace reads frames 0 to 510.
    static constexpr int kMinimumBytes = 2044;

    // Erases the trace drawn last and draws the block's. Shorter blocks are
    // not drawn; false then.
    bool draw(const uint8_t* data, int byteCount, MonitorCanvas& canvas);

    // Vertical offsets of the trace drawn last (sample >> 9, positive
    // samples downwards).
    int oldLeft[kPoints] = {};
    int oldRight[kPoints] = {};
};
