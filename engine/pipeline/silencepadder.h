#pragma once

#include "engine/pipeline/audiostage.h"

// Adds seconds of silence in front of the stream (at open) and behind it
// (at close), in whole frames.
class SilencePadder : public AudioStage {
public:
    SilencePadder(double leadingSeconds, double trailingSeconds, std::unique_ptr<AudioStage> next);
    int open() override;
    int close() override;

    static constexpr int kZeroBlockBytes = 2352;

private:
    int writeSilence(double seconds);

    double leadingSeconds_;
    double trailingSeconds_;
    uint8_t zeros_[kZeroBlockBytes] = {};
};
