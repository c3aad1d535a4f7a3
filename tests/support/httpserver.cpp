#include "tests/support/httpserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>

namespace {

const char* statusText(int status) {
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool sendAll(int client, const char* data, size_t size) {
    while (size > 0) {
        ssize_t sent = send(client, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// The value of header `name` (lower case) in a request head, or "".
std::string headerValue(const std::string& head, const std::string& name) {
    size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        size_t colon = head.find(':', at);
        size_t end = head.find("\r\n", at);
        if (colon == std::string::npos || colon > end) continue;
        std::string key = head.substr(at, colon - at);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (key != name) continue;
        size_t value = head.find_first_not_of(' ', colon + 1);
        return head.substr(value, end - value);
    }
    return {};
}

}  // namespace

TestHttpServer::TestHttpServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe(wake_) != 0)
        throw std::runtime_error("test HTTP server could not listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

TestHttpServer::~TestHttpServer() {
    (void)!write(wake_[1], "x", 1);
    thread_.join();
    close(listener_);
    close(wake_[0]);
    close(wake_[1]);
}

std::string TestHttpServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

void TestHttpServer::route(const std::string& path, HttpReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(reply);
}

void TestHttpServer::handle(std::function<HttpReply(const std::string& target)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<std::string> TestHttpServer::targets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_;
}

std::vector<std::string> TestHttpServer::userAgents() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return userAgents_;
}

// True when the destructor asks the thread to end; waits up to `waitMillis`
// (-1: for ever) for that or for the listener or a client to be ready.
bool TestHttpServer::stopping(int waitMillis) {
    pollfd stop = {wake_[0], POLLIN, 0};
    return poll(&stop, 1, waitMillis) > 0;
}

void TestHttpServer::run() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents & POLLIN) return;
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        serve(client);
        close(client);
    }
}

HttpReply TestHttpServer::replyFor(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    targets_.push_back(target);
    if (handler_) return handler_(target);
    auto route = routes_.find(target.substr(0, target.find('?')));
    if (route != routes_.end()) return route->second;
    HttpReply missing;
    missing.status = 404;
    missing.body = "not found";
    return missing;
}

void TestHttpServer::serve(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd fds[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, 10000) <= 0 || (fds[1].revents & POLLIN)) return;
        ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        head.append(buffer, static_cast<size_t>(got));
    }
    size_t firstSpace = head.find(' ');
    size_t secondSpace = head.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        userAgents_.push_back(headerValue(head, "user-agent"));
    }
    HttpReply reply = replyFor(head.substr(firstSpace + 1, secondSpace - firstSpace - 1));

    std::string answer = "HTTP/1.1 " + std::to_string(reply.status) + " " + statusText(reply.status) + "\r\n";
    if (!reply.omitLength) answer += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    for (const auto& [name, value] : reply.headers) answer += name + ": " + value + "\r\n";
    answer += "Connection: close\r\n\r\n";
    if (!sendAll(client, answer.data(), answer.size())) return;
    size_t bodyBytes = reply.truncate ? reply.body.size() / 2 : reply.body.size();
    if (reply.dripMillis <= 0) {
        sendAll(client, reply.body.data(), bodyBytes);
        return;
    }
    for (size_t i = 0; i < bodyBytes; ++i) {
        if (stopping(reply.dripMillis) || !sendAll(client, &reply.body[i], 1)) return;
    }
}
