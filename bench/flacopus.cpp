// FLAC and Opus encoding of a whole virtual disc: volta at level 5 against
// the flac program at -5, and volta at 160 kbps against opusenc at
// --bitrate 160, on the same audio in the same run, with volta's peak
// memory.
//
//   bench_flacopus [minutes]

#include "benchdisc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kSectorsPerSecond = 75;
constexpr int kTracks = 10;
constexpr int kDefaultMinutes = 31;
constexpr int kRuns = 3;
constexpr double kMemoryLimitMiB = 30;

// Prints one comparison; true when volta keeps at least `target` of the
// program's speed.
bool compare(const char* what, const char* program, const RunCost& reference, const RunCost& volta, double target) {
    const double ratio = reference.seconds > 0 && volta.seconds > 0 ? reference.seconds / volta.seconds : 0;
    const bool met = ratio >= target;
    std::printf("%s: %s %.2f s, volta %.2f s, peak %.1f MiB\n", what, program, reference.seconds, volta.seconds,
                volta.peakKiB / 1024.0);
    std::printf("%s: speed relative to %s %.3f (target >= %.2f): %s\n\n", what, program, ratio, target,
                met ? "met" : "MISSED");
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = std::max(1, argc > 1 ? std::atoi(argv[1]) : kDefaultMinutes);
    std::string volta;
    fs::path dir;
    if (prepareBench(volta, dir) != 0) return 1;
    writeMusicImage(dir, minutes * 60 * kSectorsPerSecond, kTracks);
    const std::string cwd = dir.string();
    const std::string disc = (dir / "disc.cue").string();
    std::printf("disc: %d minutes of audio in %d tracks, stereo; fastest of %d runs each\n\n", minutes, kTracks,
                kRuns);

    const RunCost flacProgram = fastestRun(kRuns,
                                           {"flac", "-5", "-s", "-f", "--force-raw-format", "--endian=little",
                                            "--sign=signed", "--channels=2", "--bps=16", "--sample-rate=44100",
                                            "-o", "program.flac", "disc.bin"},
                                           cwd, "");
    const RunCost flacVolta = fastestRun(kRuns, {volta, "/ec", "flac$2di", "@"}, cwd, disc);
    const bool flacMet = compare("FLAC level 5", "the flac program", flacProgram, flacVolta, 1.0);

    const RunCost opusProgram = fastestRun(kRuns,
                                           {"opusenc", "--quiet", "--bitrate", "160", "--raw", "--raw-rate",
                                            "44100", "--raw-chan", "2", "--raw-bits", "16", "disc.bin",
                                            "program.opus"},
                                           cwd, "");
    const RunCost opusVolta = fastestRun(kRuns, {volta, "/eo", "opus$2di", "@"}, cwd, disc);
    const bool opusMet = compare("Opus 160 kbps", "opusenc", opusProgram, opusVolta, 0.95);

    const double peakMiB = std::max(flacVolta.peakKiB, opusVolta.peakKiB) / 1024.0;
    const bool memoryMet = peakMiB > 0 && peakMiB < kMemoryLimitMiB;
    std::printf("volta's peak memory: %.1f MiB (target < %.0f MiB): %s\n", peakMiB, kMemoryLimitMiB,
                memoryMet ? "met" : "MISSED");
    fs::remove_all(dir);
    return flacMet && opusMet && memoryMet ? 0 : 1;
}
