// The command descriptor blocks every drive operation sends, and what the
// drive classes make of the answers, against a device that records.

#include "engine/drive/scsidrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/drive/aspi.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Sent {
    Bytes cdb;
    int length = 0;
    Bytes dataOut;  // the buffer as the command found it
};

class RecordingTarget : public ScsiTarget {
public:
    uint8_t execute(RequestBlock& block) override {
        Sent sent;
        sent.cdb.assign(block.cdb, block.cdb + block.cdbLength);
        sent.length = block.length;
        if (block.buffer) sent.dataOut.assign(block.buffer, block.buffer + block.length);
        log.push_back(sent);
        Bytes& answer = answers.empty() ? noAnswer : answers.front();
        std::copy_n(answer.begin(), std::min<size_t>(answer.size(), block.length), block.buffer);
        if (!answers.empty()) answers.erase(answers.begin());
        return status;
    }

    std::vector<Sent> log;
    std::vector<Bytes> answers;  // data-in of the next commands, in order
    Bytes noAnswer;
    uint8_t status = kStatusComplete;
};

class DriveCommandTest : public ::testing::Test {
protected:
    DriveCommandTest() {
        HostAdapter host;
        for (int lun : {0, 1}) {
            HostAdapter::Device device;
            device.target = 2;
            device.lun = lun;
            auto unit = std::make_unique<RecordingTarget>();
            (lun == 0 ? device0 : device1) = unit.get();
            device.unit = std::move(unit);
            host.devices.push_back(std::move(device));
        }
        std::vector<HostAdapter> hosts;
        hosts.push_back(std::move(host));
        library = std::make_unique<AspiLibrary>(std::move(hosts), "");
    }

    const Sent& last() const { return device0->log.back(); }

    std::unique_ptr<AspiLibrary> library;
    RecordingTarget* device0 = nullptr;
    RecordingTarget* device1 = nullptr;
};

TEST_F(DriveCommandTest, LunInByteOneExceptForMmcDrives) {
    ScsiDevice device(library.get(), 0, 2, 1);
    EXPECT_EQ(device.testUnitReady(), 1);
    EXPECT_EQ(device1->log.back().cdb, (Bytes{0x00, 0x20, 0, 0, 0, 0}));
    EXPECT_EQ(device1->log.back().length, 0);
    device1->status = kStatusError;
    EXPECT_EQ(device.testUnitReady(), 0);

    // An MMC drive leaves the LUN to the transport: those bits mean other things there.
    device1->status = kStatusComplete;
    std::vector<uint8_t> buffer(2352);
    ScsiRequest request(*library);
    MmcDrive mmc(library.get(), 0, 2, 1);
    mmc.testUnitReady();
    EXPECT_EQ(device1->log.back().cdb, (Bytes{0x00, 0, 0, 0, 0, 0}));
    mmc.startRead(request, buffer.data(), 0, 1);
    EXPECT_EQ(mmc.waitRead(request), 0);
    EXPECT_EQ(device1->log.back().cdb[1], 0x04);
    mmc.readPosition();
    EXPECT_EQ(device1->log.back().cdb[1], 0x02);
}

TEST_F(DriveCommandTest, InquiryFillsIdentityAndType) {
    Bytes answer(32, 0);
    answer[0] = 0x85;  // qualifier bits above the type
    std::memcpy(answer.data() + 8, "PLEXTOR CD-ROM PX-40TS  ", 24);
    device0->answers.push_back(answer);
    ScsiDevice device(library.get(), 0, 2, 0);
    EXPECT_EQ(device.inquiry(), 0);
    EXPECT_EQ(last().cdb, (Bytes{0x12, 0, 0, 0, 32, 0}));
    EXPECT_EQ(last().length, 32);
    EXPECT_STREQ(device.identity, "PLEXTOR CD-ROM PX-40TS  ");
    EXPECT_EQ(device.deviceType, 5);
}

TEST_F(DriveCommandTest, StartStopPauseAndResume) {
    MmcDrive drive(library.get(), 0, 2, 0);
    drive.spinUp();
    EXPECT_EQ(last().cdb, (Bytes{0x1B, 0, 0, 0, 0x01, 0}));
    drive.stop();
    EXPECT_EQ(last().cdb, (Bytes{0x1B, 0, 0, 0, 0x00, 0}));
    drive.eject();
    EXPECT_EQ(last().cdb, (Bytes{0x1B, 0, 0, 0, 0x02, 0}));
    drive.pause();
    EXPECT_EQ(last().cdb, (Bytes{0x4B, 0, 0, 0, 0, 0, 0, 0, 0x00, 0}));
    drive.resume();
    EXPECT_EQ(last().cdb, (Bytes{0x4B, 0, 0, 0, 0, 0, 0, 0, 0x01, 0}));
}

