#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace {

// Listens on 127.0.0.1 at a port from the OS, greets one client and closes.
class GreetingServer {
public:
    explicit GreetingServer(std::string greeting) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(listen(listener_, 1), 0);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, greeting] {
            int client = accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            std::string line = greeting + "\r\n";
            EXPECT_EQ(send(client, line.data(), line.size(), MSG_NOSIGNAL), static_cast<ssize_t>(line.size()));
            char byte;
            while (recv(client, &byte, 1, 0) > 0) {
            }
            close(client);
        });
    }
    ~GreetingServer() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

const std::string kClient = "Running in Distributed Client Mode\n";

TEST(GlobalModes, ClientWithoutServerCannotOpenItsSocket) {
    // Port 1 on the loopback address refuses at once.
    RunResult r = runVolta({"/'127.0.0.1,1", "/l"});
    EXPECT_EQ(r.output, bannerText() + kClient + "Could Not Open Socket\n");
    EXPECT_EQ(r.exitCode, 99);
}

TEST(GlobalModes, ClientShowsTheGreetingAndStopsWithoutARemoteDrive) {
    GreetingServer server("VOLTA distributed server");
    RunResult r = runVolta({"/'127.0.0.1," + std::to_string(server.port()), "/l"});
    EXPECT_EQ(r.output, bannerText() + kClient + "Remote: VOLTA distributed server\n" +
                            "Could Not Execute Inquiry\n");
    EXPECT_EQ(r.exitCode, 100);
}

TEST(GlobalModes, ServerModeSaysItCannotServe) {
    TempDir dir;
    DiscImage image(dir.path(), audioDisc({100}));
    RunOptions opts;
    opts.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    RunResult r = runVolta({"/`", "disc", "1"}, opts);
    EXPECT_EQ(r.exitCode, 1) << r.output;
    // The drive is prepared and put into CD-DA mode; the jobs are not run.
    EXPECT_NE(r.output.find("Using CDROM Drive: "), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Track 1"), std::string::npos) << r.output;
    EXPECT_TRUE(r.output.ends_with("Distributed Server Mode Is Not Available\n")) << r.output;
}

}  // namespace
