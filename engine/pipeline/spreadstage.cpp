#include "engine/pipeline/spreadstage.h"

#include "engine/pipeline/sampleclamp.h"

#include <cmath>
#include <cstring>

SpreadStage::SpreadStage(double amount, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), mix_(amount / 2), direct_(1 - std::fabs(amount / 2)) {}

int SpreadStage::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    if (byteCount > 0) std::memcpy(buffer_, data, byteCount);
    const double m = mix_, d = direct_;
    const int frames = byteCount / 4;
    for (int f = 0; f < frames; ++f) {
        const double left = buffer_[2 * f];
        const double right = buffer_[2 * f + 1];
        buffer_[2 * f] = truncateClamp(left * d + right * m);
        buffer_[2 * f + 1] = truncateClamp(right * d + left * m);
    }
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), byteCount);
}
