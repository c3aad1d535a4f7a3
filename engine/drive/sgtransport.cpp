#include "engine/drive/sgtransport.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "engine/common/byteorder.h"
#include "engine/common/owned.h"
#include "engine/drive/cddrive.h"
#include "engine/drive/drivestate.h"
#include "engine/drive/sensewords.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCdromType = 5;

// SAM status bytes and the sg driver's host and driver codes.
constexpr int kStatusGood = 0x00;
constexpr int kStatusCheckCondition = 0x02;
constexpr int kHostTimedOut = 0x03;
constexpr int kDriverTimedOut = 0x06;

// How each command the engine sends travels: its name in messages, its
// direction (ASPI leaves it to the command, SG_IO needs it spelled out),
// whether it reads audio (a reply shorter than asked is then a failure, as
// READ TOC and INQUIRY carry their own lengths, and the extractor that
// gives up on it says why), how long the kernel lets it run, and whether
// the kernel keeps it from ordinary users (0xD8 needs CAP_SYS_RAWIO, MODE
// SELECT a read-write open), which /dMMC avoids.
struct CommandRule {
    uint8_t opcode;
    const char* name;
    int direction;
    bool audioRead;
    unsigned timeoutMs;
    bool privileged;
};

constexpr unsigned kReadTimeoutMs = 60 * 1000;
constexpr unsigned kOtherTimeoutMs = 30 * 1000;

constexpr CommandRule kRules[] = {
    {0xBE, "READ CD", SG_DXFER_FROM_DEV, true, kReadTimeoutMs, false},
    {0xD8, "0xD8", SG_DXFER_FROM_DEV, true, kReadTimeoutMs, true},
    {0x28, "READ(10)", SG_DXFER_FROM_DEV, true, kReadTimeoutMs, false},
    {0x15, "MODE SELECT", SG_DXFER_TO_DEV, false, kOtherTimeoutMs, true},
    {0x00, "TEST UNIT READY", SG_DXFER_NONE, false, kOtherTimeoutMs, false},
    {0x12, "INQUIRY", SG_DXFER_FROM_DEV, false, kOtherTimeoutMs, false},
    {0x43, "READ TOC", SG_DXFER_FROM_DEV, false, kOtherTimeoutMs, false},
    {0x1B, "START STOP UNIT", SG_DXFER_NONE, false, kOtherTimeoutMs, false},
    {0x42, "READ SUB-CHANNEL", SG_DXFER_FROM_DEV, false, kOtherTimeoutMs, false},
    {0x47, "PLAY AUDIO MSF", SG_DXFER_NONE, false, kOtherTimeoutMs, false},
    {0x4B, "PAUSE/RESUME", SG_DXFER_NONE, false, kOtherTimeoutMs, false},
};
constexpr CommandRule kOtherCommand = {0, "", SG_DXFER_FROM_DEV, false, kOtherTimeoutMs, false};

const CommandRule& ruleFor(uint8_t opcode) {
    for (const CommandRule& rule : kRules)
        if (rule.opcode == opcode) return rule;
    return kOtherCommand;
}

std::string commandName(const CommandRule& rule, uint8_t opcode) {
    if (*rule.name) return rule.name;
    char name[8];
    std::snprintf(name, sizeof name, "0x%02X", opcode);
    return name;
}

// Why a node cannot be opened, as the user can act on it. A node whose
// group may not use it is not opened by joining the group.
std::string openFailure(const std::string& path, int error) {
    struct stat node;
    switch (error) {
        case EACCES:
        case EPERM:
            if (stat(path.c_str(), &node) == 0 && (node.st_mode & S_IRWXG) == 0)
                return "permission denied (the permissions of the node refuse every user but its "
                       "owner)";
            return "permission denied (the user must be in the group of the device, usually "
                   "cdrom, and log in again)";
        case EBUSY:
            return "device busy (another program holds the drive)";
        case ENOENT:
            return "no such device node";
        default:
            return std::strerror(error);
    }
}

// Room for descriptor-format sense with its INFORMATION descriptor; the
// request keeps the first kSenseBytes.
constexpr int kSenseBufferBytes = 32;

// What SG_IO's answer means: the request's status, whether the condition
// is worth sending the command again for, and the drive's sense.
struct Answer {
    uint8_t status = kStatusComplete;
    Transient transient = Transient::None;
    SenseCode sense;
};

