#pragma once

#include "engine/output/monitors/monitorcanvas.h"
#include "engine/output/monitors/scopetrace.h"
#include "engine/output/monitors/spectrumlevels.h"
#include "engine/pipeline/audiostage.h"

#include <cstdint>
#include <memory>

struct SDL_Window;

// A pass-through stage that shows each block in a window of its own, which
// exists from construction to destruction. Without a display the audio
// passes on unchanged and one line says so, once per run.
class MonitorWindow : public AudioStage {
public:
    MonitorWindow(const char* title, std::unique_ptr<AudioStage> next);
    ~MonitorWindow() override;
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kX = 0;
    static constexpr int kY = 0;

protected:
    // Draws the block into the canvas; false when the block is too short.
    virtual bool drawBlock(const uint8_t* data, int byteCount, MonitorCanvas& canvas) = 0;

private:
    void show();

    SDL_Window* window_ = nullptr;
    MonitorCanvas canvas_;
};

class ScopeWindow : public MonitorWindow {
public:
    explicit ScopeWindow(std::unique_ptr<AudioStage> next);

    ScopeTrace trace;

protected:
    bool drawBlock(const uint8_t* data, int byteCount, MonitorCanvas& canvas) override;
};

class SpectrumWindow : public MonitorWindow {
public:
    explicit SpectrumWindow(std::unique_ptr<AudioStage> next);

    SpectrumLevels levels;

protected:
    bool drawBlock(const uint8_t* data, int byteCount, MonitorCanvas& canvas) override;
};
