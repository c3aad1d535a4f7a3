#include "engine/pipeline/karaokestage.h"

#include "engine/pipeline/sampleclamp.h"

#include <cstring>

KaraokeStage::KaraokeStage(std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {}

int KaraokeStage::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    if (byteCount > 0) std::memcpy(buffer_, data, byteCount);
    const int frames = byteCount / 4;
    for (int f = 0; f < frames; ++f) {
        // 16-bit wrap-around, as the difference of two full-scale samples can overflow.
        const auto difference = static_cast<int16_t>(static_cast<uint16_t>(buffer_[2 * f]) -
                                                     static_cast<uint16_t>(buffer_[2 * f + 1]));
        buffer_[2 * f] = difference;
        buffer_[2 * f + 1] = difference;
    }
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), byteCount);
}
