// The job queue through the program: which jobs run, what they print,
// tagging, the queue thread, exit codes and external encoders.

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class JobQueueTest : public testing::Test {
protected:
    RunResult rip(const std::string& images, const std::vector<std::string>& args) {
        return runVoltaOn(images, args, dir.path());
    }
    bool exists(const std::string& name) const { return fs::exists(dir.file(name)); }
    std::vector<std::string> filesIn(const std::string& path) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

// Two audio tracks and a data track at the end, as on an enhanced CD.
DiscSpec enhancedDisc() {
    DiscSpec spec = audioDisc({30, 40, 50});
    spec.tracks[2].data = true;
    return spec;
}

TEST_F(JobQueueTest, InvalidJobsAreSkippedWithWarningsAndTheRestRuns) {
    DiscImage image(dir.path(), enhancedDisc());
    RunResult result =
        rip(image.imagesEntry(), {"w", "0", "3:2", "4", "3", "80-60", "10-200", "60-70", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::string expectedOrder[] = {"Warning, Track 0 Is Invalid, Skipping\n",
                                   "Warning, Track 4 Is Invalid, Skipping\n",
                                   "Warning, Track 3 Is A Data Track, Skipping\n",
                                   "Warning, LBA Range 80-60 Is Invalid, Skipping\n",
                                   "Warning, LBA Range 10-200 Is Invalid, Skipping\n",
                                   "Range: \"w{60-70}\"\n",
                                   "Track 2: \"w02\"\n"};
    size_t at = 0;
    for (const std::string& line : expectedOrder) {
        size_t found = result.output.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << "in\n" << result.output;
        at = found + line.size();
    }
    EXPECT_EQ(result.output.find("Track 3:"), std::string::npos) << "3:2 holds no track";
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"disc.bin", "disc.cue", "w02.wav", "w{60-70}.wav"}));
    EXPECT_EQ(wavData(dir.file("w{60-70}.wav")), image.sectors(60, 10));
    EXPECT_EQ(wavData(dir.file("w02.wav")), image.sectors(30, 40));
}

// The loop over a track range must end even when the range ends at the
// largest track number a list item can hold.
TEST_F(JobQueueTest, TrackRangeEndingAtTheLargestNumberEnds) {
    DiscImage image(dir.path(), audioDisc({30}));
    RunOptions run;
    run.cwd = dir.path();
    run.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    run.timeoutSeconds = 30;
    RunResult result = runVolta({"big", "2147483646:2147483647", "1"}, run);
    ASSERT_EQ(result.exitCode, 0) << result.output.substr(0, 2000);
    EXPECT_NE(result.output.find("Warning, Track 2147483646 Is Invalid, Skipping\n"
                                 "Warning, Track 2147483647 Is Invalid, Skipping\n"
                                 "Track 1: \"big01\"\n"),
              std::string::npos)
        << result.output.substr(0, 2000);
    EXPECT_EQ(wavData(dir.file("big01.wav")), image.sectors(0, 30));
}

