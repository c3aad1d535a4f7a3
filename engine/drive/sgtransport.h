#pragma once

#include <string>
#include <vector>

#include "engine/drive/aspi.h"

// Real drives through the Linux kernel: SG_IO on the device's SCSI generic
// node (/dev/sgN) or, where there is none, on its CD-ROM node (/dev/srN).
// One SG_IO call per command, run by the device's command queue.
class SgDevice : public ScsiTarget {
public:
    // `paths`: the nodes of the device, the preferred first. `isCdrom`:
    // say why when the device cannot be opened or a command cannot be sent
    // (only worth saying for CD-ROM drives; other devices are merely not
    // listed).
    SgDevice(std::vector<std::string> paths, bool isCdrom);
    ~SgDevice() override;
    uint8_t execute(RequestBlock& block) override;

private:
    int openDevice();
    // Prints `line` unless the same line was the last one printed for this
    // device, so that retried commands do not repeat it.
    void report(const std::string& line);

    std::vector<std::string> paths_;
    std::string path_;  // the node that is open
    bool isCdrom_;
    std::string lastReport_;
    int fd_ = -1;
};

// The machine's SCSI devices as host adapters: one adapter per kernel host
// and channel, so that devices on two channels never share an address,
// each device at its own target and LUN. None when VOLTA_NO_REAL_HOSTS is
// set; VOLTA_SYSFS and VOLTA_DEV stand for /sys and /dev.
std::vector<HostAdapter> findSgHosts();
