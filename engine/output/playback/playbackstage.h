#pragma once

#include "engine/output/playback/waveplayer.h"
#include "engine/pipeline/audiostage.h"

#include <memory>

// Plays the stream through the audio output device and passes it on, so
// that what is heard is what is written. The chain waits only when seven
// blocks are queued; `close` returns once the last one has been heard.
class PlaybackStage : public AudioStage {
public:
    explicit PlaybackStage(std::unique_ptr<AudioStage> next);
    void sync() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kSampleRate = 44100;
    static constexpr int kBitsPerSample = 16;
    static constexpr int kChannels = 2;

private:
    std::unique_ptr<WavePlayer> player_;
};
