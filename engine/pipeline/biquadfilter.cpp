#include "engine/pipeline/biquadfilter.h"

#include "engine/pipeline/sampleclamp.h"

#include <cmath>
#include <cstring>

namespace {

BiquadCoefficients computeCoefficients(BiquadKind kind, long double frequency, long double width,
                                       long double gainDb) {
    const long double w0 = std::atan(1.0L) * frequency * (8.0L / 44100.0L);
    const long double c = std::cos(w0);
    const long double s = std::sin(w0);
    const long double a = std::pow(10.0L, 0.025L * gainDb);
    long double b0 = 0, b1 = 0, b2 = 0, a0 = 1, a1 = 0, a2 = 0;
    switch (kind) {
    case BiquadKind::LowPass: {
        const long double alpha = s / 2;
        b0 = (1 - c) / 2;
        b1 = 1 - c;
        b2 = (1 - c) / 2;
        a0 = 1 + alpha;
        a1 = -2 * c;
        a2 = 1 - alpha;
        break;
    }
    case BiquadKind::HighPass: {
        const long double alpha = s / 2;
        b0 = (1 + c) / 2;
        b1 = -(1 + c);
        b2 = (1 + c) / 2;
        a0 = 1 + alpha;
        a1 = -2 * c;
        a2 = 1 - alpha;
        break;
    }
    case BiquadKind::HighShelf: {
        const long double beta = std::sqrt(a * a + 1 - (a - 1) * (a - 1));
        b0 = a * ((a + 1) + (a - 1) * c + beta * s);
        b1 = -2 * a * ((a - 1) + (a + 1) * c);
        b2 = a * ((a + 1) + (a - 1) * c - beta * s);
        a0 = (a + 1) - (a - 1) * c + beta * s;
        a1 = 2 * ((a - 1) - (a + 1) * c);
        a2 = (a + 1) - (a - 1) * c - beta * s;
        break;
    }
    case BiquadKind::LowShelf: {
        const long double beta = std::sqrt(a * a + 1 - (a - 1) * (a - 1));
        b0 = a * ((a + 1) - (a - 1) * c + beta * s);
        b1 = 2 * a * ((a - 1) - (a + 1) * c);
        b2 = a * ((a + 1) - (a - 1) * c - beta * s);
        a0 = (a + 1) + (a - 1) * c + beta * s;
        a1 = -2 * ((a - 1) + (a + 1) * c);
        a2 = (a + 1) + (a - 1) * c - beta * s;
        break;
    }
    case BiquadKind::PeakingOctaves:
    case BiquadKind::PeakingQ: {
        const long double alpha = kind == BiquadKind::PeakingOctaves
                                      ? s * std::sinh(std::log(2.0L) / 2 * width * w0 / s)
                                      : s / (2 * width);
        b0 = 1 + alpha * a;
        b1 = -2 * c;
        b2 = 1 - alpha * a;
        a0 = 1 + alpha / a;
        a1 = -2 * c;
        a2 = 1 - alpha / a;
        break;
    }
    }
    return {static_cast<double>(b0 / a0), static_cast<double>(b1 / a0), static_cast<double>(b2 / a0),
            static_cast<double>(a1 / a0), static_cast<double>(a2 / a0)};
}

}  // namespace

BiquadFilter::BiquadFilter(BiquadKind kind, double frequency, double width, double gainDb,
                           std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), coefficients_(computeCoefficients(kind, frequency, width, gainDb)) {}

int BiquadFilter::write(const uint8_t* data, int byteCount) {
    if (byteCount < 0 || byteCount > kBufferBytes) return 1;
    if (byteCount > 0) std::memcpy(buffer_, data, byteCount);
    const double b0 = coefficients_.b0, b1 = coefficients_.b1, b2 = coefficients_.b2;
    const double a1 = coefficients_.a1, a2 = coefficients_.a2;
    // Locals let the compiler keep both channels' recursions in registers.
    ChannelState l = left_, r = right_;
    const int frames = byteCount / 4;
    for (int f = 0; f < frames; ++f) {
        const double xl = buffer_[2 * f];
        const double yl = b0 * xl + b1 * l.x1 + b2 * l.x2 - a1 * l.y1 - a2 * l.y2;
        l.x2 = l.x1;
        l.x1 = xl;
        l.y2 = l.y1;
        l.y1 = yl;
        buffer_[2 * f] = truncateClamp(yl);

        const double xr = buffer_[2 * f + 1];
        const double yr = b0 * xr + b1 * r.x1 + b2 * r.x2 - a1 * r.y1 - a2 * r.y2;
        r.x2 = r.x1;
        r.x1 = xr;
        r.y2 = r.y1;
        r.y1 = yr;
        buffer_[2 * f + 1] = truncateClamp(yr);
    }
    left_ = l;
    right_ = r;
    return AudioStage::write(reinterpret_cast<const uint8_t*>(buffer_), byteCount);
}
