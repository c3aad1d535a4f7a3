#pragma once
// What the benchmarks that run volta on a disc image of their own share.

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The sheet of a BINARY image of `sectors` sectors cut into `tracks` equal tracks.
inline void writeBenchCueSheet(const std::filesystem::path& dir, int sectors, int tracks) {
    std::ofstream cue(dir / "disc.cue");
    cue << "FILE \"disc.bin\" BINARY\n";
    const int length = sectors / tracks;
    for (int t = 0; t < tracks; ++t) {
        const int start = t * length;
        char line[128];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", t + 1,
                      start / 4500, (start / 75) % 60, start % 75);
        cue << line;
    }
}

// The folder of the running program, where volta is built beside it.
inline std::string programDirectory() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// Every sector differs from every other, as on a real disc, so that sync
// mode's matching finds exactly one place; the samples stay well below full
// scale. Written as disc.bin with its sheet.
inline void writeNoiseImage(const std::filesystem::path& dir, int sectors, int tracks) {
    constexpr int kSectorBytes = 2352;
    std::ofstream bin(dir / "disc.bin", std::ios::binary);
    std::vector<uint8_t> sector(kSectorBytes);
    uint32_t state = 0x9E3779B9u;
    for (int s = 0; s < sectors; ++s) {
        for (int i = 0; i < kSectorBytes; i += 4) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            sector[i] = static_cast<uint8_t>(state);
            sector[i + 1] = static_cast<uint8_t>((state >> 8) & 0x1F);
            sector[i + 2] = static_cast<uint8_t>(state >> 16);
            sector[i + 3] = static_cast<uint8_t>((state >> 24) & 0x1F);
        }
        bin.write(reinterpret_cast<const char*>(sector.data()), kSectorBytes);
    }
    writeBenchCueSheet(dir, sectors, tracks);
}

// volta beside this program and a fresh folder under /tmp for the disc and
// the copies; 1 with a message when either is missing.
inline int prepareBench(std::string& volta, std::filesystem::path& dir) {
    volta = programDirectory() + "/volta";
    if (!std::filesystem::exists(volta)) {
        std::fprintf(stderr, "no volta next to this program (%s)\n", volta.c_str());
        return 1;
    }
    char pattern[] = "/tmp/volta-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    dir = pattern;
    return 0;
}

// Starts `argv` (searched on the PATH) in `cwd` with its output thrown away,
// on the virtual drives of `images` and never on a drive of the machine;
// the child's id, or -1.
inline pid_t launchQuiet(const std::vector<std::string>& argv, const std::string& cwd, const std::string& images) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child != 0) return child;
    if (chdir(cwd.c_str()) != 0) _exit(127);
    if (images.empty())
        unsetenv("VOLTA_IMAGES");
    else
        setenv("VOLTA_IMAGES", images.c_str(), 1);
    unsetenv("VOLTA");
    setenv("VOLTA_NO_REAL_HOSTS", "1", 1);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr) ||
        !freopen("/dev/null", "r", stdin))
        _exit(127);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// What one run of a program cost: the seconds it took (negative when it
// failed) and its peak resident memory.
struct RunCost {
    double seconds = -1;
    long peakKiB = 0;
};

// Runs `argv` as launchQuiet does and waits for it.
inline RunCost measureRun(const std::vector<std::string>& argv, const std::string& cwd, const std::string& images) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = launchQuiet(argv, cwd, images);
    if (child < 0) return {};
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {seconds, usage.ru_maxrss};
}

// The fastest of `runs`, with the largest peak memory of them: the machine
// is shared, and a slow run says more about the neighbours than about the
// program.
inline RunCost fastestRun(int runs, const std::vector<std::string>& argv, const std::string& cwd,
                          const std::string& images) {
    RunCost best;
    for (int i = 0; i < runs; ++i) {
        const RunCost cost = measureRun(argv, cwd, images);
        if (cost.seconds < 0) return {};
        if (best.seconds < 0 || cost.seconds < best.seconds) best.seconds = cost.seconds;
        if (cost.peakKiB > best.peakKiB) best.peakKiB = cost.peakKiB;
    }
    return best;
}

// Music-like audio: a few drifting tones with some noise, so that an
// encoder works as hard as on a real disc. Written as disc.bin with its
// sheet of `tracks` tracks.
inline void writeMusicImage(const std::filesystem::path& dir, int sectors, int tracks) {
    constexpr int kFramesPerSector = 588;
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
        bin.write(reinterpret_cast<const char*>(sector.data()), static_cast<std::streamsize>(sector.size() * 2));
    }
    writeBenchCueSheet(dir, sectors, tracks);
}
