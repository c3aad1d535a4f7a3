#pragma once

#include "engine/pipeline/audiostage.h"

#include <memory>

// Encodes the stream into a FLAC file through libFLAC at compression level
// 0 to 8: the STREAMINFO carries the total samples and the MD5 of the
// audio, a seek table points into the frames, and padding leaves room for
// the tags written later. The end of a chain.
class FlacEncoder : public AudioStage {
public:
    FlacEncoder(const char* path, int level, int channels, std::unique_ptr<AudioStage> next = nullptr);
    ~FlacEncoder() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kPathCapacity = 1024;
    // A point every 10 seconds, as the flac program sets them, up to this
    // many; a longer file gets them twice as far apart, and so on.
    static constexpr int kSeekPoints = 100;
    static constexpr uint64_t kSeekSpacing = 10 * 44100;
    static constexpr unsigned kPaddingBytes = 8192;

private:
    struct Stream;  // the library's encoder and the file, from open to close

    char path_[kPathCapacity] = {};
    bool pathFits_;
    int level_;
    int channels_;
    std::unique_ptr<Stream> stream_;
};
