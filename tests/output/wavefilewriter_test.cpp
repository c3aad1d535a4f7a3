#include "engine/output/wavefilewriter.h"

#include "engine/output/waveformat.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

WaveFormat defaultFormat() {
    setPcmOutputFormat();
    return outputFormat;
}

TEST(WaveFormat, PcmOutputFormatIsTheCdFormatRecord) {
    static_assert(offsetof(WaveFormat, extraSize) == 16);
    static_assert(offsetof(WaveFormat, extra) == 18);
    setPcmOutputFormat();
    std::string image(reinterpret_cast<const char*>(&outputFormat), sizeof outputFormat);
    EXPECT_EQ(image.substr(0, 18), bytes({0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02,
                                          0x00, 0x04, 0x00, 0x10, 0x00, 0x12, 0x00}));
    EXPECT_EQ(image.substr(18), std::string(256, '\0'));
}

TEST(WaveFileWriter, EmptyRunLeavesA46ByteHeaderWithZeroData) {
    TempDir dir;
    WaveFileWriter writer(dir.file("empty.wav").c_str(), defaultFormat(), true);
    ASSERT_EQ(writer.open(), 0);
    ASSERT_EQ(writer.close(), 0);
    // The record's extra size of 18 is not written for PCM.
    EXPECT_EQ(readFile(dir.file("empty.wav")),
              "RIFF" + bytes({38, 0, 0, 0}) + "WAVEfmt " + bytes({18, 0, 0, 0}) +
                  bytes({0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10,
                         0x00, 0x00, 0x00}) +
                  "data" + bytes({0, 0, 0, 0}));
}

TEST(WaveFileWriter, HeaderIsPatchedWithTheDataSizeAtClose) {
    TempDir dir;
    WaveFileWriter writer(dir.file("second.wav").c_str(), defaultFormat(), true);
    ASSERT_EQ(writer.open(), 0);
    std::vector<uint8_t> second(176400);
    for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint8_t>(i * 31);
    for (size_t at = 0; at < second.size(); at += 58800) ASSERT_EQ(writer.write(second.data() + at, 58800), 0);
    ASSERT_EQ(writer.close(), 0);
    const std::string file = readFile(dir.file("second.wav"));
    ASSERT_EQ(file.size(), 46u + 176400u);
    EXPECT_EQ(file.substr(4, 4), bytes({0x36, 0xB1, 0x02, 0x00}));  // 176438
    EXPECT_EQ(file.substr(42, 4), bytes({0x10, 0xB1, 0x02, 0x00}));  // 176400
    EXPECT_EQ(file.substr(46), std::string(second.begin(), second.end()));
}

// A compressed format also gets the fact chunk with its sample count.
TEST(WaveFileWriter, NonPcmFormatCarriesItsExtraBytes) {
    TempDir dir;
    WaveFormat format = {};
    format.formatTag = 2;
    format.channels = 2;
    format.samplesPerSecond = 44100;
    format.averageBytesPerSecond = 22311;
    format.blockAlign = 2048;
    format.bitsPerSample = 4;
    format.extraSize = 2;
    format.extra[0] = 0xF4;
    format.extra[1] = 0x07;
    format.extra[2] = 0x55;  // beyond the extra size: not written
    WaveFileWriter writer(dir.file("adpcm.wav").c_str(), format, true);
    ASSERT_EQ(writer.open(), 0);
    const uint8_t data[3] = {7, 8, 9};
    ASSERT_EQ(writer.write(data, 3), 0);
    ASSERT_EQ(writer.close(), 0);
    EXPECT_EQ(readFile(dir.file("adpcm.wav")),
              "RIFF" + bytes({55, 0, 0, 0}) + "WAVEfmt " + bytes({20, 0, 0, 0}) +
                  bytes({0x02, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x27, 0x57, 0x00, 0x00, 0x00, 0x08, 0x04,
                         0x00, 0x02, 0x00, 0xF4, 0x07}) +
                  "fact" + bytes({4, 0, 0, 0, 0, 0, 0, 0}) + "data" + bytes({3, 0, 0, 0, 7, 8, 9}));
}

