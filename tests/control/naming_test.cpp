#include "engine/control/naming.h"
#include "engine/control/options.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// formatName reads cddbEnabled; every test starts from names unknown.
class FormatNameTest : public testing::Test {
protected:
    void SetUp() override { saved = options.cddbEnabled; options.cddbEnabled = false; }
    void TearDown() override { options.cddbEnabled = saved; }
    bool saved = false;
};

TEST_F(FormatNameTest, IndexTokensAndTheAppendedNumber) {
    EXPECT_EQ(formatName("$i", 7, 0), "7");
    EXPECT_EQ(formatName("$2di", 7, 0), "07");
    EXPECT_EQ(formatName("$i", 0, 0), "0");
    EXPECT_EQ(formatName("$2di", 0, 0), "00");
    EXPECT_EQ(formatName("MP3s\\$2di", 3, 0), "MP3s\\03");
    EXPECT_EQ(formatName("disc", 3, 0), "disc03");
    EXPECT_EQ(formatName("disc", 123, 0), "disc123");
    EXPECT_EQ(formatName("disc", 0, 0), "disc");
    options.cddbEnabled = true;
    EXPECT_EQ(formatName("disc", 3, 0), "disc");
    EXPECT_EQ(formatName("MP3s\\$2di", 3, 0), "MP3s\\03");
}

TEST_F(FormatNameTest, TrackTime) {
    // 17175 sectors: 3 minutes, 229 seconds in all.
    EXPECT_EQ(formatName("$m", 0, 17175), "3.49");
    EXPECT_EQ(formatName("len $m", 4, 4500 * 12 + 75 * 5), "len 12.0504");
}

TEST_F(FormatNameTest, CharactersAWindowsNameCannotHold) {
    EXPECT_EQ(formatName("a\"b:c/d*e?f<g>h|i\\j", 0, 0), "a`b.c-d-e-f<g>h|i\\j");
    // A "%" is copied as it stands, never read as a format.
    EXPECT_EQ(formatName("100%s$m", 0, 17175), "100%s3.49");
}

TEST_F(FormatNameTest, LongNamesAreCutAt511Characters) {
    std::string longTemplate(600, 'x');
    EXPECT_EQ(formatName(longTemplate.c_str(), 0, 0), std::string(511, 'x'));
    EXPECT_EQ(formatName(longTemplate.c_str(), 9, 0), std::string(511, 'x'));

    std::string manyTimes;
    for (int i = 0; i < 200; ++i) manyTimes += "$m";
    std::string expanded;
    for (int i = 0; i < 200; ++i) expanded += "3.49";
    EXPECT_EQ(formatName(manyTimes.c_str(), 0, 17175), expanded.substr(0, 511));
}

// Names from CD-TEXT, through the program.
class NamingRunTest : public testing::Test {
protected:
    RunResult rip(const DiscImage& image, const std::vector<std::string>& args) {
        RunOptions run;
        run.cwd = dir.path();
        run.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
        return runVolta(args, run);
    }
    bool exists(const std::string& name) { return std::filesystem::exists(dir.file(name)); }

    TempDir dir;
};

TEST_F(NamingRunTest, EveryTokenFilledFromCdText) {
    DiscSpec spec = audioDisc({80, 160});
    spec.title = "Best Of";
    spec.performer = "Up/Down";
    spec.tracks[0].title = "Why?";
    spec.tracks[1].title = "A:B*C";
    DiscImage image(dir.path(), spec);

    RunResult result = rip(image, {"$a - $d - $t ($2di, $i, $m)", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Using CD-TEXT Information"), std::string::npos);
    EXPECT_NE(result.output.find("Track 1: \"Up-Down - Best Of - Why- (01, 1, 0.01)\""),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("Track 2: \"Up-Down - Best Of - A.B-C (02, 2, 0.02)\""),
              std::string::npos)
        << result.output;
    EXPECT_TRUE(exists("Up-Down - Best Of - Why- (01, 1, 0.01).wav"));
    EXPECT_TRUE(exists("Up-Down - Best Of - A.B-C (02, 2, 0.02).wav"));
}

TEST_F(NamingRunTest, DefaultNamesWithoutCdTextGetTheTrackNumber) {
    DiscImage image(dir.path(), audioDisc({30, 30}));
    RunResult result = rip(image, {"$a-$d-$t", "2", "*", "10-20"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Track 2: \"Unknown-Disc-Track02\""), std::string::npos)
        << result.output;
    // Ranges and the whole disc carry no number; "$t" gives the disc title.
    EXPECT_NE(result.output.find("Whole Disc: \"Unknown-Disc-Disc\""), std::string::npos);
    EXPECT_NE(result.output.find("Range: \"Unknown-Disc-Disc{10-20}\""), std::string::npos);
    EXPECT_TRUE(exists("Unknown-Disc-Track02.wav"));
    EXPECT_TRUE(exists("Unknown-Disc-Disc.wav"));
    EXPECT_TRUE(exists("Unknown-Disc-Disc{10-20}.wav"));
}

// A name of nothing but dots, colons and blanks says nothing: the track is
// named as on a disc without names, so two such tracks never share a file.
// No name makes a file or a folder begin with a dot.
TEST_F(NamingRunTest, NamesThatSayNothingOrWouldHideTheFile) {
    DiscSpec spec = audioDisc({30, 30, 30, 30});
    spec.title = "...";
    spec.performer = ".38 Special";
    spec.tracks[0].title = ".";
    spec.tracks[1].title = " : ";
    spec.tracks[2].title = "..hidden";
    spec.tracks[3].title = "Four";
    DiscImage image(dir.path(), spec);
    std::filesystem::create_directory(dir.file("Disc"));
    RunResult result = rip(image, {"$d\\$t", "1:4"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* name : {"Disc\\Track01", "Disc\\Track02", "Disc\\hidden", "Disc\\Four"})
        EXPECT_NE(result.output.find(std::string("\"") + name + "\"\n"), std::string::npos) << name << result.output;
    for (const char* file : {"Disc/Track01.wav", "Disc/Track02.wav", "Disc/hidden.wav", "Disc/Four.wav"})
        EXPECT_TRUE(exists(file)) << file;

    result = rip(image, {"$a - $t", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(exists("38 Special - ..hidden.wav")) << result.output;
}

TEST_F(NamingRunTest, BackslashWritesIntoASubDirectory) {
    DiscImage image(dir.path(), audioDisc({30, 30}));
    std::filesystem::create_directory(dir.file("MP3s"));
    RunResult result = rip(image, {"MP3s\\$2di", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(exists("MP3s/01.wav"));
    EXPECT_TRUE(exists("MP3s/02.wav"));
}

}  // namespace
