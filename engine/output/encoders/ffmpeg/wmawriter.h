#pragma once

#include "engine/output/encoders/ffmpeg/wmaudiowriter.h"
#include "engine/pipeline/audiostage.h"

#include <memory>

// Writes the stream, always stereo, into a Windows Media Audio file through
// the writer object. The end of a chain.
class WmaWriter : public AudioStage {
public:
    WmaWriter(const char* path, int bitsPerSecond, std::unique_ptr<AudioStage> next = nullptr);
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kPathCapacity = 256;

private:
    std::unique_ptr<WmaAudioWriter> writer_;
    char path_[kPathCapacity] = {};
    bool pathFits_;
    int bitsPerSecond_;
};
