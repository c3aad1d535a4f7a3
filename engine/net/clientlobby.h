#pragma once

#include <chrono>
#include <vector>

// The connections of the distributed server that wait while no client is
// served. Each is accepted and greeted at once, and the first that sends a
// command is served next, so a connection that stays silent holds nobody
// up. One that sends no command within kFirstCommandSeconds is closed, and
// so is the one that has waited longest when kMaxWaitingConnections wait.
class ClientLobby {
public:
    // `listener`: the server's listening socket, which must not block.
    explicit ClientLobby(int listener);
    ~ClientLobby();
    ClientLobby(const ClientLobby&) = delete;
    ClientLobby& operator=(const ClientLobby&) = delete;

    // Waits until a connection has sent something and hands it over: the
    // caller serves it and closes it. Connections that come meanwhile are
    // greeted and wait their turn here.
    int nextClient();

private:
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        int socket;
        Clock::time_point deadline;
    };

    void acceptWaiting();
    // The index of the first connection that has sent something, or -1;
    // connections found closed by their peer go.
    int firstToSpeak(const std::vector<short>& events);
    void closeExpired();
    void closeWaiting(int socket, bool byPeer);

    int listener_;
    std::vector<Waiting> waiting_;  // in the order they were accepted
};
