#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One answer of the test server. It always closes the connection after it.
struct HttpReply {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    int dripMillis = 0;      // pause before each byte of the body
    bool truncate = false;   // announce the whole Content-Length, send half, close
    bool omitLength = false; // no Content-Length: the body ends where the connection does
};

// An HTTP/1.1 server on 127.0.0.1 with a port from the system, serving one
// connection after the other from a thread of the test until destroyed.
// Requests go to the handler if there is one, else to the routes by path
// (the query left out); anything else gets 404.
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    std::string baseUrl() const;  // "http://127.0.0.1:PORT"
    void route(const std::string& path, HttpReply reply);
    void handle(std::function<HttpReply(const std::string& target)> handler);
    std::vector<std::string> targets() const;  // request targets received, in order
    std::vector<std::string> userAgents() const;

private:
    void run();
    void serve(int client);
    HttpReply replyFor(const std::string& target);
    bool stopping(int waitMillis);

    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::map<std::string, HttpReply> routes_;
    std::function<HttpReply(const std::string&)> handler_;
    std::vector<std::string> targets_;
    std::vector<std::string> userAgents_;
    std::thread thread_;
};
