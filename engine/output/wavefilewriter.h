#pragma once

#include "engine/output/waveformat.h"
#include "engine/pipeline/audiostage.h"

#include <cstdio>

// Writes the stream into a file: a RIFF/WAVE file whose header describes
// `format`, or the bare samples when the header is off. The end of a chain.
class WaveFileWriter : public AudioStage {
public:
    WaveFileWriter(const char* path, const WaveFormat& format, bool writeHeader);
    ~WaveFileWriter() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kPathCapacity = 1024;
    // Blocks are gathered into writes of this size: a fast drive's 58800-byte
    // blocks, written one by one, cost a WAV copy a third of its time in
    // system calls.
    static constexpr size_t kGatherBytes = 256 * 1024;
    // "RIFF", size, "WAVE", "fmt ", size, the format, "fact" with the
    // sample count of a compressed format, "data", size.
    static constexpr int kFactChunkBytes = 12;
    static constexpr int kMaxHeaderBytes =
        20 + kWaveFormatBaseBytes + kWaveFormatExtraCapacity + kFactChunkBytes + 8;

private:
    int headerBytes() const;
    bool hasFactChunk() const;
    int writeHeaderBlock();
    int writeGathered();

    uint64_t byteCount_ = 0;  // what reached the file, all the header claims
    WaveFormat format_;
    std::FILE* file_ = nullptr;
    char path_[kPathCapacity] = {};
    bool pathFits_;
    bool writeHeader_;
    size_t gathered_ = 0;
    uint8_t gather_[kGatherBytes];
};
