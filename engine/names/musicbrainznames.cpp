#include "engine/names/musicbrainznames.h"

#include "engine/control/textencoding.h"

namespace {

constexpr const char* kVariousArtists = "Various Artists";

// Cut to `limit` characters, between characters, so that a long name
// stays UTF-8.
std::string shortened(const std::string& text, std::size_t limit) {
    return text.substr(0, characterPrefix(text, limit));
}

void storeIfGiven(char (&name)[kNameCapacity], const std::string& text) {
    if (!text.empty()) storeName(name, text.data(), text.size());
}

// The disc number must survive the cut to the name's capacity.
std::string discTitle(const MusicBrainzRelease& release) {
    if (release.mediumCount < 2 || release.title.empty()) return release.title;
    std::string suffix = " (disc " + std::to_string(release.mediumPosition) + ")";
    return shortened(release.title, kNameCharacters - suffix.size()) + suffix;
}

// On a compilation each track names its own artist; elsewhere a guest's
// name in every title would only lengthen the file names.
std::string trackName(const MusicBrainzRelease& release, const MusicBrainzTrack& track) {
    if (release.artist != kVariousArtists || track.artist.empty() || track.artist == release.artist ||
        track.title.empty())
        return track.title;
    return track.artist + " / " + track.title;
}

}  // namespace

int namesFromRelease(const MusicBrainzRelease& release, const DiscLayout& session, DiscNames& names,
                     std::string& reason) {
    int discTracks = session.lastTrack - session.firstTrack + 1;
    if (static_cast<int>(release.tracks.size()) < discTracks) {
        reason = "the medium has " + std::to_string(release.tracks.size()) + " tracks, the disc " +
                 std::to_string(discTracks);
        return 1;
    }
    storeIfGiven(names.discTitle, discTitle(release));
    storeIfGiven(names.discArtist, release.artist);
    for (int track = session.firstTrack; track <= session.lastTrack; ++track)
        storeIfGiven(names.trackTitles[track - 1], trackName(release, release.tracks[track - session.firstTrack]));
    return 0;
}

std::string releaseLine(const MusicBrainzRelease& release, int number, bool chosen) {
    // Room for the longest name the table holds, not for a hostile one.
    constexpr std::size_t kShown = kNameCharacters;
    std::string details;
    auto add = [&details](const std::string& part) { details += (details.empty() ? "" : ", ") + part; };
    if (release.date.size() >= 4) add(release.date.substr(0, 4));
    if (!release.country.empty()) add(shortened(release.country, kShown));
    if (!release.barcode.empty()) add("barcode " + shortened(release.barcode, kShown));
    std::string line = (chosen ? "* " : "  ") + std::to_string(number) + ") " + shortened(release.artist, kShown) +
                       " - " + shortened(discTitle(release), kShown);
    if (!details.empty()) line += " (" + details + ")";
    return line;
}
