#include "engine/output/bitrates.h"

#include <algorithm>
#include <iterator>

bool bitrateWorks(EncoderKind encoder, long long kbps) {
    if (encoder == EncoderKind::BladeEnc)
        return std::find(std::begin(kMp3BitratesKbps), std::end(kMp3BitratesKbps), kbps) != std::end(kMp3BitratesKbps);
    if (encoder == EncoderKind::WindowsMedia) return kbps >= kWmaLowestKbps && kbps <= kWmaHighestKbps;
    return true;
}

std::string bitrateRefusal(EncoderKind encoder, const std::string& kbps) {
    std::string rates;
    if (encoder == EncoderKind::WindowsMedia) {
        rates = std::to_string(kWmaLowestKbps) + " to " + std::to_string(kWmaHighestKbps);
    } else {
        for (size_t i = 0; i < std::size(kMp3BitratesKbps); ++i) {
            if (i > 0) rates += i + 1 == std::size(kMp3BitratesKbps) ? " or " : ", ";
            rates += std::to_string(kMp3BitratesKbps[i]);
        }
    }
    return "Bit rate " + kbps + " kbps does not work with /e" + encoderInfo(encoder).letter + ": use " + rates;
}
