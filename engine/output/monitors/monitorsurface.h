#pragma once

#include <cstdint>
#include <memory>

// A monitor window on the display, kMonitorWidth x kMonitorHeight, which
// exists as long as the object.
class MonitorSurface {
public:
    virtual ~MonitorSurface() = default;
    // Shows the canvas's 0x00RRGGBB pixels, row after row.
    virtual void show(const uint32_t* pixels) = 0;
    // Takes the window's events: desktops take a window that never looks
    // at them for hung.
    virtual void takeEvents() = 0;
};

// A window with this title; null when none can be shown, which
// "Could Not Open Monitor Window" says once per run. It comes from the SDL
// module, which the first window of a run loads.
std::unique_ptr<MonitorSurface> openMonitorSurface(const char* title);

// The module's entry point, as the engine finds it: null when no window
// can be shown, having said why.
using OpenMonitorSurfaceFunction = MonitorSurface* (*)(const char* title);
constexpr const char* kOpenMonitorSurfaceSymbol = "voltaOpenMonitorSurface";
