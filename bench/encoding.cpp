// MP3 encoding of a whole virtual disc at 192 kbps: volta against the lame
// command-line program on the same audio and settings, and, from a drive
// that reads at 40x, how well reading and encoding overlap.
//
//   bench_encoding [minutes]

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

}  // namespace

int main(int argc, char** argv) {
    const int minutes = std::max(1, argc > 1 ? std::atoi(argv[1]) : kDefaultMinutes);
    const int sectors = minutes * 60 * kSectorsPerSecond;
    std::string volta;
    fs::path dir;
    if (prepareBench(volta, dir) != 0) return 1;
    writeMusicImage(dir, sectors, kTracks);
    const std::string cwd = dir.string();
    const std::string disc = (dir / "disc.cue").string();
    const std::string slowDisc = disc + ",speed=40";
    std::printf("disc: %d minutes of audio in %d tracks, MP3 at 192 kbps, stereo\n", minutes, kTracks);

    const double lame = fastestRun(2, {"lame", "--quiet", "-r", "-s", "44.1", "--bitwidth", "16", "--signed",
                                       "--little-endian", "-m", "s", "-b", "192", "disc.bin", "lame.mp3"},
                                   cwd, "")
                            .seconds;
    const double encoding = fastestRun(2, {volta, "/eb192", "fast", "@"}, cwd, disc).seconds;
    std::printf("lame program: %.2f s   volta: %.2f s (%.1fx real time)\n", lame, encoding,
                minutes * 60 / encoding);
    const double speedRatio = lame > 0 && encoding > 0 ? lame / encoding : 0;
    const bool speedMet = speedRatio >= 0.95;
    std::printf("speed relative to the lame program: %.3f (target >= 0.95): %s\n\n", speedRatio,
                speedMet ? "met" : "MISSED");

    const double reading = measureRun({volta, "/en", "read", "@"}, cwd, slowDisc).seconds;
    const double total = measureRun({volta, "/eb192", "slow", "@"}, cwd, slowDisc).seconds;
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
