// Finding, choosing and preparing the drive, end to end through volta with
// virtual drives.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace {

const std::string kHead = "Running in Standalone Normal Mode\n";
const std::string kDefaultIdentity = "VOLTA   VIRTUAL CD-ROM  ";

class DriveSelectionTest : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args, const std::string& images) {
        RunOptions options;
        options.env = {{"VOLTA_IMAGES", images}};
        options.cwd = dir.path();
        return runVolta(args, options);
    }

    // The output up to and including the drive line.
    static std::string driveLines(const std::string& identity, const char* label, int hosts = 1) {
        return bannerText() + kHead + "ASPI Initialized, " + std::to_string(hosts) +
               " Host Adapters Present\nUsing CDROM Drive: " + identity + " (" + label + ")\n\n";
    }

    TempDir dir;
};

TEST_F(DriveSelectionTest, ScanListsEveryDriveAndEndsTheRun) {
    DiscImage first(dir.path(), audioDisc({100}));
    DiscSpec spec = audioDisc({50});
    spec.name = "other";
    DiscImage second(dir.path(), spec);
    RunResult r = run(
        {"/scan", "3"},
        imagesValue({first.imagesEntry(), second.imagesEntry("identity=SONY    CD-ROM CDU-76")}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, bannerText() + kHead +
                            "ASPI Initialized, 1 Host Adapters Present\n"
                            "\n"
                            "Device                           Parameter\n"
                            "----------------------------------------------\n"
                            "VOLTA   VIRTUAL CD-ROM           000\n"
                            "SONY    CD-ROM CDU-76            010\n");
}

TEST_F(DriveSelectionTest, VariantFollowsTheIdentity) {
    DiscImage image(dir.path(), audioDisc({100}));
    struct Case {
        const char* identity;
        const char* shown;
        const char* label;
    };
    const Case cases[] = {
        {"SONY    CD-ROM CDU-76", "SONY    CD-ROM CDU-76   ", "D8"},
        {"PLEXTOR CD-ROM PX-40TS", "PLEXTOR CD-ROM PX-40TS  ", "D8"},
        {"PHILIPS CDD2600", "PHILIPS CDD2600         ", "NR"},
        {"philips CDD2600", "philips CDD2600         ", "MMC"},  // the vendor is compared with case
        {"TEAC    CD-532E-B wider than twenty-four", "TEAC    CD-532E-B wider ", "MMC"},
    };
    for (const Case& c : cases) {
        RunResult r = run({"/l"}, image.imagesEntry(std::string("identity=") + c.identity));
        EXPECT_EQ(r.exitCode, 0) << c.identity;
        EXPECT_EQ(r.output.substr(0, driveLines(c.shown, c.label).size()),
                  driveLines(c.shown, c.label));
    }
}

TEST_F(DriveSelectionTest, DriveModeSwitchOverridesTheIdentity) {
    DiscImage image(dir.path(), audioDisc({100}));
    struct Case {
        const char* option;
        const char* label;
    };
    const Case cases[] = {
        {"/dphilips", "NR"}, {"/dSony", "D8"}, {"/dPLEXTOR", "D8"}, {"/dAtApI", "MMC"}};
    for (const Case& c : cases) {
        RunResult r = run({"/l", c.option}, image.imagesEntry());
        EXPECT_EQ(r.exitCode, 0) << c.option;
        EXPECT_EQ(r.output.substr(0, driveLines(kDefaultIdentity, c.label).size()),
                  driveLines(kDefaultIdentity, c.label));
    }
    RunResult mmc = run({"/l", "/dmmc"}, image.imagesEntry("identity=PLEXTOR CD-R PX-W1210A"));
    EXPECT_NE(mmc.output.find("(MMC)\n"), std::string::npos);
}

TEST_F(DriveSelectionTest, AddressSwitchPicksTheDrive) {
    DiscImage first(dir.path(), audioDisc({100}));
    DiscSpec spec = audioDisc({50});
    spec.name = "other";
    DiscImage second(dir.path(), spec);
    std::string images =
        imagesValue({first.imagesEntry(), second.imagesEntry("identity=SECOND  DRIVE")});
    RunResult r = run({"/l", "/s010"}, images);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("Using CDROM Drive: SECOND  DRIVE            (MMC)\n"),
              std::string::npos);
    EXPECT_NE(r.output.find(" 1) Audio 0      50     "), std::string::npos);

    RunResult none = run({"/l", "/s020"}, images);
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_EQ(none.output, bannerText() + kHead +
                               "ASPI Initialized, 1 Host Adapters Present\n"
                               "Error Executing Inquiry Command\n");
}

