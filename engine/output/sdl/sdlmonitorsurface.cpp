// The monitor windows over SDL's video, in the module volta_sdl.so.

#include "engine/output/monitors/monitorcanvas.h"
#include "engine/output/monitors/monitorsurface.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <new>

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

constexpr int kX = 0;
constexpr int kY = 0;

class SdlMonitorSurface : public MonitorSurface {
public:
    explicit SdlMonitorSurface(SDL_Window* window) : window_(window) {}
    ~SdlMonitorSurface() override {
        SDL_HideWindow(window_);
        SDL_DestroyWindow(window_);
    }
    SdlMonitorSurface(const SdlMonitorSurface&) = delete;
    SdlMonitorSurface& operator=(const SdlMonitorSurface&) = delete;

    void show(const uint32_t* pixels) override {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (!surface || SDL_LockSurface(surface) != 0) return;
        // A desktop may give the window another size than asked for.
        const int width = surface->w < kMonitorWidth ? surface->w : kMonitorWidth;
        const int height = surface->h < kMonitorHeight ? surface->h : kMonitorHeight;
        SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, pixels, kMonitorWidth * 4, surface->format->format,
                          surface->pixels, surface->pitch);
        SDL_UnlockSurface(surface);
        SDL_UpdateWindowSurface(window_);
    }

    void takeEvents() override {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

private:
    SDL_Window* window_;
};

}  // namespace

extern "C" MonitorSurface* voltaOpenMonitorSurface(const char* title) {
    if (!openVideo()) return nullptr;
    SDL_Window* window = SDL_CreateWindow(title, kX, kY, kMonitorWidth, kMonitorHeight, SDL_WINDOW_SHOWN);
    if (!window) {
        giveUp(SDL_GetError());
        return nullptr;
    }
    MonitorSurface* surface = new (std::nothrow) SdlMonitorSurface(window);
    if (!surface) SDL_DestroyWindow(window);
    return surface;
}
