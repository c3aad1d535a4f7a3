#pragma once

// The ACM layer's compressed formats (A-law, u-law, IMA and Microsoft
// ADPCM, MPEG Layer-3): codecs over libavcodec that turn 16-bit PCM of the
// format's rate and channels into the format. They live in the codec
// module, where the ACM layer finds them.

#include "engine/common/byteorder.h"
#include "engine/output/acmformats.h"

#include <cstdint>
#include <memory>
#include <vector>

class AcmEncoder {
public:
    virtual ~AcmEncoder() = default;
    // Encodes `frames` interleaved sample frames and appends what the codec
    // gives back to `encoded`. An AcmResult.
    virtual int encode(const uint8_t* source, int frames, std::vector<uint8_t>& encoded) = 0;
    // Encodes what is held back and empties the codec into `encoded`.
    virtual int finish(std::vector<uint8_t>& encoded) = 0;
};

// Samples per channel in one block the codec encodes; 0 for any number.
inline uint32_t samplesPerBlock(const WaveFormat& format) {
    if (format.formatTag == kWaveFormatImaAdpcm || format.formatTag == kWaveFormatMsAdpcm)
        return readLittleEndian16(format.extra);
    return 0;
}

// Non-zero when the module has a codec for `formatTag`.
extern "C" int AcmHasEncoder(uint16_t formatTag);
using AcmHasEncoderFunction = int (*)(uint16_t formatTag);

// An encoder into `format`, opened; an AcmResult.
extern "C" int AcmCreateEncoder(const WaveFormat& format, std::unique_ptr<AcmEncoder>& encoder);
using AcmCreateEncoderFunction = int (*)(const WaveFormat& format, std::unique_ptr<AcmEncoder>& encoder);