TEST_F(DriveSelectionTest, NoDriveAtAll) {
    RunResult r = run({"/l"}, "");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output, bannerText() + kHead +
                            "ASPI Initialized, 0 Host Adapters Present\n"
                            "Error Executing Inquiry Command\n");
}

TEST_F(DriveSelectionTest, ImagesThatCannotBeLoadedMakeTheTransportUnusable) {
    RunResult missing = run({"/l"}, dir.file("absent.cue"));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.output, bannerText() + kHead + dir.file("absent.cue") +
                                  ": No such file or directory\nASPI Initialization Failure!\n");

    writeFile(dir.file("broken.cue"),
              "FILE \"data.bin\" BINARY\n  TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    RunResult noData = run({"/l"}, "broken.cue");  // relative to the working directory
    EXPECT_EQ(noData.exitCode, 2);
    EXPECT_EQ(noData.output,
              bannerText() + kHead +
                  "data.bin: No such file or directory\nASPI Initialization Failure!\n");

    writeFile(dir.file("data.bin"), std::string(2352 * 10, '\1'));
    writeFile(dir.file("typo.cue"),
              "FILE \"data.bin\" BINARY\n  TRACK 01 AUDIO\n  INDEX 01 00:00\n");
    RunResult typo = run({"/l"}, dir.file("typo.cue"));
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_EQ(typo.output, bannerText() + kHead + dir.file("typo.cue") +
                               ":3: bad time 00:00\nASPI Initialization Failure!\n");

    RunResult setting = run({"/l"}, dir.file("broken.cue") + ",fail=9-3");
    EXPECT_EQ(setting.exitCode, 2);
    EXPECT_NE(
        setting.output.find(": bad drive setting \"fail=9-3\"\nASPI Initialization Failure!\n"),
        std::string::npos);
}

TEST_F(DriveSelectionTest, DiscPreparationFailures) {
    DiscImage image(dir.path(), audioDisc({100}));
    RunResult notReady = run({"/l"}, image.imagesEntry("notready"));
    EXPECT_EQ(notReady.exitCode, 4);
    EXPECT_EQ(notReady.output,
              driveLines(kDefaultIdentity, "MMC") + "Drive Reports Not Ready (Check Media)\n");

    RunResult noToc = run({"/l"}, image.imagesEntry("notoc"));
    EXPECT_EQ(noToc.exitCode, 5);
    EXPECT_EQ(noToc.output,
              driveLines(kDefaultIdentity, "MMC") + "Error Executing Read TOC Command\n");
}

// Each variant reads with its own command; every one must deliver the
// disc's samples unchanged (the PHILIPS drive's big-endian audio swapped
// back).
TEST_F(DriveSelectionTest, EachVariantCopiesATrackExactly) {
    DiscImage image(dir.path(), audioDisc({60, 80}));
    const char* identities[] = {"identity=PLEXTOR CD-ROM PX-40TS", "identity=PHILIPS CDD2600", ""};
    for (const char* identity : identities) {
        RunResult r = run({"/mn", "out", "2"}, image.imagesEntry(identity));
        EXPECT_EQ(r.exitCode, 0) << identity << "\n" << r.output;
        std::string wave = readFile(dir.file("out02.wav"));
        ASSERT_EQ(wave.size(), 46 + 80 * 2352u) << identity;
        EXPECT_TRUE(wave.compare(46, std::string::npos, image.sectors(60, 80)) == 0) << identity;
        std::remove(dir.file("out02.wav").c_str());
    }
}

TEST_F(DriveSelectionTest, DriveThatRefusesTheCddaModeEndsTheRun) {
    DiscImage image(dir.path(), audioDisc({60}));
    RunResult r = run({"/dphilips", "out", "1"}, image.imagesEntry());
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.output, driveLines(kDefaultIdentity, "NR") + "Could Not Initialize CDDA Mode\n");
}

TEST_F(DriveSelectionTest, DriveIsOnlyTouchedForWorkThatNeedsIt) {
    DiscImage image(dir.path(), audioDisc({100}));
    RunResult basename = run({"name"}, image.imagesEntry());
    EXPECT_EQ(basename.exitCode, 0);
    EXPECT_EQ(basename.output.find("ASPI"), std::string::npos);

    RunResult nothing = run({}, image.imagesEntry());
    EXPECT_EQ(nothing.exitCode, 19);
    EXPECT_EQ(nothing.output, bannerText() + kHead + "No command line, try /?\n");
}

}  // namespace
