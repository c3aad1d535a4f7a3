// The CUE sheet reader and the layout of a sheet's files on the disc.

#include "engine/drive/image/cuesheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CueError parseError(const std::string& text) {
    CueSheet sheet;
    CueError error;
    EXPECT_NE(parseCueSheet(text, sheet, error), 0) << text;
    return error;
}

TEST(CueSheetRead, AllTheCommandsThatMatter) {
    const std::string text =
        "\xEF\xBB\xBFREM GENRE Test\r\n"
        "CATALOG 0000000000000\r\n"
        "performer \"The Players\"\r\n"
        "TITLE \"A \"\r\n"
        "CDTEXTFILE \"disc.cdt\"\r\n"
        "FILE first.bin BINARY\r\n"
        "  TRACK 01 AUDIO\r\n"
        "    TITLE \"Opening Number\"\r\n"
        "    PERFORMER Solo\r\n"
        "    FLAGS DCP 4CH\r\n"
        "    ISRC ABCDE1234567\r\n"
        "    INDEX 01 00:00:00\r\n"
        "  TRACK 02 MODE1/2352\r\n"
        "    FLAGS PRE DCP\r\n"
        "    INDEX 00 01:02:03\r\n"
        "    INDEX 01 01:04:03\r\n"
        "    INDEX 02 01:05:00\r\n"
        "FILE \"second part.wav\" WAVE\r\n"
        "  TRACK 03 AUDIO\r\n"
        "    PREGAP 00:02:00\r\n"
        "    INDEX 01 00:00:00\r\n"
        "    POSTGAP 00:01:00\r\n";
    CueSheet sheet;
    CueError error;
    ASSERT_EQ(parseCueSheet(text, sheet, error), 0) << error.line << ": " << error.reason;
    EXPECT_EQ(sheet.performer, "The Players");
    EXPECT_EQ(sheet.title, "A ");
    EXPECT_EQ(sheet.cdTextFile, "disc.cdt");
    ASSERT_EQ(sheet.files.size(), 2u);
    EXPECT_EQ(sheet.files[0].name, "first.bin");
    EXPECT_EQ(sheet.files[1].name, "second part.wav");
    EXPECT_EQ(sheet.files[1].format, CueFileFormat::Wave);
    ASSERT_EQ(sheet.tracks.size(), 3u);
    const CueTrack& one = sheet.tracks[0];
    EXPECT_EQ(one.title, "Opening Number");
    EXPECT_EQ(one.performer, "Solo");
    EXPECT_EQ(one.flags, 0x02);
    EXPECT_FALSE(one.data);
    const CueTrack& two = sheet.tracks[1];
    EXPECT_TRUE(two.data);
    EXPECT_EQ(two.flags, 0x03);
    EXPECT_EQ(two.index0.sector, (1 * 60 + 2) * 75 + 3);
    EXPECT_EQ(two.index1.sector, (1 * 60 + 4) * 75 + 3);
    EXPECT_EQ(two.index1.line, 16);
    const CueTrack& three = sheet.tracks[2];
    EXPECT_EQ(three.pregap, 150);
    EXPECT_EQ(three.index1.file, 1);
    EXPECT_EQ(three.index1.sector, 0);
}

