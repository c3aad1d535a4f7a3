// How fast a CDDB answer is taken in: lines over a local socket, read one
// byte per call (as the distributed protocol must) and through the CDDB
// client's buffered reader.

#include "engine/net/linesocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr int kLines = 1000000;

// Writes kLines entry lines of 20 bytes into `socket`, then closes it.
void sendEntry(int socket) {
    std::string block;
    for (int i = 0; i < 1000; ++i) block += "TTITLE7=Some Title\r\n";
    for (int sent = 0; sent < kLines; sent += 1000) {
        const char* data = block.data();
        size_t left = block.size();
        while (left > 0) {
            ssize_t n = ::send(socket, data, left, MSG_NOSIGNAL);
            if (n <= 0) return;
            data += n;
            left -= static_cast<size_t>(n);
        }
    }
    ::close(socket);
}

template <class Read>
void measure(const char* label, Read read) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return;
    std::thread writer(sendEntry, pair[1]);
    char line[kRawLineBufferBytes];
    auto start = std::chrono::steady_clock::now();
    long long bytes = 0;
    int lines = 0;
    for (int got; (got = read(pair[0], line)) > 0; ++lines) bytes += got;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writer.join();
    ::close(pair[0]);
    std::printf("%-22s %8d lines %7.1f MB/s\n", label, lines, bytes / seconds / 1e6);
}

}  // namespace

int main() {
    measure("one byte per call", [](int socket, char (&line)[kRawLineBufferBytes]) {
        return receiveRawLine(socket, line, sizeof line);
    });
    LineReader::Clock::time_point deadline = LineReader::Clock::now() + std::chrono::minutes(10);
    measure("buffered (CDDB)", [deadline, reader = std::unique_ptr<LineReader>()](
                                   int socket, char (&line)[kRawLineBufferBytes]) mutable {
        if (!reader) reader = std::make_unique<LineReader>(socket);
        return reader->receiveRawLine(line, sizeof line, deadline);
    });
    return 0;
}
