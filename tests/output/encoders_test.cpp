// MP3 and Windows Media output end to end: files written by volta from a
// virtual drive, read back by ffprobe and decoded by ffmpeg.

#include "tests/support/decodedaudio.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTrackSectors = 225;  // 3 seconds
constexpr int kMp3FrameSamples = 1152;
constexpr int kWmaFrameSamples = 2048;

enum class Source { Stereo, Left, Right, Average };

struct OutputCase {
    std::vector<std::string> switches;
    std::string extension;
    std::string codec;
    int channels;
    int bitRate;
    Source source;
    double minCorrelation;
};

class EncoderOutputTest : public testing::Test {
protected:
    EncoderOutputTest() {
        DiscSpec spec = audioDisc({kTrackSectors, kTrackSectors});
        spec.title = "Night Songs";
        spec.performer = "The Examples";
        spec.tracks[0].title = "First Light";
        spec.tracks[1].title = "Second Wind";
        disc = std::make_unique<DiscImage>(dir.path(), spec);
    }

    RunResult run(std::vector<std::string> args) {
        RunOptions options;
        options.cwd = dir.path();
        options.env = {{"VOLTA_IMAGES", disc->imagesEntry()}};
        return runVolta(args, options);
    }

    // The samples that should come out for `source`, interleaved.
    std::vector<int16_t> expected(int track, Source source) const {
        const std::vector<int16_t> stereo =
            pcmSamples(disc->sectors(disc->trackStart(track), disc->trackEnd(track) - disc->trackStart(track)));
        if (source == Source::Stereo) return stereo;
        return downmixed(stereo, source == Source::Left    ? Downmix::Left
                                 : source == Source::Right ? Downmix::Right
                                                           : Downmix::Average);
    }

    TempDir dir;
    std::unique_ptr<DiscImage> disc;
};

TEST_F(EncoderOutputTest, EveryEncoderSettingGivesAFaithfulFile) {
    const OutputCase cases[] = {
        {{"/eb"}, ".mp3", "mp3", 2, 128000, Source::Stereo, 0.97},
        {{"/eb192"}, ".mp3", "mp3", 2, 192000, Source::Stereo, 0.98},
        {{"/eb320"}, ".mp3", "mp3", 2, 320000, Source::Stereo, 0.99},
        {{"/eb", "/cl"}, ".mp3", "mp3", 1, 128000, Source::Left, 0.97},
        {{"/eb", "/cr"}, ".mp3", "mp3", 1, 128000, Source::Right, 0.97},
        {{"/eb", "/cm"}, ".mp3", "mp3", 1, 128000, Source::Average, 0.97},
        {{"/ew"}, ".wma", "wmav2", 2, 128000, Source::Stereo, 0.95},
        {{"/ew64"}, ".wma", "wmav2", 2, 64000, Source::Stereo, 0.9},
        {{"/ew192"}, ".wma", "wmav2", 2, 192000, Source::Stereo, 0.95},
    };
    for (const OutputCase& c : cases) {
        std::string label;
        for (const std::string& s : c.switches) label += s + " ";
        SCOPED_TRACE(label);
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"/i", "$2di $t", "2"});
        const RunResult result = run(args);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const std::string path = dir.file("02 Second Wind" + c.extension);
        ASSERT_TRUE(fs::exists(path)) << result.output;

        const std::vector<int16_t> source = expected(2, c.source);
        const long long sourceFrames = static_cast<long long>(source.size()) / c.channels;
        const StreamInfo info = probe(path);
        EXPECT_EQ(info.codec, c.codec);
        EXPECT_EQ(info.sampleRate, 44100);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.bitRate, c.bitRate);
        const int frame = c.codec == "mp3" ? kMp3FrameSamples : kWmaFrameSamples;
        EXPECT_NEAR((info.durationSeconds - info.startSeconds) * 44100, sourceFrames, frame);
        // The whole file, headers, packets and the last frame's padding
        // included, runs at about the asked rate.
        const double fileRate = fs::file_size(path) * 8.0 / (sourceFrames / 44100.0);
        EXPECT_GT(fileRate, c.bitRate * 0.97);
        EXPECT_LT(fileRate, c.bitRate * 1.15);

        const std::vector<int16_t> decoded = decode(path, c.channels);
        const Match match = bestMatch(source, decoded, c.channels, frame * 2);
        EXPECT_GE(match.correlation, c.minCorrelation) << "lag " << match.lag;
        if (c.codec == "mp3") {
            // The LAME frame's delay and padding make the decoder gapless.
            EXPECT_EQ(match.lag, 0);
            EXPECT_EQ(static_cast<long long>(decoded.size()), static_cast<long long>(source.size()));
            const std::string bytes = readFile(path);
            ASSERT_GT(bytes.size(), 128u);
            std::string tag(128, '\0');
            std::memcpy(tag.data(), "TAG", 3);
            std::memcpy(tag.data() + 3, "Second Wind", 11);
            std::memcpy(tag.data() + 33, "The Examples", 12);
            std::memcpy(tag.data() + 63, "Night Songs", 11);
            tag[127] = 17;
            EXPECT_EQ(bytes.substr(bytes.size() - 128), tag);
        }
        fs::remove(path);
    }
}

TEST_F(EncoderOutputTest, ReprocessedWavFilesBecomeMp3Files) {
    const std::string samples = disc->sectors(disc->trackStart(1), kTrackSectors);
    writeFile(dir.file("song.wav"), makeWav(samples));
    const RunResult result = run({"/eb192", "/*song.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::string path = dir.file("song (m).mp3");
    EXPECT_EQ(probe(path).bitRate, 192000);
    const std::vector<int16_t> decoded = decode(path, 2);
    EXPECT_EQ(decoded.size(), samples.size() / 2);
    EXPECT_GE(bestMatch(pcmSamples(samples), decoded, 2, 0).correlation, 0.98);
}

// A file that cannot be created and a disk that fills up both end the run
// with exit code 7 and leave no file behind. (Rates the encoders refuse
// never get this far: the command line refuses them.)
TEST_F(EncoderOutputTest, FailuresLeaveNoFileClaimingToBeComplete) {
    const std::vector<std::string> refused[] = {
        {"/eb", "no\\such\\dir", "1"},
        {"/ew", "no\\such\\dir", "1"},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const RunResult result = run(args);
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_NE(result.output.find("Extraction Returned Error State"), std::string::npos) << result.output;
        EXPECT_FALSE(fs::exists(dir.file("out01.mp3")));
        EXPECT_FALSE(fs::exists(dir.file("out01.wma")));
    }
    for (const std::string encoder : {"/eb", "/ew"}) {
        SCOPED_TRACE(encoder);
        RunOptions options;
        options.cwd = dir.path();
        options.env = {{"VOLTA_IMAGES", disc->imagesEntry()}};
        // Files may not grow past 8 KiB; the signal is ignored so that the
        // write fails instead.
        const RunResult result = runProgram(
            {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 16 && exec \"$0\" \"$@\"", voltaBinary(), encoder,
             "full", "1", "2"},
            options);
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_NE(result.output.find("Extraction Returned Error State"), std::string::npos) << result.output;
        EXPECT_FALSE(fs::exists(dir.file("full01.mp3")));
        EXPECT_FALSE(fs::exists(dir.file("full01.wma")));
        EXPECT_EQ(result.output.find("Track 2"), std::string::npos) << result.output;
    }
}

}  // namespace
