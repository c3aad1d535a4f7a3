// FLAC and Opus output end to end: files written by volta from a virtual
// drive, checked and decoded by the flac program and by ffmpeg.

#include "tests/support/decodedaudio.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTrackSectors = 225;       // 3 seconds
constexpr int kLongTrackSectors = 1900;  // 25 seconds: three seek points
constexpr int kFramesPerSector = 588;
constexpr int kOpusFrame = 882;          // 20 ms at 44100 Hz
constexpr uint64_t kSeekSpacing = 441000;

std::string label(const std::vector<std::string>& switches) {
    std::string text;
    for (const std::string& s : switches) text += s + " ";
    return text;
}

uint32_t bigEndian(const std::string& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

std::string metaflac(const std::string& option, const std::string& path) {
    std::string value = runProgram({toolPath("metaflac"), option, path}).output;
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
}

class FlacOpusTest : public testing::Test {
protected:
    FlacOpusTest() : disc(dir.path(), musicDisc()) {}

    static DiscSpec musicDisc() {
        DiscSpec spec = audioDisc({kTrackSectors, kTrackSectors, kLongTrackSectors});
        spec.tones = true;
        return spec;
    }

    RunResult run(std::vector<std::string> args) {
        RunOptions options;
        options.cwd = dir.path();
        options.env = {{"VOLTA_IMAGES", disc.imagesEntry()}};
        return runVolta(args, options);
    }

    // volta under a file-size limit of 8 KiB, whose signal is ignored so
    // that the write fails instead.
    RunResult runOnFullDisk(const std::vector<std::string>& args) {
        RunOptions options;
        options.cwd = dir.path();
        options.env = {{"VOLTA_IMAGES", disc.imagesEntry()}};
        std::vector<std::string> argv = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 16 && exec \"$0\" \"$@\"",
                                         voltaBinary()};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProgram(argv, options);
    }

    std::string trackBytes(int track) const {
        return disc.sectors(disc.trackStart(track), disc.trackEnd(track) - disc.trackStart(track));
    }

    std::vector<int16_t> expected(int track, std::optional<Downmix> mode) const {
        const std::vector<int16_t> stereo = pcmSamples(trackBytes(track));
        return mode ? downmixed(stereo, *mode) : stereo;
    }

    TempDir dir;
    DiscImage disc;
};

