// The checksums of a track against values worked out by hand: sums of
// arithmetic series for samples whose products are easy to split, and the
// published check value of CRC-32.

#include "engine/verify/trackchecksums.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr long long kSector = 588;
constexpr long long kEdge = 5 * kSector;

// Every frame 0xFFFFFFFF (both channels -1): frame i's product with i is
// i * 2^32 - i, whose low word is 2^32 - i and high word i - 1. So v1 sums
// -i and v2 sums -1 over the counted positions.
std::vector<uint8_t> fullScaleMinusOne(long long frames) { return std::vector<uint8_t>(frames * 4, 0xFF); }

uint32_t minusSumOfPositions(long long from, long long to) {
    if (to < from) return 0;
    unsigned long long sum = static_cast<unsigned long long>(from + to) * static_cast<unsigned long long>(to - from + 1) / 2;
    return static_cast<uint32_t>(0 - sum);
}

uint32_t minusCount(long long from, long long to) { return to < from ? 0 : static_cast<uint32_t>(0 - (to - from + 1)); }

struct Case {
    const char* name;
    long long frames;
    bool first;
    bool last;
    long long countedFrom;  // positions from 1
    long long countedTo;
};

TEST(TrackChecksums, CountOnlyThePositionsAwayFromTheDiscEdges) {
    const Case cases[] = {
        {"middle track", 20 * kSector, false, false, 1, 20 * kSector},
        {"first track", 20 * kSector, true, false, kEdge, 20 * kSector},
        {"last track", 20 * kSector, false, true, 1, 20 * kSector - kEdge},
        {"only track", 20 * kSector, true, true, kEdge, 20 * kSector - kEdge},
        {"only track of 9 sectors", 9 * kSector, true, true, kEdge, 9 * kSector - kEdge},
        {"first track of 4 sectors", 4 * kSector, true, false, kEdge, 4 * kSector},
        {"last track of 3 sectors", 3 * kSector, false, true, 1, 3 * kSector - kEdge},
        {"middle track of 1 sector", kSector, false, false, 1, kSector},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackChecksums sums(c.frames, c.first, c.last);
        std::vector<uint8_t> audio = fullScaleMinusOne(c.frames);
        sums.add(audio.data(), audio.size());
        EXPECT_TRUE(sums.isComplete());
        EXPECT_EQ(sums.accurateRipV1(), minusSumOfPositions(c.countedFrom, c.countedTo));
        EXPECT_EQ(sums.accurateRipV2(), minusCount(c.countedFrom, c.countedTo));
        EXPECT_EQ(sums.peak(), 1);
    }
}

// Frame i carries i in its left channel: v1 is the sum of squares, and the
// high words stay 0 while i * i fits 32 bits, so v2 equals v1.
TEST(TrackChecksums, SmallProductsGiveTheSumOfSquares) {
    const long long frames = 10 * kSector;
    std::vector<uint8_t> audio(frames * 4, 0);
    for (long long i = 1; i <= frames; ++i) {
        audio[(i - 1) * 4] = static_cast<uint8_t>(i);
        audio[(i - 1) * 4 + 1] = static_cast<uint8_t>(i >> 8);
    }
    TrackChecksums sums(frames, false, false);
    sums.add(audio.data(), audio.size());
    const unsigned long long n = frames;
    EXPECT_EQ(sums.accurateRipV1(), static_cast<uint32_t>(n * (n + 1) * (2 * n + 1) / 6));
    EXPECT_EQ(sums.accurateRipV2(), sums.accurateRipV1());
    EXPECT_EQ(sums.peak(), static_cast<int>(frames));
}

TEST(TrackChecksums, SilenceSumsToNothing) {
    for (bool first : {false, true}) {
        TrackChecksums sums(12 * kSector, first, !first);
        std::vector<uint8_t> silence(12 * kSector * 4, 0);
        sums.add(silence.data(), silence.size());
        EXPECT_EQ(sums.accurateRipV1(), 0u);
        EXPECT_EQ(sums.accurateRipV2(), 0u);
        EXPECT_EQ(sums.peak(), 0);
    }
}

// CRC-32 one bit at a time, as the polynomial defines it.
uint32_t bitwiseCrc32(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    return ~crc;
}

// CRC-32's published check value, and pieces that split frames anywhere
// (and start anywhere in memory) summing like one piece.
TEST(TrackChecksums, Crc32AndPiecesOfAnySize) {
    const std::string check = "123456789";
    TrackChecksums text(2, false, false);
    text.add(reinterpret_cast<const uint8_t*>(check.data()), check.size());
    EXPECT_EQ(text.crc32(), 0xCBF43926u);
    EXPECT_FALSE(text.isComplete());  // two frames and a byte

    const long long frames = 7 * kSector + 3;
    std::vector<uint8_t> audio(frames * 4);
    uint32_t state = 12345;
    for (uint8_t& byte : audio) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    audio[8] = 0x00;
    audio[9] = 0x80;  // -32768 somewhere
    TrackChecksums whole(frames, true, true);
    whole.add(audio.data(), audio.size());
    EXPECT_EQ(whole.crc32(), bitwiseCrc32(audio));
    TrackChecksums pieces(frames, true, true);
    size_t at = 0;
    for (size_t piece = 1; at < audio.size(); piece = piece * 3 % 1001 + 1) {
        size_t bytes = std::min(piece, audio.size() - at);
        pieces.add(audio.data() + at, bytes);
        at += bytes;
    }
    EXPECT_TRUE(pieces.isComplete());
    EXPECT_EQ(pieces.accurateRipV1(), whole.accurateRipV1());
    EXPECT_EQ(pieces.accurateRipV2(), whole.accurateRipV2());
    EXPECT_EQ(pieces.crc32(), whole.crc32());
    EXPECT_EQ(pieces.peak(), 32768);
    EXPECT_EQ(whole.peak(), 32768);
}

}  // namespace
