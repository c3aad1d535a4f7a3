// The four extraction modes end to end: the program copies tracks and
// ranges from a virtual drive, and the copies are compared with the image.

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kModes[] = {"/mb", "/mn", "/ms", "/mm"};

class ExtractorTest : public testing::Test {
protected:
    RunResult rip(const std::string& images, std::vector<std::string> args,
                  const std::string& input = "") {
        RunOptions run;
        run.cwd = dir.path();
        run.input = input;
        run.env = {{"VOLTA_IMAGES", images}};
        return runVolta(args, run);
    }
    std::string copied(const std::string& name) { return wavData(dir.file(name)); }

    TempDir dir;
};

// Lengths around the 25-sector block and sync mode's 21 new sectors per
// read: one sector, a short block, exactly one block, one more, and tails of
// 1 to 4 sectors behind the last full sync read (25 + 21k + r).
const std::vector<int> kTrackLengths = {1, 5, 25, 26, 25 + 21 + 1, 25 + 42 + 3, 25 + 84 + 4, 120};

TEST_F(ExtractorTest, EveryModeCopiesEveryTrackExactly) {
    DiscImage image(dir.path(), audioDisc(kTrackLengths));
    int last = static_cast<int>(kTrackLengths.size());
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        RunResult result = rip(image.imagesEntry(), {mode, "out", "1:" + std::to_string(last)});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        for (int track = 1; track <= last; ++track) {
            char name[32];
            std::snprintf(name, sizeof name, "out%02d.wav", track);
            int start = image.trackStart(track);
            EXPECT_EQ(copied(name), image.sectors(start, image.trackEnd(track) - start))
                << "track " << track;
        }
    }
}

