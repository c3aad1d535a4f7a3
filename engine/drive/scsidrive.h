#pragma once

#include "engine/drive/cddrive.h"

// A local drive reached through the SCSI transport. It does everything but
// read audio, which is what its three variants add, each with the read
// command its kind of drive understands.
class ScsiDrive : public CdDrive {
public:
    using CdDrive::CdDrive;
    int spinUp() override;
    int readPosition() override;
    int eject() override;
    int stop() override;
    int waitRead(ScsiRequest& request) override;
    int resume() override;
    int pause() override;
    int playToEnd(int track) override;
    int playTrack(int track) override;
    int startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) override;
    int leaveCddaMode() override;
    int enterCddaMode() override;
    int playAudio(int lba, int length) override;
    int readToc() override;
    // The formatted Q sub-channel of one sector, read with READ CD; 0 when
    // the drive gave it.
    int readSubchannelQ(int lba, uint8_t (&q)[16]);

protected:
    int startStopUnit(uint8_t operation);
    int pauseResume(uint8_t resumeBit);
    // Prepares the request for `count` sectors into `buffer` and starts it.
    void startCommand(ScsiRequest& request, const uint8_t* cdb, int cdbLength, uint8_t* buffer,
                      int count);
    // Waits for a read started by startCommand: 0 when it completed.
    static int finishRead(ScsiRequest& request);

private:
    static constexpr int kCdTextBytes = 32768;
    uint8_t subChannel_[16] = {};
    uint8_t cdText_[kCdTextBytes] = {};
};

// PLEXTOR and SONY: the vendor read 0xD8.
class D8Drive : public ScsiDrive {
public:
    using ScsiDrive::ScsiDrive;
    int startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) override;
    int waitRead(ScsiRequest& request) override;
    int leaveCddaMode() override { return 0; }
    int enterCddaMode() override { return 0; }
};

// ATAPI and MMC drives: READ CD of CD-DA sectors.
class MmcDrive : public ScsiDrive {
public:
    MmcDrive(AspiLibrary* library, int host, int target, int lun);
    int startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) override;
    int waitRead(ScsiRequest& request) override;
    int leaveCddaMode() override { return 0; }
    int enterCddaMode() override { return 0; }
};

// PHILIPS: READ(10) after switching the block length to 2352 bytes; the
// audio arrives with its byte pairs swapped.
class NrDrive : public ScsiDrive {
public:
    using ScsiDrive::ScsiDrive;
    int startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) override;
    int waitRead(ScsiRequest& request) override;
    int leaveCddaMode() override;
    int enterCddaMode() override;

    int byteSwap = 1;
    uint8_t densityCode = 0;

private:
    int selectBlockLength(int bytes);
    uint8_t modeParameters_[12] = {};
};
