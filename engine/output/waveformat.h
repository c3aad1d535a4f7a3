#pragma once

#include <cstdint>

constexpr int kWaveFormatExtraCapacity = 256;
constexpr uint16_t kWaveFormatPcm = 1;

// A wave-format description laid out byte for byte as WAVEFORMATEX with room
// for 256 bytes of format-specific data behind it (274 bytes in all).
#pragma pack(push, 1)
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSecond;
    uint32_t averageBytesPerSecond;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;
    uint8_t extra[kWaveFormatExtraCapacity];
};
#pragma pack(pop)

static_assert(sizeof(WaveFormat) == 274);

// The part of the record in front of the extra bytes.
constexpr int kWaveFormatBaseBytes = 18;

// The process-wide output format every job's output is written in.
extern WaveFormat outputFormat;

// 16-bit PCM at 44100 Hz with `channels` channels; the extra size is 0.
WaveFormat pcmFormat(int channels);

// CD audio as it is: PCM, 2 channels, 44100 Hz, 16 bits.
void setPcmOutputFormat();
