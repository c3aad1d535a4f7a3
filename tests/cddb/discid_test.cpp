#include "engine/cddb/cddbclient.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Builds a layout from track starts (tracks numbered from `first`) and the lead-out.
DiscLayout layoutOf(std::initializer_list<int> starts, int leadOut, int first = 1) {
    DiscLayout layout;
    layout.firstTrack = first;
    int track = first;
    for (int start : starts) layout.trackStart[track++] = start;
    layout.lastTrack = track - 1;
    layout.leadOut = leadOut;
    return layout;
}

std::unique_ptr<CddbClient> clientFor(const DiscLayout& layout) {
    auto names = std::make_unique<DiscNames>();
    return std::make_unique<CddbClient>(layout, *names);
}

TEST(DiscIdTest, ThreeTrackExample) {
    // s = 2, 240, 440 s; digit sums 2 + 6 + 8 = 16; 600 s long.
    auto client = clientFor(layoutOf({0, 17850, 32850}, 45000));
    EXPECT_EQ(client->discId(), 0x10025803u);
    EXPECT_STREQ(client->queryLine(), "cddb query 10025803 3 150 18000 33000 602");
}

TEST(DiscIdTest, TwentyTracksOfHundredSeconds) {
    // s = 100k + 2 for k = 0..19: digit sums 2, then k + 2 (k = 1..9),
    // then k - 7 (k = 10..19): 2 + 63 + 75 = 140 = 0x8c; 2000 s = 0x7d0.
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = 20;
    for (int k = 0; k < 20; ++k) layout.trackStart[k + 1] = k * 7500;
    layout.leadOut = 150000;
    auto client = clientFor(layout);
    EXPECT_EQ(client->discId(), 0x8c07d014u);
    EXPECT_STREQ(client->queryLine(),
                 "cddb query 8c07d014 20 150 7650 15150 22650 30150 37650 45150 52650 60150 67650 75150 "
                 "82650 90150 97650 105150 112650 120150 127650 135150 142650 2002");
}

TEST(DiscIdTest, NinetyNineTracksWrapTheDigitSum) {
    // s = 100(k+1) + 99 for k = 0..98: digit sums of 1..99 (900) plus 18
    // each (1782) give 2682, which is 132 = 0x84 modulo 255. The first
    // track starts at 197 s, the lead-out at 10140 s: 9943 s = 0x26d7.
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = 99;
    std::string expected = "cddb query 8426d763 99 ";
    for (int k = 0; k < 99; ++k) {
        int seconds = 100 * (k + 1) + 99;
        layout.trackStart[k + 1] = 75 * seconds - 150;
        expected += std::to_string(75 * seconds) + " ";
    }
    layout.leadOut = 760500;
    expected += "10142";
    auto client = clientFor(layout);
    EXPECT_EQ(client->discId(), 0x8426d763u);
    EXPECT_EQ(std::string(client->queryLine()), expected);
}

TEST(DiscIdTest, DiscStartingAfterTrackOne) {
    // Tracks 3 and 4: s = 202 and 402 s, digit sums 4 + 6 = 10 = 0x0a;
    // 600 s - 200 s = 400 s = 0x190; two tracks.
    auto client = clientFor(layoutOf({15000, 30000}, 45000, 3));
    EXPECT_EQ(client->discId(), 0x0a019002u);
    EXPECT_STREQ(client->queryLine(), "cddb query 0a019002 2 15150 30150 602");
}

TEST(DiscIdTest, LengthBelowOneSecond) {
    // One track at 0 (s = 2) ending after 74 sectors: 0 whole seconds long.
    auto client = clientFor(layoutOf({0}, 74));
    EXPECT_EQ(client->discId(), 0x02000001u);
    EXPECT_STREQ(client->queryLine(), "cddb query 02000001 1 150 2");
}

TEST(ServerAddressTest, PortAfterColonOrDefault) {
    char host[kTextCapacity];
    int port = 0;
    ASSERT_EQ(parseServerAddress("gnudb.gnudb.org", host, port), 0);
    EXPECT_STREQ(host, "gnudb.gnudb.org");
    EXPECT_EQ(port, 8880);
    ASSERT_EQ(parseServerAddress("127.0.0.1:18880", host, port), 0);
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_EQ(port, 18880);
    EXPECT_NE(parseServerAddress("host:", host, port), 0);
    EXPECT_NE(parseServerAddress("host:80x", host, port), 0);
    EXPECT_NE(parseServerAddress("host:70000", host, port), 0);
}

}  // namespace
