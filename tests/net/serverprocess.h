#pragma once

#include <string>
#include <utility>
#include <sys/types.h>
#include <vector>

// A VOLTA distributed server on 127.0.0.1 for one test: started on a free
// port from the system with the given VOLTA_IMAGES and extra switches, its
// console written to a file in `directory`. The destructor stops it and
// waits for it, so no server outlives its test.
class ServerProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    ServerProcess(const std::string& directory, const std::string& images,
                  const std::vector<std::string>& switches = {}, const Environment& environment = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port() const { return port_; }
    bool listening() const { return listening_; }
    // Everything the server printed so far.
    std::string console() const;
    // Waits up to `seconds` until the console holds `count` occurrences of
    // `text`; false if it never does.
    bool waitForConsole(const std::string& text, int count = 1, int seconds = 20) const;
    // The switch a client gives to use this server.
    std::string clientSwitch() const;

private:
    bool start(const std::string& images, const std::vector<std::string>& switches, const Environment& environment);
    void stop();

    std::string consolePath_;
    pid_t pid_ = -1;
    int port_ = 0;
    bool listening_ = false;
};

// A port that was free a moment ago, from the system.
int freePort();

// Occurrences of `text` in `haystack`.
int countOf(const std::string& haystack, const std::string& text);
