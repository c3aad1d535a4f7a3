// Loaded with LD_PRELOAD into a volta under test: the files of the folder
// SGFAKE_DEV stand for a machine's /dev/sgN and /dev/srN nodes, and
// ioctl(SG_IO) on them is answered by a virtual drive and reported back
// in the sg_io_hdr as the kernel's sg and sr drivers fill it.
//
// A node file's first line is a VOLTA_IMAGES entry (the sheet and the
// drive's settings); each further line is one fault of the node. N counts
// the commands a fault hits (-1: all of them); @S narrows an audio read's
// fault to the reads that touch sector S.
//   open=EACCES|EBUSY     opening the node fails so
//   refuse=HH             SG_IO of opcode HH (hex) fails with EPERM
//   unitattention=N[:HH]  the next N commands but INQUIRY (of opcode HH
//                         only) report UNIT ATTENTION
//   becomingready=N       the next N TEST UNIT READY report NOT READY,
//                         becoming ready
//   short=N[@S]           audio reads come back one sector short: GOOD
//                         status, resid 2352
//   recovered=N[@S]       audio reads report RECOVERED ERROR
//   timeout=N[@S]         audio reads time out in the host adapter
//   readerror=N@S K/AA/QQ audio reads report sense key K, ASC AA and
//                         ASCQ QQ (hex), with S as the INFORMATION field

#include <dlfcn.h>
#include <fcntl.h>
#include <scsi/sg.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/drive/aspi.h"
#include "engine/drive/image/virtualdrive.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kSector = 2352;
constexpr int kCheckCondition = 0x02;
constexpr int kDriverSense = 0x08;
constexpr int kHostTimedOut = 0x03;

// Counts down a fault; -1 stays on for good.
bool take(int& count) {
    if (count == 0) return false;
    if (count > 0) --count;
    return true;
}

// A fault of audio reads.
struct ReadFault {
    int count = 0;
    long sector = -1;  // any read when -1
    int key = 0, asc = 0, ascq = 0;

    // Counts the read down when the fault hits it.
    bool hits(const uint8_t* cdb, unsigned length) {
        long first = static_cast<long>(cdb[2]) << 24 | cdb[3] << 16 | cdb[4] << 8 | cdb[5];
        if (sector >= 0 && (sector < first || sector >= first + length / kSector)) return false;
        return take(count);
    }
};

struct FakeNode {
    HostAdapter drive;  // the one virtual drive, target 0
    std::string failure;
    int openError = 0;
    std::vector<int> refused;
    int unitAttentions = 0;
    int unitAttentionOpcode = -1;  // any command but INQUIRY when -1
    int becomingReady = 0;
    ReadFault shortReads, recoveredReads, timeouts, readErrors;
};

// Recursive: loading a node opens its disc image through open() below.
std::recursive_mutex mutex;
std::map<std::string, std::unique_ptr<FakeNode>> nodes;

int errnoByName(const std::string& name) {
    if (name == "EACCES") return EACCES;
    if (name == "EBUSY") return EBUSY;
    return EIO;
}

std::unique_ptr<FakeNode> loadNode(const std::string& path) {
    auto node = std::make_unique<FakeNode>();
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    if (loadVirtualDrives(line.c_str(), node->drive, node->failure) != 0 ||
        node->drive.devices.empty())
        return nullptr;
    while (std::getline(in, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        const char* text = value.c_str();
        ReadFault fault;
        std::sscanf(text, "%d@%ld %x/%x/%x", &fault.count, &fault.sector, &fault.key, &fault.asc,
                    &fault.ascq);
        if (key == "open") node->openError = errnoByName(value);
        if (key == "refuse") node->refused.push_back(std::stoi(value, nullptr, 16));
        if (key == "unitattention")
            std::sscanf(text, "%d:%x", &node->unitAttentions, &node->unitAttentionOpcode);
        if (key == "becomingready") node->becomingReady = std::stoi(value);
        if (key == "short") node->shortReads = fault;
        if (key == "recovered") node->recoveredReads = fault;
        if (key == "timeout") node->timeouts = fault;
        if (key == "readerror") node->readErrors = fault;
    }
    return node;
}

// The node a path names, loaded on first use; null for any other file.
FakeNode* nodeAt(const std::string& path) {
    const char* folder = std::getenv("SGFAKE_DEV");
    if (!folder || path.rfind(std::string(folder) + "/", 0) != 0) return nullptr;
    auto found = nodes.find(path);
    if (found == nodes.end()) found = nodes.emplace(path, loadNode(path)).first;
    return found->second.get();
}

std::string pathOf(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<size_t>(length));
}

void setSense(RequestBlock& block, int key, int asc, int ascq, long information = -1) {
    std::memset(block.sense, 0, sizeof block.sense);
    block.sense[0] = information >= 0 ? 0xF0 : 0x70;
    block.sense[2] = static_cast<uint8_t>(key);
    for (int i = 0; i < 4 && information >= 0; ++i)
        block.sense[3 + i] = static_cast<uint8_t>(information >> (24 - 8 * i));
    block.sense[7] = 6;
    block.sense[12] = static_cast<uint8_t>(asc);
    block.sense[13] = static_cast<uint8_t>(ascq);
}

