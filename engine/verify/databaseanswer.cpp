#include "engine/verify/databaseanswer.h"

#include "engine/common/byteorder.h"

#include <cstdio>

namespace {

constexpr std::size_t kHeaderBytes = 13;
constexpr std::size_t kEntryBytes = 9;

}  // namespace

int parseDatabaseAnswer(const uint8_t* data, std::size_t size, const AccurateRipId& id, DatabaseAnswer& answer,
                        std::string& reason) {
    answer = DatabaseAnswer();
    if (size == 0) {
        reason = "empty";
        return 1;
    }
    answer.tracks.resize(static_cast<std::size_t>(id.audioTracks));
    std::size_t at = 0;
    while (at < size) {
        if (size - at < kHeaderBytes) {
            reason = "truncated";
            return 1;
        }
        const uint8_t* header = data + at;
        if (header[0] != id.audioTracks || readLittleEndian32(header + 1) != id.id1 ||
            readLittleEndian32(header + 5) != id.id2 || readLittleEndian32(header + 9) != id.cddb) {
            reason = "filed under another disc";
            return 1;
        }
        at += kHeaderBytes;
        std::size_t entryBytes = kEntryBytes * header[0];
        if (size - at < entryBytes) {
            reason = "truncated";
            return 1;
        }
        for (std::vector<DatabaseEntry>& entries : answer.tracks) {
            const uint8_t* entry = data + at;
            entries.push_back({entry[0], readLittleEndian32(entry + 1), readLittleEndian32(entry + 5)});
            at += kEntryBytes;
        }
        ++answer.submissions;
    }
    return 0;
}

TrackVerdict judgeTrack(const DatabaseAnswer* answer, int audioIndex, uint32_t v1, uint32_t v2) {
    TrackVerdict verdict;
    if (!answer || audioIndex < 0 || audioIndex >= static_cast<int>(answer->tracks.size())) return verdict;
    const std::vector<DatabaseEntry>& entries = answer->tracks[static_cast<std::size_t>(audioIndex)];
    if (entries.empty()) return verdict;
    int matchingV1 = 0;
    int matchingV2 = 0;
    bool matchedV1 = false;
    bool matchedV2 = false;
    const DatabaseEntry* best = &entries.front();
    for (const DatabaseEntry& entry : entries) {
        if (entry.checksum == v1) {
            matchedV1 = true;
            matchingV1 += entry.confidence;
        }
        if (entry.checksum == v2) {
            matchedV2 = true;
            matchingV2 += entry.confidence;
        }
        if (entry.confidence > best->confidence) best = &entry;
    }
    verdict.bestChecksum = best->checksum;
    verdict.bestConfidence = best->confidence;
    if (matchedV1 || matchedV2) {
        // The stronger evidence is named; silence has equal checksums.
        bool byV1 = matchedV1 && (!matchedV2 || matchingV1 >= matchingV2);
        verdict.kind = TrackVerdict::Accurate;
        verdict.version = byV1 ? 1 : 2;
        verdict.confidence = byV1 ? matchingV1 : matchingV2;
        return verdict;
    }
    verdict.kind = TrackVerdict::NotAccurate;
    return verdict;
}

std::string verdictText(const TrackVerdict& verdict) {
    char text[80];
    switch (verdict.kind) {
    case TrackVerdict::Accurate:
        std::snprintf(text, sizeof text, "accurately ripped (confidence %d, v%d)", verdict.confidence, verdict.version);
        break;
    case TrackVerdict::NotAccurate:
        std::snprintf(text, sizeof text, "not accurate (database %08X, confidence %d)", verdict.bestChecksum,
                      verdict.bestConfidence);
        break;
    default:
        return "not in database";
    }
    return text;
}
