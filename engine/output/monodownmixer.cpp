#include "engine/output/monodownmixer.h"

#include <cstring>

MonoDownmixer::MonoDownmixer(int mode, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), mode_(mode) {}

int MonoDownmixer::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    const int frames = byteCount / 4;
    for (int f = 0; f < frames; ++f) {
        int16_t pair[2];
        std::memcpy(pair, data + 4 * f, 4);
        switch (mode_) {
        case 1: buffer_[f] = pair[0]; break;
        case 2: buffer_[f] = pair[1]; break;
        default: buffer_[f] = static_cast<int16_t>((int32_t{pair[0]} + pair[1]) >> 1); break;
        }
    }
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), frames * 2);
}
