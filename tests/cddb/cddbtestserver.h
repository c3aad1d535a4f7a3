#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How the test server answers. Answers are sent as given, so each must
// carry its own "\r\n" line ends (several lines for lists and entries).
struct CddbScript {
    std::string greeting = "201 testhost CDDBP server v1.5 ready\r\n";
    std::string protoAnswer = "201 OK, CDDB protocol level now: 2\r\n";
    std::string helloAnswer = "200 Hello and welcome\r\n";
    std::string queryAnswer = "202 No match found\r\n";
    std::string readAnswer = "401 Specified CDDB entry not found\r\n";
    // The server closes the connection instead of answering a command that
    // begins with this ("greeting": right after accepting; empty: never).
    std::string dropOn;
    int droppedConnections = -1;  // how many connections are dropped; -1: all
    // Connections accepted before the first is served: lets several runs
    // pass their cache check before any of them gets an answer.
    int gather = 1;
    // When set, the read answer goes out one byte at a time, this many
    // milliseconds apart.
    int dripMs = 0;
};

// A CDDBP server on 127.0.0.1 with a port from the system, in a thread of
// the test. It serves connections one after the other and records every
// line the clients send. Stopped and joined by the destructor.
class CddbTestServer {
public:
    explicit CddbTestServer(CddbScript script);
    ~CddbTestServer();
    CddbTestServer(const CddbTestServer&) = delete;
    CddbTestServer& operator=(const CddbTestServer&) = delete;

    int port() const { return port_; }
    // The /0 switch for this server with the given user address.
    std::string cddbSwitch(const std::string& address = "user@example.org") const;
    int connections() const { return connections_; }
    std::vector<std::string> received() const;

private:
    void run();
    void serve(int client);
    int readLine(int client, std::string& line);
    int waitReadable(int fd);
    void drip(int client, const std::string& text);

    CddbScript script_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<int> connections_{0};
    int connectionsServed_ = 0;  // by the server thread only
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::thread thread_;
};
