#include "engine/pipeline/compressorexpander.h"

#include "engine/pipeline/sampleclamp.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

CompressorExpander::CompressorExpander(double exponent, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), exponent_(exponent) {}

int CompressorExpander::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    if (byteCount > 0) std::memcpy(buffer_, data, byteCount);
    const double p = exponent_;
    const double scale = p > 0 ? 1 / (p + 3) : 1.0;
    // A full-scale window (64 x 32768) has level 20.
    const double levelPerMagnitude = 10.0 / 1048576.0;
    const int frames = byteCount / 4;
    int k = position_;
    for (int f = 0; f < frames; ++f) {
        for (int channel = 0; channel < 2; ++channel) {
            Window& window = windows_[channel];
            const int16_t sample = buffer_[2 * f + channel];
            window.magnitudeSum -= std::abs(window.ring[k]);
            window.ring[k] = sample;
            window.magnitudeSum += std::abs(sample);
            const double level = window.magnitudeSum * levelPerMagnitude;
            // A silent window means the sample itself is 0; ln(0) must not reach exp.
            buffer_[2 * f + channel] =
                level == 0.0 ? 0 : truncateClamp(scale * std::exp(p * std::log(level)) * sample);
        }
        k = (k + 1) % kWindow;
    }
    position_ = k;
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), byteCount);
}
