#pragma once

#include <string>

// What the tags of one output file say, whatever format holds them: text
// in valid UTF-8 without control characters; an empty text or 0 where
// nothing is known, which no tag then mentions.
struct TrackTags {
    std::string title;
    std::string artist;
    std::string album;
    int trackNumber = 0;
    int trackTotal = 0;
    std::string year;
    std::string genre;
    std::string cddbDiscId;  // eight lower-case hex digits
    // The release, the recording and the disc ID of names from MusicBrainz.
    std::string musicBrainzAlbumId;
    std::string musicBrainzTrackId;
    std::string musicBrainzDiscId;
    // What /verify proved of the track's copy: the disc's AccurateRip ID,
    // the verdict and the checksums, as the console gives them.
    std::string accurateRipDiscId;
    std::string accurateRipResult;
    std::string accurateRipChecksums;
};

// The formats that hold a whole TrackTags.
enum class RichTags {
    None,
    Id3v2,         // an ID3v2.4 tag at the start of an MP3 file
    Asf,           // the content description of a Windows Media file
    FlacComments,  // the Vorbis comment block of a FLAC file
    OpusComments,  // the comment header of an Ogg Opus stream
};
