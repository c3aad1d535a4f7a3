#pragma once

#include "engine/pipeline/audiostage.h"

enum class BiquadKind { LowPass, HighPass, HighShelf, LowShelf, PeakingOctaves, PeakingQ };

// Already divided by a0.
struct BiquadCoefficients {
    double b0 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

// Second-order recursive filter at 44100 Hz. `width` is the bandwidth in
// octaves or the Q of the peaking kinds; `gainDb` applies to the shelf and
// peaking kinds. Parameters are used as given.
class BiquadFilter : public AudioStage {
public:
    BiquadFilter(BiquadKind kind, double frequency, double width, double gainDb,
                 std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;
    const BiquadCoefficients& coefficients() const { return coefficients_; }

    static constexpr int kBufferBytes = 262144;

private:
    // Previous inputs and outputs of one channel; the outputs unclamped.
    struct ChannelState {
        double x1 = 0.0;
        double x2 = 0.0;
        double y1 = 0.0;
        double y2 = 0.0;
    };

    BiquadCoefficients coefficients_;
    ChannelState left_;
    ChannelState right_;
    int16_t buffer_[kBufferBytes / 2];
};
