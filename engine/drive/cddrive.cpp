#include "engine/drive/cddrive.h"

#include <cstring>

#include "engine/common/byteorder.h"
#include "engine/control/textencoding.h"
#include "engine/drive/aspi.h"

std::unique_ptr<CdDrive> currentDrive;

static_assert(sizeof ScsiDevice::sense == kSenseBytes);

void storeText(char* field, std::size_t capacity, const char* text, std::size_t length) {
    if (capacity == 0) return;
    // A UTF-8 name is cut between characters, or it would read as ISO 8859-1.
    std::string_view whole(text, length);
    if (length > capacity - 1) length = isValidUtf8(whole) ? utf8Prefix(whole, capacity - 1) : capacity - 1;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        field[i] = (c < 0x20 || c == 0x7F) ? ' ' : text[i];
    }
    field[length] = '\0';
}

void storeName(char (&name)[kNameCapacity], const char* text, std::size_t length) {
    storeText(name, sizeof name, text, characterPrefix(std::string_view(text, length), kNameCharacters));
}

ScsiDevice::ScsiDevice(AspiLibrary* library, int host, int target, int lun)
    : lun(lun), target(target), host(host), library(library) {}

ScsiDevice::~ScsiDevice() = default;

int ScsiDevice::sendCommand(const uint8_t* cdb, int cdbLength, uint8_t* buffer, int length) {
    if (!library) return 1;
    ScsiRequest request(*library);
    request.prepare(host, target, lun, buffer, length, cdbLength);
    std::memcpy(request.cdb(), cdb, static_cast<size_t>(cdbLength));
    request.execute();
    request.wait();
    std::memcpy(sense, request.sense(), sizeof sense);
    return request.succeeded() ? 0 : 1;
}

int ScsiDevice::testUnitReady() {
    uint8_t cdb[6] = {0x00, lunBits()};
    return sendCommand(cdb, sizeof cdb, nullptr, 0) == 0 ? 1 : 0;
}

int ScsiDevice::inquiry() {
    uint8_t cdb[6] = {0x12, lunBits(), 0, 0, sizeof inquiryData};
    // A failed command must not leave an earlier device's answer behind.
    std::memset(inquiryData, 0, sizeof inquiryData);
    int result = sendCommand(cdb, sizeof cdb, inquiryData, sizeof inquiryData);
    std::memcpy(identity, inquiryData + 8, 24);
    identity[24] = '\0';
    deviceType = inquiryData[0] & 0x1F;
    return result;
}

CdDrive::~CdDrive() = default;

namespace {

constexpr int kDescriptorBytes = 8;

int descriptorStart(const uint8_t* toc, int k) {
    const uint8_t* p = toc + 4 + k * kDescriptorBytes + 4;
    return static_cast<int>(readBigEndian32(p));
}

// Descriptors the drive actually returned, by the header's length field;
// the cleared rest of the table would otherwise answer for track 0.
int descriptorCount(const uint8_t* toc) {
    int length = toc[0] << 8 | toc[1];
    int count = (length - 2) / kDescriptorBytes;
    return count < 0 ? 0 : count > kMaxTracks ? kMaxTracks : count;
}

// A track missing from the table (control -1) has no music either.
bool isAudio(int control) { return control >= 0 && !(control & kControlData); }

int findDescriptor(const uint8_t* toc, int track) {
    int count = descriptorCount(toc);
    for (int k = 0; k < count; ++k)
        if (toc[4 + k * kDescriptorBytes + 2] == track) return k;
    return -1;
}

}  // namespace

int CdDrive::firstTrack() const { return tocData[2]; }

int CdDrive::lastTrack() const { return tocData[3]; }

int CdDrive::trackStart(int track) const {
    int k = findDescriptor(tocData, track);
    return k < 0 ? -1 : descriptorStart(tocData, k);
}

int CdDrive::trackEnd(int track) const {
    int k = findDescriptor(tocData, track);
    if (k < 0 || k + 1 >= descriptorCount(tocData)) return -1;
    return descriptorStart(tocData, k + 1);
}

int CdDrive::firstAudioTrack() const {
    for (int t = firstTrack(); t <= lastTrack(); ++t)
        if (isAudio(trackControl(t))) return t;
    return 0;
}

int CdDrive::lastAudioTrack() const {
    for (int t = lastTrack(); t >= firstTrack(); --t)
        if (isAudio(trackControl(t))) return t;
    return 0;
}

int CdDrive::trackControl(int track) const {
    int k = findDescriptor(tocData, track);
    return k < 0 ? -1 : tocData[4 + k * kDescriptorBytes + 1];
}