Answer judge(const sg_io_hdr_t& io, const CommandRule& rule) {
    Answer answer;
    if (io.host_status == kHostTimedOut || (io.driver_status & 0x0F) == kDriverTimedOut) {
        answer.status = kStatusError;
        answer.transient = Transient::TimedOut;
        return answer;
    }
    if (io.host_status != 0) {
        answer.status = kStatusError;
        return answer;
    }
    int status = io.status & 0x7E;
    if (status == kStatusCheckCondition) {
        answer.sense = decodeSense(static_cast<const uint8_t*>(io.sbp), io.sb_len_wr);
        // The drive corrected the error itself: the data is good.
        if (answer.sense.key == kSenseRecoveredError) status = kStatusGood;
        if (answer.sense.key == kSenseUnitAttention) answer.transient = Transient::UnitAttention;
    }
    if (status != kStatusGood) {
        answer.status = kStatusError;
        return answer;
    }
    // A read that comes back short holds zeros or stale data where the
    // missing sectors should be.
    if (rule.audioRead && io.resid != 0) {
        answer.status = kStatusError;
        answer.transient = Transient::ShortTransfer;
    }
    return answer;
}

// The sectors a read asked for: every read command sent holds its first
// sector in bytes 2..5.
std::string sectorsOf(const RequestBlock& block) {
    long first = static_cast<long>(readBigEndian32(block.cdb + 2));
    return "in sectors " + std::to_string(first) + "-" +
           std::to_string(first + block.length / kSectorBytes - 1);
}

// The one line that says why a read failed for good.
std::string readFailure(const RequestBlock& block, const sg_io_hdr_t& io, const CommandRule& rule,
                        const Answer& answer) {
    if (answer.transient == Transient::TimedOut)
        return "Time-out " + sectorsOf(block) + " (no answer within " +
               std::to_string(rule.timeoutMs / 1000) + " seconds)";
    if (io.host_status != 0)
        return "Host adapter error " + sectorsOf(block) + " (host status " +
               std::to_string(io.host_status) + ")";
    if (answer.transient == Transient::ShortTransfer) {
        int delivered = (block.length - io.resid) / kSectorBytes;
        long first = static_cast<long>(readBigEndian32(block.cdb + 2));
        return "Short transfer at sector " + std::to_string(first + delivered) + " (" +
               std::to_string(delivered) + " of " + std::to_string(block.length / kSectorBytes) +
               " sectors delivered)";
    }
    const SenseCode& sense = answer.sense;
    if ((io.status & 0x7E) != kStatusCheckCondition)
        return "Drive status " + std::to_string(io.status) + " " + sectorsOf(block);
    std::string where = sense.hasInformation ? "at sector " + std::to_string(sense.information)
                                             : sectorsOf(block);
    return std::string(senseKeyWords(sense.key)) + " " + where + " (" +
           senseConditionWords(sense.asc, sense.ascq) + ")";
}

// One command through SG_IO. A condition that says nothing about the disc
// is met by sending the command again, within the budget of each
// condition, before anyone above hears of it. `why` is left empty when
// there is nothing to tell the user.
uint8_t sendCommand(int fd, const std::string& path, RequestBlock& block, const CommandRule& rule,
                    std::string& why) {
    std::string name = commandName(rule, block.cdb[0]);
    ResendBudget budget;
    for (;;) {
        uint8_t sense[kSenseBufferBytes] = {};
        sg_io_hdr_t io;
        std::memset(&io, 0, sizeof io);
        io.interface_id = 'S';
        io.cmd_len = static_cast<unsigned char>(block.cdbLength);
        io.cmdp = block.cdb;
        io.dxfer_direction = block.length == 0 ? SG_DXFER_NONE : rule.direction;
        io.dxferp = block.buffer;
        io.dxfer_len = static_cast<unsigned>(block.length);
        io.sbp = sense;
        io.mx_sb_len = sizeof sense;
        io.timeout = rule.timeoutMs;
        if (ioctl(fd, SG_IO, &io) < 0) {
            int error = errno;
            why = "Cannot send " + name + " to " + path + ": ";
            if (error == EPERM && rule.privileged)
                why += "not permitted to this user (/dMMC reads without it)";
            else
                why += std::strerror(error);
            return kStatusError;
        }
        Answer answer = judge(io, rule);
        if (budget.takeResend(answer.transient)) continue;
        std::memcpy(block.sense, sense, sizeof block.sense);
        if (answer.status == kStatusComplete) return answer.status;
        if (rule.audioRead)
            why = readFailure(block, io, rule, answer) + " on " + path;
        else if (answer.transient == Transient::TimedOut)
            why = name + " on " + path + " timed out";
        else if (io.host_status != 0)
            why = name + " on " + path + " failed in the host adapter (host status " +
                  std::to_string(io.host_status) + ")";
        return answer.status;
    }
}

struct SgAddress {
    int host, channel, target, lun;
};

// <class>/<node>/device links to the device's directory, named "H:C:T:L".
bool readAddress(const fs::path& entry, SgAddress& address) {
    std::error_code ec;
    fs::path link = fs::read_symlink(entry / "device", ec);
    if (ec) return false;
    std::string name = link.filename().string();
    return std::sscanf(name.c_str(), "%d:%d:%d:%d", &address.host, &address.channel,
                       &address.target, &address.lun) == 4;
}

int readDeviceType(const fs::path& entry) {
    std::ifstream in(entry / "device" / "type");
    int type = -1;
    in >> type;
    return type;
}

