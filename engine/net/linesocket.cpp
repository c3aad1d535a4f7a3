#include "engine/net/linesocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// A dotted address is taken as it stands: a reverse lookup would only
// return the same address, or fail for hosts without a DNS name.
int resolve(const char* host, in_addr& address) {
    if (inet_aton(host, &address) != 0) return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return -1;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return 0;
}

// Waits for `events` on the socket; 0 when ready, -1 on timeout or error.
// The deadline holds even against a peer that never stops sending.
int waitFor(int socket, short events, bool forever, Clock::time_point deadline) {
    for (;;) {
        int waitMs = kWaitForever;
        if (!forever) {
            // Rounded up: a wait cut short by a fraction of a millisecond
            // would end before its deadline and pass for no time-out.
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return -1;
            waitMs = static_cast<int>(left);
        }
        pollfd entry{socket, events, 0};
        int ready = poll(&entry, 1, waitMs);
        if (ready > 0) return 0;
        if (ready == 0) return -1;
        if (errno != EINTR) return -1;
    }
}

void sendAll(int socket, const char* data, size_t length) {
    while (length > 0) {
        ssize_t sent = send(socket, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
}

enum class LineEnd { Complete, PeerClosed, Broken };

// Reads byte by byte, so that raw data following the line stays in the
// socket for the caller. Stores at most capacity - 1 bytes and a NUL.
LineEnd readLine(int socket, char* buffer, int capacity, int timeoutMs, int& stored) {
    stored = 0;
    buffer[0] = '\0';
    bool forever = timeoutMs < 0;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    for (;;) {
        if (waitFor(socket, POLLIN, forever, deadline) != 0) return LineEnd::Broken;
        char byte;
        ssize_t got = recv(socket, &byte, 1, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) return LineEnd::Broken;
        if (got == 0) return LineEnd::PeerClosed;
        if (stored < capacity - 1) {
            buffer[stored++] = byte;
            buffer[stored] = '\0';
        }
        if (byte == '\n') return LineEnd::Complete;
    }
}

}  // namespace

int connectTo(const char* host, int port) {
    return connectTo(host, port, Clock::now() + std::chrono::milliseconds(kReceiveTimeoutMs));
}

int connectTo(const char* host, int port, Clock::time_point deadline) {
    in_addr address{};
    if (resolve(host, address) != 0) return -1;
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0) return -1;

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr = address;

    // Connect without blocking so that an unreachable host gives up in time.
    int flags = fcntl(socket, F_GETFL);
    fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    int result = connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    if (result != 0 && errno == EINPROGRESS) {
        int error = 0;
        socklen_t length = sizeof error;
        if (waitFor(socket, POLLOUT, false, deadline) == 0 &&
            getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            result = 0;
    }
    if (result != 0) {
        close(socket);
        return -1;
    }
    fcntl(socket, F_SETFL, flags);

    // A peer that stops reading must not stall a send for ever.
    timeval sendTimeout{kReceiveTimeoutMs / 1000, 0};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    return socket;
}

int sendWithin(int socket, const char* data, size_t length, int timeoutMs) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (length > 0) {
        if (waitFor(socket, POLLOUT, false, deadline) != 0) return 1;
        ssize_t sent = send(socket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (sent <= 0) return 1;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return 0;
}

void sendLine(int socket, const char* text) {
    char line[kRawLineBufferBytes];
    size_t length = std::strlen(text);
    if (length > sizeof line - 3) length = sizeof line - 3;
    std::memcpy(line, text, length);
    std::memcpy(line + length, "\r\n", 3);
    sendAll(socket, line, length + 2);
}

void sendFormatted(int socket, const char* format, ...) {
    char line[kLineBufferBytes];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    if (length >= static_cast<int>(sizeof line)) {
        length = sizeof line - 1;
        std::memcpy(line + length - 2, "\r\n", 3);
    }
    sendAll(socket, line, static_cast<size_t>(length));
}

int receiveRawLine(int socket, char* buffer, int capacity, int timeoutMs) {
    if (capacity < 1) return -1;
    int stored = 0;
    if (readLine(socket, buffer, capacity, timeoutMs, stored) != LineEnd::Complete) return -1;
    return stored;
}

int receiveLine(int socket, char* buffer, int capacity, int timeoutMs) {
    if (capacity < 1) return 0;
    int stored = 0;
    if (readLine(socket, buffer, capacity, timeoutMs, stored) == LineEnd::Broken) return 0;
    buffer[std::strcspn(buffer, "\r\n")] = '\0';
    return stored;
}

void closeSocket(int socket) {
    if (socket >= 0) close(socket);
}

int LineReader::receiveRawLine(char* buffer, int capacity, Clock::time_point deadline) {
    timedOut_ = false;
    if (capacity < 1) return -1;
    Clock::time_point lineDeadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(kReceiveTimeoutMs));
    int stored = 0;
    buffer[0] = '\0';
    for (;;) {
        while (start_ < end_) {
            char byte = data_[start_++];
            if (stored < capacity - 1) {
                buffer[stored++] = byte;
                buffer[stored] = '\0';
            }
            if (byte == '\n') return stored;
        }
        if (waitFor(socket_, POLLIN, false, lineDeadline) != 0) {
            timedOut_ = Clock::now() >= lineDeadline;
            return -1;
        }
        ssize_t got = recv(socket_, data_, sizeof data_, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return -1;
        start_ = 0;
        end_ = static_cast<int>(got);
    }
}
