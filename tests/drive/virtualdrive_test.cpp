// The virtual drives through the transport, the way the drive classes use
// them: contents, timing-free misbehaviour (shift, jitter, failures), the
// table of contents and the file formats of a sheet.

#include "engine/drive/image/virtualdrive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/drive/aspi.h"
#include "engine/drive/scsidrive.h"
#include "tests/support/discimage.h"
#include "tests/support/wavfile.h"
#include "tests/support/runvolta.h"

namespace {

constexpr int kSector = 2352;

std::unique_ptr<AspiLibrary> libraryFor(const std::string& images) {
    HostAdapter host;
    std::string failure;
    EXPECT_EQ(loadVirtualDrives(images.c_str(), host, failure), 0) << failure;
    std::vector<HostAdapter> hosts;
    hosts.push_back(std::move(host));
    return std::make_unique<AspiLibrary>(std::move(hosts), "");
}

std::string loadFailure(const std::string& images) {
    HostAdapter host;
    std::string failure;
    EXPECT_NE(loadVirtualDrives(images.c_str(), host, failure), 0);
    return failure;
}

// One synchronous command, as a drive sends it.
struct Command {
    Command(AspiLibrary& library, std::vector<uint8_t> cdb, int length, int target = 0)
        : data(static_cast<size_t>(length)) {
        ScsiRequest request(library);
        request.prepare(0, target, 0, data.data(), length, static_cast<int>(cdb.size()));
        std::memcpy(request.cdb(), cdb.data(), cdb.size());
        request.execute();
        request.wait();
        status = request.status();
    }
    std::string bytes(size_t from, size_t count) const {
        return std::string(reinterpret_cast<const char*>(data.data()) + from, count);
    }
    std::vector<uint8_t> data;
    uint8_t status = 0;
};

std::vector<uint8_t> readCdCdb(int lba, int count, uint8_t expectedType = 0x04) {
    return {0xBE,
            expectedType,
            static_cast<uint8_t>(lba >> 24),
            static_cast<uint8_t>(lba >> 16),
            static_cast<uint8_t>(lba >> 8),
            static_cast<uint8_t>(lba),
            static_cast<uint8_t>(count >> 16),
            static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count),
            0x10,
            0,
            0};
}

std::string readAudio(AspiLibrary& library, int lba, int count, uint8_t* status = nullptr) {
    Command read(library, readCdCdb(lba, count), count * kSector);
    if (status) *status = read.status;
    return read.status == kStatusComplete ? read.bytes(0, static_cast<size_t>(count) * kSector)
                                          : std::string();
}

