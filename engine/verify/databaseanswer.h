#pragma once

#include "engine/verify/discid.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One submission's word on one track.
struct DatabaseEntry {
    int confidence = 0;  // how many rips agreed
    uint32_t checksum = 0;
    uint32_t frame450 = 0;  // the checksum of frame 450 alone
};

struct DatabaseAnswer {
    int submissions = 0;
    std::vector<std::vector<DatabaseEntry>> tracks;  // by audio track, from 0
};

// Reads the database's dBAR answer for the disc `id`: submissions, each a
// header (track count, the three identifiers as little-endian 32-bit words)
// and per track the confidence byte, the checksum and the checksum of frame
// 450. 0 when the answer is whole and every header is the disc's; otherwise
// `reason` says in a few words what is wrong with it.
int parseDatabaseAnswer(const uint8_t* data, std::size_t size, const AccurateRipId& id, DatabaseAnswer& answer,
                        std::string& reason);

struct TrackVerdict {
    enum Kind { Accurate, NotAccurate, NotInDatabase };
    Kind kind = NotInDatabase;
    int confidence = 0;  // of the entries matched, for Accurate
    int version = 0;     // of the matching checksum, for Accurate
    // The database's entry with the most confidence, unless NotInDatabase.
    uint32_t bestChecksum = 0;
    int bestConfidence = 0;
};

// A track is accurate when either of its checksums is an entry of the
// database for it; the confidence is that of every entry it matches. With no
// answer (null) or no entries for the track, it is not in the database.
TrackVerdict judgeTrack(const DatabaseAnswer* answer, int audioIndex, uint32_t v1, uint32_t v2);

// "accurately ripped (confidence C, vN)", "not accurate (database XXXXXXXX,
// confidence C)" or "not in database".
std::string verdictText(const TrackVerdict& verdict);
