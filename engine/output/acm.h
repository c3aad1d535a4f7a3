#pragma once

// Our stand-in for the Audio Compression Manager: format suggestion and
// stream conversion between PCM formats (rate, channels, 8/16/32-bit
// samples), done by libswresample. Streams between identical formats copy.

#include "engine/output/waveformat.h"

#include <cstdint>
#include <memory>

constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
constexpr uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
constexpr uint32_t ACM_STREAMCONVERTF_END = 0x00000020;

enum AcmResult {
    kAcmOk = 0,
    kAcmInvalidParameter = 1,
    kAcmInvalidFlag = 2,
    kAcmNoMemory = 3,
    kAcmNotPossible = 4,
    kAcmUnprepared = 5,
};

// One conversion request: the caller's buffers and how much of them the
// conversion used. The source may be moved along between conversions.
struct AcmStreamHeader {
    uint32_t structureSize = 0;
    bool prepared = false;
    const uint8_t* source = nullptr;
    uint32_t sourceLength = 0;
    uint32_t sourceLengthUsed = 0;
    uint8_t* destination = nullptr;
    uint32_t destinationLength = 0;
    uint32_t destinationLengthUsed = 0;
};

struct AcmStream;
struct AcmStreamCloser {
    void operator()(AcmStream* stream) const;
};
using AcmStreamHandle = std::unique_ptr<AcmStream, AcmStreamCloser>;

// Fills `destination` (of `destinationSize` bytes) with a PCM format that
// `source` can be converted into. With ACM_FORMATSUGGESTF_WFORMATTAG the
// format tag preset in `destination` is kept, and must be PCM.
int acmFormatSuggest(const WaveFormat& source, WaveFormat& destination, uint32_t destinationSize,
                     uint32_t flags);

int acmStreamOpen(AcmStreamHandle& stream, const WaveFormat& source, const WaveFormat& destination,
                  uint32_t flags);
int acmStreamPrepareHeader(AcmStream* stream, AcmStreamHeader& header);
// Converts whole source frames, as many as the destination has room for.
// ACM_STREAMCONVERTF_END also empties what the stream still holds.
int acmStreamConvert(AcmStream* stream, AcmStreamHeader& header, uint32_t flags);
int acmStreamUnprepareHeader(AcmStream* stream, AcmStreamHeader& header);
int acmStreamClose(AcmStreamHandle& stream);
// True for a stream between identical formats, whose conversion is a copy.
bool acmStreamIsCopy(const AcmStream* stream);
