#pragma once

// The ACM layer's conversions between linear formats (rates, channels,
// sample sizes) over libswresample. They live in the codec module, so that
// only a run that converts maps FFmpeg.

#include "engine/output/acmformats.h"

#include <cstdint>
#include <memory>

// 24-bit samples pass as 32-bit ones: the stream packs them.
class AcmResampler {
public:
    virtual ~AcmResampler() = default;
    // At most how many frames `inFrames` more input frames give, counting
    // what is held back; negative on failure.
    virtual int outputBound(int inFrames) = 0;
    // Converts `inFrames` frames (with none: empties what is held back) into
    // at most `capacity` frames at `out`; the frames given, negative on failure.
    virtual int convert(uint8_t* out, int capacity, const uint8_t* in, int inFrames) = 0;
};

// Whether the resampler takes the format's samples: 8, 16, 24 or 32-bit
// integers, 32-bit floats.
inline bool hasResamplerLayout(const WaveFormat& format) {
    if (format.formatTag == kWaveFormatIeeeFloat) return format.bitsPerSample == 32;
    return format.formatTag == kWaveFormatPcm && (format.bitsPerSample == 8 || format.bitsPerSample == 16 ||
                                                  format.bitsPerSample == 24 || format.bitsPerSample == 32);
}

// A resampler from `source` to `destination`, opened; an AcmResult.
extern "C" int AcmCreateResampler(const WaveFormat& source, const WaveFormat& destination,
                                  std::unique_ptr<AcmResampler>& resampler);
using AcmCreateResamplerFunction = int (*)(const WaveFormat& source, const WaveFormat& destination,
                                           std::unique_ptr<AcmResampler>& resampler);
