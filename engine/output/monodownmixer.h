#pragma once

#include "engine/pipeline/audiostage.h"

// Stereo to mono in front of a mono output: the average of both channels
// (mode 0, rounded towards minus infinity), the left (1) or the right (2).
class MonoDownmixer : public AudioStage {
public:
    MonoDownmixer(int mode, std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kBufferBytes = 131072;

private:
    int mode_;
    int16_t buffer_[kBufferBytes / 2];
};
