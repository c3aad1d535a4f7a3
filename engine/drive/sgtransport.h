#pragma once

#include <string>
#include <vector>

#include "engine/drive/aspi.h"

// Real drives through the Linux SCSI generic driver: one SG_IO call per
// command, run by the device's command queue.
class SgDevice : public ScsiTarget {
public:
    // `reportDenied`: say so when the device may not be opened (only worth
    // saying for CD-ROM drives; other devices are merely not listed).
    SgDevice(std::string path, bool reportDenied);
    ~SgDevice() override;
    uint8_t execute(RequestBlock& block) override;

private:
    int openDevice();

    std::string path_;
    bool reportDenied_;
    bool reported_ = false;
    int fd_ = -1;
};

// The machine's SCSI hosts that carry sg devices, in ascending host
// number, each with its devices at their own target and LUN.
std::vector<HostAdapter> findSgHosts();