bool isAudioRead(uint8_t opcode) { return opcode == 0xBE || opcode == 0xD8 || opcode == 0x28; }

int answer(FakeNode& node, sg_io_hdr_t& io) {
    if (io.interface_id != 'S') {
        errno = ENOSYS;
        return -1;
    }
    if (!io.cmdp || io.cmd_len < 6 || io.cmd_len > 16) {
        errno = EINVAL;
        return -1;
    }
    uint8_t opcode = io.cmdp[0];
    if (std::find(node.refused.begin(), node.refused.end(), opcode) != node.refused.end()) {
        errno = EPERM;
        return -1;
    }
    bool audioRead = isAudioRead(opcode);
    if (audioRead && node.timeouts.hits(io.cmdp, io.dxfer_len)) {
        io.status = io.masked_status = io.msg_status = 0;
        io.sb_len_wr = 0;
        io.host_status = kHostTimedOut;
        io.driver_status = 0;
        io.resid = static_cast<int>(io.dxfer_len);
        io.duration = io.timeout;
        io.info = SG_INFO_CHECK;
        return 0;
    }
    RequestBlock block;
    block.buffer = static_cast<uint8_t*>(io.dxferp);
    block.length = static_cast<int>(io.dxfer_len);
    block.cdbLength = io.cmd_len;
    std::memcpy(block.cdb, io.cmdp, io.cmd_len);
    uint8_t status;
    int resid = 0;
    bool attention =
        opcode != 0x12 && (node.unitAttentionOpcode < 0 || opcode == node.unitAttentionOpcode);
    if (attention && take(node.unitAttentions)) {
        setSense(block, 0x06, 0x28, 0x00);  // not ready to ready change, medium may have changed
        status = kStatusError;
    } else if (audioRead && node.readErrors.hits(io.cmdp, io.dxfer_len)) {
        const ReadFault& fault = node.readErrors;
        setSense(block, fault.key, fault.asc, fault.ascq, fault.sector);
        status = kStatusError;
    } else if (opcode == 0x00 && take(node.becomingReady)) {
        setSense(block, 0x02, 0x04, 0x01);
        status = kStatusError;
    } else {
        status = node.drive.devices[0].unit->execute(block);
        if (status == kStatusComplete && opcode == 0x43 && block.length >= 2) {
            // The table's own length says how much of the buffer it fills.
            int filled = std::min(block.length, (block.buffer[0] << 8 | block.buffer[1]) + 2);
            resid = block.length - filled;
        }
        if (status == kStatusComplete && audioRead && block.length >= kSector) {
            if (node.shortReads.hits(io.cmdp, io.dxfer_len)) {
                std::memset(block.buffer + block.length - kSector, 0, kSector);
                resid = kSector;
            } else if (node.recoveredReads.hits(io.cmdp, io.dxfer_len)) {
                setSense(block, 0x01, 0x17, 0x01);  // recovered data with retries
                status = kStatusError;
            }
        }
    }
    bool check = status != kStatusComplete;
    io.status = check ? kCheckCondition : 0;
    io.masked_status = static_cast<unsigned char>(io.status >> 1);
    io.msg_status = 0;
    io.host_status = 0;
    io.driver_status = check ? kDriverSense : 0;
    io.sb_len_wr = 0;
    if (check && io.sbp) {
        int length = std::min<int>({io.mx_sb_len, 8 + block.sense[7], kSenseBytes});
        std::memcpy(io.sbp, block.sense, static_cast<size_t>(length));
        io.sb_len_wr = static_cast<unsigned char>(length);
    }
    io.resid = check && block.sense[2] != 0x01 ? static_cast<int>(io.dxfer_len) : resid;
    io.duration = 1;
    io.info = check ? SG_INFO_CHECK : SG_INFO_OK;
    return 0;
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// 0 when the path is not a node that refuses to open.
int openError(const char* path) {
    if (!path) return 0;
    std::lock_guard lock(mutex);
    FakeNode* node = nodeAt(path);
    return node ? node->openError : 0;
}

int modeOf(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(arguments, int) : 0;
}

using OpenFunction = int (*)(const char*, int, ...);

int openThrough(OpenFunction real, const char* path, int flags, int mode) {
    if (int error = openError(path)) {
        errno = error;
        return -1;
    }
    return real(path, flags, mode);
}

}  // namespace

FAKE_EXPORT int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (request == SG_IO) {
        std::lock_guard lock(mutex);
        if (FakeNode* node = nodeAt(pathOf(fd))) return answer(*node, *static_cast<sg_io_hdr_t*>(argument));
    }
    static auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    return real(fd, request, argument);
}

FAKE_EXPORT int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    int mode = modeOf(flags, arguments);
    va_end(arguments);
    static auto real = next<OpenFunction>("open");
    return openThrough(real, path, flags, mode);
}

FAKE_EXPORT int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    int mode = modeOf(flags, arguments);
    va_end(arguments);
    static auto real = next<OpenFunction>("open64");
    return openThrough(real, path, flags, mode);
}
