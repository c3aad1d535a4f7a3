#pragma once

#include "engine/pipeline/audiostage.h"

// Silence is digital silence: a stereo frame whose two samples are both 0.

// Drops the silent frames before the first sound of the stream.
class LeadingSilenceTrimmer : public AudioStage {
public:
    explicit LeadingSilenceTrimmer(std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

private:
    bool soundSeen_ = false;
};

// Drops the silent frames after the last sound of the stream. Silence is
// held back as a count and re-created from zeros once sound follows it.
class TrailingSilenceTrimmer : public AudioStage {
public:
    explicit TrailingSilenceTrimmer(std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kZeroBlockBytes = 2352;

private:
    uint64_t received_ = 0;  // stream bytes that reached the stage
    uint64_t emitted_ = 0;   // stream position up to which audio was passed on
    uint8_t zeros_[kZeroBlockBytes] = {};
};
