#pragma once

#include "engine/output/monitors/monitorcanvas.h"

#include <cstdint>

// The spectrum analyser's picture: the direct 128-point transform of the
// left channel's first 128 frames, one dash per bin of 44100 / 128 Hz for
// the lower half. A level jumps up at once and falls by at most 20 pixels
// per block.
class SpectrumLevels {
public:
    static constexpr int kBins = 128;
    static constexpr int kDrawnBins = 64;
    static constexpr int kBaseline = 310;
    static constexpr double kFall = 20.0;
    // The transform reads frames 0 to 127.
    static constexpr int kMinimumBytes = 512;

    // Computes the block's levels, erases the old dashes and draws the new
    // ones. Shorter blocks are not drawn; false then.
    bool draw(const uint8_t* data, int byteCount, MonitorCanvas& canvas);

    double input[kBins] = {};
    double levels[kBins] = {};
};

// 7 · ln(1 + |X[k]|²) of the unscaled, unwindowed transform of `input`.
double spectrumBinValue(const double* input, int k);
