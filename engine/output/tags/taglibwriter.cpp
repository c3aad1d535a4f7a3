#include "engine/output/tags/tagwriter.h"

#include <asffile.h>
#include <flacfile.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <opusfile.h>
#include <textidentificationframe.h>
#include <tstring.h>
#include <uniquefileidentifierframe.h>
#include <xiphcomment.h>

#include <cstdlib>

namespace {

TagLib::String text(const std::string& value) { return TagLib::String(value, TagLib::String::UTF8); }

// "n/total" where ID3v2 has one field for both.
std::string trackText(const TrackTags& tags) {
    std::string number = std::to_string(tags.trackNumber);
    return tags.trackTotal > 0 ? number + "/" + std::to_string(tags.trackTotal) : number;
}

// Frames are made by hand in UTF-8: TagLib's default text encoding is one
// setting for the whole process.
// A tag an external encoder wrote already keeps one frame of each kind:
// ours replaces its.
void addFrame(TagLib::ID3v2::Tag& tag, const char* id, const std::string& value) {
    if (value.empty()) return;
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id), TagLib::String::UTF8);
    frame->setText(text(value));
    tag.addFrame(frame);
}

void addUserFrame(TagLib::ID3v2::Tag& tag, const char* description, const std::string& value) {
    if (value.empty()) return;
    if (auto* old = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, description)) tag.removeFrame(old);
    tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(description, text(value)));
}

int writeId3v2(const char* path, const TrackTags& tags) {
    TagLib::MPEG::File file(path, false);
    if (!file.isValid()) return 1;
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
    addFrame(tag, "TIT2", tags.title);
    addFrame(tag, "TPE1", tags.artist);
    addFrame(tag, "TALB", tags.album);
    if (tags.trackNumber > 0) addFrame(tag, "TRCK", trackText(tags));
    addFrame(tag, "TDRC", tags.year);
    addFrame(tag, "TCON", tags.genre);
    addUserFrame(tag, "CDDB DiscID", tags.cddbDiscId);
    addUserFrame(tag, "MusicBrainz Album Id", tags.musicBrainzAlbumId);
    addUserFrame(tag, "MusicBrainz Disc Id", tags.musicBrainzDiscId);
    if (!tags.musicBrainzTrackId.empty())
        tag.addFrame(new TagLib::ID3v2::UniqueFileIdentifierFrame(
            "http://musicbrainz.org", TagLib::ByteVector(tags.musicBrainzTrackId.data(),
                                                         static_cast<unsigned>(tags.musicBrainzTrackId.size()))));
    // Only the ID3v2 tag is written: an ID3v1 tag at the end stays as it is.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate)
               ? 0
               : 1;
}

void addField(TagLib::Ogg::XiphComment& comments, const char* key, const std::string& value) {
    if (!value.empty()) comments.addField(key, text(value), true);
}

void fillComments(TagLib::Ogg::XiphComment& comments, const TrackTags& tags) {
    addField(comments, "TITLE", tags.title);
    addField(comments, "ARTIST", tags.artist);
    addField(comments, "ALBUM", tags.album);
    if (tags.trackNumber > 0) addField(comments, "TRACKNUMBER", std::to_string(tags.trackNumber));
    if (tags.trackTotal > 0) addField(comments, "TRACKTOTAL", std::to_string(tags.trackTotal));
    addField(comments, "DATE", tags.year);
    addField(comments, "GENRE", tags.genre);
    addField(comments, "CDDB_DISCID", tags.cddbDiscId);
    addField(comments, "MUSICBRAINZ_ALBUMID", tags.musicBrainzAlbumId);
    addField(comments, "MUSICBRAINZ_TRACKID", tags.musicBrainzTrackId);
    addField(comments, "MUSICBRAINZ_DISCID", tags.musicBrainzDiscId);
    addField(comments, "ACCURATERIPDISCID", tags.accurateRipDiscId);
    addField(comments, "ACCURATERIPRESULT", tags.accurateRipResult);
    addField(comments, "ACCURATERIPCHECKSUMS", tags.accurateRipChecksums);
}

int writeFlacComments(const char* path, const TrackTags& tags) {
    TagLib::FLAC::File file(path, false);
    if (!file.isValid()) return 1;
    fillComments(*file.xiphComment(true), tags);
    return file.save() ? 0 : 1;
}

int writeOpusComments(const char* path, const TrackTags& tags) {
    TagLib::Ogg::Opus::File file(path, false);
    if (!file.isValid() || !file.tag()) return 1;
    fillComments(*file.tag(), tags);
    return file.save() ? 0 : 1;
}

int writeAsf(const char* path, const TrackTags& tags) {
    TagLib::ASF::File file(path, false);
    if (!file.isValid() || !file.tag()) return 1;
    TagLib::ASF::Tag& tag = *file.tag();
    if (!tags.title.empty()) tag.setTitle(text(tags.title));
    if (!tags.artist.empty()) tag.setArtist(text(tags.artist));
    if (!tags.album.empty()) tag.setAlbum(text(tags.album));
    if (tags.trackNumber > 0) tag.setTrack(static_cast<unsigned>(tags.trackNumber));
    if (!tags.genre.empty()) tag.setGenre(text(tags.genre));
    if (!tags.year.empty()) tag.setYear(static_cast<unsigned>(std::atoi(tags.year.c_str())));
    for (const auto& [name, value] : {std::pair{"MusicBrainz/Album Id", &tags.musicBrainzAlbumId},
                                      std::pair{"MusicBrainz/Track Id", &tags.musicBrainzTrackId},
                                      std::pair{"MusicBrainz/Disc Id", &tags.musicBrainzDiscId}})
        if (!value->empty()) tag.setAttribute(name, TagLib::ASF::Attribute(text(*value)));
    return file.save() ? 0 : 1;
}

}  // namespace

extern "C" int voltaWriteTags(const char* path, RichTags kind, const TrackTags& tags) {
    // TagLib allocates with new: running out of memory is the one way it
    // throws, and it ends here.
    try {
        switch (kind) {
            case RichTags::Id3v2: return writeId3v2(path, tags);
            case RichTags::Asf: return writeAsf(path, tags);
            case RichTags::FlacComments: return writeFlacComments(path, tags);
            case RichTags::OpusComments: return writeOpusComments(path, tags);
            case RichTags::None: return 0;
        }
    } catch (...) {
    }
    return 1;
}
