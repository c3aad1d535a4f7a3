#pragma once

// The far end of a connection for the network fuzz targets: it sends the
// fuzzer's bytes, then closes its sending side, and swallows whatever the
// engine's end sends until that end closes too. It runs on a thread of its
// own, so that neither end can block the other.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <thread>

class ScriptedPeer {
public:
    ScriptedPeer(const uint8_t* data, size_t size) {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
        engineEnd_ = ends[0];
        int peer = ends[1];
        thread_ = std::thread([peer, data, size] { play(peer, data, size); });
    }
    // Closes the engine's end, which lets the peer finish.
    ~ScriptedPeer() {
        if (engineEnd_ >= 0) close(engineEnd_);
        if (thread_.joinable()) thread_.join();
    }
    int socket() const { return engineEnd_; }

private:
    static void play(int peer, const uint8_t* data, size_t size) {
        size_t sent = 0;
        if (size == 0) shutdown(peer, SHUT_WR);
        for (;;) {
            pollfd entry{peer, static_cast<short>(POLLIN | (sent < size ? POLLOUT : 0)), 0};
            if (poll(&entry, 1, -1) < 0) break;
            if (entry.revents & (POLLIN | POLLHUP)) {
                char unread[65536];
                if (recv(peer, unread, sizeof unread, 0) <= 0) break;
            }
            if (sent < size && (entry.revents & POLLOUT)) {
                ssize_t put = send(peer, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (put > 0) sent += static_cast<size_t>(put);
                if (put < 0 || sent == size) {
                    sent = size;
                    shutdown(peer, SHUT_WR);
                }
            }
        }
        close(peer);
    }

    int engineEnd_ = -1;
    std::thread thread_;
};
