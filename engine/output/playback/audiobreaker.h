#pragma once

#include "engine/pipeline/audiostage.h"

// Cuts blocks into pieces of at most five sectors, so that each playback
// buffer stays short and the sound follows the extraction closely.
class AudioBreaker : public AudioStage {
public:
    explicit AudioBreaker(std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;

    static constexpr int kPieceBytes = 11760;
};
