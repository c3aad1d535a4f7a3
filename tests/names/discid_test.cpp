#include "engine/names/musicbrainzdiscid.h"
#include "engine/names/sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string hex(const std::array<uint8_t, 20>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

TEST(Sha1Test, PublishedVectors) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const Case& c : cases) EXPECT_EQ(hex(sha1(c.input)), c.digest) << c.input.size() << " bytes";
}

struct TrackLayout {
    int start;
    bool data;
};

DiscLayout layoutOf(const std::vector<TrackLayout>& tracks, int leadOut) {
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = static_cast<int>(tracks.size());
    for (int t = 1; t <= layout.lastTrack; ++t) {
        layout.trackStart[t] = tracks[t - 1].start;
        layout.trackControl[t] = tracks[t - 1].data ? kControlData : 0;
    }
    layout.leadOut = leadOut;
    return layout;
}

// Expected IDs worked out apart from the engine, from the digest of the
// hexadecimal table of contents.
TEST(MusicBrainzDiscIdTest, AudioEnhancedAndMixedModeDiscs) {
    struct Case {
        const char* what;
        DiscLayout layout;
        const char* id;
    };
    std::vector<TrackLayout> thirteen;
    for (int start : {0, 24896, 53483, 67821, 82944, 97584, 132195, 150060, 180245, 210216, 239444, 268724, 292200})
        thirteen.push_back({start, false});
    const Case cases[] = {
        {"thirteen audio tracks", layoutOf(thirteen, 323853), "2mCkTYcJvf0F5tOsExucezTpGEU-"},
        // The data session starts 11400 sectors after the audio ends at 45000;
        // the ID is that of the three audio tracks alone.
        {"enhanced CD", layoutOf({{0, false}, {17850, false}, {32850, false}, {56400, true}}, 80000),
         "IdM8pMcBeqj5XsPOJ8a5.nerDcI-"},
        {"three audio tracks", layoutOf({{0, false}, {17850, false}, {32850, false}}, 45000),
         "IdM8pMcBeqj5XsPOJ8a5.nerDcI-"},
        {"data track first", layoutOf({{0, true}, {20000, false}, {35000, false}}, 50000),
         "aY5JOC5J_cFGG3727jO9MzaYTOQ-"},
    };
    for (const Case& c : cases) EXPECT_EQ(musicBrainzDiscId(c.layout), c.id) << c.what;
}

TEST(MusicBrainzDiscIdTest, FirstSessionOfEachKindOfDisc) {
    DiscLayout enhanced = firstSession(layoutOf({{0, false}, {17850, false}, {56400, true}}, 80000));
    EXPECT_EQ(enhanced.lastTrack, 2);
    EXPECT_EQ(enhanced.leadOut, 45000);

    DiscLayout mixed = firstSession(layoutOf({{0, true}, {20000, false}}, 50000));
    EXPECT_EQ(mixed.firstTrack, 1);
    EXPECT_EQ(mixed.lastTrack, 2);
    EXPECT_EQ(mixed.leadOut, 50000);

    // Only data, or a data track too close to the music for a session gap:
    // the table stays as it is.
    DiscLayout dataOnly = firstSession(layoutOf({{0, true}}, 30000));
    EXPECT_EQ(dataOnly.lastTrack, 1);
    DiscLayout noGap = firstSession(layoutOf({{0, false}, {5000, true}}, 30000));
    EXPECT_EQ(noGap.lastTrack, 2);
    EXPECT_EQ(noGap.leadOut, 30000);
}

}  // namespace
