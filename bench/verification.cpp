// The cost of /verify: a 40-minute disc ripped to WAV in burst mode with
// the AccurateRip checksums, the CRC32, the rip log and the cue sheet, and
// the same rip without them, taking turns so that both meet the same load.
// The database is a closed port here, so its answer costs what a refused
// connection does. Unthrottled, the virtual drive reads as fast as memory
// copies, which leaves nothing to hide the checksums behind but the other
// processor core; a drive speed (72 for the fastest drives) shows the cost
// where a drive sets the pace.
//
//   bench_verification [minutes [drive speed]]

#include "benchdisc.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSectorsPerSecond = 75;
constexpr int kTracks = 12;
constexpr int kDefaultMinutes = 40;
constexpr int kRounds = 3;
constexpr double kTarget = 0.9;

// Everything but the disc goes between runs, so that no run pays for the
// files of another.
void clearOutputs(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name != "disc.bin" && name != "disc.cue") fs::remove(entry.path());
    }
}

}  // namespace

int main(int argc, char** argv) {
    int minutes = argc > 1 ? std::atoi(argv[1]) : kDefaultMinutes;
    if (minutes < 1) minutes = 1;
    std::string speed = argc > 2 ? argv[2] : "";
    std::string volta;
    fs::path dir;
    if (prepareBench(volta, dir) != 0) return 1;
    int sectors = minutes * 60 * kSectorsPerSecond;
    writeNoiseImage(dir, sectors, kTracks);
    setenv("VOLTA_ACCURATERIP_URL", "http://127.0.0.1:1", 1);
    std::string images = (dir / "disc.cue").string() + (speed.empty() ? "" : ",speed=" + speed);
    std::printf("disc: %d minutes, %d tracks, drive %s; burst mode to WAV, fastest of %d runs each\n", minutes,
                kTracks, speed.empty() ? "unthrottled" : (speed + "x").c_str(), kRounds);

    double plain = -1;
    double verified = -1;
    for (int round = 0; round < kRounds; ++round) {
        ::sync();
        double without = measureRun({volta, "/mb", "t", "@"}, dir.string(), images).seconds;
        clearOutputs(dir);
        ::sync();
        // Exit code 0: the database is unreachable, which leaves the rip's own.
        double with = measureRun({volta, "/mb", "/verify", "t", "@"}, dir.string(), images).seconds;
        clearOutputs(dir);
        if (without < 0 || with < 0) {
            std::printf("a rip failed\n");
            fs::remove_all(dir);
            return 1;
        }
        if (plain < 0 || without < plain) plain = without;
        if (verified < 0 || with < verified) verified = with;
    }
    double ratio = plain / verified;
    std::printf("without /verify: %.2f s\nwith /verify:    %.2f s\nspeed ratio:     %.3f (target >= %.1f): %s\n",
                plain, verified, ratio, kTarget, ratio >= kTarget ? "met" : "MISSED");
    fs::remove_all(dir);
    return ratio >= kTarget ? 0 : 1;
}
