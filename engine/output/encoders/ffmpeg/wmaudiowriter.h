#pragma once

// The Windows Media Audio writer object: WMA version 2 in an ASF file,
// written by libavformat and libavcodec. Its operations return a
// non-negative value on success and a negative one on failure, and are
// called in the order they are declared.

#include "engine/output/waveformat.h"

#include <cstdint>
#include <memory>

class WmaAudioWriter {
public:
    virtual ~WmaAudioWriter() = default;
    // The samples that `writeSamples` will be given: 16-bit PCM.
    virtual int setInputFormat(const WaveFormat& format) = 0;
    // Opens the encoder and the file at `bitsPerSecond` for audio of
    // `samplesPerSecond` and `channels`; `flags` must be 0.
    virtual int setBitrate(int bitsPerSecond, int samplesPerSecond, int channels, int flags) = 0;
    virtual int writeSamples(const uint8_t* data, int byteCount) = 0;
    // Encodes what is held back and completes the file.
    virtual int close() = 0;
    // Frees the encoder; a file that was not completed is removed.
    virtual int release() = 0;
};

// A writer for the file at `path`, which is created by `setBitrate`. It
// lives in the codec module, where the WmaWriter stage finds it.
extern "C" int WMAudioCreateWriter(const char* path, std::unique_ptr<WmaAudioWriter>& writer);
using WmaCreateWriter = int (*)(const char* path, std::unique_ptr<WmaAudioWriter>& writer);
