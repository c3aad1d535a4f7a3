// The /l listing, character for character.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace {

const std::string kHeader =
    "    Type  Start  End    Length   Copy Emphasis Name\n"
    "    ----- ------ ------ -------- ---- -------- ---------------\n";

class TocListingTest : public ::testing::Test {
protected:
    RunResult list(const std::string& images, const std::string& extra = "") {
        RunOptions options;
        options.env = {{"VOLTA_IMAGES", images}};
        std::vector<std::string> args{"/l"};
        if (!extra.empty()) args.push_back(extra);
        return runVolta(args, options);
    }

    // What follows the drive lines.
    static std::string afterDrive(const std::string& output) {
        size_t at = output.find("(MMC)\n\n");
        return at == std::string::npos ? output : output.substr(at + 7);
    }

    TempDir dir;
};

TEST_F(TocListingTest, CdTextNamesFlagsAndDataTracks) {
    DiscSpec spec = audioDisc({17175, 4500, 300});
    spec.title = "Listing Test";
    spec.performer = "The Columns";
    spec.tracks[0].title = "Opening";
    spec.tracks[1].title = "Second";
    spec.tracks[1].copyPermitted = true;
    spec.tracks[1].preEmphasis = true;
    spec.tracks[2].data = true;
    DiscImage image(dir.path(), spec);
    RunResult r = list(image.imagesEntry());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(afterDrive(r.output),
              "Using CD-TEXT Information\n"
              "Table Of Contents (The Columns - Listing Test):\n\n" +
                  kHeader +
                  " 1) Audio 0      17175  03:49.00  No  Without  Opening\n"
                  " 2) Audio 17175  21675  01:00.00  Yes   With   Second\n"
                  " 3) Data  21675  21975  00:04.00  No  Without  Track\n"
                  "\n");
}

TEST_F(TocListingTest, WithoutCdTextTheDefaultsShow) {
    DiscSpec spec = audioDisc({75, 76});
    spec.title = "Hidden";
    spec.tracks[0].title = "Not Shown";
    spec.tracks[1].indexZeroSectors = 10;
    DiscImage image(dir.path(), spec);
    const std::string expected = "Table Of Contents (Unknown - Disc):\n\n" + kHeader +
                                 " 1) Audio 0      85     00:01.10  No  Without  Track\n"
                                 " 2) Audio 85     161    00:01.01  No  Without  Track\n"
                                 "\n";
    RunResult noText = list(image.imagesEntry("nocdtext"));
    EXPECT_EQ(noText.exitCode, 0);
    EXPECT_EQ(afterDrive(noText.output), expected);

    DiscImage plain(dir.path(), audioDisc({75, 86}));
    RunResult r = list(plain.imagesEntry());
    EXPECT_EQ(afterDrive(r.output), "Table Of Contents (Unknown - Disc):\n\n" + kHeader +
                                        " 1) Audio 0      75     00:01.00  No  Without  Track\n"
                                        " 2) Audio 75     161    00:01.11  No  Without  Track\n"
                                        "\n");
}

TEST_F(TocListingTest, DiscsNeedNotStartAtTrackOne) {
    writeFile(dir.file("late.bin"), std::string(2352 * 30, '\x11'));
    writeFile(dir.file("late.cue"),
              "FILE late.bin BINARY\n TRACK 08 AUDIO\n  TITLE \"Eight\"\n  INDEX 01 00:00:00\n"
              " TRACK 09 AUDIO\n  TITLE \"Nine\"\n  INDEX 01 00:00:20\n");
    RunResult r = list(dir.file("late.cue"));
    EXPECT_EQ(afterDrive(r.output),
              "Using CD-TEXT Information\n"
              "Table Of Contents (Unknown - Disc):\n\n" +
                  kHeader +
                  " 8) Audio 0      20     00:00.20  No  Without  Eight\n"
                  " 9) Audio 20     30     00:00.10  No  Without  Nine\n"
                  "\n");
}

}  // namespace
