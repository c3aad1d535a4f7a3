#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Stand-in for the ASPI library: the process-wide holder of the SCSI
// transport. Host adapters 0..n-1 are the channels of the machine's SCSI
// hosts that carry devices (sgtransport.h), followed by one adapter for the
// virtual drives of VOLTA_IMAGES.
class AspiLibrary;

// The one library instance, set up before the main flow starts.
AspiLibrary& aspiLibrary();

// Success status of a completed request, as ASPI reports it.
constexpr uint8_t kStatusComplete = 1;
constexpr uint8_t kStatusPending = 0;
// Failure statuses: the device answered CHECK CONDITION (or another bad
// status), the host adapter does not exist, no device at the address.
constexpr uint8_t kStatusAborted = 0x02;  // never started: the process is ending
constexpr uint8_t kStatusError = 0x04;
constexpr uint8_t kStatusInvalidHost = 0x81;
constexpr uint8_t kStatusNoDevice = 0x82;

constexpr int kSenseBytes = 14;
constexpr int kReasonBytes = 256;

// Auto-reset event: one signal releases one wait.
class CompletionEvent {
public:
    void signal();
    void wait();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

// The execute-command block a request hands to the transport: address,
// data buffer, CDB, sense area and the status the device side sets once
// the command has run.
struct RequestBlock {
    int host = 0;
    int target = 0;
    int lun = 0;
    uint8_t* buffer = nullptr;
    int length = 0;
    int cdbLength = 0;
    uint8_t cdb[16] = {};
    uint8_t sense[kSenseBytes] = {};
    // Why a read failed, in one line, when the transport can say it. Reads
    // are said by whoever gives up on them, as they may be read again.
    char reason[kReasonBytes] = {};
    std::atomic<uint8_t> status{kStatusPending};
    CompletionEvent* event = nullptr;

    // Called exactly once per command by whoever ran it.
    void complete(uint8_t result);
};

// A device on a host adapter: runs one command at a time to completion.
class ScsiTarget {
public:
    virtual ~ScsiTarget();
    // Runs the command and returns its status; may block for as long as
    // the command takes.
    virtual uint8_t execute(RequestBlock& block) = 0;
    // True when every command is done in less time than handing it to a
    // worker thread would take; the sender then runs it itself.
    virtual bool answersAtOnce() const { return false; }
};

class CommandQueue;

// One host adapter: the devices it carries, by target and LUN.
struct HostAdapter {
    struct Device {
        Device();
        Device(Device&&) noexcept;
        Device& operator=(Device&&) noexcept;
        ~Device();
        int target = 0;
        int lun = 0;
        std::unique_ptr<ScsiTarget> unit;
        std::unique_ptr<CommandQueue> queue;  // started on the first command
    };
    std::vector<Device> devices;
};

class AspiLibrary {
public:
    // Real hosts first, then the virtual adapter when VOLTA_IMAGES names
    // any drive. `failure` non-empty makes the library unusable and is the
    // line that explains why.
    AspiLibrary(std::vector<HostAdapter> hosts, std::string failure);
    ~AspiLibrary();
    AspiLibrary(const AspiLibrary&) = delete;
    AspiLibrary& operator=(const AspiLibrary&) = delete;

    int hostAdapterCount() const { return static_cast<int>(hosts_.size()); }
    int isReady() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }

    // Hands the block to its device; the outcome arrives through the
    // block's event and status.
    void send(RequestBlock& block);

private:
    std::vector<HostAdapter> hosts_;
    std::string failure_;
};

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
    const uint8_t* sense() const { return block_.sense; }
    // Empty when the command succeeded or the transport has nothing to say.
    const char* failure() const { return block_.reason; }

private:
    AspiLibrary& library_;
    CompletionEvent event_;
    RequestBlock block_;
    bool outstanding_ = false;
};
