#pragma once

#include "engine/pipeline/audiostage.h"

// Level-dependent gain: each sample is scaled by its channel's level over
// the last 64 samples raised to the exponent. A negative exponent lifts
// quiet passages, a positive one lowers them; 0 changes nothing.
class CompressorExpander : public AudioStage {
public:
    CompressorExpander(double exponent, std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kBufferBytes = 262144;
    static constexpr int kWindow = 64;

private:
    struct Window {
        int16_t ring[kWindow] = {};
        double magnitudeSum = 0.0;
    };

    double exponent_;
    Window windows_[2];
    int position_ = 0;  // shared by both channels
    int16_t buffer_[kBufferBytes / 2];
};
