#include "engine/pipeline/silencetrimmers.h"

#include <algorithm>
#include <cstring>

namespace {

bool frameIsSilent(const uint8_t* frame) {
    uint32_t value;
    std::memcpy(&value, frame, 4);
    return value == 0;
}

}  // namespace

LeadingSilenceTrimmer::LeadingSilenceTrimmer(std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)) {}

int LeadingSilenceTrimmer::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0) return 1;
    if (byteCount == 0) return 0;
    if (soundSeen_) return AudioStage::write(data, byteCount);
    const int frames = byteCount / 4;
    for (int f = 0; f < frames; ++f) {
        if (!frameIsSilent(data + 4 * f)) {
            soundSeen_ = true;
            return AudioStage::write(data + 4 * f, byteCount - 4 * f);
        }
    }
    return 0;
}

TrailingSilenceTrimmer::TrailingSilenceTrimmer(std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)) {}

int TrailingSilenceTrimmer::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0) return 1;
    int last = byteCount / 4 - 1;
    while (last >= 0 && frameIsSilent(data + 4 * last)) --last;
    if (last < 0) {
        received_ += byteCount;
        return 0;
    }
    uint64_t gap = received_ - emitted_;
    const uint64_t start = received_;
    received_ += byteCount;
    while (gap > 0) {
        const int piece = static_cast<int>(std::min<uint64_t>(gap, kZeroBlockBytes));
        const int result = AudioStage::write(zeros_, piece);
        if (result != 0) return result;
        gap -= piece;
    }
    const int kept = 4 * last + 4;
    emitted_ = start + kept;
    return AudioStage::write(data, kept);
}
