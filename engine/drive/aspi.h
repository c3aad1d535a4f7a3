#pragma once

#include <cstdint>

// Stand-in for the ASPI library: the process-wide holder of the SCSI
// transport. Host adapters 0..n-1 are the machine's SCSI hosts that carry
// sg devices, followed by one adapter for the virtual drives of VOLTA_IMAGES.
class AspiLibrary;

// The one library instance, set up before the main flow starts.
AspiLibrary& aspiLibrary();

// Success status of a completed request, as ASPI reports it.
constexpr uint8_t kStatusComplete = 1;
constexpr uint8_t kStatusPending = 0;

// One SCSI command in flight. The data buffer belongs to the caller and
// must outlive the command.
class ScsiRequest {
public:
    explicit ScsiRequest(AspiLibrary& library);
    virtual ~ScsiRequest();
    ScsiRequest(const ScsiRequest&) = delete;
    ScsiRequest& operator=(const ScsiRequest&) = delete;

    // Clears the request and addresses it; the caller then fills cdb().
    void prepare(int host, int target, int lun, uint8_t* buffer, int length, int cdbLength);
    uint8_t* cdb();
    // Starts the command and returns at once.
    void execute();
    // Blocks until the command has completed.
    void wait();
    uint8_t status() const;
    bool succeeded() const { return status() == kStatusComplete; }
    uint8_t* buffer() const;
    int length() const;
};
