#include "engine/names/json/musicbrainzanswer.h"
#include "engine/names/musicbrainznames.h"
#include "tests/names/musicbrainzjson.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kDiscId = "IdM8pMcBeqj5XsPOJ8a5.nerDcI-";

FakeRelease album() { return sampleAlbum(kDiscId); }

TEST(MusicBrainzAnswerTest, ReadsTheReleasesAndTheMediumThatHoldsTheDisc) {
    FakeRelease boxSet = album();
    boxSet.id = "rel-box";
    boxSet.date = "";
    boxSet.country = "";
    boxSet.barcode = "";
    boxSet.media = {mediumOf("other-disc", {"One", "Two"}), mediumOf(kDiscId, {"Uno", "Dos", "Tres"})};
    boxSet.media[1].tracks[1].credit = {{"Guest\x01Star", ""}};

    MusicBrainzAnswer answer;
    std::string reason;
    ASSERT_EQ(parseMusicBrainzAnswer(musicBrainzJson(kDiscId, {album(), boxSet}), kDiscId, answer, reason), 0)
        << reason;
    ASSERT_EQ(answer.releases.size(), 2u);
    const MusicBrainzRelease& first = answer.releases[0];
    EXPECT_EQ(first.id, "rel-album");
    EXPECT_EQ(first.title, "Some Disc");
    EXPECT_EQ(first.artist, "Ann & Bob");
    EXPECT_EQ(first.date, "2007-10-10");
    EXPECT_EQ(first.country, "GB");
    EXPECT_EQ(first.barcode, "0123456789012");
    EXPECT_EQ(first.mediumCount, 1);
    EXPECT_EQ(first.mediumPosition, 1);
    ASSERT_EQ(first.tracks.size(), 3u);
    EXPECT_EQ(first.tracks[2].title, "End");
    EXPECT_EQ(first.tracks[2].recordingId, "rec-3");

    const MusicBrainzRelease& second = answer.releases[1];
    EXPECT_EQ(second.date, "");
    EXPECT_EQ(second.barcode, "");
    EXPECT_EQ(second.mediumCount, 2);
    EXPECT_EQ(second.mediumPosition, 2);
    ASSERT_EQ(second.tracks.size(), 3u);
    EXPECT_EQ(second.tracks[0].title, "Uno");
    EXPECT_EQ(second.tracks[0].artist, "");
    EXPECT_EQ(second.tracks[1].artist, "Guest Star");
}

// The track's own title and credit win; without them the recording's count.
TEST(MusicBrainzAnswerTest, RecordingStandsInForWhatTheTrackLacks) {
    const char* text = R"({"releases": [{"id": "r", "title": "T",
        "artist-credit": [{"artist": {"name": "From Artist"}}],
        "media": [{"discs": [{"id": "IdM8pMcBeqj5XsPOJ8a5.nerDcI-"}], "tracks": [
          {"recording": {"id": "rec", "title": "Recorded", "artist-credit": [{"name": "Singer"}]}},
          {"title": "Own", "artist-credit": [{"name": "Own Artist"}], "recording": {"title": "Recorded"}}]}]}]})";
    MusicBrainzAnswer answer;
    std::string reason;
    ASSERT_EQ(parseMusicBrainzAnswer(text, kDiscId, answer, reason), 0) << reason;
    const MusicBrainzRelease& release = answer.releases[0];
    EXPECT_EQ(release.artist, "From Artist");
    EXPECT_EQ(release.tracks[0].title, "Recorded");
    EXPECT_EQ(release.tracks[0].artist, "Singer");
    EXPECT_EQ(release.tracks[0].recordingId, "rec");
    EXPECT_EQ(release.tracks[1].title, "Own");
    EXPECT_EQ(release.tracks[1].artist, "Own Artist");
}

TEST(MusicBrainzAnswerTest, UnusableAnswersSayWhy) {
    std::string wrongType = musicBrainzJson(kDiscId, {album()});
    wrongType.replace(wrongType.rfind("\"Middle\""), 8, "42");  // the track's own title
    FakeRelease elsewhere = album();
    elsewhere.media = {mediumOf("another-disc", {"A"})};
    std::vector<FakeRelease> crowd(kMaxMusicBrainzReleases + 1, album());
    std::string deep(200000, '[');
    std::string balanced = deep + std::string(deep.size(), ']');

    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"", "not JSON"},
        {"<html>Service Unavailable</html>", "not JSON"},
        {R"({"releases": [)", "not JSON"},
        {"{\"releases\": [{\"title\": \"\xff\"}]}", "not JSON"},
        {deep, "not JSON"},
        {balanced, "the answer is not an object"},
        {"[]", "the answer is not an object"},
        {"{}", "no release list"},
        {R"({"error": "Not Found"})", "no release list"},
        {R"({"releases": 5})", "releases is not a list"},
        {R"({"releases": []})", "no releases"},
        {R"({"releases": [7]})", "release 1: is not an object"},
        {R"({"releases": [{"title": 1, "media": []}]})", "release 1: title is not a text"},
        {R"({"releases": [{"title": "T", "artist-credit": "X", "media": []}]})",
         "release 1: artist-credit is not a list"},
        {R"({"releases": [{"title": "T", "artist-credit": [{"name": ["X"]}], "media": []}]})",
         "release 1: artist credit name is not a text"},
        {R"({"releases": [{"title": "T"}]})", "release 1: no media"},
        {R"({"releases": [{"title": "T", "media": {}}]})", "release 1: media is not a list"},
        {R"({"releases": [{"title": "T", "media": [{"discs": [{"id": 5}]}]}]})",
         "release 1: medium 1: disc id is not a text"},
        {musicBrainzJson(kDiscId, {album(), elsewhere}), "release 2: no medium holds the disc"},
        {wrongType, "release 1: medium 1: track 2: title is not a text"},
        {musicBrainzJson(kDiscId, crowd), "more than 500 releases"},
    };
    for (const Case& c : cases) {
        MusicBrainzAnswer answer;
        std::string reason;
        EXPECT_EQ(parseMusicBrainzAnswer(c.text, kDiscId, answer, reason), 1) << c.reason;
        EXPECT_EQ(reason, c.reason);
        EXPECT_TRUE(answer.releases.empty()) << c.reason;
    }
}

