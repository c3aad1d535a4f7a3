#include "tests/net/serverprocess.h"

#include "tests/support/runvolta.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

constexpr auto kPatience = std::chrono::seconds(20);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

}  // namespace

int freePort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

int countOf(const std::string& haystack, const std::string& text) {
    int count = 0;
    for (size_t at = haystack.find(text); at != std::string::npos; at = haystack.find(text, at + text.size()))
        ++count;
    return count;
}

ServerProcess::ServerProcess(const std::string& directory, const std::string& images,
                             const std::vector<std::string>& switches, const Environment& environment)
    : consolePath_(directory + "/server-console.txt") {
    // Another program may take the port between the probe and the bind.
    for (int attempt = 0; attempt < 5 && !listening_; ++attempt) listening_ = start(images, switches, environment);
}

ServerProcess::~ServerProcess() { stop(); }

bool ServerProcess::start(const std::string& images, const std::vector<std::string>& switches,
                          const Environment& environment) {
    port_ = freePort();
    std::vector<std::string> argv{voltaBinary(), "/`" + std::to_string(port_)};
    argv.insert(argv.end(), switches.begin(), switches.end());
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        int console = open(consolePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, 0);
        dup2(console, 1);
        dup2(console, 2);
        unsetenv("VOLTA");
        setenv("VOLTA_IMAGES", images.c_str(), 1);
        keepOffRealDrives();
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        std::string text = console();
        if (text.find("Waiting For Connection") != std::string::npos) return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    stop();
    return false;
}

void ServerProcess::stop() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string ServerProcess::console() const { return readFile(consolePath_); }

bool ServerProcess::waitForConsole(const std::string& text, int count, int seconds) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (countOf(console(), text) < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::string ServerProcess::clientSwitch() const { return "/'127.0.0.1," + std::to_string(port_); }
