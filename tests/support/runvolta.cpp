#include "tests/support/runvolta.h"

#include "engine/control/banner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "volta-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void keepOffRealDrives() {
    setenv("VOLTA_NO_REAL_HOSTS", "1", 1);
    unsetenv("VOLTA_SYSFS");
    unsetenv("VOLTA_DEV");
}

std::string voltaBinary() { return VOLTA_BINARY; }
std::string demoDir() { return VOLTA_DEMO_DIR; }

std::string testData(const std::string& name) { return std::string(VOLTA_TEST_DATA) + "/" + name; }
std::string bannerText() { return kBanner; }

RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& opts) {
    int in[2], out[2];
    // Close-on-exec: a program started meanwhile from another thread must not
    // hold this one's output open, or reading it waits for that program.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    // Whatever fits in the pipe is there before the program starts, so keys
    // such as ESC never arrive late because this process was slow.
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    size_t written = 0;
    while (written < opts.input.size()) {
        ssize_t put = write(in[1], opts.input.data() + written, opts.input.size() - written);
        if (put <= 0) break;
        written += static_cast<size_t>(put);
    }
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        setpgid(0, 0);
        unsetenv("VOLTA");
        unsetenv("VOLTA_IMAGES");
        keepOffRealDrives();
        for (const auto& [name, value] : opts.env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        if (!opts.cwd.empty() && chdir(opts.cwd.c_str()) != 0) _exit(127);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    signal(SIGPIPE, SIG_IGN);

    RunResult result;
    if (written == opts.input.size()) {
        close(in[1]);
        in[1] = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(opts.timeoutSeconds);
    bool timedOut = false;
    for (;;) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        int n = poll(fds, in[1] >= 0 ? 2 : 1, 100);
        if (n > 0 && (fds[0].revents & (POLLIN | POLLHUP))) {
            char buf[65536];
            ssize_t got = read(out[0], buf, sizeof buf);
            if (got <= 0) break;
            result.output.append(buf, static_cast<size_t>(got));
        }
        if (in[1] >= 0 && n > 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t put = write(in[1], opts.input.data() + written, opts.input.size() - written);
            if (put > 0) written += static_cast<size_t>(put);
            if (put < 0 || written == opts.input.size()) {
                close(in[1]);
                in[1] = -1;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            timedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
    }
    if (in[1] >= 0) close(in[1]);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    kill(-pid, SIGKILL);  // nothing the program started may outlive the test
    if (!timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

RunResult runVolta(const std::vector<std::string>& args, const RunOptions& opts) {
    std::vector<std::string> argv{voltaBinary()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, opts);
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

RunResult runVoltaOn(const std::string& images, const std::vector<std::string>& args, const std::string& cwd) {
    RunOptions run;
    run.cwd = cwd;
    run.env = {{"VOLTA_IMAGES", images}};
    return runVolta(args, run);
}
