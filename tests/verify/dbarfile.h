#pragma once

#include "engine/verify/discid.h"

#include <cstdint>
#include <string>
#include <vector>

// The bytes of AccurateRip database answers, built by tests.

struct DbarEntry {
    int confidence = 0;
    uint32_t checksum = 0;
    uint32_t frame450 = 0;
};

inline void appendLittleEndian32(std::string& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(value >> shift & 0xFF);
}

// One submission for the disc `id`: its header, then one entry per track.
inline std::string dbarSubmission(const AccurateRipId& id, const std::vector<DbarEntry>& entries) {
    std::string bytes(1, static_cast<char>(entries.size()));
    appendLittleEndian32(bytes, id.id1);
    appendLittleEndian32(bytes, id.id2);
    appendLittleEndian32(bytes, id.cddb);
    for (const DbarEntry& entry : entries) {
        bytes += static_cast<char>(entry.confidence);
        appendLittleEndian32(bytes, entry.checksum);
        appendLittleEndian32(bytes, entry.frame450);
    }
    return bytes;
}
