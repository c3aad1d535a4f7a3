#include "engine/net/remotedrive.h"

#include "engine/common/byteorder.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <cstring>

namespace {

constexpr int kLeadOutTrack = 0xAA;
constexpr int kDescriptorBytes = 8;
constexpr int kTocHeaderBytes = 4;

// Descriptor k of the image: 100 of them, the last one for the lead-out
// of a 99-track disc.
uint8_t* descriptor(uint8_t* toc, int k) { return toc + kTocHeaderBytes + kDescriptorBytes * k; }

}  // namespace

RemoteDrive::RemoteDrive(int socket) : ScsiDrive(nullptr, 0, 0, 0), socket(socket) {}

RemoteDrive::~RemoteDrive() = default;

int RemoteDrive::receiveNumber(int& value) {
    char line[kLineBufferBytes];
    if (receiveLine(socket, line, sizeof line, kReplyTimeoutMs) == 0) return 1;
    return parseProtocolNumber(line, value);
}

int RemoteDrive::testUnitReady() {
    sendFormatted(socket, "TESTUNITREADY\r\n");
    int ready = 0;
    if (receiveNumber(ready) != 0) return 0;
    return ready;
}

int RemoteDrive::inquiry() {
    sendFormatted(socket, "INQUIRY\r\n");
    int result = 0;
    if (receiveNumber(result) != 0) return 1;
    if (receiveLine(socket, identity, sizeof identity, kReplyTimeoutMs) == 0) return 1;
    return result;
}

// Reading, playing and moving the disc are the server's own business.
int RemoteDrive::spinUp() { return 1; }
int RemoteDrive::readPosition() { return 1; }
int RemoteDrive::eject() { return 1; }
int RemoteDrive::stop() { return 1; }
int RemoteDrive::waitRead(ScsiRequest&) { return 1; }
int RemoteDrive::resume() { return 1; }
int RemoteDrive::pause() { return 1; }
int RemoteDrive::playToEnd(int) { return 1; }
int RemoteDrive::playTrack(int) { return 1; }
int RemoteDrive::startRead(ScsiRequest&, uint8_t*, int, int) { return 1; }
int RemoteDrive::leaveCddaMode() { return 0; }
int RemoteDrive::enterCddaMode() { return 0; }
int RemoteDrive::playAudio(int, int) { return 1; }

int RemoteDrive::receiveTocLines(int first, int last) {
    for (int track = first; track <= last; ++track) {
        int start = 0;
        int control = 0;
        if (receiveNumber(start) != 0 || receiveNumber(control) != 0) return 1;
        uint8_t* entry = descriptor(tocData, track - 1);
        entry[1] = static_cast<uint8_t>(control);
        entry[2] = static_cast<uint8_t>(track);
        putBigEndian32(entry + 4, start);
    }
    int leadOut = 0;
    if (receiveNumber(leadOut) != 0) return 1;
    uint8_t* entry = descriptor(tocData, last);
    entry[2] = kLeadOutTrack;
    putBigEndian32(entry + 4, leadOut);
    return 0;
}

int RemoteDrive::receiveNames(int first, int last) {
    if (receiveLine(socket, discTitle, kNameCapacity, kReplyTimeoutMs) == 0 ||
        receiveLine(socket, discArtist, kNameCapacity, kReplyTimeoutMs) == 0)
        return 1;
    for (int track = first; track <= last; ++track)
        if (receiveLine(socket, trackTitles[track - 1], kNameCapacity, kReplyTimeoutMs) == 0) return 1;
    return 0;
}

int RemoteDrive::readToc() {
    sendFormatted(socket, "READTOC\r\n");
    int result = 0;
    int first = 0;
    int last = 0;
    if (receiveNumber(result) != 0 || receiveNumber(first) != 0 || receiveNumber(last) != 0) return 1;
    // Tracks are numbered 1 to 99, and the lead-out takes the descriptor
    // after the last one: anything else does not fit the image.
    if (first < 1 || last >= kMaxTracks || first > last) return 1;
    std::memset(tocData, 0, sizeof tocData);
    // The length counts the descriptors up to the lead-out, as a drive's does.
    int length = 2 + kDescriptorBytes * (last + 1);
    tocData[0] = static_cast<uint8_t>(length >> 8);
    tocData[1] = static_cast<uint8_t>(length);
    tocData[2] = static_cast<uint8_t>(first);
    tocData[3] = static_cast<uint8_t>(last);
    if (receiveTocLines(first, last) != 0) return 1;
    int names = 0;
    if (receiveNumber(names) != 0) return 1;
    namesValid = names != 0;
    if (namesValid && receiveNames(first, last) != 0) return 1;
    return result;
}
