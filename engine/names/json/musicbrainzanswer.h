#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What the MusicBrainz database says about one disc ID, reduced to what
// naming and tagging use. Texts are UTF-8 with control characters blanked.
struct MusicBrainzTrack {
    std::string title;
    std::string artist;  // its artist credit as written, joined
    std::string recordingId;
};

struct MusicBrainzRelease {
    std::string id;
    std::string title;
    std::string artist;
    std::string date;  // "2007", "2007-10" or "2007-10-10"; may be empty
    std::string country;
    std::string barcode;
    int mediumCount = 0;
    int mediumPosition = 0;                // the medium that holds the disc
    std::vector<MusicBrainzTrack> tracks;  // that medium's tracks, in order
};

struct MusicBrainzAnswer {
    std::vector<MusicBrainzRelease> releases;
};

// More than any real disc ID is filed under; past this an answer is hostile.
constexpr std::size_t kMaxMusicBrainzReleases = 500;

// Reads the answer to a disc ID lookup. 0 when `text` lists at least one
// release and every release has a medium holding `discId`; otherwise 1
// and `reason` says what is wrong in a few words.
int parseMusicBrainzAnswer(std::string_view text, std::string_view discId, MusicBrainzAnswer& answer,
                           std::string& reason);
