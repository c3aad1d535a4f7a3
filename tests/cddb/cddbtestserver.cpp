#include "tests/cddb/cddbtestserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

CddbTestServer::CddbTestServer(CddbScript script) : script_(std::move(script)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe(wake_) != 0)
        throw std::runtime_error("test server could not listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

CddbTestServer::~CddbTestServer() {
    (void)!write(wake_[1], "x", 1);
    thread_.join();
    close(listener_);
    close(wake_[0]);
    close(wake_[1]);
}

std::string CddbTestServer::cddbSwitch(const std::string& address) const {
    return "/0" + address + ",127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> CddbTestServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

// 1 when `fd` can be read, 0 when the server is being stopped.
int CddbTestServer::waitReadable(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
    }
    return (fds[1].revents & POLLIN) ? 0 : 1;
}

void CddbTestServer::run() {
    for (;;) {
        std::vector<int> clients;
        while (static_cast<int>(clients.size()) < script_.gather) {
            if (!waitReadable(listener_)) {
                for (int client : clients) close(client);
                return;
            }
            int client = accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            ++connections_;
            clients.push_back(client);
        }
        for (int client : clients) {
            serve(client);
            close(client);
        }
    }
}

// 1 with a line (terminator cut), 0 when the client closed or the server stops.
int CddbTestServer::readLine(int client, std::string& line) {
    line.clear();
    for (;;) {
        if (!waitReadable(client)) return 0;
        char byte;
        if (recv(client, &byte, 1, 0) != 1) return 0;
        if (byte == '\n') break;
        line += byte;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return 1;
}

// Ends early when the client goes or the server is being stopped.
void CddbTestServer::drip(int client, const std::string& text) {
    for (char byte : text) {
        if (send(client, &byte, 1, MSG_NOSIGNAL) != 1) return;
        pollfd stop = {wake_[0], POLLIN, 0};
        if (poll(&stop, 1, script_.dripMs) > 0) return;
    }
}

void CddbTestServer::serve(int client) {
    auto answer = [client](const std::string& text) { send(client, text.data(), text.size(), MSG_NOSIGNAL); };
    bool dropping = script_.droppedConnections < 0 || connectionsServed_ < script_.droppedConnections;
    ++connectionsServed_;
    auto drops = [this, dropping](const std::string& command) {
        return dropping && !script_.dropOn.empty() && command.rfind(script_.dropOn, 0) == 0;
    };
    if (drops("greeting")) return;
    answer(script_.greeting);
    std::string line;
    while (readLine(client, line)) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(line);
        }
        if (drops(line)) return;
        if (line.rfind("proto", 0) == 0)
            answer(script_.protoAnswer);
        else if (line.rfind("cddb hello", 0) == 0)
            answer(script_.helloAnswer);
        else if (line.rfind("cddb query", 0) == 0)
            answer(script_.queryAnswer);
        else if (line.rfind("cddb read", 0) == 0 && script_.dripMs > 0)
            drip(client, script_.readAnswer);
        else if (line.rfind("cddb read", 0) == 0)
            answer(script_.readAnswer);
        else if (line == "quit")
            return;
        else
            answer("500 Unrecognized command\r\n");
    }
}
