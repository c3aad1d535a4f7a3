#pragma once

#include "engine/output/encoders/lame/bladeapi.h"
#include "engine/pipeline/audiostage.h"

#include <cstdio>
#include <memory>

// Encodes the stream into an MP3 file through the MP3 encoder library, in
// chunks of exactly the size the library asks for. The end of a chain.
class BladeEncoder : public AudioStage {
public:
    BladeEncoder(const char* path, int kbps, bool stereo, std::unique_ptr<AudioStage> next = nullptr);
    ~BladeEncoder() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kPathCapacity = 256;

    uint32_t samplesPerChunk() const { return samplesPerChunk_; }
    uint32_t bytesBuffered() const { return bytesBuffered_; }
    uint32_t lastResult() const { return lastResult_; }

private:
    int encode(uint32_t samples);
    int writeOutput(uint32_t bytes);
    int finish();
    int writeInfoFrame();
    void abandon();

    BladeLibrary library_;
    bool loaded_;
    bool stereo_;
    int kbps_;
    char path_[kPathCapacity] = {};
    bool pathFits_;
    uint32_t bytesBuffered_ = 0;
    std::unique_ptr<uint8_t[]> outputBuffer_;
    std::unique_ptr<uint8_t[]> inputBuffer_;
    uint32_t samplesPerChunk_ = 0;
    uint32_t outputBufferSize_ = 0;
    BeStream stream_ = nullptr;
    uint32_t lastResult_ = 0;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};
