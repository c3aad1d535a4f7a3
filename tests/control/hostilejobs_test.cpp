#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Jobs ended from outside: a signal, a file-size limit, ESC while a failing
// range is retried.
class HostileJobsTest : public testing::Test {
protected:
    RunOptions runOptions(const std::string& images) const {
        RunOptions opts;
        opts.cwd = dir.path();
        opts.env = {{"VOLTA_IMAGES", images}};
        opts.timeoutSeconds = 20;
        return opts;
    }

    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            std::string name = entry.path().filename().string();
            if (name.rfind("VLT", 0) == 0) names.push_back(name);
        }
        return names;
    }

    TempDir dir;
};

TEST_F(HostileJobsTest, TerminationLeavesNoTemporaryFiles) {
    // Ten seconds of reading at single speed; the signal comes as soon as
    // the temporary WAV file exists.
    DiscImage image(dir.path(), audioDisc({750}));
    writeFile(dir.file("x3enc.exe"), "#!/bin/sh\ncp \"$1\" \"$2\"\n");
    ::chmod(dir.file("x3enc.exe").c_str(), 0755);
    const char* script =
        "\"$0\" \"$@\" >volta.log 2>&1 & pid=$!\n"
        "i=0; while [ -z \"$(ls | grep '^VLT')\" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
        "kill -TERM $pid; wait $pid; echo \"status $?\"\n";
    RunResult result =
        runProgram({"/bin/sh", "-c", script, voltaBinary(), "/ex", "e", "1"}, runOptions(image.imagesEntry("speed=1")));
    EXPECT_TRUE(contains(result.output, "status 143\n")) << result.output << readFile(dir.file("volta.log"));
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});
}

TEST_F(HostileJobsTest, AFileSizeLimitIsReportedNotFatal) {
    DiscImage image(dir.path(), audioDisc({75}));
    RunResult result = runProgram({"/bin/sh", "-c", "ulimit -f 8; exec \"$0\" \"$@\"", voltaBinary(), "out", "1"},
                                  runOptions(image.imagesEntry()));
    EXPECT_EQ(result.exitCode, 7) << result.output;
    EXPECT_TRUE(contains(result.output, "Extraction Returned Error State\n")) << result.output;
}

TEST_F(HostileJobsTest, EscEndsTheRetriesOfAFailingRange) {
    // Every read of the track fails and takes a third of a second: the
    // retries alone would last for days.
    DiscImage image(dir.path(), audioDisc({75}));
    RunOptions opts = runOptions(image.imagesEntry("speed=1,fail=0-74"));
    opts.input = "\x1b";
    for (const char* mode : {"/mn", "/ms"}) {
        RunResult result = runVolta({mode, "/r1000000", "out", "1"}, opts);
        EXPECT_EQ(result.exitCode, 7) << mode << result.output;
        EXPECT_TRUE(contains(result.output, "Extraction Returned Error State\n")) << result.output;
    }
}

}  // namespace
