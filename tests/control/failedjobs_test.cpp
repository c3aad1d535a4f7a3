// Jobs that fail, through the program: whatever the format and whatever
// failed (a read, the disk, the encoder program), no file under the job's
// final name comes from the run; what was written is kept as "<name>.part",
// an older file of the final name stays as it was, and the run ends with 7.
// A job the user stops keeps its file under the final name.

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTrackSectors = 100;
constexpr int kSector = 2352;
const std::string kOlder = "an older file of that name";

class FailedJobsTest : public testing::Test {
protected:
    FailedJobsTest() : image(dir.path(), audioDisc({kTrackSectors, kTrackSectors})) {}

    // A folder of its own for each case.
    std::string folder(const std::string& name) {
        std::string path = dir.file(name);
        fs::create_directories(path);
        return path;
    }

    RunResult run(const std::string& cwd, const std::vector<std::string>& argv, const std::string& settings = "",
                  const std::string& input = "") {
        RunOptions opts;
        opts.cwd = cwd;
        opts.env = {{"VOLTA_IMAGES", image.imagesEntry(settings)}};
        opts.input = input;
        opts.timeoutSeconds = 30;
        return runProgram(argv, opts);
    }

    RunResult volta(const std::string& cwd, std::vector<std::string> args, const std::string& settings = "",
                    const std::string& input = "") {
        args.insert(args.begin(), voltaBinary());
        return run(cwd, args, settings, input);
    }

    // Runs volta under a file-size limit of 8 KiB whose signal is ignored,
    // so that writes fail as on a full disk.
    RunResult voltaOnAFullDisk(const std::string& cwd, const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 16 && exec \"$0\" \"$@\"",
                                         voltaBinary()};
        argv.insert(argv.end(), args.begin(), args.end());
        return run(cwd, argv);
    }

    static std::vector<std::string> filesIn(const std::string& path) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static void writeProgram(const std::string& path, const std::string& body) {
        writeFile(path, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
    }

    TempDir dir;
    DiscImage image;
};

struct Format {
    std::vector<std::string> switches;
    std::string extension;
};

const std::vector<Format> kFormats = {{{}, ".wav"},          {{"/hraw"}, ".raw"}, {{"/eb"}, ".mp3"},
                                      {{"/ew"}, ".wma"},      {{"/ec"}, ".flac"},  {{"/eo"}, ".opus"}};

TEST_F(FailedJobsTest, AReadErrorOrAFullDiskLeavesOnlyAPartialFile) {
    for (const Format& format : kFormats) {
        const std::string finalName = "x01" + format.extension;
        const std::string partial = finalName + ".part";
        std::vector<std::string> args = format.switches;
        args.insert(args.end(), {"x", "1:2"});

        // Burst mode never reads again: the block from sector 50 on fails.
        SCOPED_TRACE(finalName + ", a read error");
        std::string cwd = folder("read" + format.extension);
        writeFile(cwd + "/" + finalName, kOlder);
        RunResult result = volta(cwd, args, "fail=60-60");
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_TRUE(result.output.ends_with("Incomplete Output Kept As \"" + partial +
                                            "\"\nExtraction Returned Error State\n"))
            << result.output;
        EXPECT_EQ(readFile(cwd + "/" + finalName), kOlder);
        EXPECT_EQ(filesIn(cwd), (std::vector<std::string>{finalName, partial}));
        const std::string written = readFile(cwd + "/" + partial);
        EXPECT_GT(written.size(), 0u);
        if (format.extension == ".wav") {
            EXPECT_EQ(wavData(cwd + "/" + partial), image.sectors(0, 50));
        } else if (format.extension == ".raw") {
            EXPECT_TRUE(written == image.sectors(0, 50));
        }

        if (format.extension == ".mp3" || format.extension == ".wma") continue;  // their encoders drop it
        SCOPED_TRACE(finalName + ", a full disk");
        cwd = folder("full" + format.extension);
        writeFile(cwd + "/" + finalName, kOlder);
        result = voltaOnAFullDisk(cwd, args);
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_TRUE(result.output.ends_with("Incomplete Output Kept As \"" + partial +
                                            "\"\nExtraction Returned Error State\n"))
            << result.output;
        EXPECT_EQ(readFile(cwd + "/" + finalName), kOlder);
        EXPECT_GT(fs::file_size(cwd + "/" + partial), 0u);
        EXPECT_LE(fs::file_size(cwd + "/" + partial), 16u * 512);
    }
}

