#include "engine/net/remotedrive.h"

#include "engine/common/byteorder.h"
#include "engine/common/msf.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <cstring>

namespace {

constexpr int kLeadOutTrack = 0xAA;
constexpr int kDescriptorBytes = 8;
constexpr int kTocHeaderBytes = 4;

// The address of 99:59:74, the last a disc can have.
constexpr int kLastAddress = lbaOfMsf(99, 59, 74);

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
    char line[kLineBufferBytes];
    if (receiveLine(socket, line, sizeof line, kReplyTimeoutMs) == 0) return 1;
    storeText(identity, sizeof identity, line, std::strlen(line));
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

int RemoteDrive::receiveNames(int first, int last) {
    // Room for a name in any encoding, cut by storeName between characters.
    char line[kRawLineBufferBytes];
    auto receiveName = [&](char(&name)[kNameCapacity]) {
        if (receiveLine(socket, line, sizeof line, kReplyTimeoutMs) == 0) return 1;
        storeName(name, line, std::strlen(line));
        return 0;
    };
    if (receiveName(discTitle) != 0 || receiveName(discArtist) != 0) return 1;
    for (int track = first; track <= last; ++track)
        if (receiveName(trackTitles[track - 1]) != 0) return 1;
    return 0;
}

int RemoteDrive::readToc() {
    sendFormatted(socket, "READTOC\r\n");
    int result = 0;
    ServerToc toc;
    if (receiveNumber(result) != 0 || receiveNumber(toc.first) != 0 || receiveNumber(toc.last) != 0) return 1;
    // Tracks are numbered 1 to 99, and the lead-out takes the descriptor
    // after the last one: anything else does not fit the image.
    if (toc.first < 1 || toc.last >= kMaxTracks || toc.first > toc.last) return 1;
    for (int track = toc.first; track <= toc.last; ++track)
        if (receiveNumber(toc.starts[track - 1]) != 0 || receiveNumber(toc.controls[track - 1]) != 0) return 1;
    if (receiveNumber(toc.leadOut) != 0) return 1;
    // Every length and address the engine computes from the table must be
    // one a disc can have.
    if (!isPossible(toc)) {
        std::memset(tocData, 0, sizeof tocData);
        return 1;
    }
    storeToc(toc);
    int names = 0;
    if (receiveNumber(names) != 0) return 1;
    namesValid = names != 0;
    if (namesValid && receiveNames(toc.first, toc.last) != 0) return 1;
    return result;
}

bool RemoteDrive::isPossible(const ServerToc& toc) {
    int previous = -1;
    for (int track = toc.first; track <= toc.last; ++track) {
        if (toc.starts[track - 1] <= previous) return false;
        previous = toc.starts[track - 1];
    }
    return toc.leadOut > previous && toc.leadOut <= kLastAddress;
}

void RemoteDrive::storeToc(const ServerToc& toc) {
    std::memset(tocData, 0, sizeof tocData);
    // The length counts the descriptors up to the lead-out, as a drive's does.
    int length = 2 + kDescriptorBytes * (toc.last + 1);
    tocData[0] = static_cast<uint8_t>(length >> 8);
    tocData[1] = static_cast<uint8_t>(length);
    tocData[2] = static_cast<uint8_t>(toc.first);
    tocData[3] = static_cast<uint8_t>(toc.last);
    for (int track = toc.first; track <= toc.last; ++track) {
        uint8_t* entry = descriptor(tocData, track - 1);
        entry[1] = static_cast<uint8_t>(toc.controls[track - 1]);
        entry[2] = static_cast<uint8_t>(track);
        putBigEndian32(entry + 4, toc.starts[track - 1]);
    }
    uint8_t* entry = descriptor(tocData, toc.last);
    entry[2] = kLeadOutTrack;
    putBigEndian32(entry + 4, toc.leadOut);
}
