#include "engine/control/progressmeter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/control/console.h"
#include "engine/control/fatal.h"
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

// A child process with a pseudo-terminal as its controlling terminal and
// standard input and output.
class TerminalChild {
  public:
    template <typename Body>
    explicit TerminalChild(Body body) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
        slaveName_ = ptsname(master_);
        // Held open so the terminal keeps its settings after the child is gone.
        slave_ = open(slaveName_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0 || pipe(report_) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            int slave = open(slaveName_.c_str(), O_RDWR);  // becomes the controlling terminal
            dup2(slave, STDIN_FILENO);
            dup2(slave, STDOUT_FILENO);
            close(slave);
            close(slave_);
            close(master_);
            close(report_[0]);
            body(report_[1]);
            _exit(0);
        }
        close(report_[1]);
    }
    ~TerminalChild() {
        close(report_[0]);
        close(slave_);
        close(master_);
    }

    // One byte that the child reports (or -1 when it is gone).
    int report() {
        char c = 0;
        return read(report_[0], &c, 1) == 1 ? c : -1;
    }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        return status;
    }
    termios slaveMode() {
        termios mode{};
        tcgetattr(slave_, &mode);
        return mode;
    }
    void type(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
            std::abort();
    }
    // Everything the child has written so far to its terminal.
    std::string screen() {
        std::string text;
        pollfd p{master_, POLLIN, 0};
        char buf[256];
        while (poll(&p, 1, 100) > 0 && (p.revents & POLLIN)) {
            ssize_t got = read(master_, buf, sizeof buf);
            if (got <= 0) break;
            text.append(buf, static_cast<size_t>(got));
        }
        return text;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    int report_[2] = {-1, -1};
    pid_t pid_ = -1;
    std::string slaveName_;
};

bool echoing(const termios& mode) { return (mode.c_lflag & ECHO) && (mode.c_lflag & ICANON); }

// The child polls once (entering key mode), tells the parent whether echo
// went off, waits for the go-ahead byte on its terminal, then leaves by
// `how`. Afterwards the terminal must echo again.
void leaveAndCheckTerminal(void (*how)()) {
    TerminalChild child([how](int report) {
        initConsole();
        pollKey();
        termios mode{};
        tcgetattr(STDIN_FILENO, &mode);
        char c = echoing(mode) ? 'e' : 'q';
        if (write(report, &c, 1) != 1) _exit(3);
        while (pollKey() != 'g') usleep(1000);
        how();
    });
    EXPECT_EQ(child.report(), 'q');
    EXPECT_FALSE(echoing(child.slaveMode()));
    child.type("g");
    child.wait();
    EXPECT_TRUE(echoing(child.slaveMode()));
}

TEST(ConsoleTerminal, RestoredOnNormalExit) {
    leaveAndCheckTerminal([] { std::exit(0); });
}

TEST(ConsoleTerminal, RestoredOnFatalExit) {
    leaveAndCheckTerminal([] { fatalExit(5, "Error Executing Read TOC Command"); });
}

TEST(ConsoleTerminal, RestoredOnInterrupt) {
    leaveAndCheckTerminal([] { raise(SIGINT); });
    leaveAndCheckTerminal([] { raise(SIGTERM); });
}

TEST(ConsoleTerminal, InterruptStillEndsTheProcess) {
    TerminalChild child([](int) {
        pollKey();
        raise(SIGINT);
        _exit(0);
    });
    int status = child.wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

TEST(ConsoleTerminal, KeysAreReadWithoutEcho) {
    TerminalChild child([](int report) {
        pollKey();
        if (write(report, "r", 1) != 1) _exit(3);
        int key;
        while ((key = pollKey()) != 27) {
            if (key >= 0) {
                char c = static_cast<char>(key);
                if (write(report, &c, 1) != 1) _exit(3);
            }
            usleep(1000);
        }
        if (write(report, "E", 1) != 1) _exit(3);
    });
    ASSERT_EQ(child.report(), 'r');
    child.type("ab\x1b");
    EXPECT_EQ(child.report(), 'a');
    EXPECT_EQ(child.report(), 'b');
    EXPECT_EQ(child.report(), 'E');
    child.wait();
    EXPECT_EQ(child.screen(), "");
}

TEST(ConsoleTerminal, TitleSequenceOnATerminal) {
    TerminalChild child([](int) {
        setConsoleTitle(
            "VOLTA: a\x1b"
            "b\x07");
    });
    child.wait();
    EXPECT_EQ(child.screen(), "\x1b]0;VOLTA: ab\x07");
}

}  // namespace
