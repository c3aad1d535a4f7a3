// Real drives through the kernel's SCSI generic and CD-ROM nodes: a sysfs
// tree and a device folder of the test's own, and a preloaded stand-in for
// the kernel that answers SG_IO on those nodes with a virtual drive.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drive/drivestate.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace fs = std::filesystem;

namespace {

const std::string kHead = "Running in Standalone Normal Mode\n";
const std::string kTableHead =
    "\nDevice                           Parameter\n"
    "----------------------------------------------\n";
const std::string kIdentity = "VOLTA   VIRTUAL CD-ROM  ";

// A line of the device table: the identity, blank-padded, and the address.
std::string row(std::string identity, const std::string& address) {
    identity.resize(32, ' ');
    return identity + " " + address + "\n";
}

// `text` as a regular expression that matches it alone.
std::string literally(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (std::string_view(".^$|()[]{}*+?\\").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// A machine's sysfs tree and device folder inside a temp dir.
class FakeMachine {
public:
    explicit FakeMachine(const std::string& root)
        : sysfs_(root + "/sys"), devices_(root + "/dev") {
        fs::create_directories(sysfs_ + "/class/scsi_generic");
        fs::create_directories(sysfs_ + "/class/block");
        fs::create_directories(devices_);
    }

    // `node` ("sg0", "sr1", ...) of the SCSI device "H:C:T:L"; its file in
    // the device folder holds `content` (see tests/support/sgfake.cpp),
    // none when `content` is empty.
    void addNode(const std::string& node, const std::string& address, const std::string& content) {
        std::string device = sysfs_ + "/devices/" + address;
        fs::create_directories(device);
        writeFile(device + "/type", "5\n");
        std::string cls = node.rfind("sg", 0) == 0 ? "scsi_generic" : "block";
        fs::create_directories(sysfs_ + "/class/" + cls + "/" + node);
        fs::create_symlink(device, sysfs_ + "/class/" + cls + "/" + node + "/device");
        if (!content.empty()) writeFile(nodePath(node), content);
    }

    std::string nodePath(const std::string& name) const { return devices_ + "/" + name; }

    RunOptions options(const std::string& cwd) const {
        std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        RunOptions run;
        run.cwd = cwd;
        run.env = {{"VOLTA_SYSFS", sysfs_},
                   {"VOLTA_DEV", devices_},
                   {"VOLTA_NO_REAL_HOSTS", ""},
                   {"SGFAKE_DEV", devices_},
                   {"LD_PRELOAD", SGFAKE_LIBRARY},
                   // The sanitizer's runtime is not first once the fake is preloaded.
                   {"ASAN_OPTIONS", asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0"}};
        return run;
    }

private:
    std::string sysfs_;
    std::string devices_;
};

class RealDriveTest : public ::testing::Test {
protected:
    RealDriveTest() : machine(dir.file("machine")), image(dir.path(), audioDisc({60, 80})) {}

    RunResult run(const std::vector<std::string>& args) {
        return runVolta(args, machine.options(dir.path()));
    }

    // The bytes of a track as a faithful copy holds them, after the header.
    std::string track(int number) const {
        return image.sectors(image.trackStart(number), image.trackEnd(number) - image.trackStart(number));
    }

    TempDir dir;
    FakeMachine machine;
    DiscImage image;
};

TEST_F(RealDriveTest, TestsReachOnlyTheHostsTheyAskFor) {
    machine.addNode("sg0", "0:0:0:0", image.imagesEntry());
    RunOptions none = machine.options(dir.path());
    none.env[2].second = "1";
    RunResult hidden = runVolta({"/scan"}, none);
    EXPECT_EQ(hidden.output,
              bannerText() + kHead + "ASPI Initialized, 0 Host Adapters Present\n" + kTableHead);
}

// Each physical drive once, by its sg node or else its sr node; a second
// channel of a host is an adapter of its own, so equal targets never meet.
TEST_F(RealDriveTest, EveryDriveOnceWhateverNodesItHas) {
    machine.addNode("sg0", "4:0:0:0", image.imagesEntry());
    machine.addNode("sr0", "4:0:0:0", image.imagesEntry("identity=WRONG   NODE"));
    machine.addNode("sr1", "4:1:0:0", image.imagesEntry("identity=ONLY    SR"));
    machine.addNode("sg1", "6:0:2:1", "");
    machine.addNode("sr2", "6:0:2:1", image.imagesEntry("identity=SG      MISSING"));
    RunResult r = run({"/scan"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, bannerText() + kHead + "ASPI Initialized, 3 Host Adapters Present\n" +
                            kTableHead + row(kIdentity, "000") + row("ONLY    SR", "100") +
                            row("SG      MISSING", "221"));
}

TEST_F(RealDriveTest, CopiesThroughTheKernelEqualCopiesFromTheImage) {
    RunOptions direct;
    direct.cwd = dir.path();
    direct.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    ASSERT_EQ(runVolta({"/mn", "image", "2"}, direct).exitCode, 0);
    std::string reference = readFile(dir.file("image02.wav"));
    ASSERT_EQ(reference.substr(46), track(2));

    machine.addNode("sg0", "0:0:0:0", image.imagesEntry());
    machine.addNode("sr1", "1:0:0:0", image.imagesEntry("identity=PHILIPS CDD2600"));
    struct Case {
        const char* args;
        const char* label;
    };
    for (const Case& c : {Case{"/mn", "MMC"}, Case{"/mb", "MMC"}, Case{"/ms", "MMC"},
                          Case{"/s100", "NR"}}) {
        RunResult r = run({c.args, "out", "2"});
        EXPECT_EQ(r.exitCode, 0) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(std::string(" (") + c.label + ")\n"), std::string::npos) << r.output;
        EXPECT_TRUE(readFile(dir.file("out02.wav")) == reference) << c.args;
        fs::remove(dir.file("out02.wav"));
    }
}

// What the kernel or the drive says goes wrong, one node at a time.
TEST_F(RealDriveTest, DriveStatesAndKernelRefusals) {
    struct Case {
        const char* name;
        std::string identity;  // drive setting, or empty
        std::string faults;    // lines of the node file after its entry
        std::vector<std::string> args;
        int exitCode;
        std::string expected;  // a line (or lines) of the output; empty: none
        bool copied;           // track 1 written faithfully
    };
    const std::string node = machine.nodePath("sg0");
    const Case cases[] = {
        {"becoming ready is waited for", "", "becomingready=2", {"/l"}, 0, " 1) Audio", false},
        {"not ready", "notready", "", {"/l"}, 4, "Drive Reports Not Ready (Check Media)\n", false},
        {"0xD8 needs privilege", "identity=PLEXTOR CD-ROM PX-40TS", "refuse=D8",
         {"/mn", "out", "1"}, 7,
         "Cannot send 0xD8 to " + node + ": not permitted to this user (/dMMC reads without it)\n",
         false},
        {"/dMMC avoids it", "identity=PLEXTOR CD-ROM PX-40TS", "refuse=D8",
         {"/dMMC", "/mn", "out", "1"}, 0, "(MMC)\n", true},
        {"MODE SELECT needs privilege", "identity=PHILIPS CDD2600", "refuse=15",
         {"/mn", "out", "1"}, 6,
         "Cannot send MODE SELECT to " + node +
             ": not permitted to this user (/dMMC reads without it)\n"
             "Could Not Initialize CDDA Mode\n",
         false},
    };
    machine.addNode("sg0", "0:0:0:0", "");
    for (const Case& c : cases) {
        writeFile(node, image.imagesEntry(c.identity) + "\n" + c.faults + "\n");
        fs::remove(dir.file("out01.wav"));
        RunResult r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << "\n" << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << c.name << "\n" << r.output;
        if (c.copied) {
            EXPECT_TRUE(readFile(dir.file("out01.wav")).substr(46) == track(1)) << c.name;
        }
    }
}

// A node that cannot be opened: the drive's other node serves when this
// one is out of reach, never when another program holds the drive.
TEST_F(RealDriveTest, WhenTheGenericNodeCannotBeOpened) {
    const std::string sg = machine.nodePath("sg0"), sr = machine.nodePath("sr0");
    const std::string noDrive = "Error Executing Inquiry Command\n";
    struct Case {
        const char* name;
        std::string sgFault;  // empty: no sg node at all
        bool ownerOnly;       // the sg node's mode is 0600
        bool srNode;
        int exitCode;
        std::string expected;  // lines of the output
    };
    const Case cases[] = {
        {"permission", "open=EACCES", false, false, 3,
         "Cannot open " + sg +
             ": permission denied (the user must be in the group of the device, usually cdrom, "
             "and log in again)\n" + noDrive},
        {"owner only", "open=EACCES", true, false, 3,
         "Cannot open " + sg +
             ": permission denied (the permissions of the node refuse every user but its owner)\n" +
             noDrive},
        {"permission, sr node", "open=EACCES", false, true, 0, "(MMC)\n"},
        {"busy", "open=EBUSY", false, true, 3,
         "Cannot open " + sg + ": device busy (another program holds the drive)\n" + noDrive},
        {"missing", "", false, false, 3, "Cannot open " + sg + ": no such device node\n" + noDrive},
        {"missing, sr node", "", false, true, 0, "(MMC)\n"},
    };
    machine.addNode("sg0", "0:0:0:0", "");
    machine.addNode("sr0", "0:0:0:0", "");
    for (const Case& c : cases) {
        for (const std::string& file : {sg, sr, dir.file("out01.wav")}) fs::remove(file);
        if (!c.sgFault.empty()) writeFile(sg, image.imagesEntry() + "\n" + c.sgFault + "\n");
        if (c.ownerOnly) fs::permissions(sg, fs::perms::owner_read | fs::perms::owner_write);
        if (c.srNode) writeFile(sr, image.imagesEntry());
        RunResult r = run({"/mn", "out", "1"});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << "\n" << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << c.name << "\n" << r.output;
        EXPECT_EQ(fs::exists(dir.file("out01.wav")), c.exitCode == 0) << c.name;
    }
}

// Conditions that say nothing about the disc are met by sending the
// command again below the extractors: every mode copies as from the image,
// and says nothing of them.
TEST_F(RealDriveTest, PassingConditionsLeaveNoTrace) {
    const char* faults[] = {
        "unitattention=1:BE", "unitattention=1:43", "unitattention=1:1B", "unitattention=10:BE",
        "short=1",            "short=3",            "timeout=1",          "recovered=3",
    };
    const std::string node = machine.nodePath("sg0");
    machine.addNode("sg0", "0:0:0:0", "");
    RunOptions direct;
    direct.cwd = dir.path();
    direct.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    for (const char* mode : {"/mb", "/mn", "/ms", "/mm"}) {
        fs::remove(dir.file("out01.wav"));
        RunResult reference = runVolta({mode, "out", "1"}, direct);
        ASSERT_EQ(reference.exitCode, 0) << reference.output;
        std::string copy = readFile(dir.file("out01.wav"));
        ASSERT_TRUE(copy.substr(46) == track(1)) << mode;
        for (const char* fault : faults) {
            writeFile(node, image.imagesEntry() + "\n" + fault + "\n");
            fs::remove(dir.file("out01.wav"));
            RunResult r = run({mode, "out", "1"});
            EXPECT_EQ(r.exitCode, 0) << mode << " " << fault << "\n" << r.output;
            EXPECT_EQ(r.output, reference.output) << mode << " " << fault;
            EXPECT_TRUE(readFile(dir.file("out01.wav")) == copy) << mode << " " << fault;
        }
    }
}

// A read that fails for good is said on a line of its own right below the
// bar, naming the condition, the sector and the node, before the run's
// failure. Errors of the disc keep each mode's way with failed reads.
TEST_F(RealDriveTest, FailedReadsSayWhy) {
    const std::vector<std::string> all = {"/mb", "/mn", "/ms", "/mm"};
    const std::string medium = "Medium error at sector 30 \\(unrecovered read error\\)";
    const std::string shortRead = "Short transfer at sector \\d+ \\(24 of 25 sectors delivered\\)";
    const std::string timeOut = "Time-out in sectors \\d+-\\d+ \\(no answer within 60 seconds\\)";
    struct Case {
        std::string fault;  // all of them touch sector 30, in the bar's second block
        std::vector<std::string> modes;
        std::string reason;  // a regular expression; empty: the track is copied
    };
    const Case cases[] = {
        {"readerror=-1@30 3/11/00", all, medium},
        {"readerror=1@30 3/11/00", {"/mb", "/mm"}, medium},
        {"readerror=1@30 3/11/00", {"/mn", "/ms"}, ""},
        {"readerror=-1@30 4/44/00", all, "Hardware error at sector 30 \\(internal drive failure\\)"},
        {"readerror=-1@30 3/11/07", {"/mn"}, "Medium error at sector 30 \\(ASC 11h, ASCQ 07h\\)"},
        {"short=-1@30", all, shortRead},
        {"short=4@30", {"/mb"}, shortRead},
        {"timeout=-1@30", all, timeOut},
        {"timeout=2@30", {"/mb"}, timeOut},
        {"unitattention=11:BE", {"/mb"}, "Unit attention in sectors 0-24 \\(the disc may have changed\\)"},
    };
    const std::string node = machine.nodePath("sg0");
    machine.addNode("sg0", "0:0:0:0", "");
    for (const Case& c : cases) {
        for (const std::string& mode : c.modes) {
            writeFile(node, image.imagesEntry() + "\n" + c.fault + "\n");
            fs::remove(dir.file("out01.wav"));
            RunResult r = run({mode, "out", "1"});
            std::string label = mode + " " + c.fault + "\n" + r.output;
            if (c.reason.empty()) {
                EXPECT_EQ(r.exitCode, 0) << label;
                EXPECT_TRUE(readFile(dir.file("out01.wav")).substr(46) == track(1)) << label;
                continue;
            }
            EXPECT_EQ(r.exitCode, 7) << label;
            // The bar ends where the failure came, and is left at once; what
            // was read stays partial.
            std::regex tail("[\\[.]\\n" + c.reason + " on " + literally(node) +
                            "\\nIncomplete Output Kept As \"out01\\.wav\\.part\"\\nExtraction Returned Error State\\n$");
            EXPECT_TRUE(std::regex_search(r.output, tail)) << label;
        }
    }
}

TEST(ReadinessTest, OnlyPlainRefusalsUseUpTheAttempts) {
    const SenseCode becomingReady{kSenseNotReady, 0x04, 0x01};
    const SenseCode noMedium{kSenseNotReady, 0x3A, 0};
    struct Case {
        const char* name;
        std::vector<SenseCode> answers;  // the drive's answers, the last repeated
        int tests;                       // TEST UNIT READY sent before giving up
        int seconds;                     // seconds waited
    };
    const Case cases[] = {
        {"no medium", {noMedium}, 3, 0},
        {"no sense at all", {SenseCode{}}, 3, 0},
        {"becoming ready for ever", {becomingReady}, kBecomingReadySeconds + 3, 20},
        {"becoming ready, then no medium", {becomingReady, becomingReady, noMedium}, 5, 2},
    };
    for (const Case& c : cases) {
        ReadinessWait wait;
        int tests = 0, seconds = 0;
        for (ReadinessStep step = ReadinessStep::TestAgain; step != ReadinessStep::GiveUp;) {
            const SenseCode& answer = c.answers[std::min<size_t>(tests, c.answers.size() - 1)];
            ++tests;
            step = afterNotReady(answer, wait);
            if (step == ReadinessStep::WaitASecondThenTestAgain) ++seconds;
            ASSERT_LT(tests, 100) << c.name;
        }
        EXPECT_EQ(tests, c.tests) << c.name;
        EXPECT_EQ(seconds, c.seconds) << c.name;
    }

}

TEST(SenseTest, KeyConditionAndTheSectorOfTheError) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int key, asc, ascq;
        bool hasInformation;
        uint32_t information;
    };
    const Case cases[] = {
        {"fixed", {0xF0, 0, 0x03, 0, 0, 0x07, 0x08, 10, 0, 0, 0, 0, 0x11, 0x05}, 3, 0x11, 5, true, 1800},
        {"fixed, not valid", {0x70, 0, 0x03, 0, 0, 0x07, 0x08, 10, 0, 0, 0, 0, 0x11, 0}, 3, 0x11, 0, false, 0},
        {"fixed, deferred", {0x71, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0x00}, 6, 0x29, 0, false, 0},
        {"too short", {0xF0, 0}, 0, 0, 0, false, 0},
        {"unknown format", {0x7F, 0, 0x03, 0, 0, 0x07, 0x08}, 0, 0, 0, false, 0},
        {"descriptor", {0x72, 0x04, 0x44, 0x00, 0, 0, 0, 12,
                        0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x07, 0x08},
         4, 0x44, 0, true, 1800},
        {"descriptor, after another", {0x72, 0x03, 0x11, 0x00, 0, 0, 0, 20,
                                       0x02, 0x06, 0x80, 0, 0, 0, 0, 0,
                                       0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x07, 0x09},
         3, 0x11, 0, true, 1801},
        {"descriptor, not valid", {0x72, 0x03, 0x11, 0x00, 0, 0, 0, 12,
                                   0x00, 0x0A, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x07, 0x08},
         3, 0x11, 0, false, 0},
        {"descriptor, cut inside", {0x72, 0x03, 0x11, 0x00, 0, 0, 0, 12, 0x00, 0x0A, 0x80, 0},
         3, 0x11, 0, false, 0},
    };
    for (const Case& c : cases) {
        SenseCode sense = decodeSense(c.bytes.data(), static_cast<int>(c.bytes.size()));
        EXPECT_EQ(sense.key, c.key) << c.name;
        EXPECT_EQ(sense.asc * 0x100 + sense.ascq, c.asc * 0x100 + c.ascq) << c.name;
        EXPECT_EQ(sense.hasInformation, c.hasInformation) << c.name;
        EXPECT_EQ(sense.information, c.information) << c.name;
    }
}

}  // namespace
