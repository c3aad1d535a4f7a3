// The AccurateRip database's answer comes over the network: any bytes must
// either be refused with a reason or give every track of the disc entries
// that judging can use.

#include <cstddef>
#include <cstdint>

#include "engine/common/byteorder.h"
#include "engine/verify/databaseanswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The disc is the one the first header names, so that answers get past
    // the header check as often as they fail it.
    AccurateRipId id;
    if (size >= 13) {
        id.audioTracks = data[0];
        id.id1 = readLittleEndian32(data + 1);
        id.id2 = readLittleEndian32(data + 5);
        id.cddb = readLittleEndian32(data + 9);
    }
    DatabaseAnswer answer;
    std::string reason;
    if (parseDatabaseAnswer(data, size, id, answer, reason) != 0) {
        if (reason.empty()) __builtin_trap();
        return 0;
    }
    if (static_cast<int>(answer.tracks.size()) != id.audioTracks) __builtin_trap();
    for (int track = 0; track <= id.audioTracks; ++track) {
        if (track < id.audioTracks && static_cast<int>(answer.tracks[track].size()) != answer.submissions)
            __builtin_trap();
        TrackVerdict verdict = judgeTrack(&answer, track, 0x12345678, 0x9ABCDEF0);
        if (verdictText(verdict).empty()) __builtin_trap();
    }
    return 0;
}
