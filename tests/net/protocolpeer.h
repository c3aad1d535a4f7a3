#pragma once

#include <functional>
#include <string>
#include <thread>

// The test's own end of a distributed-protocol connection: raw bytes in
// and out, with a time limit on every wait so that no test hangs.
class ProtocolPeer {
public:
    explicit ProtocolPeer(int socket) : socket_(socket) {}
    ~ProtocolPeer();
    ProtocolPeer(const ProtocolPeer&) = delete;
    ProtocolPeer& operator=(const ProtocolPeer&) = delete;

    // A connection to 127.0.0.1:`port`; check connected().
    static ProtocolPeer connectTo(int port);

    bool connected() const { return socket_ >= 0; }
    void send(const std::string& data);
    // The next line without its "\r\n"; "<closed>" when the connection
    // ended first, "<silent>" when nothing came in time.
    std::string line(int timeoutMs = 10000);
    // Exactly `count` bytes, or fewer when the connection ended or stalled.
    std::string bytes(size_t count, int timeoutMs = 10000);
    // Whether the other end closes the connection (within the time limit),
    // whatever it still sends before.
    bool closedByOtherEnd(int timeoutMs = 10000);
    // Whether nothing arrives within `ms`.
    bool silentFor(int ms);
    void close();

private:
    int receiveSome(char* into, size_t count, int timeoutMs);

    int socket_ = -1;
};

// A stand-in server on 127.0.0.1 with a port from the system: it accepts
// one connection and hands it to `script` on a thread of its own. The
// destructor closes everything and joins the thread.
class ScriptedServer {
public:
    explicit ScriptedServer(std::function<void(ProtocolPeer&)> script);
    ~ScriptedServer();
    int port() const { return port_; }
    std::string clientSwitch() const { return "/'127.0.0.1," + std::to_string(port_); }

private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};
