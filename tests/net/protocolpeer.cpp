#include "tests/net/protocolpeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

ProtocolPeer::~ProtocolPeer() { close(); }

ProtocolPeer ProtocolPeer::connectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        fd = -1;
    }
    return ProtocolPeer(fd);
}

void ProtocolPeer::send(const std::string& data) {
    size_t sent = 0;
    while (socket_ >= 0 && sent < data.size()) {
        ssize_t put = ::send(socket_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (put <= 0) return;
        sent += static_cast<size_t>(put);
    }
}

int ProtocolPeer::receiveSome(char* into, size_t count, int timeoutMs) {
    if (socket_ < 0) return 0;
    pollfd entry{socket_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) return -1;
    ssize_t got = recv(socket_, into, count, 0);
    return got < 0 ? 0 : static_cast<int>(got);
}

std::string ProtocolPeer::line(int timeoutMs) {
    std::string text;
    char byte;
    for (;;) {
        int got = receiveSome(&byte, 1, timeoutMs);
        if (got < 0) return "<silent>";
        if (got == 0) return "<closed>";
        if (byte == '\n') break;
        text += byte;
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

std::string ProtocolPeer::bytes(size_t count, int timeoutMs) {
    std::string data(count, '\0');
    size_t have = 0;
    while (have < count) {
        int got = receiveSome(data.data() + have, count - have, timeoutMs);
        if (got <= 0) break;
        have += static_cast<size_t>(got);
    }
    data.resize(have);
    return data;
}

bool ProtocolPeer::closedByOtherEnd(int timeoutMs) {
    char chunk[65536];
    for (;;) {
        int got = receiveSome(chunk, sizeof chunk, timeoutMs);
        if (got < 0) return false;
        if (got == 0) return true;
    }
}

bool ProtocolPeer::silentFor(int ms) {
    if (socket_ < 0) return false;
    pollfd entry{socket_, POLLIN, 0};
    return poll(&entry, 1, ms) == 0;
}

void ProtocolPeer::close() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

ScriptedServer::ScriptedServer(std::function<void(ProtocolPeer&)> script) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, script] {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, 30000) <= 0) return;
        ProtocolPeer peer(accept(listener_, nullptr, nullptr));
        if (peer.connected()) script(peer);
    });
}

ScriptedServer::~ScriptedServer() {
    shutdown(listener_, SHUT_RDWR);  // wakes the wait when no client came
    thread_.join();
    ::close(listener_);
}
