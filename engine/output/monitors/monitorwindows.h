#pragma once

#include "engine/output/monitors/monitorcanvas.h"
#include "engine/output/monitors/monitorsurface.h"
#include "engine/output/monitors/scopetrace.h"
#include "engine/output/monitors/spectrumlevels.h"
#include "engine/pipeline/audiostage.h"

#include <cstdint>
#include <memory>

// A pass-through stage that shows each block in a window of its own, which
// exists from construction to destruction. Without a display the audio
// passes on unchanged and one line says so, once per run.
class MonitorWindow : public AudioStage {
public:
    MonitorWindow(const char* title, std::unique_ptr<AudioStage> next);
    ~MonitorWindow() override;
    int write(const uint8_t* data, int byteCount) override;

protected:
    // Draws the block into the canvas; false when the block is too short.
    virtual bool drawBlock(const uint8_t* data, int byteCount, MonitorCanvas& canvas) = 0;

private:
    std::unique_ptr<MonitorSurface> surface_;
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
