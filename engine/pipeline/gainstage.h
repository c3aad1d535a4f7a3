#pragma once

#include "engine/pipeline/audiostage.h"

// Amplifies every sample by a gain in dB, clipping to 16 bits.
class GainStage : public AudioStage {
public:
    GainStage(double gainDb, std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;
    double factor() const { return factor_; }

    static constexpr int kBufferBytes = 262144;

private:
    double factor_;
    int16_t buffer_[kBufferBytes / 2];
};
