#include "engine/output/monitors/monitorcanvas.h"

#include <cstdlib>

void MonitorCanvas::line(int x0, int y0, int x1, int y1, uint32_t colour) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1;
    const int stepY = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int x = x0;
    int y = y0;
    while (x != x1 || y != y1) {
        if (x >= 0 && x < kMonitorWidth && y >= 0 && y < kMonitorHeight) pixels_[y * kMonitorWidth + x] = colour;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}
