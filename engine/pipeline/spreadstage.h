#pragma once

#include "engine/pipeline/audiostage.h"

// Stereo width: 0 keeps the image, 1 makes it mono, -1 keeps only the
// difference of the channels.
class SpreadStage : public AudioStage {
public:
    SpreadStage(double amount, std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kBufferBytes = 262144;

private:
    double mix_;     // share of the other channel
    double direct_;  // share of the channel itself
    int16_t buffer_[kBufferBytes / 2];
};
