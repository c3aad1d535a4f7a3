// Re-processing existing WAV files with /* patterns, and the external
// encoder programs that run after each file.

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class ReprocessTest : public testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args, const std::string& input = "") {
        RunOptions options;
        options.cwd = dir.path();
        options.input = input;
        return runVolta(args, options);
    }
    bool exists(const std::string& name) const { return fs::exists(dir.file(name)); }
    // Names of the files in the directory that start with "VLT".
    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().rfind("VLT", 0) == 0)
                found.push_back(entry.path().filename().string());
        return found;
    }

    TempDir dir;
    // Ten sectors of distinct samples.
    const std::string samples = DiscImage(dir.path(), audioDisc({10})).sectors(0, 10);
};

TEST_F(ReprocessTest, GoodAndOddFilesKeepTheirSamples) {
    writeFile(dir.file("good.wav"), makeWav(samples));
    // An odd-sized chunk is followed by its pad byte, then more chunks.
    writeFile(dir.file("odd.wav"),
              makeWav(samples, riffChunk("LIST", std::string(11, 'L')) + riffChunk("fact", "abcd")));
    fs::create_directory(dir.file("folder.wav"));

    RunResult result = run({"/*good.wav", "/*odd.wav", "/*folder.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Processing good.wav"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Processing odd.wav"), std::string::npos);
    EXPECT_EQ(result.output.find("folder"), std::string::npos) << "directories are skipped";
    EXPECT_EQ(wavData(dir.file("good (m).wav")), samples);
    EXPECT_EQ(wavData(dir.file("odd (m).wav")), samples);
    EXPECT_FALSE(exists("folder (m).wav"));
}

TEST_F(ReprocessTest, PatternsMatchEveryFileInASubDirectory) {
    fs::create_directory(dir.file("in"));
    writeFile(dir.file("in/a.wav"), makeWav(samples.substr(0, 2352)));
    writeFile(dir.file("in/b.wav"), makeWav(samples.substr(2352, 4704)));
    writeFile(dir.file("in/c.txt"), "not audio");

    RunResult result = run({"/*in\\*.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(wavData(dir.file("in/a (m).wav")), samples.substr(0, 2352));
    EXPECT_EQ(wavData(dir.file("in/b (m).wav")), samples.substr(2352, 4704));
    EXPECT_FALSE(exists("in/c (m).wav"));
}

TEST_F(ReprocessTest, BrokenFilesEndTheWalkWithoutHangingOrCrashing) {
    std::string good = makeWav(samples);
    // Data chunk cut short: what is there is processed, in whole frames.
    writeFile(dir.file("truncated.wav"), good.substr(0, good.size() - 1000 - 2));
    // A chunk whose size points far past the end of the file.
    writeFile(dir.file("oversized.wav"),
              good.substr(0, 12) + "JUNK" + std::string("\xF0\xFF\xFF\x7F", 4) + "data");
    // A chunk size of zero followed by nothing: the walk must still move on.
    writeFile(dir.file("zero.wav"), good.substr(0, 12) + "JUNK" + std::string(4, '\0'));
    // Too short to hold even a chunk header.
    writeFile(dir.file("tiny.wav"), "RIFF");

    RunResult result = run({"/*truncated.wav", "/*oversized.wav", "/*zero.wav", "/*tiny.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    size_t kept = (samples.size() - 1000 - 2) / 4 * 4;
    EXPECT_EQ(wavData(dir.file("truncated (m).wav")), samples.substr(0, kept));
    for (const char* name : {"oversized (m).wav", "zero (m).wav", "tiny (m).wav"})
        EXPECT_EQ(wavData(dir.file(name)), "") << name;
}

TEST_F(ReprocessTest, EscStopsReadingAndFinishesTheOutput) {
    writeFile(dir.file("long.wav"), makeWav(samples + samples + samples + samples));
    RunResult result = run({"/*long.wav"}, "\x1b");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::string written = wavData(dir.file("long (m).wav"));
    EXPECT_LT(written.size(), 4 * samples.size());
    EXPECT_EQ(written, samples.substr(0, written.size()));
}

// A stand-in for the encoder programs: records its arguments, one per line,
// and "encodes" by copying the WAV file.
void writeEncoder(const std::string& path) {
    writeFile(path,
              "#!/bin/sh\n"
              "for a in \"$@\"; do echo \"$a\"; done > \"$(basename \"$0\").args\"\n"
              "cp \"$1\" \"$2\"\n");
    chmod(path.c_str(), 0755);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

TEST_F(ReprocessTest, ConstantBitRateEncoderGetsItsArgumentsAndReplacesTheMp3) {
    writeEncoder(dir.file("x3enc.exe"));
    writeFile(dir.file("song.wav"), makeWav(samples));
    writeFile(dir.file("song (m).mp3"), "an old file");

    RunResult result = run({"/ex160", "/ef", "/*song.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::vector<std::string> args = lines(readFile(dir.file("x3enc.exe.args")));
    ASSERT_EQ(args.size(), 5u) << readFile(dir.file("x3enc.exe.args"));
    EXPECT_EQ(args[0].rfind("VLT", 0), 0u);
    EXPECT_EQ(args[1].rfind("VLT", 0), 0u);
    EXPECT_NE(args[0], args[1]);
    EXPECT_EQ(args[2], "-b");
    EXPECT_EQ(args[3], "160000");
    EXPECT_EQ(args[4], "-l");
    // The stand-in copied the temporary WAV file, which had a header.
    EXPECT_EQ(wavData(dir.file("song (m).mp3")), samples);
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(ReprocessTest, VariableBitRateAndTheOtherEncoder) {
    writeEncoder(dir.file("x3enc.exe"));
    writeEncoder(dir.file("l3enc.exe"));
    writeFile(dir.file("a.wav"), makeWav(samples));
    writeFile(dir.file("b.wav"), makeWav(samples));

    RunResult vbr = run({"/ev100", "/*a.wav"});
    ASSERT_EQ(vbr.exitCode, 0) << vbr.output;
    std::vector<std::string> args = lines(readFile(dir.file("x3enc.exe.args")));
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[2], "-v");
    EXPECT_EQ(args[3], "100");

    RunResult l3 = run({"/el", "/ef", "/*b.wav"});
    ASSERT_EQ(l3.exitCode, 0) << l3.output;
    args = lines(readFile(dir.file("l3enc.exe.args")));
    ASSERT_EQ(args.size(), 4u) << "l3enc.exe takes no extra argument";
    EXPECT_EQ(args[2], "-b");
    EXPECT_EQ(args[3], "128000");
    EXPECT_EQ(wavData(dir.file("a (m).mp3")), samples);
    EXPECT_EQ(wavData(dir.file("b (m).mp3")), samples);
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(ReprocessTest, EncoderIsNeverTakenFromTheSearchPath) {
    fs::create_directory(dir.file("bin"));
    writeEncoder(dir.file("bin/x3enc.exe"));
    writeFile(dir.file("song.wav"), makeWav(samples));
    writeFile(dir.file("song (m).mp3"), "an earlier rip");

    RunOptions options;
    options.cwd = dir.path();
    options.env = {{"PATH", dir.file("bin") + ":/usr/bin:/bin"}};
    RunResult result = runVolta({"/ex", "/*song.wav"}, options);
    ASSERT_EQ(result.exitCode, 7) << result.output;
    EXPECT_NE(result.output.find("Could Not Start Encoder x3enc.exe"), std::string::npos)
        << result.output;
    EXPECT_FALSE(exists("x3enc.exe.args"));
    // Without a new MP3 the earlier one is kept.
    EXPECT_EQ(readFile(dir.file("song (m).mp3")), "an earlier rip");
    EXPECT_TRUE(temporaryFiles().empty());
}

}  // namespace
