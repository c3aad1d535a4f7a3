// CD-TEXT names from hand-made pack sequences, and the packs written for a
// virtual disc.

#include "engine/drive/cdtext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/drive/scsidrive.h"

namespace {

struct Pack {
    uint8_t type;
    uint8_t track;
    uint8_t blockAndPosition;
    std::string text;  // up to 12 bytes, NUL-padded
};

// A READ TOC format 5 answer: header, then the packs with zero CRCs.
std::vector<uint8_t> response(const std::vector<Pack>& packs) {
    std::vector<uint8_t> out(4);
    int sequence = 0;
    for (const Pack& p : packs) {
        uint8_t bytes[18] = {p.type, p.track, static_cast<uint8_t>(sequence++), p.blockAndPosition};
        std::memcpy(bytes + 4, p.text.data(), std::min<size_t>(p.text.size(), 12));
        out.insert(out.end(), bytes, bytes + 18);
    }
    size_t length = out.size() - 2;
    out[0] = static_cast<uint8_t>(length >> 8);
    out[1] = static_cast<uint8_t>(length);
    return out;
}

std::string z(const char* text, size_t size) { return std::string(text, size); }

class CdTextDecodeTest : public ::testing::Test {
protected:
    void decode(const std::vector<uint8_t>& data) {
        decodeCdText(data.data(), static_cast<int>(data.size()), drive);
    }
    MmcDrive drive{nullptr, 0, 0, 0};
};

TEST_F(CdTextDecodeTest, TitlesRunAcrossPacksAndEndInsideThem) {
    // "Greatest Hits\0First Song\0Two\0"
    decode(response({{0x80, 0, 0, "Greatest Hit"},
                     {0x80, 0, 12, z("s\0First Song", 12)},
                     {0x80, 1, 10, z("\0Two\0", 5)},
                     {0x81, 0, 0, z("The Band\0", 9)}}));
    EXPECT_EQ(drive.namesValid, 1);
    EXPECT_STREQ(drive.discTitle, "Greatest Hits");
    EXPECT_STREQ(drive.discArtist, "The Band");
    EXPECT_STREQ(drive.trackTitles[0], "First Song");
    EXPECT_STREQ(drive.trackTitles[1], "Two");
    EXPECT_STREQ(drive.trackTitles[2], "Track");  // no name on the disc: the default
}

TEST_F(CdTextDecodeTest, TitleCarriedInsideThePreviousTracksPack) {
    // Track 2's whole title rides in track 1's pack; the next pack is track 3's.
    decode(response({{0x80, 0, 0, z("Album\0Openin", 12)},
                     {0x80, 1, 6, z("g\0Hi\0Third S", 12)},
                     {0x80, 3, 7, z("ong\0", 4)}}));
    EXPECT_STREQ(drive.discTitle, "Album");
    EXPECT_STREQ(drive.trackTitles[0], "Opening");
    EXPECT_STREQ(drive.trackTitles[1], "Hi");
    EXPECT_STREQ(drive.trackTitles[2], "Third Song");
}

TEST_F(CdTextDecodeTest, SeveralShortTitlesInOnePack) {
    decode(response({{0x80, 0, 0, z("D\0A\0B\0C\0E\0\0\0", 12)}}));
    EXPECT_STREQ(drive.discTitle, "D");
    EXPECT_STREQ(drive.trackTitles[0], "A");
    EXPECT_STREQ(drive.trackTitles[1], "B");
    EXPECT_STREQ(drive.trackTitles[2], "C");
    EXPECT_STREQ(drive.trackTitles[3], "E");
    EXPECT_STREQ(drive.discArtist, "Unknown");
}

TEST_F(CdTextDecodeTest, DiscNameIsFollowedByTheFirstTrackOfTheToc) {
    drive.tocData[2] = 8;  // first track
    drive.tocData[3] = 9;
    decode(response({{0x80, 0, 0, z("Late\0Eight\0N", 12)}, {0x80, 9, 1, z("ine\0", 4)}}));
    EXPECT_STREQ(drive.discTitle, "Late");
    EXPECT_STREQ(drive.trackTitles[7], "Eight");
    EXPECT_STREQ(drive.trackTitles[8], "Nine");
    EXPECT_STREQ(drive.trackTitles[0], "Track");
}

TEST_F(CdTextDecodeTest, TextsAreCutAt255AndTracksPast100Dropped) {
    std::string stream = std::string(1, '\0') + std::string(300, 'x') + '\0' + "ok" + '\0';
    std::vector<Pack> packs;
    for (size_t at = 0; at < stream.size(); at += 12)
        packs.push_back({0x80, static_cast<uint8_t>(at < 302 ? (at == 0 ? 0 : 1) : 2), 0,
                         stream.substr(at, 12)});
    decode(response(packs));
    EXPECT_EQ(std::strlen(drive.trackTitles[0]), 255u);
    EXPECT_STREQ(drive.trackTitles[1], "ok");

    decode(response({{0x80, 99, 0, z("n99\0n100\0n10", 12)}, {0x80, 101, 2, z("1\0n102\0", 7)}}));
    EXPECT_STREQ(drive.trackTitles[98], "n99");
    EXPECT_STREQ(drive.trackTitles[99], "n100");
    EXPECT_STREQ(drive.discTitle, "Disc");

    decode(response({{0x80, 200, 0, z("far\0away\0", 9)}}));
    EXPECT_EQ(drive.namesValid, 0);
}

TEST_F(CdTextDecodeTest, LengthFieldIsNotTrustedBeyondTheAnswer) {
    std::vector<uint8_t> data = response({{0x80, 0, 0, z("Only\0", 5)}});
    data[0] = 0xFF;
    data[1] = 0xFF;
    decode(data);
    EXPECT_STREQ(drive.discTitle, "Only");

    std::vector<uint8_t> empty = response({});
    decode(empty);
    EXPECT_EQ(drive.namesValid, 0);
    decode(std::vector<uint8_t>{0, 2});
    EXPECT_EQ(drive.namesValid, 0);
}

TEST_F(CdTextDecodeTest, OtherBlocksAndPackTypesAreIgnored) {
    decode(response({{0x80, 0, 0x10, z("Zweite\0", 7)},      // block 1
                     {0x82, 0, 0, z("Writer\0", 7)},         // songwriter
                     {0x80, 0, 0x80, z("\x82\xA0\0\0", 4)},  // double-byte
                     {0x80, 0, 0, z("Erste\0Eins\0", 11)}}));
    EXPECT_STREQ(drive.discTitle, "Erste");
    EXPECT_STREQ(drive.trackTitles[0], "Eins");
}

TEST(CdTextCrc, IsTheInvertedCcittCrc) {
    // The check value of CRC-16 with polynomial 0x1021, initial value 0 and
    // the result inverted, over "123456789".
    const char* check = "123456789";
    EXPECT_EQ(cdTextCrc(reinterpret_cast<const uint8_t*>(check), 9), 0xCE3C);
}

TEST(CdTextBuild, SizeInformationCountsThePacks) {
    CdTextSource source;
    source.discTitle = "Album";
    source.trackTitles = {"One", "Two", "Three"};
    source.discPerformer = "Artist";
    source.trackPerformers = {"", "", ""};
    std::vector<uint8_t> packs;
    ASSERT_EQ(buildCdTextPacks(source, packs), 0);
    // Titles: "Album\0One\0Two\0Three\0" = 20 bytes, 2 packs; performers:
    // "Artist\0\0\0\0" = 10 bytes, 1 pack; then 3 size packs.
    ASSERT_EQ(packs.size(), 6u * 18);
    // The size information is 36 bytes spread over the last three packs.
    std::vector<uint8_t> info;
    for (int k = 3; k < 6; ++k) {
        const uint8_t* pack = packs.data() + k * 18;
        EXPECT_EQ(pack[0], 0x8F);
        EXPECT_EQ(pack[1], k - 3);
        info.insert(info.end(), pack + 4, pack + 16);
    }
    EXPECT_EQ(info[1], 1);      // first track
    EXPECT_EQ(info[2], 3);      // last track
    EXPECT_EQ(info[4], 2);      // 0x80 packs
    EXPECT_EQ(info[5], 1);      // 0x81 packs
    EXPECT_EQ(info[19], 3);     // 0x8F packs
    EXPECT_EQ(info[20], 5);     // last sequence number of block 0
    EXPECT_EQ(info[28], 0x09);  // block 0 is English
    for (size_t p = 0; p < packs.size(); p += 18) {
        uint16_t crc = static_cast<uint16_t>(packs[p + 16] << 8 | packs[p + 17]);
        EXPECT_EQ(crc, cdTextCrc(packs.data() + p, 16));
        EXPECT_EQ(packs[p + 2], p / 18);
    }
    CdTextSource silent;
    silent.trackTitles = {"", ""};
    ASSERT_EQ(buildCdTextPacks(silent, packs), 0);
    EXPECT_TRUE(packs.empty());
}

TEST(CdTextBuild, TooMuchTextDoesNotFitOneBlock) {
    CdTextSource source;
    source.trackTitles.assign(99, std::string(40, 'n'));
    std::vector<uint8_t> packs;
    EXPECT_NE(buildCdTextPacks(source, packs), 0);
}

}  // namespace
