// Sync mode's alignment on synthetic reads: a disc is a rule giving each
// sector's bytes, and a read is the run of sectors where the drive landed.

#include "engine/drive/cddrive.h"
#include "engine/drive/syncmatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace {

enum class Disc { kDistinct, kSilence, kPeriodTwo };

std::vector<uint8_t> readAt(Disc disc, int lba, int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * kSectorBytes);
    for (int s = 0; s < count; ++s) {
        int sector = lba + s;
        for (int i = 0; i < kSectorBytes; ++i) {
            uint8_t& b = bytes[static_cast<size_t>(s) * kSectorBytes + i];
            switch (disc) {
            case Disc::kDistinct: b = static_cast<uint8_t>(i == 0 ? sector : i == 1 ? sector >> 8 : i); break;
            case Disc::kSilence: b = 0; break;
            case Disc::kPeriodTwo: b = static_cast<uint8_t>(sector % 2 * 0x55 + i); break;
            }
        }
    }
    return bytes;
}

// The previous read holds sectors 100..124; the next one is sent to 121.
struct SkipCase {
    const char* what;
    Disc disc;
    int previousCount;
    int landedAt;
    int freshCount;
    std::optional<int> skip;
};

TEST(SyncMatch, SkipFindsWhereTheNextReadLanded) {
    const SkipCase cases[] = {
        {"clean drive", Disc::kDistinct, 25, 121, 25, 4},
        {"one sector late", Disc::kDistinct, 25, 122, 25, 3},
        {"three late, the window's edge", Disc::kDistinct, 25, 124, 25, 1},
        {"four late, past it", Disc::kDistinct, 25, 125, 25, std::nullopt},
        {"one early, the window's other edge", Disc::kDistinct, 25, 120, 25, 5},
        {"two early, past it", Disc::kDistinct, 25, 119, 25, std::nullopt},
        {"far away", Disc::kDistinct, 25, 300, 25, std::nullopt},
        {"silence prefers the expected place", Disc::kSilence, 25, 120, 25, 4},
        {"a repeated pattern takes the nearest", Disc::kPeriodTwo, 25, 123, 25, 4},
        {"a repeated pattern one late", Disc::kPeriodTwo, 25, 122, 25, 3},
        {"short tail read bringing nothing new", Disc::kDistinct, 25, 120, 5, std::nullopt},
        {"short tail read one late", Disc::kDistinct, 25, 122, 5, 3},
        {"short previous read, landing early outside it", Disc::kDistinct, 4, 120, 25, std::nullopt},
    };
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.what);
        int previousStart = 125 - c.previousCount;
        std::vector<uint8_t> previous = readAt(c.disc, previousStart, c.previousCount);
        std::vector<uint8_t> fresh = readAt(c.disc, c.landedAt, c.freshCount);
        EXPECT_EQ(syncSkip(previous.data(), c.previousCount, fresh.data(), c.freshCount), c.skip);
    }
}

TEST(SyncMatch, LandingOffsetOfARepeatedRead) {
    struct Case {
        Disc disc;
        int landedAt;  // the first read landed at 200
        int freshCount;
        std::optional<int> offset;
    } const cases[] = {
        {Disc::kDistinct, 200, 25, 0},    {Disc::kDistinct, 203, 25, 3},
        {Disc::kDistinct, 198, 25, -2},   {Disc::kDistinct, 224, 25, 24},
        {Disc::kDistinct, 176, 25, -24},  {Disc::kDistinct, 225, 25, std::nullopt},
        {Disc::kDistinct, 175, 25, std::nullopt}, {Disc::kDistinct, 205, 5, std::nullopt},
        {Disc::kSilence, 190, 25, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.landedAt);
        std::vector<uint8_t> first = readAt(c.disc, 200, 25);
        std::vector<uint8_t> fresh = readAt(c.disc, c.landedAt, c.freshCount);
        EXPECT_EQ(landingOffset(first.data(), 25, fresh.data(), c.freshCount), c.offset);
    }
}

// Offsets are recorded in turn, over and over, until the scatter settles.
TEST(SyncMatch, ScatterSettlesOnItsMiddle) {
    struct Case {
        const char* what;
        std::vector<int> offsets;
        int readsToSettle;  // 0: not within the most reads
        int middle;
    } const cases[] = {
        {"clean drive", {0}, LandingScatter::kQuietReads, 0},
        {"one either side", {-1, 1, 0}, LandingScatter::kQuietReads + 2, 0},
        {"late only", {2, 0, 1}, LandingScatter::kQuietReads + 1, 1},
        {"a late extreme resets the count", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2},
         16 + LandingScatter::kQuietReads, 1},
        {"odd width has no middle", {0, 1}, 0, 0},
        {"odd width early", {-1, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LandingScatter scatter;
        int reads = 0;
        for (; reads < LandingScatter::kMaxReads && !scatter.isSettled(); ++reads)
            scatter.record(c.offsets[reads % c.offsets.size()]);
        EXPECT_EQ(scatter.isSettled() ? reads : 0, c.readsToSettle);
        EXPECT_EQ(scatter.middle(), c.middle);
    }
}

}  // namespace
