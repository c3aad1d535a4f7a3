#pragma once

#include <string>
#include <vector>

// Disc images for end-to-end tests: a CUE sheet and one BINARY file written
// into a directory, served by a virtual drive through VOLTA_IMAGES.
//
// Audio sectors carry a tone plus noise derived from the sector address, so
// every sector differs from every other and a copy that is off by even one
// sector compares unequal.

struct TrackSpec {
    int sectors = 0;             // from INDEX 01 on; a following INDEX 00 gap adds to it
    bool data = false;           // MODE1/2352 instead of AUDIO
    bool copyPermitted = false;  // FLAGS DCP
    bool preEmphasis = false;    // FLAGS PRE
    int indexZeroSectors = 0;    // INDEX 00 gap stored in the file before INDEX 01
    std::string title;           // CD-TEXT title; empty: no TITLE line
    std::string performer;       // CD-TEXT performer; empty: no PERFORMER line
};

struct DiscSpec {
    std::vector<TrackSpec> tracks;
    std::string title;          // disc TITLE; empty: none
    std::string performer;      // disc PERFORMER; empty: none
    std::string name = "disc";  // file names: <name>.cue and <name>.bin
    // Audio of a few steady tones with a little noise, as music has,
    // instead of the loud noise that makes every sector unique: what lossy
    // encoders are measured on.
    bool tones = false;
};

// Shorthand for a disc of audio tracks of the given lengths, without CD-TEXT.
DiscSpec audioDisc(const std::vector<int>& trackSectors);

class DiscImage {
public:
    // Writes the sheet and the binary file into `directory`.
    DiscImage(const std::string& directory, const DiscSpec& spec);

    const std::string& cuePath() const { return cuePath_; }
    const std::string& binPath() const { return binPath_; }

    // One VOLTA_IMAGES entry: the sheet path, then the settings if any
    // (for example "shift=2,identity=PLEXTOR  CD-R  PX-W1210").
    std::string imagesEntry(const std::string& settings = "") const;

    // Disc addresses as the drive reports them: a track starts at its INDEX 01
    // and ends where the next one starts; the last ends at the lead-out.
    int trackStart(int track) const;
    int trackEnd(int track) const;
    int leadOut() const { return totalSectors_; }

    // The bytes the image holds for sectors [lba, lba + count), audio
    // samples little-endian, exactly as a faithful copy must reproduce them.
    std::string sectors(int lba, int count) const;

private:
    std::string cuePath_;
    std::string binPath_;
    std::vector<int> starts_;
    int totalSectors_ = 0;
    std::vector<bool> dataSector_;
    bool tones_ = false;
};

// The content of one image sector, computed from its address alone.
std::string audioSectorBytes(int lba);
std::string dataSectorBytes(int lba);
std::string toneSectorBytes(int lba);

// Joins VOLTA_IMAGES entries into the variable's value.
std::string imagesValue(const std::vector<std::string>& entries);
