#include "engine/output/monitors/spectrumlevels.h"

#include <algorithm>
#include <cmath>

double spectrumBinValue(const double* input, int k) {
    double re = 0.0;
    double im = 0.0;
    for (int n = 0; n < SpectrumLevels::kBins; ++n) {
        const double theta = n * k * (M_PI / 4) * -0.0625;
        re += input[n] * std::cos(theta);
        im += input[n] * std::sin(theta);
    }
    return 7.0 * std::log(1.0 + re * re + im * im);
}

bool SpectrumLevels::draw(const uint8_t* data, int byteCount, MonitorCanvas& canvas) {
    if (byteCount < kMinimumBytes) return false;
    for (int n = 0; n < kBins; ++n)
        input[n] = static_cast<int16_t>(static_cast<uint16_t>(data[4 * n] | data[4 * n + 1] << 8));
    for (int k = 0; k < kBins; ++k) {
        const double value = spectrumBinValue(input, k);
        if (k < kDrawnBins) {
            const int row = kBaseline - static_cast<int>(levels[k]);
            canvas.line(8 * k, row, 8 * k + 7, row, MonitorCanvas::kBlack);
        }
        levels[k] = value > levels[k] ? value : std::max(value, levels[k] - kFall);
        if (k < kDrawnBins) {
            const int row = kBaseline - static_cast<int>(levels[k]);
            canvas.line(8 * k, row, 8 * k + 7, row, MonitorCanvas::kWhite);
        }
    }
    return true;
}
