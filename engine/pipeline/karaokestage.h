#pragma once

#include "engine/pipeline/audiostage.h"

// Left minus right on both channels: removes what both channels share.
class KaraokeStage : public AudioStage {
public:
    explicit KaraokeStage(std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kBufferBytes = 131072;

private:
    int16_t buffer_[kBufferBytes / 2];
};