TEST_F(ExtractorTest, EveryModeCopiesRangesAndTheWholeDisc) {
    DiscImage image(dir.path(), audioDisc({60, 70, 50}));
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        RunResult result = rip(image.imagesEntry(), {mode, "r", "55-131", "0-180", "*", "7-8"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(copied("r{55-131}.wav"), image.sectors(55, 76));
        EXPECT_EQ(copied("r{0-180}.wav"), image.sectors(0, 180));
        EXPECT_EQ(copied("r.wav"), image.sectors(0, 180));
        EXPECT_EQ(copied("r{7-8}.wav"), image.sectors(7, 1));
    }
}

TEST_F(ExtractorTest, SyncModeHidesJitter) {
    DiscImage image(dir.path(), audioDisc({140, 93, 27}));
    for (const char* setting : {"jitter=1", "jitter=2", "jitter=1,seed=7", "jitter=2,seed=99"}) {
        SCOPED_TRACE(setting);
        RunResult result = rip(image.imagesEntry(setting), {"/ms", "s", "1:3", "*"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        for (int track = 1; track <= 3; ++track) {
            int start = image.trackStart(track);
            EXPECT_EQ(copied("s0" + std::to_string(track) + ".wav"),
                      image.sectors(start, image.trackEnd(track) - start))
                << "track " << track;
        }
        EXPECT_EQ(copied("s.wav"), image.sectors(0, image.leadOut()));
    }
    // The other modes have nothing to hide jitter with.
    RunResult burst = rip(image.imagesEntry("jitter=2"), {"/mb", "b", "1"});
    ASSERT_EQ(burst.exitCode, 0) << burst.output;
    EXPECT_NE(copied("b01.wav"), image.sectors(0, 140));
}

// Sectors past a range's end are never read, so a bad patch just behind it
// does not fail the range, in any mode.
TEST_F(ExtractorTest, NoModeReadsPastTheRange) {
    DiscImage image(dir.path(), audioDisc({300}));
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        RunResult result =
            rip(image.imagesEntry("fail=120-130,fail=230-240"), {mode, "/r0", "x", "100-110", "200-230"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(copied("x{100-110}.wav"), image.sectors(100, 10));
        EXPECT_EQ(copied("x{200-230}.wav"), image.sectors(200, 30));
    }
}

// Reads scattered over a thousand sectors either way, all of them inside
// the disc, almost never line up.
TEST_F(ExtractorTest, SyncModeGivesUpWhenNoReadLinesUp) {
    DiscImage image(dir.path(), audioDisc({1500, 200, 1500}));
    RunResult result = rip(image.imagesEntry("jitter=1000"), {"/ms", "s", "2"});
    EXPECT_EQ(result.exitCode, 7) << result.output;
    EXPECT_NE(result.output.find("Giving Up\nIncomplete Output Kept As \"s02.wav.part\"\n"
                                 "Extraction Returned Error State\n"),
              std::string::npos)
        << result.output;
}

// A read touching sector 40 fails three times, then succeeds.
TEST_F(ExtractorTest, ReadRetriesFollowTheRetryCount) {
    DiscImage image(dir.path(), audioDisc({100}));
    std::string failing = image.imagesEntry("fail=40-40:3");
    for (const char* mode : {"/mn", "/ms"}) {
        SCOPED_TRACE(mode);
        RunResult enough = rip(failing, {mode, "/r3", "ok", "1"});
        ASSERT_EQ(enough.exitCode, 0) << enough.output;
        EXPECT_EQ(copied("ok01.wav"), image.sectors(0, 100));

        RunResult tooFew = rip(failing, {mode, "/r2", "short", "1"});
        EXPECT_EQ(tooFew.exitCode, 7) << tooFew.output;
        EXPECT_NE(tooFew.output.find("\nExtraction Returned Error State\n"), std::string::npos)
            << tooFew.output;
    }
    // Burst and memory modes never read twice.
    for (const char* mode : {"/mb", "/mm"}) {
        SCOPED_TRACE(mode);
        RunResult once = rip(image.imagesEntry("fail=40-40:1"), {mode, "/r5", "b", "1"});
        EXPECT_EQ(once.exitCode, 7) << once.output;
        EXPECT_NE(once.output.find("Extraction Returned Error State"), std::string::npos);
    }
}

TEST_F(ExtractorTest, EscAbortsTheExtraction) {
    DiscImage image(dir.path(), audioDisc({300, 30}));
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        RunResult result = rip(image.imagesEntry(), {mode, "esc", "1:2"}, "\x1b");
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_NE(result.output.find("Extraction Returned Error State"), std::string::npos);
        EXPECT_FALSE(fs::exists(dir.file("esc02.wav"))) << "the queue stops at the failed job";
        std::string written = copied("esc01.wav");
        EXPECT_LT(written.size(), image.sectors(0, 300).size());
        EXPECT_EQ(written, image.sectors(0, 300).substr(0, written.size()));
        if (std::string(mode) == "/mm") {
            EXPECT_EQ(written, "") << "nothing is written after ESC";
        }
    }
}

// Reading stops at ESC, but the writing phase still shows its bar.
TEST_F(ExtractorTest, MemoryModeShowsTheWritingPhaseAfterEsc) {
    DiscImage image(dir.path(), audioDisc({300}));
    RunResult result = rip(image.imagesEntry(), {"/mm", "esc", "1"}, "\x1b");
    EXPECT_EQ(result.exitCode, 7) << result.output;
    EXPECT_NE(result.output.find("\n\nWriting\n[" + std::string(40, ' ') + "]\r[" +
                                 std::string(40, '.') + "\n\nExtraction Returned Error State\n"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(copied("esc01.wav"), "");
}

// Memory mode faults its memory in on a second thread when it can get one;
// without one it copies all the same.
TEST_F(ExtractorTest, MemoryModeNeedsNoSecondThread) {
    rlimit stack{};
    ASSERT_EQ(getrlimit(RLIMIT_STACK, &stack), 0);
    if (stack.rlim_max != RLIM_INFINITY) GTEST_SKIP() << "the stack limit cannot be raised";
    DiscImage image(dir.path(), audioDisc({80}));
    RunOptions run;
    run.cwd = dir.path();
    run.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    // A stack limit beyond any address space leaves no room for a thread.
    RunResult result = runProgram({"/bin/sh", "-c", "ulimit -s 214748364800 && exec \"$0\" \"$@\"",
                                   voltaBinary(), "/mm", "m", "1"},
                                  run);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(copied("m01.wav"), image.sectors(0, 80));
}

std::vector<int16_t> samplesOf(const std::string& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
}

TEST_F(ExtractorTest, MemoryModeNormalisesToFullScale) {
    DiscImage image(dir.path(), audioDisc({60}));
    std::vector<int16_t> source = samplesOf(image.sectors(0, 60));
    int peak = 0;
    for (int16_t s : source) peak = std::max(peak, std::abs(static_cast<int>(s)));
    ASSERT_GT(peak, 0);
    ASSERT_LT(peak, 32767);

    RunResult result = rip(image.imagesEntry(), {"/mm", "/fn", "n", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Writing"), std::string::npos);
    std::vector<int16_t> normalised = samplesOf(copied("n01.wav"));
    ASSERT_EQ(normalised.size(), source.size());
    int newPeak = 0;
    for (size_t i = 0; i < source.size(); ++i) {
        double expected = source[i] * 32767.0 / peak;
        ASSERT_LE(std::fabs(normalised[i] - expected), 1.0) << "sample " << i;
        newPeak = std::max(newPeak, std::abs(static_cast<int>(normalised[i])));
    }
    EXPECT_GE(newPeak, 32766);

    // Without /fn memory mode changes nothing.
    RunResult plain = rip(image.imagesEntry(), {"/mm", "p", "1"});
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    EXPECT_EQ(copied("p01.wav"), image.sectors(0, 60));
}

TEST_F(ExtractorTest, MemoryModeLeavesSilenceSilent) {
    writeFile(dir.file("silent.bin"), std::string(40 * 2352, '\0'));
    writeFile(dir.file("silent.cue"),
              "FILE \"silent.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    RunResult result = rip(dir.file("silent.cue"), {"/mm", "/fn", "q", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(copied("q01.wav"), std::string(40 * 2352, '\0'));
}

TEST_F(ExtractorTest, AnOutputThatCannotOpenFailsTheJob) {
    DiscImage image(dir.path(), audioDisc({30, 30}));
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        RunResult result = rip(image.imagesEntry(), {mode, "missing\\x", "1:2"});
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_NE(result.output.find("Track 1: \"missing\\x01\"\nExtraction Returned Error State\n"),
                  std::string::npos)
            << result.output;
        EXPECT_EQ(result.output.find("Track 2"), std::string::npos);
    }
}

}  // namespace