TEST_F(DriveCommandTest, PlayAudioSendsMsfWithTheLeadInOffset) {
    MmcDrive drive(library.get(), 0, 2, 0);
    EXPECT_EQ(drive.playAudio(0, 75), 0);
    EXPECT_EQ(last().cdb, (Bytes{0x47, 0, 0, 0, 2, 0, 0, 3, 0, 0}));
    drive.playAudio(17175, 4500 + 74);  // 03:51:00 to 04:51:74
    EXPECT_EQ(last().cdb, (Bytes{0x47, 0, 0, 3, 51, 0, 4, 51, 74, 0}));
}

TEST_F(DriveCommandTest, ReadPositionDecodesTheSubChannel) {
    Bytes answer(16, 0);
    answer[1] = 0x12;  // paused
    answer[6] = 3;
    answer[7] = 1;
    answer[9] = 1, answer[10] = 2, answer[11] = 3;
    answer[13] = 0, answer[14] = 4, answer[15] = 5;
    device0->answers.push_back(answer);
    MmcDrive drive(library.get(), 0, 2, 0);
    EXPECT_EQ(drive.readPosition(), 0);
    EXPECT_EQ(last().cdb, (Bytes{0x42, 0x02, 0x40, 0x01, 0, 0, 0, 0, 16, 0}));
    EXPECT_EQ(drive.audioState, 2);
    EXPECT_EQ(drive.track, 3);
    EXPECT_EQ(drive.index, 1);
    EXPECT_EQ(drive.discMinute * 10000 + drive.discSecond * 100 + drive.discFrame, 10203);
    EXPECT_EQ(drive.trackMinute * 10000 + drive.trackSecond * 100 + drive.trackFrame, 405);
    answer[1] = 0x11;
    device0->answers.push_back(answer);
    drive.readPosition();
    EXPECT_EQ(drive.audioState, 1);
    answer[1] = 0x13;
    device0->answers.push_back(answer);
    drive.readPosition();
    EXPECT_EQ(drive.audioState, 0);
}

// First track 1, last 3 (a data track), lead-out at 30000.
Bytes threeTrackToc() {
    return {0,    34,   1,    3,    0, 0x10, 1,    0,    0,    0,
            0x00, 0x00, 0,    0x12, 2, 0,    0,    0,    0x2E, 0xE0,  // 12000
            0,    0x14, 3,    0,    0, 0,    0x4E, 0x20,              // 20000
            0,    0x14, 0xAA, 0,    0, 0,    0x75, 0x30};
}

TEST_F(DriveCommandTest, ReadTocAsksForTheTableThenTheCdText) {
    device0->answers.push_back(threeTrackToc());
    device0->status = kStatusComplete;
    MmcDrive drive(library.get(), 0, 2, 0);
    EXPECT_EQ(drive.readToc(), 0);
    ASSERT_EQ(device0->log.size(), 2u);
    EXPECT_EQ(device0->log[0].cdb, (Bytes{0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
    EXPECT_EQ(device0->log[0].length, 804);
    EXPECT_EQ(device0->log[1].cdb, (Bytes{0x43, 0, 0x05, 0, 0, 0, 0, 0x80, 0x00, 0}));
    EXPECT_EQ(device0->log[1].length, 32768);
    EXPECT_EQ(drive.namesValid, 0);  // the second answer was empty
    EXPECT_EQ(drive.trackStart(2), 12000);
    EXPECT_EQ(drive.trackEnd(3), 30000);
}

TEST_F(DriveCommandTest, PlayToEndStopsBeforeATrailingDataTrack) {
    device0->answers.push_back(threeTrackToc());
    MmcDrive drive(library.get(), 0, 2, 0);
    drive.readToc();
    EXPECT_EQ(drive.playToEnd(1), 0);
    // 0 + 150 = 00:02:00 to 20000 + 150 = 04:28:50.
    EXPECT_EQ(last().cdb, (Bytes{0x47, 0, 0, 0, 2, 0, 4, 28, 50, 0}));
    EXPECT_EQ(drive.playTrack(2), 0);
    // 12150 = 02:42:00 to 04:28:50.
    EXPECT_EQ(last().cdb, (Bytes{0x47, 0, 0, 2, 42, 0, 4, 28, 50, 0}));
    size_t sent = device0->log.size();
    EXPECT_NE(drive.playToEnd(4), 0);  // no such track: nothing is sent
    EXPECT_EQ(device0->log.size(), sent);
}

TEST_F(DriveCommandTest, ReadCommandsOfTheThreeVariants) {
    std::vector<uint8_t> buffer(25 * 2352);
    ScsiRequest request(*library);
    D8Drive d8(library.get(), 0, 2, 0);
    d8.startRead(request, buffer.data(), 0x01020304, 25);
    EXPECT_EQ(d8.waitRead(request), 0);
    EXPECT_EQ(last().cdb, (Bytes{0xD8, 0, 1, 2, 3, 4, 0, 0, 0, 25, 0, 0}));
    EXPECT_EQ(last().length, 58800);

    MmcDrive mmc(library.get(), 0, 2, 0);
    mmc.startRead(request, buffer.data(), 0x01020304, 25);
    EXPECT_EQ(mmc.waitRead(request), 0);
    EXPECT_EQ(last().cdb, (Bytes{0xBE, 0x04, 1, 2, 3, 4, 0, 0, 25, 0x10, 0, 0}));

    NrDrive nr(library.get(), 0, 2, 0);
    nr.startRead(request, buffer.data(), 0x01020304, 2);
    EXPECT_EQ(nr.waitRead(request), 0);
    EXPECT_EQ(last().cdb, (Bytes{0x28, 0, 1, 2, 3, 4, 0, 0, 2, 0}));
    EXPECT_EQ(last().length, 4704);

    ScsiDrive plain(library.get(), 0, 2, 0);
    size_t sent = device0->log.size();
    plain.startRead(request, buffer.data(), 0, 1);
    EXPECT_EQ(plain.waitRead(request), -1);
    EXPECT_EQ(plain.enterCddaMode(), 1);
    EXPECT_EQ(plain.leaveCddaMode(), 1);
    EXPECT_EQ(d8.enterCddaMode(), 0);
    EXPECT_EQ(mmc.leaveCddaMode(), 0);
    EXPECT_EQ(device0->log.size(), sent);
}

TEST_F(DriveCommandTest, NrDriveSwapsBytePairsEvenAfterAFailedRead) {
    std::vector<uint8_t> buffer(2352);
    ScsiRequest request(*library);
    NrDrive nr(library.get(), 0, 2, 0);
    device0->answers.push_back({1, 2, 3, 4});
    nr.startRead(request, buffer.data(), 0, 1);
    EXPECT_EQ(nr.waitRead(request), 0);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{2, 1, 4, 3}));
    device0->status = kStatusError;
    device0->answers.push_back({5, 6});
    nr.startRead(request, buffer.data(), 0, 1);
    EXPECT_NE(nr.waitRead(request), 0);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 2), (Bytes{6, 5}));
}

