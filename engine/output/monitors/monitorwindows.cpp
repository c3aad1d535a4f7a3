#include "engine/output/monitors/monitorwindows.h"

#include <cstdio>

MonitorWindow::MonitorWindow(const char* title, std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {
    // What the console said about the job comes before its windows.
    std::fflush(stdout);
    surface_ = openMonitorSurface(title);
    if (surface_) surface_->show(canvas_.pixels());
}

MonitorWindow::~MonitorWindow() = default;

int MonitorWindow::write(const uint8_t* data, int byteCount) {
    if (surface_) {
        // The picture waits for the sound when playback is on.
        sync();
        if (drawBlock(data, byteCount, canvas_)) surface_->show(canvas_.pixels());
        surface_->takeEvents();
    }
    return AudioStage::write(data, byteCount);
}

ScopeWindow::ScopeWindow(std::unique_ptr<AudioStage> next) : MonitorWindow("VOLTA: Scopes", std::move(next)) {}

bool ScopeWindow::drawBlock(const uint8_t* data, int byteCount, MonitorCanvas& canvas) {
    return trace.draw(data, byteCount, canvas);
}

SpectrumWindow::SpectrumWindow(std::unique_ptr<AudioStage> next)
    : MonitorWindow("VOLTA: Spectrum Analyzer", std::move(next)) {}

bool SpectrumWindow::drawBlock(const uint8_t* data, int byteCount, MonitorCanvas& canvas) {
    return levels.draw(data, byteCount, canvas);
}