std::string swapPairs(std::string bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

class VirtualDriveTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(VirtualDriveTest, ReadsDeliverTheImageSectorsAndTwoReadsCanBeInFlight) {
    DiscImage image(dir.path(), audioDisc({100, 60}));
    // Unthrottled reads are answered at once; throttled ones by the drive's
    // worker, one after the other.
    for (const char* settings : {"", "speed=1000"}) {
        auto library = libraryFor(image.imagesEntry(settings));
        MmcDrive drive(library.get(), 0, 0, 0);
        std::vector<uint8_t> first(25 * kSector), second(25 * kSector);
        ScsiRequest a(*library), b(*library);
        drive.startRead(a, first.data(), 0, 25);
        drive.startRead(b, second.data(), 140, 20);  // into track 2, up to the lead-out
        ASSERT_EQ(drive.waitRead(b), 0) << settings;
        ASSERT_EQ(drive.waitRead(a), 0) << settings;
        EXPECT_EQ(std::string(first.begin(), first.end()), image.sectors(0, 25)) << settings;
        EXPECT_EQ(std::string(second.begin(), second.begin() + 20 * kSector),
                  image.sectors(140, 20))
            << settings;
        // A request let go with its read still running waits for it.
        auto late = std::make_unique<ScsiRequest>(*library);
        drive.startRead(*late, first.data(), 50, 25);
        late.reset();
        EXPECT_EQ(std::string(first.begin(), first.end()), image.sectors(50, 25)) << settings;
    }
}

TEST_F(VirtualDriveTest, ReadsOutsideTheDiscFail) {
    DiscImage image(dir.path(), audioDisc({50}));
    auto library = libraryFor(image.imagesEntry());
    uint8_t status = 0;
    readAudio(*library, 40, 11, &status);
    EXPECT_NE(status, kStatusComplete);
    readAudio(*library, -1, 2, &status);
    EXPECT_NE(status, kStatusComplete);
    readAudio(*library, 49, 1, &status);
    EXPECT_EQ(status, kStatusComplete);
}

TEST_F(VirtualDriveTest, ShiftDeliversLaterSectorsAndZerosPastTheEnd) {
    DiscImage image(dir.path(), audioDisc({100}));
    auto later = libraryFor(image.imagesEntry("shift=3"));
    EXPECT_EQ(readAudio(*later, 10, 5), image.sectors(13, 5));
    std::string tail = readAudio(*later, 95, 5);
    EXPECT_EQ(tail.substr(0, 2 * kSector), image.sectors(98, 2));
    EXPECT_EQ(tail.substr(2 * kSector), std::string(3 * kSector, '\0'));

    auto earlier = libraryFor(image.imagesEntry("shift=-2"));
    EXPECT_EQ(readAudio(*earlier, 10, 5), image.sectors(8, 5));
    EXPECT_EQ(readAudio(*earlier, 0, 3).substr(2 * kSector), image.sectors(0, 1));
}

// Which sector a read started at, told by its first sector's content.
int startOf(const DiscImage& image, const std::string& data, int near) {
    for (int lba = std::max(0, near - 10); lba <= near + 10; ++lba)
        if (data.compare(0, kSector, image.sectors(lba, 1)) == 0) return lba;
    return -1000;
}

TEST_F(VirtualDriveTest, JitterStaysInItsRangeAndRepeatsWithTheSeed) {
    DiscImage image(dir.path(), audioDisc({400}));
    auto run = [&](const std::string& settings) {
        auto library = libraryFor(image.imagesEntry(settings));
        std::vector<int> offsets;
        for (int k = 0; k < 40; ++k)
            offsets.push_back(startOf(image, readAudio(*library, 200, 2), 200) - 200);
        return offsets;
    };
    std::vector<int> first = run("jitter=2"), again = run("jitter=2"),
                     other = run("jitter=2,seed=99");
    std::set<int> seen(first.begin(), first.end());
    EXPECT_EQ(seen, (std::set<int>{-2, -1, 0, 1, 2}));
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
}

TEST_F(VirtualDriveTest, FailRangesFailReadsThatTouchThem) {
    DiscImage image(dir.path(), audioDisc({200}));
    auto library = libraryFor(image.imagesEntry("fail=50-60:2,fail=150-150"));
    uint8_t status = 0;
    readAudio(*library, 25, 25, &status);  // 25..49 stays clear
    EXPECT_EQ(status, kStatusComplete);
    readAudio(*library, 60, 5, &status);
    EXPECT_EQ(status, kStatusError);
    readAudio(*library, 40, 25, &status);
    EXPECT_EQ(status, kStatusError);
    EXPECT_EQ(readAudio(*library, 40, 25, &status), image.sectors(40, 25));  // only two failed
    for (int k = 0; k < 3; ++k) {
        readAudio(*library, 140, 11, &status);
        EXPECT_EQ(status, kStatusError);
    }
}

TEST_F(VirtualDriveTest, TocFormatZeroDescribesTracksFlagsAndLeadOut) {
    DiscSpec spec = audioDisc({300, 200, 100});
    spec.tracks[0].copyPermitted = true;
    spec.tracks[1].preEmphasis = true;
    spec.tracks[1].indexZeroSectors = 150;
    spec.tracks[2].data = true;
    DiscImage image(dir.path(), spec);
    auto library = libraryFor(image.imagesEntry());
    Command toc(*library, {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804);
    ASSERT_EQ(toc.status, kStatusComplete);
    const std::vector<uint8_t> expected = {
        0x00, 0x22, 1,    3,                     // 2 + 4 descriptors of 8 bytes
        0,    0x12, 1,    0, 0, 0, 0x00, 0x00,   // track 1 at 0, copy permitted
        0,    0x11, 2,    0, 0, 0, 0x01, 0xC2,   // track 2 at 300 + 150 = 450
        0,    0x14, 3,    0, 0, 0, 0x02, 0x8A,   // track 3 (data) at 650
        0,    0x14, 0xAA, 0, 0, 0, 0x02, 0xEE};  // lead-out at 750
    EXPECT_EQ(std::vector<uint8_t>(toc.data.begin(), toc.data.begin() + 36), expected);

    Command msf(*library, {0x43, 0x02, 0, 0, 0, 0, 2, 0, 12, 0}, 12);
    ASSERT_EQ(msf.status, kStatusComplete);
    // From track 2 on; 450 + 150 = 600 sectors = 00:08:00.
    EXPECT_EQ(std::vector<uint8_t>(msf.data.begin() + 4, msf.data.end()),
              (std::vector<uint8_t>{0, 0x11, 2, 0, 0, 0, 8, 0}));
}

TEST_F(VirtualDriveTest, AudioReadsOfDataSectorsFailButUserDataReadsWork) {
    DiscSpec spec = audioDisc({100, 50});
    spec.tracks[1].data = true;
    DiscImage image(dir.path(), spec);
    auto library = libraryFor(image.imagesEntry());
    uint8_t status = 0;
    readAudio(*library, 95, 10, &status);
    EXPECT_NE(status, kStatusComplete);
    Command user(*library, {0x28, 0, 0, 0, 0, 110, 0, 0, 2, 0}, 2 * 2048);
    ASSERT_EQ(user.status, kStatusComplete);
    EXPECT_EQ(user.bytes(0, 2048), image.sectors(110, 1).substr(16, 2048));
    EXPECT_EQ(user.bytes(2048, 2048), image.sectors(111, 1).substr(16, 2048));
}

TEST_F(VirtualDriveTest, VendorReadsFollowTheIdentity) {
    DiscImage image(dir.path(), audioDisc({100}));
    std::vector<uint8_t> d8 = {0xD8, 0, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0};
    auto plextor = libraryFor(image.imagesEntry("identity=PLEXTOR CD-ROM PX-40TS"));
    Command plextorRead(*plextor, d8, 3 * kSector);
    ASSERT_EQ(plextorRead.status, kStatusComplete);
    EXPECT_EQ(plextorRead.bytes(0, 3 * kSector), image.sectors(7, 3));
    auto plain = libraryFor(image.imagesEntry());
    EXPECT_EQ(Command(*plain, d8, 3 * kSector).status, kStatusError);

    auto philips = libraryFor(image.imagesEntry("identity=PHILIPS CDD2600"));
    std::vector<uint8_t> read10 = {0x28, 0, 0, 0, 0, 7, 0, 0, 3, 0};
    EXPECT_EQ(Command(*philips, read10, 3 * kSector).status, kStatusError);  // still 2048
    NrDrive drive(philips.get(), 0, 0, 0);
    ASSERT_EQ(drive.enterCddaMode(), 0);
    Command raw(*philips, read10, 3 * kSector);
    ASSERT_EQ(raw.status, kStatusComplete);
    EXPECT_EQ(raw.bytes(0, 3 * kSector), swapPairs(image.sectors(7, 3)));
    ASSERT_EQ(drive.leaveCddaMode(), 0);
    EXPECT_EQ(Command(*philips, read10, 3 * kSector).status, kStatusError);
}

TEST_F(VirtualDriveTest, MotorolaWaveAndSeveralFilesReadLikeOneBinaryImage) {
    DiscImage image(dir.path(), audioDisc({30, 20}));
    std::string all = image.sectors(0, 50);
    writeFile(dir.file("a.raw"), swapPairs(all.substr(0, 30 * kSector)));
    std::string data = all.substr(30 * kSector);
    writeFile(dir.file("b.wav"), makeWav(data, riffChunk("LIST", "INFO")));
    writeFile(dir.file("two.cue"),
              "FILE \"a.raw\" MOTOROLA\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
              "FILE b.wav WAVE\r\n  TRACK 02 AUDIO\r\n    INDEX 01 00:00:00\r\n");
    auto library = libraryFor(dir.file("two.cue"));
    EXPECT_EQ(readAudio(*library, 0, 25), image.sectors(0, 25));
    EXPECT_EQ(readAudio(*library, 25, 25), image.sectors(25, 25));
}

TEST_F(VirtualDriveTest, PregapIsSilenceNotStoredInTheFile) {
    DiscImage image(dir.path(), audioDisc({40, 40}));
    writeFile(dir.file("gap.cue"),
              "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
              " TRACK 02 AUDIO\n  PREGAP 00:00:10\n  INDEX 01 00:00:40\n");
    auto library = libraryFor(dir.file("gap.cue"));
    std::string read = readAudio(*library, 35, 20);
    EXPECT_EQ(read.substr(0, 5 * kSector), image.sectors(35, 5));
    EXPECT_EQ(read.substr(5 * kSector, 10 * kSector), std::string(10 * kSector, '\0'));
    EXPECT_EQ(read.substr(15 * kSector), image.sectors(40, 5));
    uint8_t status = 0;
    readAudio(*library, 89, 1, &status);  // lead-out at 90
    EXPECT_EQ(status, kStatusComplete);
    readAudio(*library, 90, 1, &status);
    EXPECT_NE(status, kStatusComplete);
}

TEST_F(VirtualDriveTest, CdTextPacksComeInTheDriveLayout) {
    DiscSpec spec = audioDisc({10, 10});
    spec.title = "Disc Title";
    spec.tracks[0].title = "One";
    spec.tracks[1].title = "Second Track";
    DiscImage image(dir.path(), spec);
    auto library = libraryFor(image.imagesEntry());
    Command text(*library, {0x43, 0, 0x05, 0, 0, 0, 0, 0x80, 0x00, 0}, 32768);
    ASSERT_EQ(text.status, kStatusComplete);
    // Titles "Disc Title\0One\0Second Track\0" fill three packs, then three
    // size-information packs: 6 * 18 + 2 bytes.
    EXPECT_EQ(text.data[0] * 256 + text.data[1], 110);
    const uint8_t* pack = text.data.data() + 4;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack), 16), std::string("\x80\x00\x00\x00"
                                                                                "Disc Title\0O",
                                                                                16));
    pack += 18;
    // Starts inside track 1's title, one character of it already sent.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack), 16), std::string("\x80\x01\x01\x01"
                                                                                "ne\0Second Tr",
                                                                                16));
    pack += 18;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pack), 16),
              std::string("\x80\x02\x02\x09"
                          "ack\0\0\0\0\0\0\0\0\0",
                          16));
    for (int k = 3; k < 6; ++k) EXPECT_EQ(text.data[4 + 18 * k], 0x8F);

    auto without = libraryFor(image.imagesEntry("nocdtext"));
    EXPECT_EQ(Command(*without, {0x43, 0, 0x05, 0, 0, 0, 0, 0x80, 0x00, 0}, 32768).status,
              kStatusError);
}

