// MP3 encoding of a whole virtual disc at 192 kbps: volta against the lame
// command-line program on the same audio and settings, and, from a drive
// that reads at 40x, how well reading and encoding overlap.
//
//   bench_encoding [minutes]

#include "benchdisc.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSectorBytes = 2352;
constexpr int kFramesPerSector = 588;
constexpr int kSectorsPerSecond = 75;
constexpr int kTracks = 10;
constexpr int kDefaultMinutes = 31;

// Runs `argv` in `cwd` with its output thrown away; the seconds it took, or
// a negative value when it failed.
double timeRun(const std::vector<std::string>& argv, const std::string& cwd, const std::string& images) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = launchQuiet(argv, cwd, images);
    if (child < 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// The fastest of `runs`: the machine is shared, and a slow run says more
// about the neighbours than about the program.
double fastest(int runs, const std::vector<std::string>& argv, const std::string& cwd,
               const std::string& images) {
    double best = -1;
    for (int i = 0; i < runs; ++i) {
        const double seconds = timeRun(argv, cwd, images);
        if (seconds < 0) return -1;
        if (best < 0 || seconds < best) best = seconds;
    }
    return best;
}

// Music-like audio: a few drifting tones with some noise, so that the
// encoder works as hard as on a real disc.
void writeImage(const fs::path& dir, int sectors) {
    std::ofstream bin(dir / "disc.bin", std::ios::binary);
    std::vector<int16_t> sector(2 * kFramesPerSector);
    uint32_t noise = 0x9E3779B9u;
    double phase[4] = {};
    const double step[4] = {2 * M_PI * 220 / 44100, 2 * M_PI * 331 / 44100, 2 * M_PI * 1250 / 44100,
                            2 * M_PI * 4400 / 44100};
    for (int s = 0; s < sectors; ++s) {
        const double drift = 1 + 0.05 * std::sin(s / 750.0);
        for (int f = 0; f < kFramesPerSector; ++f) {
            double value[4];
            for (int k = 0; k < 4; ++k) {
                phase[k] = std::fmod(phase[k] + step[k] * drift, 2 * M_PI);
                value[k] = std::sin(phase[k]);
            }
            noise = noise * 1664525u + 1013904223u;
            const double hiss = static_cast<int32_t>(noise) / 2147483648.0 * 1500;
            sector[2 * f] = static_cast<int16_t>(9000 * value[0] + 6000 * value[2] + 2000 * value[3] + hiss);
            sector[2 * f + 1] = static_cast<int16_t>(9000 * value[1] + 5000 * value[2] - 2000 * value[3] - hiss);
        }
        bin.write(reinterpret_cast<const char*>(sector.data()), kSectorBytes);
    }
    writeBenchCueSheet(dir, sectors, kTracks);
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = std::max(1, argc > 1 ? std::atoi(argv[1]) : kDefaultMinutes);
    const int sectors = minutes * 60 * kSectorsPerSecond;
    std::string volta;
    fs::path dir;
    if (prepareBench(volta, dir) != 0) return 1;
    writeImage(dir, sectors);
    const std::string cwd = dir.string();
    const std::string disc = (dir / "disc.cue").string();
    const std::string slowDisc = disc + ",speed=40";
    std::printf("disc: %d minutes of audio in %d tracks, MP3 at 192 kbps, stereo\n", minutes, kTracks);

    const double lame = fastest(2, {"lame", "--quiet", "-r", "-s", "44.1", "--bitwidth", "16", "--signed",
                                    "--little-endian", "-m", "s", "-b", "192", "disc.bin", "lame.mp3"},
                                cwd, "");
    const double encoding = fastest(2, {volta, "/eb192", "fast", "@"}, cwd, disc);
    std::printf("lame program: %.2f s   volta: %.2f s (%.1fx real time)\n", lame, encoding,
                minutes * 60 / encoding);
    const double speedRatio = lame > 0 && encoding > 0 ? lame / encoding : 0;
    const bool speedMet = speedRatio >= 0.95;
    std::printf("speed relative to the lame program: %.3f (target >= 0.95): %s\n\n", speedRatio,
                speedMet ? "met" : "MISSED");

    const double reading = timeRun({volta, "/en", "read", "@"}, cwd, slowDisc);
    const double total = timeRun({volta, "/eb192", "slow", "@"}, cwd, slowDisc);
    const double longer = std::max(reading, encoding);
    const double overlapRatio = reading > 0 && total > 0 ? total / longer : 0;
    const bool overlapMet = overlapRatio > 0 && overlapRatio <= 1.15;
    std::printf("speed=40 drive: reading alone %.2f s, encoding alone %.2f s, both %.2f s\n", reading,
                encoding, total);
    std::printf("overlap: total / max(reading, encoding) = %.3f (target <= 1.15): %s\n", overlapRatio,
                overlapMet ? "met" : "MISSED");
    fs::remove_all(dir);
    return speedMet && overlapMet ? 0 : 1;
}