TEST_F(JobQueueTest, AllAudioTracksStopsBeforeTheDataTrack) {
    DiscImage image(dir.path(), enhancedDisc());
    RunResult result = rip(image.imagesEntry(), {"a", "@", "@"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    size_t first = result.output.find("Disc Tracks: 1-2\n\n");
    ASSERT_NE(first, std::string::npos) << result.output;
    size_t second = result.output.find("Disc Tracks: 1-2\n\n", first + 1);
    ASSERT_NE(second, std::string::npos) << "one line per @ job";
    EXPECT_LT(second, result.output.find("Track 1:")) << "all printed before extracting";
    EXPECT_EQ(result.output.find("Track 3"), std::string::npos);
    EXPECT_EQ(wavData(dir.file("a01.wav")), image.sectors(0, 30));
    EXPECT_EQ(wavData(dir.file("a02.wav")), image.sectors(30, 40));
}

TEST_F(JobQueueTest, Id3TagsCarryTheDiscNames) {
    DiscSpec spec = audioDisc({30, 30});
    spec.title = "An Album Title That Runs Past Thirty";
    spec.performer = "Band";
    spec.tracks[0].title = "First";
    DiscImage image(dir.path(), spec);
    RunResult result = rip(image.imagesEntry(), {"/i", "$2di", "1", "0-10"});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    std::string file = readFile(dir.file("01.wav"));
    ASSERT_EQ(file.size(), 46u + 30 * 2352 + 128);
    std::string tag = file.substr(file.size() - 128);
    std::string expected(128, '\0');
    expected.replace(0, 3, "TAG");
    expected.replace(3, 5, "First");
    expected.replace(33, 4, "Band");
    expected.replace(63, 29, "An Album Title That Runs Past");
    expected[127] = 17;
    EXPECT_EQ(tag, expected);

    // Ranges have no track, so no title.
    std::string range = readFile(dir.file("00{0-10}.wav"));
    std::string rangeTag = range.substr(range.size() - 128);
    EXPECT_EQ(rangeTag.substr(3, 30), std::string(30, '\0'));
    EXPECT_EQ(rangeTag.substr(33, 4), "Band");
}

TEST_F(JobQueueTest, TagsAreNotWrittenIntoFilesThatWereNotWritten) {
    DiscImage image(dir.path(), audioDisc({30}));
    RunResult result = rip(image.imagesEntry(), {"/i", "/en", "t", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"disc.bin", "disc.cue"}));
}

TEST_F(JobQueueTest, QueueThreadWritesTheSameFiles) {
    DiscImage image(dir.path(), audioDisc({40, 30}));
    fs::create_directory(dir.file("main"));
    fs::create_directory(dir.file("idle"));
    fs::create_directory(dir.file("high"));
    RunResult onMain = rip(image.imagesEntry(), {"main\\t", "1:2", "5-20"});
    RunResult idle = rip(image.imagesEntry(), {"/+0", "idle\\t", "1:2", "5-20"});
    RunResult high = rip(image.imagesEntry(), {"/+6", "high\\t", "1:2", "5-20"});
    ASSERT_EQ(onMain.exitCode, 0) << onMain.output;
    ASSERT_EQ(idle.exitCode, 0) << idle.output;
    ASSERT_EQ(high.exitCode, 0) << high.output;
    std::vector<std::string> names = filesIn(dir.file("main"));
    ASSERT_EQ(names, (std::vector<std::string>{"t01.wav", "t02.wav", "t{5-20}.wav"}));
    for (const char* folder : {"idle", "high"}) {
        ASSERT_EQ(filesIn(dir.file(folder)), names) << folder;
        for (const std::string& name : names)
            EXPECT_EQ(readFile(dir.file(std::string(folder) + "/" + name)),
                      readFile(dir.file("main/" + name)))
                << folder << "/" << name;
    }
}

// A stack limit beyond any address space leaves no room for a new
// thread's stack, so the queue thread cannot be started.
RunResult runWithoutThreads(const std::vector<std::string>& args, const RunOptions& run) {
    std::vector<std::string> argv = {"/bin/sh", "-c", "ulimit -s 214748364800 && exec \"$0\" \"$@\"",
                                     voltaBinary()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, run);
}

TEST_F(JobQueueTest, QueueThatGetsNoThreadRunsOnTheMainThread) {
    rlimit stack{};
    ASSERT_EQ(getrlimit(RLIMIT_STACK, &stack), 0);
    if (stack.rlim_max != RLIM_INFINITY) GTEST_SKIP() << "the stack limit cannot be raised";
    DiscImage image(dir.path(), audioDisc({30, 40}));
    RunOptions run;
    run.cwd = dir.path();
    run.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    for (const char* mode : {"/mb", "/mm"}) {
        SCOPED_TRACE(mode);
        RunResult result = runWithoutThreads({"/+0", mode, "t", "1:2"}, run);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        // The message has no newline of its own.
        EXPECT_NE(result.output.find("\nCan't create queue threadTrack 1: \"t01\"\n"),
                  std::string::npos)
            << result.output;
        EXPECT_EQ(wavData(dir.file("t01.wav")), image.sectors(0, 30));
        EXPECT_EQ(wavData(dir.file("t02.wav")), image.sectors(30, 40));
    }
}

TEST_F(JobQueueTest, FailedJobEndsTheRunWithSevenOnEitherThread) {
    DiscImage image(dir.path(), audioDisc({30, 30}));
    std::string failing = image.imagesEntry("fail=5-5");
    for (const char* priority : {"/+3", "/+0", "/+4"}) {
        SCOPED_TRACE(priority);
        RunResult result = rip(failing, {priority, "/mn", "/r1", "f", "1:2"});
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_NE(result.output.find("Extraction Returned Error State\n"), std::string::npos);
        EXPECT_EQ(result.output.find("Track 2"), std::string::npos) << result.output;
    }
    // A failed job for an encoder program leaves no temporary files behind.
    RunResult encoded = rip(failing, {"/ex", "e", "1"});
    EXPECT_EQ(encoded.exitCode, 7) << encoded.output;
    for (const std::string& name : filesIn(dir.path())) EXPECT_NE(name.rfind("VLT", 0), 0u) << name;
}

void writeEncoder(const std::string& path) {
    writeFile(path,
              "#!/bin/sh\n"
              "echo \"$@\" > encoder.args\n"
              "cp \"$1\" \"$2\"\n");
    chmod(path.c_str(), 0755);
}

// The bytes of the ID3v2 tag at the start of `file`, if any.
size_t id3v2Size(const std::string& file) {
    if (file.size() < 10 || file.compare(0, 3, "ID3") != 0) return 0;
    size_t size = 0;
    for (int i = 6; i < 10; ++i) size = size << 7 | (static_cast<uint8_t>(file[i]) & 0x7F);
    return 10 + size;
}

TEST_F(JobQueueTest, ExternalEncoderTurnsEveryJobIntoAnMp3) {
    DiscImage image(dir.path(), audioDisc({30, 30}));
    writeEncoder(dir.file("x3enc.exe"));
    fs::create_directory(dir.file("mp3"));
    writeFile(dir.file("mp3/02.mp3"), "an older file");
    RunResult result = rip(image.imagesEntry(), {"/ex192", "/i", "mp3\\$2di", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(filesIn(dir.file("mp3")), (std::vector<std::string>{"01.mp3", "02.mp3"}));
    for (int track : {1, 2}) {
        std::string mp3 = readFile(dir.file("mp3/0" + std::to_string(track) + ".mp3"));
        EXPECT_GT(id3v2Size(mp3), 10u);
        mp3.erase(0, id3v2Size(mp3));
        // The stand-in's "MP3" is the WAV file it was given, then the ID3v1 tag.
        ASSERT_EQ(mp3.size(), 46u + 30 * 2352 + 128);
        EXPECT_EQ(mp3.substr(46, 30 * 2352), image.sectors((track - 1) * 30, 30));
        EXPECT_EQ(mp3.substr(mp3.size() - 128, 3), "TAG");
    }
    EXPECT_NE(readFile(dir.file("encoder.args")).find(" -b 192000\n"), std::string::npos);
    for (const std::string& name : filesIn(dir.path())) EXPECT_NE(name.rfind("VLT", 0), 0u) << name;
}

TEST_F(JobQueueTest, MissingEncoderIsReportedAndLeavesNoTemporaryFiles) {
    DiscImage image(dir.path(), audioDisc({30}));
    RunResult result = rip(image.imagesEntry(), {"/el", "m", "1"});
    ASSERT_EQ(result.exitCode, 7) << result.output;
    EXPECT_TRUE(result.output.ends_with("Could Not Start Encoder l3enc.exe\n")) << result.output;
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"disc.bin", "disc.cue"}));
}

}  // namespace