TEST(WaveFileWriter, ExtraSizeBeyondTheRecordFailsOpen) {
    TempDir dir;
    WaveFormat format = {};
    format.formatTag = 0x55;
    format.extraSize = 257;
    WaveFileWriter writer(dir.file("bad.wav").c_str(), format, true);
    EXPECT_EQ(writer.open(), 1);
}

TEST(WaveFileWriter, WithoutHeaderTheFileIsTheBareStream) {
    TempDir dir;
    WaveFileWriter writer(dir.file("bare.raw").c_str(), defaultFormat(), false);
    ASSERT_EQ(writer.open(), 0);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(writer.write(data, 8), 0);
    ASSERT_EQ(writer.write(data, 4), 0);
    ASSERT_EQ(writer.close(), 0);
    EXPECT_EQ(readFile(dir.file("bare.raw")), bytes({1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4}));
}

TEST(WaveFileWriter, ExistingFileIsReplacedAndBackslashesSeparateDirectories) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    writeFile(dir.file("sub/old.wav"), std::string(5000, 'x'));
    const std::string path = dir.path() + "\\sub\\old.wav";
    WaveFileWriter writer(path.c_str(), defaultFormat(), true);
    ASSERT_EQ(writer.open(), 0);
    ASSERT_EQ(writer.close(), 0);
    EXPECT_EQ(readFile(dir.file("sub/old.wav")).size(), 46u);
}

// Limits the size of the files this process writes, for as long as it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = nullptr;
};

TEST(WaveFileWriter, FailuresAreReported) {
    TempDir dir;
    WaveFileWriter missing(dir.file("no/such/dir.wav").c_str(), defaultFormat(), true);
    EXPECT_EQ(missing.open(), 1);

    WaveFileWriter notOpen(dir.file("never.wav").c_str(), defaultFormat(), true);
    const uint8_t data[4] = {};
    EXPECT_EQ(notOpen.write(data, 4), 1);
    EXPECT_EQ(notOpen.close(), 1);

    const std::string longPath = dir.path() + "/" + std::string(WaveFileWriter::kPathCapacity, 'n');
    WaveFileWriter tooLong(longPath.c_str(), defaultFormat(), true);
    EXPECT_EQ(tooLong.open(), 1);

    // A file that may not grow past 1000 bytes takes only part of what was
    // gathered. The failure comes back from the write that fills the
    // gathering, or from close for a tail; the header then counts what
    // reached the file, not what was lost.
    std::vector<uint8_t> block(58800);
    {
        FileSizeLimit limit(1000);
        WaveFileWriter full(dir.file("full.wav").c_str(), defaultFormat(), true);
        ASSERT_EQ(full.open(), 0);
        int result = 0;
        size_t blocks = 0;
        while (result == 0 && blocks < 100) {
            result = full.write(block.data(), static_cast<int>(block.size()));
            ++blocks;
        }
        EXPECT_EQ(result, 1);
        EXPECT_EQ(blocks, WaveFileWriter::kGatherBytes / block.size() + 1);
        EXPECT_EQ(full.write(block.data(), -1), 1);
        EXPECT_EQ(full.close(), 0);

        WaveFileWriter tail(dir.file("tail.wav").c_str(), defaultFormat(), true);
        ASSERT_EQ(tail.open(), 0);
        EXPECT_EQ(tail.write(block.data(), static_cast<int>(block.size())), 0);
        EXPECT_EQ(tail.close(), 1);
    }
    for (const char* name : {"full.wav", "tail.wav"}) {
        const std::string written = readFile(dir.file(name));
        ASSERT_GE(written.size(), 46u) << name;
        uint32_t dataSize;
        std::memcpy(&dataSize, written.data() + 42, 4);
        EXPECT_EQ(dataSize, written.size() - 46) << name;
        EXPECT_LT(written.size(), 1001u) << name;
    }
}

}  // namespace