// A SCSI device as sysfs lists it under the scsi_generic and block
// classes, with the nodes that reach it.
struct SgNodeSet {
    int host = 0, channel = 0, target = 0, lun = 0;
    int type = -1;            // peripheral device type; 5: CD-ROM
    std::string genericNode;  // "sgN", empty when the sg driver is not loaded
    std::string cdromNode;    // "srN", empty for other devices
};

// The SCSI devices under `sysfsRoot`, each once, in host, channel, target,
// LUN order.
std::vector<SgNodeSet> findScsiDevices(const std::string& sysfsRoot) {
    std::map<std::tuple<int, int, int, int>, SgNodeSet> byAddress;
    auto collect = [&](const char* cls, const char* prefix, std::string SgNodeSet::*node) {
        std::error_code ec;
        for (fs::directory_iterator entry(sysfsRoot + "/class/" + cls, ec), end;
             !ec && entry != end; entry.increment(ec)) {
            std::string name = entry->path().filename().string();
            SgAddress a;
            if (name.rfind(prefix, 0) != 0 || !readAddress(entry->path(), a)) continue;
            SgNodeSet& device = byAddress[{a.host, a.channel, a.target, a.lun}];
            device.host = a.host;
            device.channel = a.channel;
            device.target = a.target;
            device.lun = a.lun;
            device.type = readDeviceType(entry->path());
            device.*node = name;
        }
    };
    collect("scsi_generic", "sg", &SgNodeSet::genericNode);
    collect("block", "sr", &SgNodeSet::cdromNode);
    std::vector<SgNodeSet> devices;
    for (auto& [address, device] : byAddress) devices.push_back(std::move(device));
    return devices;
}

// Tests point these at a tree of their own, so that they never reach the
// machine's drives.
std::string folderFromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

SgDevice::SgDevice(std::vector<std::string> paths, bool isCdrom)
    : paths_(std::move(paths)), isCdrom_(isCdrom) {}

SgDevice::~SgDevice() {
    if (fd_ >= 0) close(fd_);
}

void SgDevice::report(const std::string& line) {
    if (!isCdrom_ || line == lastReport_) return;
    lastReport_ = line;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Without O_NONBLOCK the open waits for as long as another program holds
// the device exclusively; SG_IO itself blocks either way. Read-only is
// enough for every command but MODE SELECT, so a node the user may only
// read still serves. Of the nodes that cannot be opened, a node that is
// there says more than one that is missing. A busy node ends the search:
// the program that holds it (a burner, say) is using the drive, which the
// other node reaches all the same.
int SgDevice::openDevice() {
    int error = 0;
    std::string failed;
    for (const std::string& path : paths_) {
        int why = 0;
        for (int mode : {O_RDWR, O_RDONLY}) {
            fd_ = open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
            if (fd_ >= 0) {
                path_ = path;
                return 0;
            }
            why = errno;
            if (why != EACCES && why != EPERM && why != EROFS) break;
        }
        if (failed.empty() || (error == ENOENT && why != ENOENT) || why == EBUSY) {
            error = why;
            failed = path;
        }
        if (why == EBUSY) break;
    }
    report("Cannot open " + failed + ": " + openFailure(failed, error));
    return 1;
}

// A read's failure goes with the request to the extractor, which may
// read again; any other command's is said at once.
uint8_t SgDevice::execute(RequestBlock& block) {
    if (fd_ < 0 && openDevice() != 0) return kStatusError;
    const CommandRule& rule = ruleFor(block.cdb[0]);
    std::string why;
    uint8_t status = sendCommand(fd_, path_, block, rule, why);
    if (why.empty()) return status;
    if (rule.audioRead)
        std::snprintf(block.reason, sizeof block.reason, "%s", why.c_str());
    else
        report(why);
    return status;
}

std::vector<HostAdapter> findSgHosts() {
    if (const char* none = std::getenv("VOLTA_NO_REAL_HOSTS"); none && *none) return {};
    std::string devicesFolder = folderFromEnvironment("VOLTA_DEV", "/dev");
    std::vector<HostAdapter> hosts;
    std::pair<int, int> current{-1, -1};
    for (const SgNodeSet& found : findScsiDevices(folderFromEnvironment("VOLTA_SYSFS", "/sys"))) {
        std::vector<std::string> paths;
        for (const std::string* node : {&found.genericNode, &found.cdromNode})
            if (!node->empty()) paths.push_back(devicesFolder + "/" + *node);
        HostAdapter::Device device;
        device.target = found.target;
        device.lun = found.lun;
        device.unit = makeOwned<SgDevice>(std::move(paths), found.type == kCdromType);
        if (!device.unit) continue;
        if (std::pair(found.host, found.channel) != current) {
            current = {found.host, found.channel};
            hosts.emplace_back();
        }
        hosts.back().devices.push_back(std::move(device));
    }
    return hosts;
}
