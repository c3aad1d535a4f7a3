#include "engine/control/tracktagging.h"

#include "engine/cddb/cddbclient.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"

#include <cstdio>

namespace {

// Names may come from a server that never went through the name table's
// cleaning: tags get valid UTF-8 without control characters all the same.
std::string tagText(const char* name) {
    std::string text = toUtf8(name);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

}  // namespace

TrackTags tagsForTrack(const CdDrive& drive, int track) {
    TrackTags tags;
    if (track > 0 && track <= kMaxTracks) {
        tags.title = tagText(drive.trackTitles[track - 1]);
        tags.trackNumber = track;
        tags.trackTotal = drive.lastAudioTrack();
    }
    tags.artist = tagText(drive.discArtist);
    tags.album = tagText(drive.discTitle);
    // MusicBrainz names come with the release's whole date.
    const MusicBrainzIds& ids = drive.musicBrainzIds;
    tags.year = ids.releaseDate.empty() ? tagText(drive.discYear) : tagText(ids.releaseDate.c_str());
    tags.musicBrainzAlbumId = tagText(ids.albumId.c_str());
    tags.musicBrainzDiscId = tagText(ids.discId.c_str());
    if (track > 0 && track <= kMaxTracks) tags.musicBrainzTrackId = tagText(ids.recordingIds[track - 1].c_str());
    tags.genre = tagText(drive.discGenre);
    DiscLayout layout;
    if (readDiscLayout(drive, layout) == 0) {
        char id[9];
        std::snprintf(id, sizeof id, "%08x", cddbDiscId(layout));
        tags.cddbDiscId = id;
    }
    return tags;
}
