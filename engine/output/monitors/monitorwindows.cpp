#include "engine/output/monitors/monitorwindows.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace {

// SDL falls back to its invisible offscreen driver when there is no display
// to open; only a run that asked for that driver wants it.
bool offscreenRequested() {
    const char* wanted = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return wanted && SDL_strcasestr(wanted, "offscreen") != nullptr;
}

// SDL's video is opened by the first window of the run and stays open:
// SDL 2.26 falls back to its offscreen driver every second time it is
// opened again. When no window can be shown, later windows neither try
// again nor say so again.
enum class Video { Untried, Open, Unavailable };
Video video = Video::Untried;

void giveUp(const char* reason) {
    std::printf("Could Not Open Monitor Window: %s\n", reason);
    std::fflush(stdout);
    video = Video::Unavailable;
}

bool openVideo() {
    if (video != Video::Untried) return video == Video::Open;
    // Ctrl-C must still end the program rather than become a window event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        giveUp(SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "offscreen") == 0 && !offscreenRequested()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        giveUp("No display");
        return false;
    }
    video = Video::Open;
    return true;
}

}  // namespace

MonitorWindow::MonitorWindow(const char* title, std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {
    // What the console said about the job comes before its windows.
    std::fflush(stdout);
    if (!openVideo()) return;
    window_ = SDL_CreateWindow(title, kX, kY, kMonitorWidth, kMonitorHeight, SDL_WINDOW_SHOWN);
    if (!window_) {
        giveUp(SDL_GetError());
        return;
    }
    show();
}

MonitorWindow::~MonitorWindow() {
    if (!window_) return;
    SDL_HideWindow(window_);
    SDL_DestroyWindow(window_);
}

int MonitorWindow::write(const uint8_t* data, int byteCount) {
    if (window_) {
        // The picture waits for the sound when playback is on.
        sync();
        if (drawBlock(data, byteCount, canvas_)) show();
        // Desktops take a window that never looks at its events for hung.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    return AudioStage::write(data, byteCount);
}

void MonitorWindow::show() {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface || SDL_LockSurface(surface) != 0) return;
    // A desktop may give the window another size than asked for.
    const int width = surface->w < kMonitorWidth ? surface->w : kMonitorWidth;
    const int height = surface->h < kMonitorHeight ? surface->h : kMonitorHeight;
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, canvas_.pixels(), kMonitorWidth * 4,
                      surface->format->format, surface->pixels, surface->pitch);
    SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
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
