// Real drives through the kernel's SCSI generic and CD-ROM nodes: a sysfs
// tree and a device folder of the test's own, and a preloaded stand-in for
// the kernel that answers SG_IO on those nodes with a virtual drive.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
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
        std::string faults;    // lines of the node file after its entry; "no node": no file
        std::vector<std::string> args;
        int exitCode;
        std::string expected;  // a line (or lines) of the output; empty: none
        bool copied;           // track 1 written faithfully
    };
    const std::string node = machine.nodePath("sg0");
    const Case cases[] = {
        {"permission", "", "open=EACCES", {"/l"}, 3,
         "Cannot open " + node +
             ": permission denied (the user must be in the group of the device, usually cdrom, "
             "and log in again)\nError Executing Inquiry Command\n",
         false},
        {"busy", "", "open=EBUSY", {"/l"}, 3,
         "Cannot open " + node + ": device busy (another program holds the drive)\n", false},
        {"missing", "", "no node", {"/l"}, 3,
         "Cannot open " + node + ": no such device node\nError Executing Inquiry Command\n", false},
        {"short reads fail", "", "short=-1", {"/mn", "out", "1"}, 7,
         "Extraction Returned Error State\n", false},
        {"time-outs", "", "timeout=-1", {"/mn", "out", "1"}, 7,
         "READ CD on " + node + " timed out\n", false},
        {"a short read is read again", "", "short=2", {"/mn", "out", "1"}, 0, "", true},
        {"recovered errors are good reads", "", "recovered=3", {"/mb", "out", "1"}, 0, "", true},
        {"unit attentions are not attempts", "", "unitattention=5", {"/mn", "out", "1"}, 0, "",
         true},
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
        fs::remove(node);
        if (c.faults != "no node")
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

TEST(ReadinessTest, OnlyPlainRefusalsUseUpTheAttempts) {
    const SenseCode unitAttention{kSenseUnitAttention, 0x28, 0};
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
        {"news first", {unitAttention, unitAttention, noMedium}, 5, 0},
        {"news for ever", {unitAttention}, kUnitAttentionsIgnored + 3, 0},
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

    const uint8_t fixed[14] = {0xF0, 0, 0x06, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0x28, 0x01};
    const uint8_t descriptor[8] = {0x72, 0x02, 0x04, 0x01};
    SenseCode f = decodeSense(fixed, sizeof fixed), d = decodeSense(descriptor, sizeof descriptor);
    EXPECT_EQ(f.key * 0x10000 + f.asc * 0x100 + f.ascq, 0x062801);
    EXPECT_EQ(d.key * 0x10000 + d.asc * 0x100 + d.ascq, 0x020401);
    EXPECT_EQ(decodeSense(fixed, 2).key, kSenseNoSense);
}

}  // namespace
