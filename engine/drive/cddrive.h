#pragma once

#include "engine/drive/readtally.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class AspiLibrary;
class ScsiRequest;

constexpr int kSectorBytes = 2352;
constexpr int kMaxSectorsPerRead = 25;
constexpr int kTocBytes = 804;
// Names hold up to 255 characters: bytes of ISO 8859-1 text, whole
// characters of UTF-8 text, which take up to four bytes each.
constexpr int kNameCharacters = 255;
constexpr int kNameCapacity = 4 * (kNameCharacters + 1);
constexpr int kMaxTracks = 100;
constexpr int kYearCapacity = 8;

// CONTROL bits of a table-of-contents descriptor.
constexpr int kControlData = 0x04;
constexpr int kControlCopy = 0x02;
constexpr int kControlPreEmphasis = 0x01;

struct TocEntry {
    int track = 0;
    int control = 0;
    int startLba = 0;
    int endLba = 0;  // exclusive: the start of the next descriptor
};

// One addressed SCSI device; used alone for bus scanning.
class ScsiDevice {
public:
    ScsiDevice(AspiLibrary* library, int host, int target, int lun);
    virtual int testUnitReady();  // 1 when ready, 0 otherwise
    virtual int inquiry();        // 0 on success; fills identity and deviceType
    virtual ~ScsiDevice();

    char identity[25] = {};
    int deviceType = 0;
    uint8_t inquiryData[32] = {};
    int lun;
    int target;
    int host;
    AspiLibrary* library;
    uint8_t sense[14] = {};  // the sense area of the last command sent

protected:
    // One synchronous command to this device; 0 when it completed.
    int sendCommand(const uint8_t* cdb, int cdbLength, uint8_t* buffer, int length);
    uint8_t lunBits() const { return lunInCdb_ ? static_cast<uint8_t>(lun << 5) : 0; }

    bool lunInCdb_ = true;
};

// What MusicBrainz adds to its names, for the tags; empty when the names
// came from elsewhere.
struct MusicBrainzIds {
    std::string releaseDate;
    std::string albumId;
    std::string discId;
    std::string recordingIds[kMaxTracks];  // slot k: track k+1
};

// The drive interface. Operations return 0 for success except testUnitReady.
class CdDrive : public ScsiDevice {
public:
    using ScsiDevice::ScsiDevice;
    ~CdDrive() override;
    virtual int spinUp() = 0;
    virtual int readPosition() = 0;
    virtual int eject() = 0;
    virtual int stop() = 0;
    virtual int waitRead(ScsiRequest& request) = 0;
    virtual int resume() = 0;
    virtual int pause() = 0;
    virtual int playToEnd(int track) = 0;
    virtual int playTrack(int track) = 0;
    virtual int startRead(ScsiRequest& request, uint8_t* buffer, int lba, int count) = 0;
    virtual int leaveCddaMode() = 0;
    virtual int enterCddaMode() = 0;
    virtual int playAudio(int lba, int length) = 0;
    virtual int readToc() = 0;

    // Lookups in tocData; -1 for a track that is not in the table.
    int firstTrack() const;
    int lastTrack() const;
    int trackStart(int track) const;
    int trackEnd(int track) const;
    int trackControl(int track) const;
    // The first and last tracks with music on them; 0 when there is none.
    int firstAudioTrack() const;
    int lastAudioTrack() const;

    // Last position report (readPosition).
    int track = 0, index = 0;
    int trackMinute = 0, trackSecond = 0, trackFrame = 0;
    int discMinute = 0, discSecond = 0, discFrame = 0;
    int audioState = 0;  // 1 playing, 2 paused, 0 anything else

    int namesValid = 0;  // names came from CD-TEXT (or from a server)
    char discTitle[kNameCapacity] = {};
    char discArtist[kNameCapacity] = {};
    char trackTitles[kMaxTracks][kNameCapacity] = {};  // slot k: track k+1
    // What a CDDB entry adds (DYEAR, DGENRE); empty when it says nothing.
    char discYear[kYearCapacity] = {};
    char discGenre[kNameCapacity] = {};
    MusicBrainzIds musicBrainzIds;
    uint8_t tocData[kTocBytes] = {};
    ReadTally readTally;  // audio reads that failed, kept by the extractors
};

// Stores `length` bytes of `text` as a name of the table, from whichever
// source: cut to 255 characters, control characters (they would forge
// listing lines, reach the terminal and break file names) blanked.
void storeName(char (&name)[kNameCapacity], const char* text, std::size_t length);

// A text field of `capacity` bytes (the drive's identity, a line from a
// peer) the same way: cut to fit, between characters, control characters
// blanked.
void storeText(char* field, std::size_t capacity, const char* text, std::size_t length);

// The one current drive of the run, owned by the main flow.
extern std::unique_ptr<CdDrive> currentDrive;
