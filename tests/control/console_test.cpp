// The terminal in key mode: echo off while keys are polled, restored however
// the process ends, and the title sequence only on a terminal.

#include "engine/control/console.h"

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

namespace {

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
