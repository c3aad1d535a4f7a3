#pragma once
// What the benchmarks that run volta on a disc image of their own share.

#include <sys/types.h>
#include <unistd.h>

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
