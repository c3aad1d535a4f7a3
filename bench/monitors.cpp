// Cost of drawing one block in the monitor windows, as a share of the
// block's playing time on one core: the spectrum's direct transform
// (128 × 128 sine and cosine pairs) and the oscilloscope's trace.

#include "engine/output/monitors/monitorcanvas.h"
#include "engine/output/monitors/scopetrace.h"
#include "engine/output/monitors/spectrumlevels.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int kBlockBytes = 2352;  // one sector
constexpr double kBlockSeconds = kBlockBytes / 176400.0;

// Blocks of a tone sweeping upwards, so that levels move on every block.
std::vector<uint8_t> makeBlocks(int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * kBlockBytes);
    double phase = 0;
    for (size_t f = 0; f < bytes.size() / 4; ++f) {
        phase += 2 * M_PI * (200 + f * 0.05) / 44100;
        const auto sample = static_cast<uint16_t>(static_cast<int16_t>(20000 * std::sin(phase)));
        for (int channel = 0; channel < 2; ++channel) {
            bytes[4 * f + 2 * channel] = sample & 0xFF;
            bytes[4 * f + 2 * channel + 1] = sample >> 8;
        }
    }
    return bytes;
}

// The thread's processor time, so that other work on a shared machine does
// not count.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

template <class Picture>
double secondsPerBlock(Picture& picture, const std::vector<uint8_t>& blocks, int count, MonitorCanvas& canvas) {
    const double start = cpuSeconds();
    for (int i = 0; i < count; ++i)
        picture.draw(blocks.data() + static_cast<size_t>(i) * kBlockBytes, kBlockBytes, canvas);
    return (cpuSeconds() - start) / count;
}

void report(const char* name, double seconds, double targetShare) {
    const double share = seconds / kBlockSeconds;
    std::printf("%-28s %8.1f us per block  %5.2f %% of its %.1f ms  (target below %.0f %%)%s\n", name, seconds * 1e6,
                share * 100, kBlockSeconds * 1000, targetShare * 100, share < targetShare ? "" : "  ABOVE TARGET");
}

}  // namespace

int main() {
    constexpr int kBlocks = 2000;
    const std::vector<uint8_t> blocks = makeBlocks(kBlocks);
    auto canvas = std::make_unique<MonitorCanvas>();
    SpectrumLevels spectrum;
    ScopeTrace scope;
    report("spectrum /os (direct DFT)", secondsPerBlock(spectrum, blocks, kBlocks, *canvas), 0.10);
    report("oscilloscope /oc", secondsPerBlock(scope, blocks, kBlocks, *canvas), 0.10);
    return 0;
}
