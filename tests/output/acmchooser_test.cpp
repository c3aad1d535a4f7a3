// The /a format chooser: formats picked on standard input end to end, and
// answers that cancel the run.

#include "engine/output/acmformats.h"
#include "tests/support/decodedaudio.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kTrackSectors = 150;

class AcmChooserTest : public testing::Test {
protected:
    AcmChooserTest() : disc(dir.path(), audioDisc({kTrackSectors})) {}

    RunResult run(const std::string& input, bool closedInput = false) {
        RunOptions options;
        options.cwd = dir.path();
        options.env = {{"VOLTA_IMAGES", disc.imagesEntry()}};
        options.input = input;
        if (!closedInput) return runVolta({"/a", "out", "1"}, options);
        return runProgram({"/bin/sh", "-c", "exec \"$0\" \"$@\" <&-", voltaBinary(), "/a", "out", "1"}, options);
    }

    // The number the chooser lists `name` under.
    std::string numberOf(const std::string& name) {
        const std::string listing = run("").output;
        const size_t at = listing.find(": " + name + "\n");
        if (at == std::string::npos) return "";
        const size_t start = listing.rfind('\n', at) + 1;
        return listing.substr(start, at - start);
    }

    TempDir dir;
    DiscImage disc;
};

TEST_F(AcmChooserTest, ChosenFormatsArePlayableFilesOfTheSameAudio) {
    struct Case {
        std::string name;
        std::string codec;
        int rate;
        int channels;
        bool fact;
        double minCorrelation;
    };
    const Case cases[] = {
        {"PCM 16 bit, 22050 Hz, Mono", "pcm_s16le", 22050, 1, false, 0.97},
        {"PCM 24 bit, 48000 Hz, Stereo", "pcm_s24le", 48000, 2, false, 0.97},
        {"u-Law, 44100 Hz, Stereo", "pcm_mulaw", 44100, 2, true, 0.99},
        {"IMA ADPCM, 44100 Hz, Stereo", "adpcm_ima_wav", 44100, 2, true, 0.97},
        {"Microsoft ADPCM, 22050 Hz, Mono", "adpcm_ms", 22050, 1, true, 0.95},
        {"MPEG Layer-3, 128 kBit/s, 44100 Hz, Stereo", "mp3", 44100, 2, true, 0.97},
    };
    const std::vector<int16_t> stereo = pcmSamples(disc.sectors(0, kTrackSectors));
    std::vector<int16_t> mono(stereo.size() / 2);
    for (size_t f = 0; f < mono.size(); ++f) mono[f] = static_cast<int16_t>((stereo[2 * f] + stereo[2 * f + 1]) >> 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string number = numberOf(c.name);
        ASSERT_FALSE(number.empty());
        const RunResult result = run(number + "\n");
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_NE(result.output.find("Select Output Format\n"), std::string::npos);
        const std::string path = dir.file("out01.wav");
        const StreamInfo info = probe(path);
        EXPECT_EQ(info.codec, c.codec);
        EXPECT_EQ(info.sampleRate, c.rate);
        EXPECT_EQ(info.channels, c.channels);
        const double seconds = kTrackSectors / 75.0;
        EXPECT_NEAR(info.durationSeconds - info.startSeconds, seconds, 1152.0 / c.rate * 2);

        const std::string bytes = readFile(path);
        ASSERT_GT(bytes.size(), 60u);
        EXPECT_EQ(bytes.find("fact") != std::string::npos && bytes.find("fact") < bytes.find("data"), c.fact);
        // PCM keeps the 46-byte header.
        if (!c.fact) {
            EXPECT_EQ(bytes.find("data"), 38u);
        }

        const std::vector<int16_t>& source = c.channels == 1 ? mono : stereo;
        const Match match = bestMatch(source, decode(path, c.channels), c.channels, 1200);
        EXPECT_GE(match.correlation, c.minCorrelation) << "lag " << match.lag;
    }
}

TEST_F(AcmChooserTest, AnythingButAListedNumberCancels) {
    for (const std::string& input : std::vector<std::string>{"", "\n", "0\n", "-3\n", "67\n", "99999999999999999999\n", "two\n", "3x\n",
                                    "1.5\n", " \n", std::string(300, '7') + "\n"}) {
        SCOPED_TRACE(input);
        const RunResult result = run(input);
        EXPECT_EQ(result.exitCode, 8) << result.output;
        EXPECT_NE(result.output.find("ACM Format Choose was cancelled\n"), std::string::npos);
        EXPECT_FALSE(fs::exists(dir.file("out01.wav")));
    }
    const RunResult closed = run("", true);
    EXPECT_EQ(closed.exitCode, 8) << closed.output;

    struct Answer {
        const char* line;
        int index;
    };
    const Answer answers[] = {{"1", 0}, {" 12 \r\n", 11}, {"066", 65}, {"\t5\t", 4}, {"+5", -1}, {"5 5", -1},
                              {"", -1}, {"0", -1},        {"67", -1},  {"-1", -1},  {"1e1", -1}};
    for (const Answer& a : answers) EXPECT_EQ(parseFormatChoice(a.line, 66), a.index) << a.line;
}

}  // namespace
