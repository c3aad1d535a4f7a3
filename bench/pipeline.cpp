// Throughput of each processing stage and of the default chain, as a
// multiple of real time on one core.

#include "engine/control/options.h"
#include "engine/output/waveformat.h"
#include "engine/pipeline/biquadfilter.h"
#include "engine/pipeline/compressorexpander.h"
#include "engine/pipeline/gainstage.h"
#include "engine/pipeline/karaokestage.h"
#include "engine/pipeline/nullsink.h"
#include "engine/pipeline/reverbstage.h"
#include "engine/pipeline/spreadstage.h"
#include "engine/pipeline/stagechain.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr int kBlockBytes = 58800;  // 25 sectors, as the extractors hand them
constexpr double kBytesPerSecond = 176400;

// Ten seconds of two detuned tones with a little noise, near full scale.
std::vector<uint8_t> makeSignal() {
    const int frames = 441000;
    std::vector<int16_t> samples(2 * frames);
    uint32_t noise = 1;
    for (int f = 0; f < frames; ++f) {
        noise = noise * 1664525 + 1013904223;
        const double t = f / 44100.0;
        const double jitter = static_cast<int32_t>(noise) / 2147483648.0 * 800;
        samples[2 * f] = static_cast<int16_t>(14000 * std::sin(2 * M_PI * 440 * t) +
                                              9000 * std::sin(2 * M_PI * 1234 * t) + jitter);
        samples[2 * f + 1] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 445 * t) +
                                                  9000 * std::sin(2 * M_PI * 3210 * t) - jitter);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
    return std::vector<uint8_t>(bytes, bytes + samples.size() * 2);
}

// Feeds `seconds` of audio through `chain` and returns the real-time multiple.
double measure(AudioStage& chain, const std::vector<uint8_t>& signal, double seconds) {
    const size_t total = static_cast<size_t>(seconds * kBytesPerSecond);
    const auto start = std::chrono::steady_clock::now();
    if (chain.open() != 0) return 0;
    size_t done = 0, at = 0;
    while (done < total) {
        if (at + kBlockBytes > signal.size()) at = 0;
        if (chain.write(signal.data() + at, kBlockBytes) != 0) return 0;
        at += kBlockBytes;
        done += kBlockBytes;
    }
    if (chain.close() != 0) return 0;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return done / kBytesPerSecond / elapsed.count();
}

void report(const char* name, double multiple, double target) {
    std::printf("%-24s %8.0fx real time  (target %5.0fx)%s\n", name, multiple, target,
                multiple >= target ? "" : "  BELOW TARGET");
}

void benchStage(const char* name, std::unique_ptr<AudioStage> stage, const std::vector<uint8_t>& signal,
                double seconds, double target) {
    report(name, measure(*stage, signal, seconds), target);
}

std::unique_ptr<AudioStage> sink() {
    return std::make_unique<NullSink>();
}

}  // namespace

int main() {
    const std::vector<uint8_t> signal = makeSignal();
    const double seconds = 600;

    benchStage("gain /p3", std::make_unique<GainStage>(3.0, sink()), signal, seconds, 1500);
    benchStage("karaoke /fk", std::make_unique<KaraokeStage>(sink()), signal, seconds, 1500);
    benchStage("spread /fs0.5", std::make_unique<SpreadStage>(0.5, sink()), signal, seconds, 1500);
    benchStage("low-pass /fl1000", std::make_unique<BiquadFilter>(BiquadKind::LowPass, 1000, 0, 0, sink()),
               signal, seconds, 1500);
    benchStage("high-pass /fh", std::make_unique<BiquadFilter>(BiquadKind::HighPass, 2000, 0, 0, sink()),
               signal, seconds, 1500);
    benchStage("high shelf /fq1000,6",
               std::make_unique<BiquadFilter>(BiquadKind::HighShelf, 1000, 0, 6, sink()), signal, seconds, 1500);
    benchStage("low shelf /fz1000,6", std::make_unique<BiquadFilter>(BiquadKind::LowShelf, 1000, 0, 6, sink()),
               signal, seconds, 1500);
    benchStage("peaking /fp1000,1,6",
               std::make_unique<BiquadFilter>(BiquadKind::PeakingOctaves, 1000, 1, 6, sink()), signal, seconds,
               1500);
    benchStage("peaking /ft1000,2,6", std::make_unique<BiquadFilter>(BiquadKind::PeakingQ, 1000, 2, 6, sink()),
               signal, seconds, 1500);
    benchStage("reverb /fr", std::make_unique<ReverbStage>(sink()), signal, seconds, 1000);
    benchStage("compressor /fc0.3", std::make_unique<CompressorExpander>(0.3, sink()), signal, 120, 200);
    benchStage("compressor /fc-0.3", std::make_unique<CompressorExpander>(-0.3, sink()), signal, 120, 200);

    // The default chain writes a real file, in a scratch directory.
    char directory[] = "/tmp/volta-bench-XXXXXX";
    if (!mkdtemp(directory)) return 1;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    setPcmOutputFormat();
    std::unique_ptr<AudioStage> chain = createAudioChain("bench");
    const bool built = chain != nullptr;
    if (built) report("default chain to WAV", measure(*chain, signal, seconds), 3000);
    chain.reset();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(directory);
    if (!built) std::printf("the default chain could not be built\n");
    return built ? 0 : 1;
}
