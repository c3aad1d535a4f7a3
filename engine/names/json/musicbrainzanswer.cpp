#include "engine/names/json/musicbrainzanswer.h"

#include "engine/drive/cddrive.h"

#include <nlohmann/json.hpp>

#include <exception>

namespace {

using Json = nlohmann::json;

// A failed check leaves its reason here and makes every later step a no-op,
// so the reading below stays a straight line.
class Reader {
public:
    bool failed() const { return !reason.empty(); }

    void fail(const std::string& why) {
        if (reason.empty()) reason = why;
    }

    // A text member; absent or null gives `fallback`, another type fails.
    std::string text(const Json& object, const char* key, const std::string& where, const std::string& fallback = "") {
        auto member = object.find(key);
        if (member == object.end() || member->is_null()) return fallback;
        if (!member->is_string()) {
            fail(where + key + " is not a text");
            return fallback;
        }
        std::string value = member->get_ref<const std::string&>();
        for (char& c : value)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        return value;
    }

    // An array member; absent or null gives nullptr, another type fails.
    const Json* array(const Json& object, const char* key, const std::string& where) {
        auto member = object.find(key);
        if (member == object.end() || member->is_null()) return nullptr;
        if (!member->is_array()) {
            fail(where + key + " is not a list");
            return nullptr;
        }
        return &*member;
    }

    const Json* object(const Json& value, const std::string& where) {
        if (value.is_object()) return &value;
        fail(where + "is not an object");
        return nullptr;
    }

    // Names and join phrases in order, as the credit is printed.
    std::string credit(const Json& owner, const std::string& where, bool& present) {
        const Json* parts = array(owner, "artist-credit", where);
        present = parts != nullptr;
        std::string joined;
        if (!parts) return joined;
        for (const Json& part : *parts) {
            const Json* entry = object(part, where + "artist credit ");
            if (!entry) return joined;
            std::string name = text(*entry, "name", where + "artist credit ");
            if (name.empty()) {
                auto artist = entry->find("artist");
                if (artist != entry->end() && artist->is_object()) name = text(*artist, "name", where + "artist ");
            }
            joined += name + text(*entry, "joinphrase", where + "artist credit ");
        }
        return joined;
    }

    std::string reason;
};

bool holdsDisc(Reader& reader, const Json& medium, std::string_view discId, const std::string& where) {
    const Json* discs = reader.array(medium, "discs", where);
    if (!discs) return false;
    for (const Json& disc : *discs) {
        const Json* entry = reader.object(disc, where + "disc ");
        if (entry && reader.text(*entry, "id", where + "disc ") == discId) return true;
    }
    return false;
}

void readTracks(Reader& reader, const Json& medium, const std::string& where, MusicBrainzRelease& release) {
    const Json* tracks = reader.array(medium, "tracks", where);
    if (!tracks) return;
    for (const Json& track : *tracks) {
        if (release.tracks.size() == kMaxTracks) return;
        std::string at = where + "track " + std::to_string(release.tracks.size() + 1) + ": ";
        const Json* entry = reader.object(track, at);
        if (!entry) return;
        MusicBrainzTrack read;
        bool credited = false;
        read.artist = reader.credit(*entry, at, credited);
        auto recording = entry->find("recording");
        if (recording != entry->end() && !recording->is_null()) {
            const Json* found = reader.object(*recording, at + "recording ");
            if (!found) return;
            read.recordingId = reader.text(*found, "id", at + "recording ");
            read.title = reader.text(*found, "title", at + "recording ");
            if (!credited) read.artist = reader.credit(*found, at + "recording ", credited);
        }
        read.title = reader.text(*entry, "title", at, read.title);
        release.tracks.push_back(std::move(read));
    }
}

void readRelease(Reader& reader, const Json& value, int number, std::string_view discId, MusicBrainzRelease& release) {
    std::string where = "release " + std::to_string(number) + ": ";
    const Json* entry = reader.object(value, where);
    if (!entry) return;
    release.id = reader.text(*entry, "id", where);
    release.title = reader.text(*entry, "title", where);
    bool credited = false;
    release.artist = reader.credit(*entry, where, credited);
    release.date = reader.text(*entry, "date", where);
    release.country = reader.text(*entry, "country", where);
    release.barcode = reader.text(*entry, "barcode", where);
    const Json* media = reader.array(*entry, "media", where);
    if (reader.failed()) return;
    if (!media) return reader.fail(where + "no media");
    release.mediumCount = static_cast<int>(media->size());
    int position = 0;
    for (const Json& medium : *media) {
        ++position;
        std::string at = where + "medium " + std::to_string(position) + ": ";
        const Json* found = reader.object(medium, at);
        if (!found || !holdsDisc(reader, *found, discId, at)) continue;
        release.mediumPosition = position;
        return readTracks(reader, *found, at, release);
    }
    reader.fail(where + "no medium holds the disc");
}

int readAnswer(std::string_view text, std::string_view discId, MusicBrainzAnswer& answer, std::string& reason) {
    Json document = Json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded()) {
        reason = "not JSON";
        return 1;
    }
    Reader reader;
    const Json* top = reader.object(document, "the answer ");
    const Json* releases = top ? reader.array(*top, "releases", "") : nullptr;
    if (!reader.failed() && !releases) reader.fail("no release list");
    if (!reader.failed() && releases->empty()) reader.fail("no releases");
    if (!reader.failed() && releases->size() > kMaxMusicBrainzReleases)
        reader.fail("more than " + std::to_string(kMaxMusicBrainzReleases) + " releases");
    if (!reader.failed()) {
        answer.releases.resize(releases->size());
        for (std::size_t i = 0; i < releases->size() && !reader.failed(); ++i)
            readRelease(reader, (*releases)[i], static_cast<int>(i + 1), discId, answer.releases[i]);
    }
    if (!reader.failed()) return 0;
    answer.releases.clear();
    reason = reader.reason;
    return 1;
}

}  // namespace

int parseMusicBrainzAnswer(std::string_view text, std::string_view discId, MusicBrainzAnswer& answer,
                           std::string& reason) {
    answer.releases.clear();
    // The library reports some faults, and running out of memory, by throwing.
    try {
        return readAnswer(text, discId, answer, reason);
    } catch (const std::exception& error) {
        answer.releases.clear();
        reason = error.what();
        return 1;
    }
}
