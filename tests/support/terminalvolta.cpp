#include "tests/support/terminalvolta.h"

#include "tests/support/runvolta.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

TerminalVolta::TerminalVolta(const std::vector<std::string>& args,
                             const std::vector<std::pair<std::string, std::string>>& env, const std::string& cwd) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
        unsetenv("VOLTA");
        unsetenv("VOLTA_IMAGES");
        keepOffRealDrives();
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
        std::string binary = voltaBinary();
        std::vector<char*> argv{binary.data()};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
}

TerminalVolta::~TerminalVolta() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(master_);
}

void TerminalVolta::type(const std::string& keys) {
    if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("typing failed");
}

void TerminalVolta::readFor(int milliseconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        ssize_t got = read(master_, buf, sizeof buf);
        // The terminal reports an error once the program and its children
        // have closed it; the time is still waited, as the program may not
        // have ended yet.
        if (got <= 0) {
            std::this_thread::sleep_until(until);
            return;
        }
        screen_.append(buf, static_cast<size_t>(got));
    }
}

bool TerminalVolta::waitFor(const std::string& text, int seconds) {
    for (int waited = 0; waited < seconds * 10; ++waited) {
        if (screen_.find(text) != std::string::npos) return true;
        readFor(100);
    }
    return screen_.find(text) != std::string::npos;
}

bool TerminalVolta::reaped() {
    if (pid_ < 0) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool TerminalVolta::runsAfter(int milliseconds) {
    readFor(milliseconds);
    return !reaped();
}

int TerminalVolta::wait(int seconds) {
    for (int waited = 0; waited < seconds * 10 && !reaped(); ++waited) readFor(100);
    if (!reaped()) return -1;
    readFor(50);  // what is left on the screen
    return exitCode_;
}