TEST_F(VirtualDriveTest, AddressesWithoutADeviceFail) {
    DiscImage image(dir.path(), audioDisc({10}));
    auto library = libraryFor(image.imagesEntry());
    EXPECT_EQ(Command(*library, {0x00, 0, 0, 0, 0, 0}, 0, 1).status, kStatusNoDevice);
    ScsiRequest request(*library);
    request.prepare(3, 0, 0, nullptr, 0, 6);
    request.execute();
    request.wait();
    EXPECT_EQ(request.status(), kStatusInvalidHost);
    EXPECT_EQ(Command(*library, {0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 2048).status,
              kStatusError);
}

TEST_F(VirtualDriveTest, LoadFailuresNameTheFileAndTheLine) {
    DiscImage image(dir.path(), audioDisc({10}));
    writeFile(dir.file("bad.cue"),
              "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n  TRACK 03 AUDIO\n");
    EXPECT_EQ(loadFailure(dir.file("bad.cue")),
              dir.file("bad.cue") + ":3: TRACK 03 does not follow TRACK 01");
    writeFile(dir.file("nobin.cue"),
              "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    EXPECT_EQ(loadFailure(dir.file("nobin.cue")),
              dir.file("gone.bin") + ": No such file or directory");
    EXPECT_EQ(loadFailure(image.imagesEntry("speed=fast")),
              image.cuePath() + ": bad drive setting \"speed=fast\"");
    writeFile(dir.file("short.cue"),
              "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:10\n");
    EXPECT_EQ(loadFailure(dir.file("short.cue")),
              dir.file("short.cue") + ":3: INDEX lies beyond the end of disc.bin");
}

}  // namespace
