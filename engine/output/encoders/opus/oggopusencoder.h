#pragma once

#include "engine/pipeline/audiostage.h"

#include <memory>

// Encodes the stream into an Ogg Opus file through libopusenc, which
// resamples to 48 kHz and records the pre-skip and the end of the audio,
// so that the decoded length is the source's. The end of a chain.
class OggOpusEncoder : public AudioStage {
public:
    OggOpusEncoder(const char* path, int bitsPerSecond, int channels, std::unique_ptr<AudioStage> next = nullptr);
    ~OggOpusEncoder() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kPathCapacity = 1024;
    static constexpr int kMinBitsPerSecond = 6000;
    static constexpr int kMaxBitsPerSecond = 510000;

private:
    struct Stream;  // the library's encoder and the file, from open to close

    char path_[kPathCapacity] = {};
    bool pathFits_;
    int bitsPerSecond_;
    int channels_;
    std::unique_ptr<Stream> stream_;
};