// ESC and a terminating signal stop a job as before: its file keeps the
// final name.
TEST_F(FailedJobsTest, AJobTheUserStopsKeepsItsFinalName) {
    std::string cwd = folder("escape");
    RunResult escaped = volta(cwd, {"/mn", "x", "1"}, "", "\x1b");
    EXPECT_EQ(escaped.exitCode, 7) << escaped.output;
    EXPECT_TRUE(escaped.output.ends_with("Extraction Returned Error State\n")) << escaped.output;
    EXPECT_EQ(filesIn(cwd), std::vector<std::string>{"x01.wav"});
    EXPECT_EQ(wavData(cwd + "/x01.wav"), image.sectors(0, 25));

    // At single speed the track takes more than a second; the signal comes
    // as soon as its file is there.
    cwd = folder("signal");
    const char* script =
        "\"$0\" \"$@\" >volta.log 2>&1 & pid=$!\n"
        "i=0; while [ ! -e x01.mp3.part ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
        "kill -TERM $pid; wait $pid; echo \"status $?\"\n";
    RunResult signalled = run(cwd, {"/bin/sh", "-c", script, voltaBinary(), "/eb", "x", "1"}, "speed=1");
    EXPECT_NE(signalled.output.find("status 143\n"), std::string::npos) << signalled.output;
    fs::remove(cwd + "/volta.log");
    EXPECT_EQ(filesIn(cwd), std::vector<std::string>{"x01.mp3"});
}

// The program's exit status and its file decide; a failed run never tags
// or replaces the older file of the name.
TEST_F(FailedJobsTest, ExternalEncoderResultsAreChecked) {
    struct Case {
        const char* what;
        std::string program;  // empty: there is none
        std::string settings;
        std::string partial;  // what the job leaves in x01.mp3.part; empty: no such file
        std::string lastLines;
    };
    const std::string kept = "Incomplete Output Kept As \"x01.mp3.part\"\n";
    const std::vector<Case> cases = {
        {"missing", "", "", "", "Could Not Start Encoder x3enc.exe\n"},
        {"fails after writing part", "printf partial > \"$2\"; exit 3\n", "", "partial",
         kept + "Encoder x3enc.exe Exited With Status 3\n"},
        {"writes nothing", "exit 0\n", "", "", "Encoder x3enc.exe Exited With Status 0 But Wrote No File\n"},
        {"killed", "printf partial > \"$2\"; kill -KILL $$\n", "", "partial",
         kept + "Encoder x3enc.exe Was Ended By Signal 9\n"},
        {"a read error before it", "cp \"$1\" \"$2\"\n", "fail=60-60", "wav",
         kept + "Extraction Returned Error State\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string cwd = folder(c.what);
        if (!c.program.empty()) writeProgram(cwd + "/x3enc.exe", c.program);
        writeFile(cwd + "/x01.mp3", kOlder);
        RunResult result = volta(cwd, {"/ex", "/i", "x", "1:2"}, c.settings);
        EXPECT_EQ(result.exitCode, 7) << result.output;
        EXPECT_TRUE(result.output.ends_with(c.lastLines)) << result.output;
        EXPECT_EQ(result.output.find("Track 2"), std::string::npos) << result.output;
        EXPECT_EQ(readFile(cwd + "/x01.mp3"), kOlder);
        std::vector<std::string> expected = {"x01.mp3"};
        if (!c.partial.empty()) expected.push_back("x01.mp3.part");
        if (!c.program.empty()) expected.push_back("x3enc.exe");
        EXPECT_EQ(filesIn(cwd), expected);
        if (c.partial == "wav") {
            EXPECT_EQ(wavData(cwd + "/x01.mp3.part"), image.sectors(0, 50));
        } else if (!c.partial.empty()) {
            EXPECT_EQ(readFile(cwd + "/x01.mp3.part"), c.partial);
        }
    }
}

// A FIFO would block an output for ever; a folder or a FIFO under the final
// or the partial name is refused for every format before anything is read.
TEST_F(FailedJobsTest, SpecialFilesAreRefusedForEveryFormat) {
    std::vector<Format> formats = kFormats;
    formats.push_back({{"/ex"}, ".mp3"});
    for (const Format& format : formats) {
        for (const std::string suffix : {"", ".part"}) {
            for (bool fifo : {true, false}) {
                const std::string name = "x01" + format.extension + suffix;
                SCOPED_TRACE(format.switches.empty() ? name : format.switches[0] + " " + name);
                std::string cwd = folder(format.switches.empty() ? "wave" : format.switches[0].substr(1));
                fs::remove_all(cwd + "/" + name);
                if (fifo)
                    ASSERT_EQ(::mkfifo((cwd + "/" + name).c_str(), 0600), 0);
                else
                    fs::create_directory(cwd + "/" + name);
                std::vector<std::string> args = format.switches;
                args.insert(args.end(), {"x", "1"});
                RunResult result = volta(cwd, args);
                EXPECT_EQ(result.exitCode, 7) << result.output;
                EXPECT_TRUE(result.output.ends_with("Output \"" + name + "\" Is Not A Regular File\n"))
                    << result.output;
                EXPECT_EQ(result.output.find("Extracting"), std::string::npos);
                fs::remove_all(cwd + "/" + name);
                for (const std::string& left : filesIn(cwd)) EXPECT_EQ(left.rfind("VLT", 0), std::string::npos);
            }
        }
    }
}

}  // namespace
