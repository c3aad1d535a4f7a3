// Rips a 31-minute virtual disc through a distributed server on the
// loopback interface and the same disc from the local virtual drive, in
// turns, in each extraction mode, and prints how fast the remote rip is
// compared with the local one (target: at least 0.8). Then, for
// comparison, one track from a drive limited to a real drive's speed.
//
//   bench_distributed [sectors]

#include "benchdisc.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSectorBytes = 2352;
constexpr int kSectorsPerSecond = 75;
constexpr int kDiscSectors = 31 * 60 * kSectorsPerSecond;
constexpr int kTracks = 12;
constexpr int kRuns = 5;
constexpr double kTarget = 0.8;
constexpr int kRealisticSpeed = 48;

struct Measurement {
    double seconds = 0;
    double processorSeconds = 0;
    bool copied = false;
};

// Processor time a running process has used so far, all its threads.
double processorSeconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        unsigned long long nanoseconds = 0;
        if (schedstat >> nanoseconds) total += nanoseconds / 1e9;
    }
    return total;
}

// One rip into the file `output` in `cwd`, of at least `sectors` sectors;
// the file is removed again. Dirty pages of earlier runs are written back
// first, so that no run pays for another. The processor time counts the
// ripping process and, when given, the server that serves it.
Measurement rip(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& images,
                const std::string& output, int sectors, pid_t server = -1) {
    fs::create_directories(cwd);
    ::sync();
    Measurement m;
    double serverBefore = server > 0 ? processorSeconds(server) : 0;
    auto started = std::chrono::steady_clock::now();
    pid_t child = launchQuiet(argv, cwd.string(), images);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    m.processorSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                         usage.ru_stime.tv_usec / 1e6;
    if (server > 0) m.processorSeconds += processorSeconds(server) - serverBefore;
    fs::path out = cwd / output;
    m.copied = WIFEXITED(status) && WEXITSTATUS(status) == 0 && fs::exists(out) &&
               fs::file_size(out) >= static_cast<uintmax_t>(sectors) * kSectorBytes;
    fs::remove(out);
    return m;
}

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

// Whether something listens on the port by now.
bool accepting(int port) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return connected;
}

struct Server {
    pid_t pid = -1;
    int port = 0;
};

// A distributed server on a free port of the loopback interface, serving
// the virtual drives of `images`; pid -1 when none would start.
Server startServer(const std::string& volta, const fs::path& dir, const std::string& images) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        Server server;
        server.port = freePort();
        server.pid = launchQuiet({volta, "/`" + std::to_string(server.port)}, dir.string(), images);
        for (int wait = 0; wait < 500; ++wait) {
            if (waitpid(server.pid, nullptr, WNOHANG) == server.pid) break;
            if (accepting(server.port)) return server;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(server.pid, SIGKILL);
        waitpid(server.pid, nullptr, 0);
    }
    return Server{};
}

void stopServer(const Server& server) {
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    int sectors = argc > 1 ? std::atoi(argv[1]) : kDiscSectors;
    if (sectors < kTracks * 25) sectors = kTracks * 25;
    std::string volta;
    fs::path dir;
    if (prepareBench(volta, dir) != 0) return 1;
    writeNoiseImage(dir, sectors, kTracks);
    std::string images = (dir / "disc.cue").string();
    std::printf("disc: %d sectors (%.1f minutes), %.0f MB\n", sectors, sectors / 75.0 / 60,
                static_cast<double>(sectors) * kSectorBytes / 1e6);
    // The remote rip needs two processes running at once; on a busy machine
    // they wait for each other, so the load is part of the figure.
    std::ifstream loadFile("/proc/loadavg");
    std::string load;
    std::getline(loadFile, load);
    std::printf("load average: %s (%u processors)\n", load.c_str(), std::thread::hardware_concurrency());

    Server server = startServer(volta, dir, images);
    if (server.pid < 0) {
        std::fprintf(stderr, "the server did not start\n");
        fs::remove_all(dir);
        return 1;
    }
    std::string client = "/'127.0.0.1," + std::to_string(server.port);

    // Local and remote rips take turns, so that a busy moment of the shared
    // machine does not fall on one side only; the fastest of each counts.
    // The processor time, of the fastest runs, tells what the machine has
    // to give: the remote rip runs two processes, with the copies and the
    // connection between them.
    std::printf("%-7s %9s %9s %6s %13s %13s  %s\n", "mode", "local s", "remote s", "ratio", "local cpu s",
                "remote cpu s", "target");
    int missed = 0;
    for (const char* mode : {"/mb", "/mn", "/ms", "/mm"}) {
        Measurement local;
        Measurement remote;
        bool copied = true;
        for (int run = 0; run < kRuns; ++run) {
            Measurement l = rip({volta, mode, "out", "*"}, dir / "local", images, "out.wav", sectors);
            Measurement r =
                rip({volta, client, mode, "out", "*"}, dir / "remote", "", "out.wav", sectors, server.pid);
            copied = copied && l.copied && r.copied;
            if (run == 0 || l.seconds < local.seconds) local = l;
            if (run == 0 || r.seconds < remote.seconds) remote = r;
        }
        double ratio = local.seconds / remote.seconds;
        bool met = copied && ratio >= kTarget;
        if (!met) ++missed;
        std::printf("%-7s %9.2f %9.2f %6.2f %13.2f %13.2f  remote speed >= %.1f of local: %s%s\n", mode,
                    local.seconds, remote.seconds, ratio, local.processorSeconds, remote.processorSeconds, kTarget,
                    met ? "met" : "MISSED", copied ? "" : " (a copy failed)");
    }
    stopServer(server);

    // For comparison only: with a drive of a real speed, the drive and not
    // the connection sets the pace. One track, so that the bench stays short.
    std::string throttled = images + ",speed=" + std::to_string(kRealisticSpeed);
    Server slow = startServer(volta, dir, throttled);
    if (slow.pid >= 0) {
        std::string slowClient = "/'127.0.0.1," + std::to_string(slow.port);
        int trackSectors = sectors / kTracks;
        Measurement l = rip({volta, "/mb", "out", "1"}, dir / "local", throttled, "out01.wav", trackSectors);
        Measurement r = rip({volta, slowClient, "/mb", "out", "1"}, dir / "remote", "", "out01.wav", trackSectors);
        std::printf("for comparison, a %dx drive (speed=%d), /mb, track 1 (%.1f minutes): local %.2f s, remote %.2f s, "
                    "ratio %.2f%s\n",
                    kRealisticSpeed, kRealisticSpeed, trackSectors / 75.0 / 60, l.seconds, r.seconds, l.seconds / r.seconds,
                    l.copied && r.copied ? "" : " (a copy failed)");
        stopServer(slow);
    }
    fs::remove_all(dir);
    return missed == 0 ? 0 : 1;
}