TEST_F(FlacOpusTest, FlacFilesHoldWhatTheWavRipHolds) {
    ASSERT_EQ(run({"wav$2di", "1:2"}).exitCode, 0);
    struct Case {
        std::vector<std::string> switches;
        std::string prefix;
    } cases[] = {{{"/ec"}, "five"}, {{"/ec0"}, "zero"}, {{"/ec8"}, "eight"}, {{"/EC5", "/hraw"}, "header"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(label(c.switches));
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {c.prefix + "$2di", "1:2"});
        const RunResult result = run(args);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_FALSE(fs::exists(dir.file(c.prefix + "01.raw")));
        for (const std::string track : {"01", "02"}) {
            const std::string path = dir.file(c.prefix + track + ".flac");
            ASSERT_TRUE(fs::exists(path)) << result.output;
            const RunResult test = runProgram({toolPath("flac"), "-t", "-s", path});
            EXPECT_EQ(test.exitCode, 0) << test.output;
            const std::string wav = wavData(dir.file("wav" + track + ".wav"));
            EXPECT_EQ(flacSamples(path), wav);
            EXPECT_EQ(metaflac("--show-total-samples", path), std::to_string(wav.size() / 4));
            EXPECT_EQ(metaflac("--show-channels", path), "2");
            EXPECT_EQ(metaflac("--show-sample-rate", path), "44100");
            EXPECT_EQ(metaflac("--show-bps", path), "16");
            EXPECT_NE(metaflac("--show-md5sum", path), std::string(32, '0'));
        }
    }
    // The level is the library's: the fastest keeps the most bytes.
    EXPECT_GT(fs::file_size(dir.file("zero01.flac")), fs::file_size(dir.file("eight01.flac")));

    const std::pair<std::string, Downmix> mono[] = {
        {"/cl", Downmix::Left}, {"/cr", Downmix::Right}, {"/cm", Downmix::Average}};
    for (const auto& [downmix, mode] : mono) {
        SCOPED_TRACE(downmix);
        const RunResult result = run({"/ec", downmix, "mono$2di", "2"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const std::string path = dir.file("mono02.flac");
        EXPECT_EQ(metaflac("--show-channels", path), "1");
        const std::optional<std::string> decoded = flacSamples(path);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(pcmSamples(*decoded), expected(2, mode));
    }
}

// The seek table has a point every 10 seconds, each naming the frame that
// holds its sample at that frame's place in the file; unused slots stay
// placeholders, so the table is a legal one.
TEST_F(FlacOpusTest, FlacSeekPointsLeadToTheirFrames) {
    const RunResult result = run({"/ec", "long$2di", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::string bytes = readFile(dir.file("long03.flac"));
    ASSERT_EQ(bytes.substr(0, 4), "fLaC");
    size_t at = 4;
    size_t table = 0, tableLength = 0;
    bool last = false;
    while (!last) {
        ASSERT_LE(at + 4, bytes.size());
        const uint32_t header = bigEndian(bytes, at, 1);
        last = (header & 0x80) != 0;
        const size_t length = bigEndian(bytes, at + 1, 3);
        if ((header & 0x7F) == 3) {
            table = at + 4;
            tableLength = length;
        }
        at += 4 + length;
    }
    const size_t firstFrame = at;
    ASSERT_NE(table, 0u);
    ASSERT_EQ(tableLength % 18, 0u);
    const uint64_t totalSamples = static_cast<uint64_t>(kLongTrackSectors) * kFramesPerSector;
    int real = 0;
    bool placeholders = false;
    for (size_t p = table; p < table + tableLength; p += 18) {
        const uint64_t sample = static_cast<uint64_t>(bigEndian(bytes, p, 4)) << 32 | bigEndian(bytes, p + 4, 4);
        const uint64_t offset = static_cast<uint64_t>(bigEndian(bytes, p + 8, 4)) << 32 | bigEndian(bytes, p + 12, 4);
        const uint32_t frameSamples = bigEndian(bytes, p + 16, 2);
        if (sample == ~0ULL) {
            placeholders = true;
            continue;
        }
        SCOPED_TRACE(real);
        EXPECT_FALSE(placeholders) << "a point after a placeholder";
        const uint64_t target = real * kSeekSpacing;
        EXPECT_LE(sample, target);
        EXPECT_GT(sample + frameSamples, target);
        ASSERT_LT(firstFrame + offset + 1, bytes.size());
        // A frame header starts with the sync code.
        EXPECT_EQ(bigEndian(bytes, firstFrame + offset, 2) & 0xFFFE, 0xFFF8u);
        ++real;
    }
    EXPECT_EQ(real, static_cast<int>((totalSamples + kSeekSpacing - 1) / kSeekSpacing));
    EXPECT_TRUE(placeholders);
}

TEST_F(FlacOpusTest, OpusFilesLastAsLongAsTheirSource) {
    struct Case {
        std::vector<std::string> switches;
        int channels;
        std::optional<Downmix> mode;
        int bitRate;
    } cases[] = {
        {{"/eo"}, 2, std::nullopt, 160000},     {{"/eo64"}, 2, std::nullopt, 64000},
        {{"/eo256"}, 2, std::nullopt, 256000},  {{"/eo", "/cl"}, 1, Downmix::Left, 160000},
        {{"/eo96", "/cm"}, 1, Downmix::Average, 96000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(label(c.switches));
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"$2di", "2"});
        const RunResult result = run(args);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const std::string path = dir.file("02.opus");
        ASSERT_TRUE(fs::exists(path)) << result.output;
        const StreamInfo info = probe(path);
        EXPECT_EQ(info.codec, "opus");
        EXPECT_EQ(info.sampleRate, 48000);
        EXPECT_EQ(info.channels, c.channels);

        const std::vector<int16_t> source = expected(2, c.mode);
        const long long sourceFrames = static_cast<long long>(source.size()) / c.channels;
        const std::vector<int16_t> decoded = decode(path, c.channels);
        EXPECT_NEAR(static_cast<long long>(decoded.size()) / c.channels, sourceFrames, kOpusFrame);
        const Match match = bestMatch(source, decoded, c.channels, kOpusFrame);
        EXPECT_GE(match.correlation, 0.97) << "lag " << match.lag;
        // The pre-skip removes the encoder's delay: the decoded audio starts
        // with the source's first sample.
        EXPECT_LE(std::abs(match.lag), 2);
        const double fileRate = fs::file_size(path) * 8.0 / (sourceFrames / 44100.0);
        EXPECT_GT(fileRate, c.bitRate * 0.8);
        EXPECT_LT(fileRate, c.bitRate * 1.25);
        fs::remove(path);
    }
}

TEST_F(FlacOpusTest, ReprocessedWavFilesBecomeFlacAndOpusFiles) {
    const std::string samples = trackBytes(1);
    writeFile(dir.file("song.wav"), makeWav(samples));
    RunResult result = run({"/ec", "/*song.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(flacSamples(dir.file("song (m).flac")), samples);

    result = run({"/eo", "/*song.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<int16_t> decoded = decode(dir.file("song (m).opus"), 2);
    EXPECT_NEAR(static_cast<long long>(decoded.size()) / 2, static_cast<long long>(samples.size()) / 4, kOpusFrame);
    EXPECT_GE(bestMatch(pcmSamples(samples), decoded, 2, kOpusFrame).correlation, 0.97);
}

// A folder that does not exist, a name taken by a folder or a FIFO and a
// disk that fills up all end the run with exit code 7, and nothing waits
// for ever; what a full disk left is kept under the partial name only.
TEST_F(FlacOpusTest, FailuresLeaveNoFileClaimingToBeComplete) {
    fs::create_directory(dir.file("folder01.flac"));
    fs::create_directory(dir.file("folder01.opus"));
    ASSERT_EQ(::mkfifo(dir.file("fifo01.flac").c_str(), 0666), 0);
    ASSERT_EQ(::mkfifo(dir.file("fifo01.opus").c_str(), 0666), 0);
    for (const std::string encoder : {"/ec", "/eo"}) {
        const std::string extension = encoder == "/ec" ? ".flac" : ".opus";
        for (const std::string name : {"no\\such\\dir", "folder", "fifo"}) {
            SCOPED_TRACE(encoder + " " + name);
            const RunResult result = run({encoder, name, "1"});
            EXPECT_EQ(result.exitCode, 7) << result.output;
            const std::string said = name == std::string("no\\such\\dir")
                                         ? "Extraction Returned Error State\n"
                                         : "Output \"" + std::string(name) + "01" + extension + "\" Is Not A Regular File\n";
            EXPECT_TRUE(result.output.ends_with(said)) << result.output;
        }
        EXPECT_TRUE(fs::is_directory(dir.file("folder01" + extension)));
        EXPECT_TRUE(fs::is_fifo(dir.file("fifo01" + extension)));

        SCOPED_TRACE(encoder + " on a full disk");
        const RunResult result = runOnFullDisk({encoder, "full", "1", "2"});
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_NE(result.output.find("Extraction Returned Error State"), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("Track 2"), std::string::npos) << result.output;
        EXPECT_FALSE(fs::exists(dir.file("full01" + extension)));
        const std::string path = dir.file("full01" + extension + ".part");
        if (fs::exists(path) && encoder == "/ec") {
            EXPECT_NE(runProgram({toolPath("flac"), "-t", "-s", path}).exitCode, 0);
        }
        if (fs::exists(path) && encoder == "/eo") {
            EXPECT_LT(decode(path, 2).size(), trackBytes(1).size() / 2);
        }
    }
}

}  // namespace
