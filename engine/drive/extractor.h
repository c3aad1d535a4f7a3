#pragma once

#include "engine/drive/aspi.h"
#include "engine/drive/cddrive.h"

#include <cstdint>
#include <memory>

class AudioStage;
class ProgressMeter;

// One read of at most 25 sectors in flight, with the request that carries
// it, into memory that the owner keeps until the read is finished.
class ReadRequest {
public:
    ReadRequest(CdDrive& drive, AspiLibrary& library);
    // A read still in flight writes into its memory, so it is waited for.
    ~ReadRequest();
    ReadRequest(const ReadRequest&) = delete;
    ReadRequest& operator=(const ReadRequest&) = delete;

    void start(uint8_t* into, int lba, int count);
    // 0 when the read started last has delivered its sectors; a failure
    // goes into the drive's tally.
    int finish();
    // The failed read is about to be repeated.
    void noteRetry() { drive.readTally.noteRetry(); }
    // Why the read failed, when the transport says; else empty.
    const char* failure() const;

    const uint8_t* data() const { return target; }
    int sectors() const { return count; }
    int bytes() const { return count * kSectorBytes; }

private:
    CdDrive& drive;
    ScsiRequest request;
    uint8_t* target = nullptr;
    int lba = 0;
    int count = 0;
    bool pending = false;
    int startResult = 0;
};

// A read request with a buffer of its own.
class ReadSlot {
public:
    static constexpr int kBytes = kMaxSectorsPerRead * kSectorBytes;

    ReadSlot(CdDrive& drive, AspiLibrary& library) : request(drive, library) {}

    void start(int lba, int count) { request.start(buffer, lba, count); }
    int finish() { return request.finish(); }
    int read(int lba, int count);
    void noteRetry() { request.noteRetry(); }
    const char* failure() const { return request.failure(); }

    const uint8_t* data() const { return buffer; }
    int sectors() const { return request.sectors(); }
    int bytes() const { return request.bytes(); }

private:
    uint8_t buffer[kBytes];
    ReadRequest request;  // after the buffer, so that it is destroyed first
};

// Copies one exclusive range of sectors from the drive into the head of an
// audio chain. The chain stays with its owner; the extractor borrows the
// owner's pointer because memory mode puts a stage in front for a while.
class Extractor {
public:
    Extractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library);
    // One that reads no drive of its own.
    explicit Extractor(std::unique_ptr<AudioStage>& output);
    // 0 on success, non-zero on a failure or when the user pressed ESC.
    virtual int run(int startLba, int endLba, ProgressMeter& progress);
    virtual ~Extractor();

    // The stages in front of `processing` see the audio as the drive
    // delivers it: what a mode adds to the processing goes behind them.
    void keepInFront(std::unique_ptr<AudioStage>& processing) { processing_ = &processing; }

protected:
    static int sectorsBetween(int startLba, int endLba);
    static int percentOf(long long done, long long total);
    void beginProgress(ProgressMeter& progress, const char* title);
    // Percent 100, final update, finish; then the result of the run.
    int finishRun(ProgressMeter& progress, int stop);
    // A read that could not be completed ends the run; `why` is said on
    // a line of its own below the bar.
    int failRead(ProgressMeter& progress, const char* why = "");
    // Reads with the /r retry rule; `retries` is the budget left.
    static int readWithRetries(ReadSlot& slot, int lba, int count, int& retries, ProgressMeter& progress);

    std::unique_ptr<AudioStage>& processing() { return processing_ ? *processing_ : output; }

    AspiLibrary* library;
    CdDrive* drive;
    std::unique_ptr<AudioStage>& output;

private:
    std::unique_ptr<AudioStage>* processing_ = nullptr;
};
