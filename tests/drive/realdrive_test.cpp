// Real drives through the kernel's SCSI generic and CD-ROM nodes, found in
// a sysfs tree and a device folder of the test's own.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/runvolta.h"

namespace fs = std::filesystem;

namespace {

const std::string kHead = "Running in Standalone Normal Mode\n";
const std::string kTableHead =
    "\nDevice                           Parameter\n"
    "----------------------------------------------\n";

// A machine's sysfs tree and device folder inside a temp dir.
class FakeMachine {
public:
    explicit FakeMachine(const TempDir& dir) : sysfs_(dir.file("sys")), devices_(dir.file("dev")) {
        fs::create_directories(sysfs_ + "/class/scsi_generic");
        fs::create_directories(sysfs_ + "/class/block");
        fs::create_directories(devices_);
    }

    // `node` ("sg0", "sr1", ...) of the SCSI device "H:C:T:L" of `type`.
    void addNode(const std::string& node, const std::string& address, int type = 5) {
        std::string device = sysfs_ + "/devices/" + address;
        fs::create_directories(device);
        writeFile(device + "/type", std::to_string(type) + "\n");
        std::string cls = node.rfind("sg", 0) == 0 ? "scsi_generic" : "block";
        fs::create_directories(sysfs_ + "/class/" + cls + "/" + node);
        fs::create_symlink(device, sysfs_ + "/class/" + cls + "/" + node + "/device");
    }

    RunOptions options() const {
        RunOptions run;
        run.env = {{"VOLTA_SYSFS", sysfs_}, {"VOLTA_DEV", devices_}, {"VOLTA_NO_REAL_HOSTS", ""}};
        return run;
    }

private:
    std::string sysfs_;
    std::string devices_;
};

TEST(RealDriveTest, TestsReachOnlyTheHostsTheyAskFor) {
    TempDir dir;
    FakeMachine machine(dir);
    machine.addNode("sg0", "0:0:0:0");
    RunResult seen = runVolta({"/scan"}, machine.options());
    EXPECT_EQ(seen.exitCode, 0);
    EXPECT_NE(seen.output.find("ASPI Initialized, 1 Host Adapters Present\n"), std::string::npos)
        << seen.output;

    RunOptions none = machine.options();
    none.env.back().second = "1";
    RunResult hidden = runVolta({"/scan"}, none);
    EXPECT_EQ(hidden.output,
              bannerText() + kHead + "ASPI Initialized, 0 Host Adapters Present\n" + kTableHead);
}

}  // namespace
