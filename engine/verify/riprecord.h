#pragma once

#include "engine/verify/databaseanswer.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Everything a rip log and a cue sheet tell about one run. Names are UTF-8.

struct RipTocEntry {
    int number = 0;
    int control = 0;  // CONTROL bits
    int start = 0;
    int length = 0;
    int pregap = 0;  // sectors of INDEX 00 before the start
};

struct RippedFile {
    std::string name;  // as the log and the cue sheet name it: from their folder
    enum Type { Wave, Binary, Mp3, None } type = Wave;
    int firstSector = 0;  // the disc's sectors it holds
    int endSector = 0;
    bool whole = false;
};

struct RippedTrack {
    int number = 0;
    int file = 0;  // in RipRecord::files
    bool complete = false;
    int missingFrom = 0;  // the first sector not copied, when not complete
    int peak = 0;         // 32768 at full scale
    uint32_t crc32 = 0;
    uint32_t accurateRipV1 = 0;
    uint32_t accurateRipV2 = 0;
    TrackVerdict verdict;
    int retriedReads = 0;
    int failedReads = 0;
    std::vector<std::pair<int, int>> failedSectors;  // first and last of each failed read
};

struct RipRecord {
    std::string program;
    std::string date;
    std::string drive;
    int readOffset = 0;
    std::string mode;
    int readRetries = 0;
    std::vector<RipTocEntry> toc;
    int leadOut = 0;
    bool named = false;
    std::string discTitle;
    std::string discArtist;
    std::vector<std::string> trackTitles;  // by track number, from 1
    std::string accurateRipId;
    std::string databaseLine;
    std::vector<RippedFile> files;
    std::vector<RippedTrack> tracks;
    std::vector<std::string> summary;

    std::string titleOf(int track) const;
};

// The log: the run, the disc, every track copied, the summary, and a last
// line with the SHA-256 of all that comes before it.
std::string composeRipLog(const RipRecord& record);

constexpr const char* kLogChecksumPrefix = "Log checksum: ";

// A cue sheet of the disc as the files hold it: each track's INDEX 01 in the
// file that holds it, its pre-gap as INDEX 00 where a file holds that, else
// as PREGAP silence.
std::string composeCueSheet(const RipRecord& record);
