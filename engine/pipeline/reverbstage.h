#pragma once

#include "engine/pipeline/audiostage.h"

// Feedback delay reverb: each output sample, which is also what the delay
// line keeps, is the input plus a weighted sum of six earlier outputs.
class ReverbStage : public AudioStage {
public:
    explicit ReverbStage(std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kBufferBytes = 262144;
    static constexpr int kDelayFrames = 16384;

private:
    int16_t delay_[2][kDelayFrames] = {};
    int position_ = 0;
    int16_t buffer_[kBufferBytes / 2];
};
