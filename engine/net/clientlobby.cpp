#include "engine/net/clientlobby.h"

#include "engine/net/blockstream.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// A failing accept (no descriptors left, say) is tried again after this.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(100);

void say(const char* message) {
    std::printf("%s\n", message);
    std::fflush(stdout);
}

}  // namespace

ClientLobby::ClientLobby(int listener) : listener_(listener) {}

ClientLobby::~ClientLobby() {
    for (const Waiting& connection : waiting_) closeSocket(connection.socket);
}

int ClientLobby::nextClient() {
    say("Waiting For Connection");
    for (;;) {
        std::vector<pollfd> entries;
        entries.push_back({listener_, POLLIN, 0});
        for (const Waiting& connection : waiting_) entries.push_back({connection.socket, POLLIN, 0});
        int timeoutMs = -1;
        if (!waiting_.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(waiting_.front().deadline -
                                                                              Clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        if (poll(entries.data(), entries.size(), timeoutMs) < 0 && errno != EINTR) {
            std::this_thread::sleep_for(kAcceptRetryDelay);
            continue;
        }
        std::vector<short> events;
        for (size_t i = 1; i < entries.size(); ++i) events.push_back(entries[i].revents);
        int speaker = firstToSpeak(events);
        if (speaker >= 0) {
            int socket = waiting_[speaker].socket;
            waiting_.erase(waiting_.begin() + speaker);
            return socket;
        }
        closeExpired();
        if (entries[0].revents & POLLIN) acceptWaiting();
    }
}

void ClientLobby::acceptWaiting() {
    char greeting[kLineBufferBytes];
    const int greetingLength = std::snprintf(greeting, sizeof greeting, "%s\r\n", kServerGreeting);
    for (;;) {
        int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) std::this_thread::sleep_for(kAcceptRetryDelay);
            return;
        }
        say("Connection Accepted");
        tuneBlockConnection(connection, kStreamStallSeconds);
        // A new connection has room for the greeting; one that takes no
        // bytes at once is not worth waiting for.
        if (send(connection, greeting, greetingLength, MSG_DONTWAIT | MSG_NOSIGNAL) != greetingLength) {
            closeWaiting(connection, false);
            continue;
        }
        waiting_.push_back({connection, Clock::now() + std::chrono::seconds(kFirstCommandSeconds)});
        if (waiting_.size() > static_cast<size_t>(kMaxWaitingConnections)) {
            closeWaiting(waiting_.front().socket, false);
            waiting_.erase(waiting_.begin());
        }
    }
}

int ClientLobby::firstToSpeak(const std::vector<short>& events) {
    int speaker = -1;
    std::vector<Waiting> staying;
    for (size_t i = 0; i < waiting_.size(); ++i) {
        const Waiting& connection = waiting_[i];
        if (speaker < 0 && (events[i] & (POLLIN | POLLHUP | POLLERR))) {
            char first;
            ssize_t got = recv(connection.socket, &first, 1, MSG_PEEK | MSG_DONTWAIT);
            if (got > 0) {
                speaker = static_cast<int>(staying.size());
            } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                closeWaiting(connection.socket, true);
                continue;
            }
        }
        staying.push_back(connection);
    }
    waiting_ = std::move(staying);
    return speaker;
}

void ClientLobby::closeExpired() {
    Clock::time_point now = Clock::now();
    while (!waiting_.empty() && waiting_.front().deadline <= now) {
        closeWaiting(waiting_.front().socket, false);
        waiting_.erase(waiting_.begin());
    }
}

void ClientLobby::closeWaiting(int socket, bool byPeer) {
    if (byPeer) say("Connection Terminated From The Other End");
    say("Closing Connection");
    closeSocket(socket);
}