TEST(CueSheetRead, ErrorsSayWhichLine) {
    struct Case {
        const char* text;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"FILE \"x.bin BINARY\n", 1, "a quoted text is not closed"},
        {"TRACK 01 AUDIO\n", 1, "TRACK before any FILE"},
        {"FILE x.bin MP3\n", 1, "unsupported file type MP3"},
        {"FILE x.bin BINARY\nTRACK 01 MODE2/2336\n", 2, "unsupported track mode MODE2/2336"},
        {"FILE x.bin BINARY\nTRACK 100 AUDIO\n", 2, "bad track number 100"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\n", 4,
         "TRACK 03 does not follow TRACK 01"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", 3, "bad time 00:60:00"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", 3, "bad time 00:00:75"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 0:0\n", 3, "bad time 0:0"},
        {"FILE x.bin BINARY\nINDEX 01 00:00:00\n", 2, "INDEX before any TRACK"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 00 00:00:00\n", 4,
         "INDEX 00 must come first and once"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nPREGAP 00:02:00\n", 4,
         "PREGAP must come before the track's INDEX lines"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nTITLE\nINDEX 01 00:00:00\n", 3, "TITLE needs a text"},
        {"FILE x.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nPOSTGAP 2\n", 4, "POSTGAP needs a time"},
        {"FILE x.bin BINARY\n\nTRACK 01 AUDIO\n\n", 3, "TRACK 01 has no INDEX 01"},
        {"REM nothing\n", 0, "the sheet has no TRACK"},
    };
    for (const Case& c : cases) {
        CueError error = parseError(c.text);
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_EQ(error.reason, c.reason) << c.text;
    }
}

TEST(DiscLayoutPlan, FilesFollowEachOtherWithGapsInserted) {
    CueSheet sheet;
    CueError error;
    ASSERT_EQ(
        parseCueSheet("FILE a.bin BINARY\n"
                      " TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                      " TRACK 02 AUDIO\n  INDEX 00 00:12:00\n  INDEX 01 00:12:50\n  POSTGAP 00:01:00\n"
                      "FILE b.bin BINARY\n"
                      " TRACK 03 MODE1/2352\n  FLAGS DCP\n  PREGAP 00:02:00\n  INDEX 01 00:00:00\n"
                      "  POSTGAP 00:00:10\n",
                      sheet, error),
        0);
    ImageLayout layout;
    ASSERT_EQ(layOutDisc(sheet, {1000, 500}, layout, error), 0) << error.reason;
    // a.bin is 0..999; track 2's gap starts at 12 s = 900, its INDEX 01 at 950.
    // Track 2 ends in 75 silent sectors, track 3 begins with 150: b.bin
    // follows at 1225..1724, and 10 more silent sectors end the disc.
    ASSERT_EQ(layout.tracks.size(), 3u);
    EXPECT_EQ(layout.tracks[0].start, 0);
    EXPECT_EQ(layout.tracks[1].region, 900);
    EXPECT_EQ(layout.tracks[1].start, 950);
    EXPECT_EQ(layout.tracks[2].region, 1075);
    EXPECT_EQ(layout.tracks[2].start, 1225);
    EXPECT_EQ(layout.tracks[2].control, 0x06);
    EXPECT_EQ(layout.leadOut, 1735);
    const int expected[][4] = {{0, 1000, 0, 0}, {1000, 75, -1, 0}, {1075, 150, -1, 0}, {1225, 500, 1, 0},
                               {1725, 10, -1, 0}};
    ASSERT_EQ(layout.segments.size(), 5u);
    for (size_t k = 0; k < 5; ++k) {
        const DiscSegment& s = layout.segments[k];
        EXPECT_EQ((std::vector<int>{s.lba, s.sectors, s.file, s.file < 0 ? 0 : s.fileSector}),
                  (std::vector<int>(expected[k], expected[k] + 4)))
            << k;
    }
}

TEST(DiscLayoutPlan, PositionsMustGrowAndStayInsideTheFiles) {
    CueSheet sheet;
    CueError error;
    ImageLayout layout;
    ASSERT_EQ(parseCueSheet("FILE a.bin BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:01:00\n"
                            " TRACK 02 AUDIO\n  INDEX 01 00:00:50\n",
                            sheet, error),
              0);
    EXPECT_NE(layOutDisc(sheet, {1000}, layout, error), 0);
    EXPECT_EQ(error.line, 5);
    EXPECT_EQ(error.reason, "INDEX does not lie after the one before it");

    ASSERT_EQ(
        parseCueSheet("FILE a.bin BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", sheet, error),
        0);
    EXPECT_NE(layOutDisc(sheet, {0}, layout, error), 0);
    EXPECT_EQ(error.reason, "INDEX lies beyond the end of a.bin");
    EXPECT_NE(layOutDisc(sheet, {100 * 60 * 75 + 1}, layout, error), 0);
    EXPECT_EQ(error.reason, "the disc is longer than 100 minutes");
    EXPECT_EQ(layOutDisc(sheet, {100 * 60 * 75}, layout, error), 0);
}

}  // namespace
