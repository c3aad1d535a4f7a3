#pragma once
// What the benchmarks that run volta on a disc image of their own share.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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
