#include "engine/pipeline/gainstage.h"

#include "engine/pipeline/sampleclamp.h"

#include <cmath>
#include <cstring>

GainStage::GainStage(double gainDb, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), factor_(std::pow(10.0, 0.05 * gainDb)) {}

int GainStage::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    if (byteCount > 0) std::memcpy(buffer_, data, byteCount);
    const double factor = factor_;
    const int samples = byteCount / 2;
    for (int i = 0; i < samples; ++i) buffer_[i] = truncateClamp(buffer_[i] * factor);
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), byteCount);
}
