#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/drive/aspi.h"
#include "engine/drive/image/virtualdisc.h"

// How one VOLTA_IMAGES entry wants its drive to behave.
struct VirtualDriveSettings {
    struct FailRange {
        int first = 0;
        int last = 0;
        int remaining = -1;  // reads still to fail; -1: all of them
    };

    std::string identity;  // 24 characters: vendor (8) and product (16)
    int shift = 0;         // sectors
    int readOffset = 0;    // stereo frames, as the published drive offsets count
    int jitter = 0;        // sectors either way
    unsigned long long seed = 1;
    std::vector<FailRange> failures;
    bool notReady = false;
    double speed = 0.0;  // times 75 sectors a second; 0: unthrottled
    bool noCdText = false;
    bool noToc = false;
};

// An MMC CD-ROM drive with a disc image in it. It answers the commands the
// engine sends (and the vendor reads of the identities it imitates) as a
// real drive would; anything else is CHECK CONDITION, ILLEGAL REQUEST.
class VirtualDrive : public ScsiTarget {
public:
    VirtualDrive(std::unique_ptr<VirtualDisc> disc, VirtualDriveSettings settings);
    uint8_t execute(RequestBlock& block) override;
    // Unthrottled, a read is one copy from the page cache.
    bool answersAtOnce() const override { return settings_.speed <= 0.0; }

private:
    using Clock = std::chrono::steady_clock;
    enum class Play { Idle, Playing, Paused, Completed };

    uint8_t testUnitReady(RequestBlock& block);
    uint8_t inquiry(RequestBlock& block);
    uint8_t readToc(RequestBlock& block);
    uint8_t readCd(RequestBlock& block);
    uint8_t readD8(RequestBlock& block);
    // READ CD of the formatted Q sub-channel alone.
    uint8_t readSubchannelQ(RequestBlock& block, int lba, int count);
    uint8_t read10(RequestBlock& block);
    uint8_t modeSelect(RequestBlock& block);
    uint8_t startStopUnit(RequestBlock& block);
    uint8_t playAudioMsf(RequestBlock& block);
    uint8_t pauseResume(RequestBlock& block);
    uint8_t readSubChannel(RequestBlock& block);

    // Audio sectors as the drive's read head finds them: shifted, jittered,
    // failing where told, and as slow as the set speed.
    uint8_t readAudio(RequestBlock& block, int lba, int count, bool bigEndian);
    uint8_t readUserData(RequestBlock& block, int lba, int count);
    bool failRead(int lba, int count);
    // The disc's sectors as seen through the drive's read offset.
    int readOffsetSectors(int lba, int count, uint8_t* out);
    int nextJitter();
    void takeTime(int sectors);
    int playPosition();
    uint8_t reply(RequestBlock& block, const uint8_t* data, int size, int allocation);
    uint8_t checkCondition(RequestBlock& block, int key, int asc, int ascq = 0);
    bool hasMedium() const { return !ejected_; }

    std::unique_ptr<VirtualDisc> disc_;
    VirtualDriveSettings settings_;
    bool d8Reads_;
    bool philipsReads_;
    int blockLength_ = 2048;
    bool ejected_ = false;
    unsigned long long random_;
    Clock::time_point busyUntil_{};

    Play play_ = Play::Idle;
    int playFrom_ = 0;  // position when the clock was last set
    int playEnd_ = 0;
    Clock::time_point playClock_{};

    std::vector<uint8_t> scratch_;
};

// Reads the ";"-separated list of VOLTA_IMAGES (null or empty: no drives)
// into `host`, drive k at target k, LUN 0. Each entry is a CUE sheet path
// followed by ","-separated settings:
//   identity=TEXT  INQUIRY vendor (8) and product (16), padded or cut to 24
//   shift=N        audio reads deliver the range N sectors later (N < 0: earlier)
//   offset=N       a drive whose read offset is N frames: position p holds the
//                  disc's frame p - N (silence outside the disc)
//   jitter=N       each audio read shifted by a pseudo-random -N..N sectors
//   seed=S         the sequence of those shifts
//   fail=A-B[:K]   audio reads touching sectors A..B fail (only the first K)
//   notready       TEST UNIT READY never succeeds
//   speed=X        reads take as long as on an X-speed drive
//   nocdtext       READ TOC format 5 fails
//   notoc          READ TOC format 0 fails
// 0 on success; otherwise `failure` is the one line that explains what
// could not be loaded.
int loadVirtualDrives(const char* list, HostAdapter& host, std::string& failure);
