#include "tests/names/musicbrainzjson.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

Json creditJson(const Credit& credit) {
    Json parts = Json::array();
    for (const auto& [name, join] : credit)
        parts.push_back({{"name", name}, {"joinphrase", join}, {"artist", {{"name", name}, {"sort-name", name}}}});
    return parts;
}

Json textOrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

}  // namespace

Credit creditOf(const std::string& artist) { return {{artist, ""}}; }

FakeMedium mediumOf(const std::string& discId, const std::vector<std::string>& titles) {
    FakeMedium medium;
    medium.discIds = {discId};
    for (size_t i = 0; i < titles.size(); ++i) medium.tracks.push_back({titles[i], {}, "rec-" + std::to_string(i + 1)});
    return medium;
}

FakeRelease sampleAlbum(const std::string& discId) {
    FakeRelease release;
    release.id = "rel-album";
    release.title = "Some Disc";
    release.credit = {{"Ann", " & "}, {"Bob", ""}};
    release.date = "2007-10-10";
    release.country = "GB";
    release.barcode = "0123456789012";
    release.media = {mediumOf(discId, {"Intro", "Middle", "End"})};
    return release;
}

std::string musicBrainzJson(const std::string& discId, const std::vector<FakeRelease>& releases) {
    Json list = Json::array();
    for (const FakeRelease& release : releases) {
        Json media = Json::array();
        int position = 0;
        for (const FakeMedium& medium : release.media) {
            Json discs = Json::array();
            for (const std::string& id : medium.discIds) discs.push_back({{"id", id}, {"sectors", 45000}});
            Json tracks = Json::array();
            int number = 0;
            for (const FakeTrack& track : medium.tracks) {
                ++number;
                Json recording = {{"id", track.recordingId}, {"title", track.title}, {"length", 180000}};
                Json entry = {{"id", "track-" + std::to_string(number)},
                              {"number", std::to_string(number)},
                              {"position", number},
                              {"title", track.title},
                              {"recording", recording}};
                if (!track.credit.empty()) {
                    entry["artist-credit"] = creditJson(track.credit);
                    entry["recording"]["artist-credit"] = creditJson(track.credit);
                }
                tracks.push_back(entry);
            }
            media.push_back({{"position", ++position},
                             {"format", "CD"},
                             {"track-count", medium.tracks.size()},
                             {"discs", discs},
                             {"tracks", tracks}});
        }
        list.push_back({{"id", release.id},
                        {"title", release.title},
                        {"status", "Official"},
                        {"artist-credit", creditJson(release.credit)},
                        {"date", textOrNull(release.date)},
                        {"country", textOrNull(release.country)},
                        {"barcode", textOrNull(release.barcode)},
                        {"media", media}});
    }
    Json answer = {{"id", discId}, {"sectors", 45000}, {"offset-count", 3}, {"releases", list}};
    return answer.dump(2);
}
