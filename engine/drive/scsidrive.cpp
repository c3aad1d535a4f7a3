#include "engine/drive/scsidrive.h"

#include <algorithm>
#include <cstring>

#include "engine/common/byteorder.h"
#include "engine/common/msf.h"
#include "engine/drive/aspi.h"
#include "engine/drive/cdtext.h"

int ScsiDrive::startStopUnit(uint8_t operation) {
    uint8_t cdb[6] = {0x1B, lunBits(), 0, 0, operation};
    return sendCommand(cdb, sizeof cdb, nullptr, 0);
}

int ScsiDrive::spinUp() { return startStopUnit(0x01); }

int ScsiDrive::eject() { return startStopUnit(0x02); }

int ScsiDrive::stop() { return startStopUnit(0x00); }

int ScsiDrive::pauseResume(uint8_t resumeBit) {
    uint8_t cdb[10] = {0x4B, lunBits(), 0, 0, 0, 0, 0, 0, resumeBit};
    return sendCommand(cdb, sizeof cdb, nullptr, 0);
}

int ScsiDrive::resume() { return pauseResume(0x01); }

int ScsiDrive::pause() { return pauseResume(0x00); }

int ScsiDrive::readPosition() {
    uint8_t cdb[10] = {
        0x42, static_cast<uint8_t>(lunBits() | 0x02), 0x40, 0x01, 0, 0, 0, 0, sizeof subChannel_};
    std::memset(subChannel_, 0, sizeof subChannel_);
    int result = sendCommand(cdb, sizeof cdb, subChannel_, sizeof subChannel_);
    const uint8_t* d = subChannel_;
    audioState = d[1] == 0x11 ? 1 : d[1] == 0x12 ? 2 : 0;
    track = d[6];
    index = d[7];
    discMinute = d[9];
    discSecond = d[10];
    discFrame = d[11];
    trackMinute = d[13];
    trackSecond = d[14];
    trackFrame = d[15];
    return result;
}

int ScsiDrive::readSubchannelQ(int lba, uint8_t (&q)[16]) {
    // CD-DA sectors, no main channel, the Q sub-channel formatted.
    uint8_t cdb[12] = {0xBE, static_cast<uint8_t>(lunBits() | 0x04)};
    putBigEndian32(cdb + 2, static_cast<uint32_t>(lba));
    putBigEndian24(cdb + 6, 1);
    cdb[10] = 0x02;
    return sendCommand(cdb, sizeof cdb, q, sizeof q);
}

int ScsiDrive::playAudio(int lba, int length) {
    uint8_t cdb[10] = {0x47, lunBits()};
    putMsf(cdb + 3, msfOfLba(lba));
    putMsf(cdb + 6, msfOfLba(lba + length));
    return sendCommand(cdb, sizeof cdb, nullptr, 0);
}

int ScsiDrive::playTrack(int track) {
    int start = trackStart(track), end = trackEnd(track);
    if (start < 0 || end < start) return 1;
    return playAudio(start, end - start);
}

// Plays on to the end of the last audio track, so a data track at the end
// of the disc is never sent to the audio output.
int ScsiDrive::playToEnd(int track) {
    int lastAudio = lastAudioTrack();
    if (lastAudio == 0) lastAudio = lastTrack();
    int start = trackStart(track), end = trackEnd(lastAudio);
    if (start < 0 || end < start) return 1;
    return playAudio(start, end - start);
}

int ScsiDrive::startRead(ScsiRequest&, uint8_t*, int, int) { return 1; }

int ScsiDrive::waitRead(ScsiRequest&) { return -1; }

int ScsiDrive::finishRead(ScsiRequest& request) {
    request.wait();
    return request.succeeded() ? 0 : 1;
}

int ScsiDrive::leaveCddaMode() { return 1; }

int ScsiDrive::enterCddaMode() { return 1; }

int ScsiDrive::readToc() {
    std::memset(tocData, 0, sizeof tocData);
    uint8_t tocCdb[10] = {0x43, 0x00, 0x00, 0, 0, 0, 0, kTocBytes >> 8, kTocBytes & 0xFF};
    if (sendCommand(tocCdb, sizeof tocCdb, tocData, sizeof tocData) != 0) return 1;
    std::memset(cdText_, 0, sizeof cdText_);
    uint8_t textCdb[10] = {0x43, 0x00, 0x05, 0, 0, 0, 0, kCdTextBytes >> 8, kCdTextBytes & 0xFF};
    if (sendCommand(textCdb, sizeof textCdb, cdText_, sizeof cdText_) != 0) return 0;
    decodeCdText(cdText_, sizeof cdText_, *this);
    return 0;
}

void ScsiDrive::startCommand(ScsiRequest& request, const uint8_t* cdb, int cdbLength,
                             uint8_t* buffer, int count) {
    request.prepare(host, target, lun, buffer, count * kSectorBytes, cdbLength);
    std::memcpy(request.cdb(), cdb, static_cast<size_t>(cdbLength));
    request.execute();
}

int D8Drive::startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) {
    uint8_t cdb[12] = {0xD8, lunBits()};
    putBigEndian32(cdb + 2, static_cast<uint32_t>(lba));
    putBigEndian32(cdb + 6, static_cast<uint32_t>(count));
    startCommand(request, cdb, sizeof cdb, buffer, count);
    return 0;
}

int D8Drive::waitRead(ScsiRequest& request) { return finishRead(request); }

// The transport addresses the LUN; MMC gives the old LUN bits of byte 1
// other meanings or reserves them.
MmcDrive::MmcDrive(AspiLibrary* library, int host, int target, int lun)
    : ScsiDrive(library, host, target, lun) {
    lunInCdb_ = false;
}

int MmcDrive::startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) {
    uint8_t cdb[12] = {0xBE, static_cast<uint8_t>(lunBits() | 0x04)};
    putBigEndian32(cdb + 2, static_cast<uint32_t>(lba));
    putBigEndian24(cdb + 6, static_cast<uint32_t>(count));
    cdb[9] = 0x10;
    startCommand(request, cdb, sizeof cdb, buffer, count);
    return 0;
}

int MmcDrive::waitRead(ScsiRequest& request) { return finishRead(request); }

int NrDrive::startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) {
    uint8_t cdb[10] = {0x28, lunBits()};
    putBigEndian32(cdb + 2, static_cast<uint32_t>(lba));
    putBigEndian16(cdb + 7, static_cast<uint32_t>(count));
    startCommand(request, cdb, sizeof cdb, buffer, count);
    return 0;
}

int NrDrive::waitRead(ScsiRequest& request) {
    int result = finishRead(request);
    if (byteSwap) {
        uint8_t* data = request.buffer();
        for (int i = 0; data && i + 1 < request.length(); i += 2) std::swap(data[i], data[i + 1]);
    }
    return result;
}

int NrDrive::selectBlockLength(int bytes) {
    std::memset(modeParameters_, 0, sizeof modeParameters_);
    modeParameters_[3] = 8;
    modeParameters_[4] = bytes == kSectorBytes ? densityCode : 0;
    putBigEndian24(modeParameters_ + 9, static_cast<uint32_t>(bytes));
    uint8_t cdb[6] = {0x15, static_cast<uint8_t>(lunBits() | 0x10), 0, 0, sizeof modeParameters_};
    return sendCommand(cdb, sizeof cdb, modeParameters_, sizeof modeParameters_);
}

int NrDrive::enterCddaMode() { return selectBlockLength(kSectorBytes); }

int NrDrive::leaveCddaMode() { return selectBlockLength(2048); }
