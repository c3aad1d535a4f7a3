#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a CUE sheet says, before any file is opened.

enum class CueFileFormat { Binary, Motorola, Wave };

struct CueFile {
    std::string name;
    CueFileFormat format = CueFileFormat::Binary;
    int line = 0;
};

// A position in one of the sheet's files, in sectors from the file's start.
struct CuePosition {
    int file = -1;  // -1: not given
    int sector = 0;
    int line = 0;
};

struct CueTrack {
    int number = 0;
    bool data = false;  // MODE1/2352
    int flags = 0;      // copy and pre-emphasis CONTROL bits
    int pregap = 0;     // silent sectors not stored in any file, before the track
    int postgap = 0;    // the same after it
    CuePosition index0;
    CuePosition index1;
    std::string title;
    std::string performer;
    int line = 0;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    std::string title;
    std::string performer;
    std::string cdTextFile;
};

struct CueError {
    int line = 0;  // 0: not tied to a line
    std::string reason;
};

// 0 on success; otherwise `error` says where and why.
int parseCueSheet(std::string_view text, CueSheet& sheet, CueError& error);

// Sheet text quoted in an error line, with its control characters written
// as "\xHH": a sheet must not reach the terminal or forge console lines.
std::string escapeControls(std::string_view text);

// The sheet laid out on the disc, once the length of every file is known.

struct DiscSegment {
    int lba = 0;
    int sectors = 0;
    int file = -1;  // -1: silence
    int fileSector = 0;
};

struct DiscTrack {
    int number = 0;
    int control = 0;
    bool data = false;
    int start = 0;   // INDEX 01
    int region = 0;  // first sector that belongs to the track (gap included)
};

struct ImageLayout {
    std::vector<DiscTrack> tracks;
    std::vector<DiscSegment> segments;  // in disc order, without holes
    int leadOut = 0;
};

// `fileSectors[k]`: the length of file k, in whole sectors.
int layOutDisc(const CueSheet& sheet, const std::vector<int>& fileSectors, ImageLayout& layout,
               CueError& error);
