#include "engine/net/blockstream.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// Enough for any line of the stream in one look.
constexpr int kStreamLinePeekBytes = 64;

// A peer that vanished is given up after about two minutes of silence.
constexpr int kKeepAliveIdleSeconds = 60;
constexpr int kKeepAliveIntervalSeconds = 10;
constexpr int kKeepAliveProbes = 6;

void setIntOption(int socket, int level, int name, int value) {
    setsockopt(socket, level, name, &value, sizeof value);
}

}  // namespace

void tuneBlockConnection(int socket, int stallSeconds) {
    setIntOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
    setIntOption(socket, SOL_SOCKET, SO_KEEPALIVE, 1);
    setIntOption(socket, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleSeconds);
    setIntOption(socket, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalSeconds);
    setIntOption(socket, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
    timeval stall{stallSeconds, 0};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
}

int sendBlock(int socket, const uint8_t* data, int byteCount) {
    char line[16];
    int lineLength = std::snprintf(line, sizeof line, "%d\r\n", byteCount);
    iovec parts[2] = {{line, static_cast<size_t>(lineLength)},
                      {const_cast<uint8_t*>(data), static_cast<size_t>(byteCount)}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    while (message.msg_iovlen > 0) {
        ssize_t sent = sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return 1;
        // Whatever did not go out is sent next, from where it stopped.
        size_t done = static_cast<size_t>(sent);
        while (message.msg_iovlen > 0 && done >= message.msg_iov[0].iov_len) {
            done -= message.msg_iov[0].iov_len;
            ++message.msg_iov;
            --message.msg_iovlen;
        }
        if (message.msg_iovlen > 0) {
            message.msg_iov[0].iov_base = static_cast<char*>(message.msg_iov[0].iov_base) + done;
            message.msg_iov[0].iov_len -= done;
        }
    }
    return 0;
}

namespace {

using Clock = std::chrono::steady_clock;

// Receives what is there, up to `count` bytes, waiting only when nothing
// is: the bytes received, 0 when the peer closed, -1 on a failure or when
// nothing came in time.
ssize_t receiveSome(int socket, void* into, size_t count, int flags, int timeoutMs, PeerPace& pace) {
    bool looking = false;
    Clock::time_point lookUntil;
    for (;;) {
        ssize_t got = recv(socket, into, count, flags | MSG_DONTWAIT);
        if (got >= 0) {
            if (looking) pace.answeredWhileLooking();
            return got;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        if (!looking && pace.shouldLook()) {
            looking = true;
            lookUntil = Clock::now() + PeerPace::kLook;
        }
        if (looking && Clock::now() < lookUntil) continue;
        if (looking) {
            pace.lookedInVain();
            looking = false;
        }
        pollfd entry{socket, POLLIN, 0};
        int ready = poll(&entry, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return -1;
    }
}

}  // namespace

int receiveStreamLine(int socket, char* buffer, int capacity, int timeoutMs, PeerPace& pace) {
    if (capacity < 1) return 0;
    int taken = 0;
    int stored = 0;
    buffer[0] = '\0';
    // The limit is for the whole line, so that a peer trickling bytes
    // cannot stretch it.
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int waitMs = -1;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() < 0) return 0;
            waitMs = static_cast<int>(left.count());
        }
        // Looks at what has arrived and takes no more than the line.
        char seen[kStreamLinePeekBytes];
        ssize_t got = receiveSome(socket, seen, sizeof seen, MSG_PEEK, waitMs, pace);
        if (got <= 0) return 0;
        const char* end = static_cast<const char*>(std::memchr(seen, '\n', static_cast<size_t>(got)));
        size_t length = end ? static_cast<size_t>(end - seen) + 1 : static_cast<size_t>(got);
        if (recv(socket, seen, length, 0) != static_cast<ssize_t>(length)) return 0;
        size_t room = static_cast<size_t>(capacity - 1 - stored);
        size_t kept = length < room ? length : room;
        std::memcpy(buffer + stored, seen, kept);
        stored += static_cast<int>(kept);
        buffer[stored] = '\0';
        taken += static_cast<int>(length);
        if (end) break;
    }
    buffer[std::strcspn(buffer, "\r\n")] = '\0';
    return taken;
}

int receiveExactly(int socket, uint8_t* into, int byteCount, int timeoutMs, PeerPace& pace) {
    int received = 0;
    while (received < byteCount) {
        ssize_t got = receiveSome(socket, into + received, static_cast<size_t>(byteCount - received), 0, timeoutMs, pace);
        if (got <= 0) return 1;
        received += static_cast<int>(got);
    }
    return 0;
}

bool PeerPace::shouldLook() {
    if (skip_ == 0) return true;
    --skip_;
    return false;
}

void PeerPace::answeredWhileLooking() { misses_ = 0; }

void PeerPace::lookedInVain() {
    misses_ = std::min(misses_ + 1, kMostMisses);
    skip_ = (1 << misses_) - 1;
}

void closeAfterPeer(int socket, int timeoutMs) {
    shutdown(socket, SHUT_WR);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd entry{socket, POLLIN, 0};
        int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char unread[4096];
        ssize_t got = recv(socket, unread, sizeof unread, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
    }
    close(socket);
}
