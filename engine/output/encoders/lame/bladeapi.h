#pragma once

// The MP3 encoder library as the BladeEncoder stage sees it: five entry
// points with the C calling convention, over libmp3lame. "Samples" count
// 16-bit values, both channels together.

#include <cstdint>

constexpr uint32_t BE_CONFIG_MP3 = 0;
constexpr uint8_t BE_MP3_MODE_STEREO = 0;
constexpr uint8_t BE_MP3_MODE_MONO = 3;

enum BeError : uint32_t {
    BE_ERR_SUCCESSFUL = 0,
    BE_ERR_INVALID_FORMAT = 1,
    BE_ERR_INVALID_FORMAT_PARAMETERS = 2,
    BE_ERR_NO_MORE_HANDLES = 3,
    BE_ERR_INVALID_HANDLE = 4,
    BE_ERR_BUFFER_TOO_SMALL = 5,
};

// The configuration record, packed and little-endian: 27 bytes filled.
#pragma pack(push, 1)
struct BeConfig {
    uint32_t configKind;       // BE_CONFIG_MP3
    uint32_t sampleRate;       // 44100
    uint8_t mode;              // BE_MP3_MODE_STEREO or BE_MP3_MODE_MONO
    uint16_t bitrateKbps;
    uint32_t privateFlag;
    uint32_t crcFlag;
    uint32_t copyrightFlag;    // the frame header's first copy-status bit
    uint32_t originalFlag;     // the frame header's second copy-status bit
};
#pragma pack(pop)
static_assert(sizeof(BeConfig) == 27);

struct BeVersion {
    uint8_t dllMajor;
    uint8_t dllMinor;
    uint8_t engineMajor;
    uint8_t engineMinor;
};

struct BladeStream;
using BeStream = BladeStream*;

extern "C" {
using BeInitStreamFunction = uint32_t(const BeConfig* config, uint32_t* samplesPerChunk,
                                      uint32_t* outputBufferSize, BeStream* stream);
using BeEncodeChunkFunction = uint32_t(BeStream stream, uint32_t samples, const int16_t* input,
                                       uint8_t* output, uint32_t* outputBytes);
using BeDeinitStreamFunction = uint32_t(BeStream stream, uint8_t* output, uint32_t* outputBytes);
using BeCloseStreamFunction = uint32_t(BeStream stream);
using BeVersionFunction = void(BeVersion* version);
// The LAME/Xing frame that replaces the stream's first frame once every
// frame is known: frame count, byte count, encoder delay and padding. Valid
// after beDeinitStream and before beCloseStream.
using BeInfoFrameFunction = uint32_t(BeStream stream, uint8_t* output, uint32_t capacity,
                                     uint32_t* outputBytes);
}

// The library's entry points; a missing one is none.
struct BladeLibrary {
    BeInitStreamFunction* beInitStream = nullptr;
    BeEncodeChunkFunction* beEncodeChunk = nullptr;
    BeDeinitStreamFunction* beDeinitStream = nullptr;
    BeCloseStreamFunction* beCloseStream = nullptr;
    BeVersionFunction* beVersion = nullptr;
    BeInfoFrameFunction* beInfoFrame = nullptr;
};

// Fills `library` with the entry points; 0 when every one was found.
int loadBladeLibrary(BladeLibrary& library);