DiscLayout layoutOf(int first, int last) {
    DiscLayout layout;
    layout.firstTrack = first;
    layout.lastTrack = last;
    return layout;
}

MusicBrainzRelease releaseOf(const FakeRelease& fake) {
    MusicBrainzAnswer answer;
    std::string reason;
    EXPECT_EQ(parseMusicBrainzAnswer(musicBrainzJson(kDiscId, {fake}), kDiscId, answer, reason), 0) << reason;
    return answer.releases.empty() ? MusicBrainzRelease{} : answer.releases[0];
}

TEST(MusicBrainzNamesTest, NamesForTheDisc) {
    DiscNames names;
    std::string reason;
    ASSERT_EQ(namesFromRelease(releaseOf(album()), layoutOf(1, 3), names, reason), 0) << reason;
    EXPECT_STREQ(names.discTitle, "Some Disc");
    EXPECT_STREQ(names.discArtist, "Ann & Bob");
    EXPECT_STREQ(names.trackTitles[0], "Intro");
    EXPECT_STREQ(names.trackTitles[2], "End");

    // The second medium of two; a guest on an album keeps the plain title.
    FakeRelease twoDiscs = album();
    twoDiscs.media = {mediumOf("x", {"A"}), mediumOf(kDiscId, {"Uno", "Dos", "Tres"})};
    twoDiscs.media[1].tracks[0].credit = creditOf("Guest");
    DiscNames second;
    ASSERT_EQ(namesFromRelease(releaseOf(twoDiscs), layoutOf(1, 3), second, reason), 0);
    EXPECT_STREQ(second.discTitle, "Some Disc (disc 2)");
    EXPECT_STREQ(second.trackTitles[0], "Uno");

    // A compilation names each track's artist unless it is the release's own.
    FakeRelease various = album();
    various.credit = creditOf("Various Artists");
    various.media[0].tracks[0].credit = creditOf("Ann");
    various.media[0].tracks[2].credit = creditOf("Various Artists");
    DiscNames compilation;
    ASSERT_EQ(namesFromRelease(releaseOf(various), layoutOf(1, 3), compilation, reason), 0);
    EXPECT_STREQ(compilation.trackTitles[0], "Ann / Intro");
    EXPECT_STREQ(compilation.trackTitles[1], "Middle");
    EXPECT_STREQ(compilation.trackTitles[2], "End");
}

TEST(MusicBrainzNamesTest, LongTitlesKeepTheDiscNumberAndShortMediaNameNothing) {
    FakeRelease huge = album();
    huge.title = std::string(1 << 20, 'x');
    huge.media = {mediumOf("x", {"A"}), mediumOf(kDiscId, {"Uno", "Dos", "Tres"})};
    DiscNames names;
    std::string reason;
    ASSERT_EQ(namesFromRelease(releaseOf(huge), layoutOf(1, 3), names, reason), 0);
    std::string title = names.discTitle;
    EXPECT_EQ(title.size(), static_cast<size_t>(kNameCharacters));
    EXPECT_EQ(title.substr(title.size() - 9), " (disc 2)");

    // Tracks 2 to 5 of the disc need four titles: three are not enough.
    DiscNames untouched;
    std::snprintf(untouched.discTitle, sizeof untouched.discTitle, "Disc");
    EXPECT_EQ(namesFromRelease(releaseOf(album()), layoutOf(2, 5), untouched, reason), 1);
    EXPECT_EQ(reason, "the medium has 3 tracks, the disc 4");
    EXPECT_STREQ(untouched.discTitle, "Disc");
}

TEST(MusicBrainzNamesTest, ListingLines) {
    MusicBrainzRelease release = releaseOf(album());
    EXPECT_EQ(releaseLine(release, 1, true), "* 1) Ann & Bob - Some Disc (2007, GB, barcode 0123456789012)");
    release.barcode.clear();
    release.date = "1999";
    EXPECT_EQ(releaseLine(release, 12, false), "  12) Ann & Bob - Some Disc (1999, GB)");
    release.date.clear();
    release.country.clear();
    release.mediumCount = 3;
    release.mediumPosition = 3;
    EXPECT_EQ(releaseLine(release, 2, false), "  2) Ann & Bob - Some Disc (disc 3)");
}

}  // namespace
