#pragma once

#include <string>
#include <utility>
#include <vector>

// Disc ID answers as the MusicBrainz web service writes them, for tests.

// Name and join phrase of each credited artist.
using Credit = std::vector<std::pair<std::string, std::string>>;

struct FakeTrack {
    std::string title;
    Credit credit;  // empty: none on the track, the recording's counts
    std::string recordingId;
};

struct FakeMedium {
    std::vector<std::string> discIds;
    std::vector<FakeTrack> tracks;
};

struct FakeRelease {
    std::string id;
    std::string title;
    Credit credit;
    std::string date;  // empty: null
    std::string country;
    std::string barcode;
    std::vector<FakeMedium> media;
};

Credit creditOf(const std::string& artist);

// A medium holding `discId` with tracks titled `titles`; recording IDs
// "rec-1", "rec-2", ...
FakeMedium mediumOf(const std::string& discId, const std::vector<std::string>& titles);

// A release of one disc, "Some Disc" by "Ann & Bob" (2007, GB, barcode
// 0123456789012), whose medium holds `discId` with "Intro", "Middle", "End".
FakeRelease sampleAlbum(const std::string& discId);

std::string musicBrainzJson(const std::string& discId, const std::vector<FakeRelease>& releases);
