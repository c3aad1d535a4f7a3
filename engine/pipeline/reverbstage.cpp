#include "engine/pipeline/reverbstage.h"

#include <cstring>

namespace {

constexpr int kMask = ReverbStage::kDelayFrames - 1;

// Weights 1/8, 1/16, 1/16, 1/16, 1/8, 1/32 for the taps 0, 2000, ... 10000
// frames back (the tap at 0 reads the value of a whole line ago); they sum
// to 15/32 so the loop decays. The shifts floor, as the weights are applied
// to each tap before summing.
inline int16_t reverbSample(const int16_t* line, int w, int sample) {
    const int wet = ((line[(w - 2000) & kMask] >> 2) + (line[(w - 4000) & kMask] >> 2) +
                     (line[(w - 6000) & kMask] >> 2) + (line[(w - 8000) & kMask] >> 1) +
                     (line[w] >> 1) + (line[(w - 10000) & kMask] >> 3)) >>
                    2;
    // 16-bit wrap-around, no clipping.
    return static_cast<int16_t>(static_cast<uint16_t>(sample + wet));
}

}  // namespace

ReverbStage::ReverbStage(std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {}

int ReverbStage::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    if (byteCount > 0) std::memcpy(buffer_, data, byteCount);
    int16_t* left = delay_[0];
    int16_t* right = delay_[1];
    const int frames = byteCount / 4;
    int w = position_;
    for (int f = 0; f < frames; ++f) {
        const int16_t l = reverbSample(left, w, buffer_[2 * f]);
        const int16_t r = reverbSample(right, w, buffer_[2 * f + 1]);
        left[w] = l;
        right[w] = r;
        buffer_[2 * f] = l;
        buffer_[2 * f + 1] = r;
        w = (w + 1) & kMask;
    }
    position_ = w;
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), byteCount);
}
