#include "engine/drive/sgtransport.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// The engine waits for a command without limit; the driver insists on a
// time-out, so it gets one no working drive ever reaches.
constexpr unsigned kTimeoutMs = 10 * 60 * 1000;
constexpr int kCdromType = 5;

// ASPI leaves the direction to the command; SG_IO needs it spelled out.
int transferDirection(const RequestBlock& block) {
    if (block.length == 0) return SG_DXFER_NONE;
    switch (block.cdb[0]) {
        case 0x15:  // MODE SELECT(6)
        case 0x55:  // MODE SELECT(10)
            return SG_DXFER_TO_DEV;
        default:
            return SG_DXFER_FROM_DEV;
    }
}

struct SgAddress {
    int host, channel, target, lun;
};

// /sys/class/scsi_generic/sgN/device links to a directory named "H:C:T:L".
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

// Tests point these at a tree of their own, so that they never reach the
// machine's drives.
std::string folderFromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

SgDevice::SgDevice(std::string path, bool reportDenied)
    : path_(std::move(path)), reportDenied_(reportDenied) {}

SgDevice::~SgDevice() {
    if (fd_ >= 0) close(fd_);
}

// Without O_NONBLOCK the open waits for as long as another program holds
// the device exclusively; SG_IO itself blocks either way.
int SgDevice::openDevice() {
    fd_ = open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) return 0;
    if ((errno == EACCES || errno == EPERM) && reportDenied_ && !reported_) {
        reported_ = true;
        std::printf("Cannot open %s: permission denied (the user needs read and write access)\n",
                    path_.c_str());
        std::fflush(stdout);
    }
    return 1;
}

uint8_t SgDevice::execute(RequestBlock& block) {
    if (fd_ < 0 && openDevice() != 0) return kStatusError;
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.cmd_len = static_cast<unsigned char>(block.cdbLength);
    io.cmdp = block.cdb;
    io.dxfer_direction = transferDirection(block);
    io.dxferp = block.buffer;
    io.dxfer_len = static_cast<unsigned>(block.length);
    io.sbp = block.sense;
    io.mx_sb_len = kSenseBytes;
    io.timeout = kTimeoutMs;
    if (ioctl(fd_, SG_IO, &io) < 0) return kStatusError;
    return (io.info & SG_INFO_OK_MASK) == SG_INFO_OK ? kStatusComplete : kStatusError;
}

std::vector<HostAdapter> findSgHosts() {
    if (const char* none = std::getenv("VOLTA_NO_REAL_HOSTS"); none && *none) return {};
    std::string sysfs = folderFromEnvironment("VOLTA_SYSFS", "/sys");
    std::string devices = folderFromEnvironment("VOLTA_DEV", "/dev");
    std::map<int, HostAdapter> byHostNumber;
    std::error_code ec;
    for (fs::directory_iterator entry(sysfs + "/class/scsi_generic", ec), end;
         !ec && entry != end; entry.increment(ec)) {
        SgAddress address;
        if (!readAddress(entry->path(), address)) continue;
        HostAdapter::Device device;
        device.target = address.target;
        device.lun = address.lun;
        std::string node = devices + "/" + entry->path().filename().string();
        device.unit = std::make_unique<SgDevice>(node, readDeviceType(entry->path()) == kCdromType);
        byHostNumber[address.host].devices.push_back(std::move(device));
    }
    std::vector<HostAdapter> hosts;
    for (auto& [number, host] : byHostNumber) hosts.push_back(std::move(host));
    return hosts;
}