TEST_F(DriveCommandTest, NrDriveSwitchesTheBlockLengthWithModeSelect) {
    NrDrive nr(library.get(), 0, 2, 1);
    EXPECT_EQ(nr.enterCddaMode(), 0);
    const Sent& enter = device1->log.back();
    EXPECT_EQ(enter.cdb, (Bytes{0x15, 0x30, 0, 0, 12, 0}));
    EXPECT_EQ(enter.dataOut, (Bytes{0, 0, 0, 8, 0, 0, 0, 0, 0, 0x00, 0x09, 0x30}));
    EXPECT_EQ(nr.leaveCddaMode(), 0);
    EXPECT_EQ(device1->log.back().dataOut, (Bytes{0, 0, 0, 8, 0, 0, 0, 0, 0, 0x00, 0x08, 0x00}));
}

TEST(TocLookups, TracksByNumberWithExclusiveEnds) {
    std::vector<HostAdapter> hosts;
    AspiLibrary library(std::move(hosts), "");
    MmcDrive drive(&library, 0, 0, 0);
    // First track 1, last 12: track k starts at 1000 * (k - 1), lead-out 12500.
    drive.tocData[0] = 0;
    drive.tocData[1] = 2 + 13 * 8;
    drive.tocData[2] = 1;
    drive.tocData[3] = 12;
    for (int k = 0; k < 13; ++k) {
        uint8_t* d = drive.tocData + 4 + 8 * k;
        int start = k < 12 ? 1000 * k : 12500;
        d[1] = k == 4 ? 0x14 : 0x10;
        d[2] = static_cast<uint8_t>(k < 12 ? k + 1 : 0xAA);
        d[6] = static_cast<uint8_t>(start >> 8);
        d[7] = static_cast<uint8_t>(start);
    }
    EXPECT_EQ(drive.firstTrack(), 1);
    EXPECT_EQ(drive.lastTrack(), 12);
    EXPECT_EQ(drive.trackStart(1), 0);
    EXPECT_EQ(drive.trackEnd(1), 1000);
    EXPECT_EQ(drive.trackStart(12), 11000);
    EXPECT_EQ(drive.trackEnd(12), 12500);
    EXPECT_EQ(drive.trackControl(5), 0x14);
    EXPECT_EQ(drive.trackStart(13), -1);
    EXPECT_EQ(drive.trackEnd(13), -1);
    EXPECT_EQ(drive.trackControl(13), -1);
    // Cleared descriptors past the table's length are no track 0.
    EXPECT_EQ(drive.trackStart(0), -1);
    // Nothing follows the lead-out.
    EXPECT_EQ(drive.trackEnd(0xAA), -1);
}

}  // namespace
