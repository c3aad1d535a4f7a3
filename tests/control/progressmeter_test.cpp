#include "engine/control/progressmeter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/control/console.h"
#include "engine/control/options.h"
#include "tests/support/runvolta.h"

namespace {

// Points standard output at a file for the lifetime of the object.
class StdoutCapture {
  public:
    StdoutCapture() : path_(dir_.file("stdout")) {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~StdoutCapture() { release(); }
    std::string text() {
        release();
        return readFile(path_);
    }

  private:
    void release() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    TempDir dir_;
    std::string path_;
    int saved_ = -1;
};

// Feeds standard input from a pipe holding `bytes`; the write end stays
// open unless `closeAfter`, so that "no key yet" can be told from "end".
class StdinFeed {
  public:
    explicit StdinFeed(const std::string& bytes, bool closeAfter = true) {
        int fds[2];
        if (pipe(fds) != 0) std::abort();
        if (write(fds[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        if (closeAfter) {
            close(fds[1]);
            writer_ = -1;
        } else {
            writer_ = fds[1];
        }
        saved_ = dup(STDIN_FILENO);
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
    }
    ~StdinFeed() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
        if (writer_ >= 0) close(writer_);
    }

  private:
    int saved_ = -1;
    int writer_ = -1;
};

const std::string kEmptyBar = "[                                        ]\r[";

class ProgressMeterTest : public ::testing::Test {
  protected:
    void SetUp() override { options = Options(); }
};

TEST_F(ProgressMeterTest, BeginPrintsTitleAndEmptyBar) {
    StdinFeed input("");
    StdoutCapture out;
    ProgressMeter meter;
    meter.setTitle("VOLTA: disc01");
    meter.setPercent(0);
    meter.begin();
    EXPECT_EQ(meter.update(), 0);
    meter.setPercent(100);
    EXPECT_EQ(meter.update(), 0);
    meter.finish();
    EXPECT_EQ(out.text(), "VOLTA: disc01\n" + kEmptyBar + std::string(40, '.') + "\n\n");
}

TEST_F(ProgressMeterTest, CellsFollowThePercentage) {
    StdinFeed input("");
    struct Step {
        int percent;
        int cellsPrinted;  // new cells this update
        int drawn;
    } steps[] = {
        {0, 0, 0},   {2, 0, 0},   {3, 1, 1},    {3, 0, 1},    {5, 1, 2},    {50, 18, 20},
        {50, 0, 20}, {25, 0, 10}, {50, 10, 20}, {99, 19, 39}, {100, 1, 40},
    };
    ProgressMeter meter;
    {
        StdoutCapture out;
        meter.begin();
    }
    for (const Step& s : steps) {
        StdoutCapture out;
        meter.setPercent(s.percent);
        EXPECT_EQ(meter.update(), 0);
        EXPECT_EQ(out.text(), std::string(s.cellsPrinted, '.')) << s.percent;
        EXPECT_EQ(meter.drawn, s.drawn) << s.percent;
    }
}

TEST_F(ProgressMeterTest, OutOfRangePercentagesStayInsideTheBar) {
    StdinFeed input("");
    ProgressMeter meter;
    StdoutCapture out;
    meter.begin();
    meter.setPercent(-50);
    meter.update();
    EXPECT_EQ(meter.drawn, 0);
    meter.setPercent(250);
    meter.update();
    EXPECT_EQ(meter.drawn, 40);
    EXPECT_EQ(out.text(), "\n" + kEmptyBar + std::string(40, '.'));
}

TEST_F(ProgressMeterTest, StarsAfterTheSwitch) {
    StdinFeed input("");
    const char* argv[] = {"volta", "/="};
    parseArguments(2, argv);
    ProgressMeter meter;
    StdoutCapture out;
    meter.begin();
    meter.setPercent(10);
    meter.update();
    EXPECT_EQ(out.text(), "\n" + kEmptyBar + "****");
}

TEST_F(ProgressMeterTest, BeginStartsANewPhase) {
    StdinFeed input("");
    ProgressMeter meter;
    StdoutCapture out;
    meter.setTitle("Reading");
    meter.begin();
    meter.setPercent(100);
    meter.update();
    meter.setTitle("Writing");
    meter.begin();
    EXPECT_EQ(meter.drawn, 0);
    meter.setPercent(10);
    meter.update();
    EXPECT_EQ(out.text(),
              "Reading\n" + kEmptyBar + std::string(40, '.') + "Writing\n" + kEmptyBar + "....");
}

// A run that stops in the middle ends the bar's line once, so that what
// follows starts at column 0; with no bar open there is no line to end.
TEST_F(ProgressMeterTest, LeavingTheBarEndsItsLineOnce) {
    StdinFeed input("");
    ProgressMeter meter;
    StdoutCapture out;
    meter.leaveBar();
    meter.setTitle("Extracting");
    meter.begin();
    meter.setPercent(10);
    meter.update();
    meter.leaveBar();
    meter.leaveBar();
    meter.begin();
    meter.finish();
    meter.leaveBar();
    EXPECT_EQ(out.text(), "Extracting\n" + kEmptyBar + "....\n" + "Extracting\n" + kEmptyBar + "\n\n");
}

TEST_F(ProgressMeterTest, LongTitlesAreCut) {
    ProgressMeter meter;
    std::string title(5000, 'a');
    meter.setTitle(title.c_str());
    EXPECT_EQ(std::string(meter.title), std::string(ProgressMeter::kTitleCapacity - 1, 'a'));
}

TEST_F(ProgressMeterTest, EscapeFromAPipeAborts) {
    StdinFeed input("\x1b");
    StdoutCapture out;
    ProgressMeter meter;
    meter.begin();
    EXPECT_EQ(meter.update(), 1);
    EXPECT_EQ(meter.update(), 0);  // the key was consumed
}

TEST_F(ProgressMeterTest, OtherKeysAreSwallowedOneByOne) {
    StdinFeed input("ab\x1b");
    StdoutCapture out;
    ProgressMeter meter;
    meter.begin();
    EXPECT_EQ(meter.update(), 0);
    EXPECT_EQ(meter.update(), 0);
    EXPECT_EQ(meter.update(), 1);
}

TEST_F(ProgressMeterTest, NoKeyAndEndOfInputDoNotBlock) {
    {
        StdinFeed open("", false);  // writer still open: nothing waiting
        EXPECT_EQ(pollKey(), -1);
        EXPECT_EQ(pollKey(), -1);
    }
    {
        StdinFeed ended("x");
        EXPECT_EQ(pollKey(), 'x');
        EXPECT_EQ(pollKey(), -1);
        EXPECT_EQ(pollKey(), -1);
    }
    {
        StdinFeed closed("");
        close(STDIN_FILENO);
        EXPECT_EQ(pollKey(), -1);
    }
}

TEST_F(ProgressMeterTest, TitleEscapeOnlyOnATerminal) {
    StdoutCapture out;
    setConsoleTitle("VOLTA: disc01");
    EXPECT_EQ(out.text(), "");
}

}  // namespace
