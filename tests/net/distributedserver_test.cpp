// The distributed server seen from the wire: a protocol client plays normal
// and hostile conversations against a real server on a virtual drive.

#include "tests/net/protocolpeer.h"
#include "tests/net/serverprocess.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const char* const kGreeting = "TANAGER 2.80 Release Distributed Server Ready";
constexpr int kBlock = 58800;

class DistributedServerTest : public testing::Test {
protected:
    DistributedServerTest() : image(dir.path(), audioDisc({30, 40, 50})) {}

    std::vector<std::string> lines(ProtocolPeer& peer, int count) {
        std::vector<std::string> got;
        for (int i = 0; i < count; ++i) got.push_back(peer.line());
        return got;
    }

    // What a well-behaved client asks and what it must get back.
    void expectServedNormally(const ServerProcess& server) {
        ProtocolPeer peer = ProtocolPeer::connectTo(server.port());
        ASSERT_TRUE(peer.connected());
        ASSERT_EQ(peer.line(), kGreeting);
        peer.send("TESTUNITREADY\r\nREADTOC\r\n");
        EXPECT_EQ(peer.line(), "1");
        std::vector<std::string> toc = {"0", "1", "3", "0", "16", "30", "16", "70", "16", "120", "0"};
        EXPECT_EQ(lines(peer, 11), toc);
        peer.send("EXTRACTNORMAL\r\n40\r\n70\r\n");
        EXPECT_EQ(peer.line(), "58800");
        EXPECT_TRUE(peer.bytes(kBlock) == image.sectors(40, 25));
        peer.send("ACK\r\n");
        EXPECT_EQ(peer.line(), "11760");
        EXPECT_TRUE(peer.bytes(11760) == image.sectors(65, 5));
        peer.send("ACK\r\n");
        EXPECT_EQ(peer.line(), "0");
        peer.send("QUIT\r\n");
        EXPECT_TRUE(peer.closedByOtherEnd());
    }

    TempDir dir;
    DiscImage image;
};

TEST_F(DistributedServerTest, ConversationAndConsole) {
    // Jobs on a server's command line are not run.
    ServerProcess server(dir.path(), image.imagesEntry("identity=PLEXTOR CD-R   PX-W1210A"), {"disc", "1"});
    ASSERT_TRUE(server.listening()) << server.console();
    {
        ProtocolPeer peer = ProtocolPeer::connectTo(server.port());
        EXPECT_EQ(peer.line(), kGreeting);
        peer.send("INQUIRY\r\n");
        EXPECT_EQ(peer.line(), "0");
        EXPECT_EQ(peer.line(), "PLEXTOR CD-R   PX-W1210A");
        // Commands are whole lines compared with case.
        peer.send("testunitready\r\nTESTUNITREADY \r\n");
        EXPECT_TRUE(peer.silentFor(300));
        // A client that refuses the first block gets the end of the stream.
        peer.send("EXTRACTBURST\r\n0\r\n120\r\n");
        EXPECT_EQ(peer.line(), "58800");
        EXPECT_EQ(peer.bytes(kBlock).size(), static_cast<size_t>(kBlock));
        peer.send("NAK\r\n");
        EXPECT_EQ(peer.line(), "0");
        peer.send("EXTRACTNORMAL\r\n0\r\n30\r\n");
        EXPECT_EQ(peer.line(), "58800");
        peer.bytes(kBlock);
        peer.send("ACK\r\n");
        EXPECT_EQ(peer.line(), "11760");
        peer.bytes(11760);
        peer.send("ACK\r\n");
        EXPECT_EQ(peer.line(), "0");
    }
    ASSERT_TRUE(server.waitForConsole("Closing Connection"));
    expectServedNormally(server);
    // The console ends once the server listens again after the second client.
    ASSERT_TRUE(server.waitForConsole("Waiting For Connection", 3));

    std::string console = server.console();
    EXPECT_EQ(console.find("Track 1"), std::string::npos);
    std::string served = console.substr(console.find("Waiting For Connection"));
    std::string expected =
        "Waiting For Connection\nConnection Accepted\nWaiting For Command\n"
        "Executing Inquiry Command\nWaiting For Command\n"
        "Waiting For Command\nWaiting For Command\n";
    EXPECT_EQ(served.substr(0, expected.size()), expected);
    // The normal mode run reports its result on the server's console.
    EXPECT_NE(served.find(".\n\n0\nWaiting For Command\n"), std::string::npos) << served;
    EXPECT_NE(served.find("Connection Terminated From The Other End\nClosing Connection\n"
                          "Waiting For Connection\nConnection Accepted\n"),
              std::string::npos)
        << served;
    EXPECT_TRUE(served.ends_with("Waiting For Command\nClosing Connection\nWaiting For Connection\n")) << served;
}

// Ranges that are no part of the disc end the stream at once, and nothing
// is read for them.
TEST_F(DistributedServerTest, RangesOutsideTheDiscAreRefused) {
    ServerProcess server(dir.path(), image.imagesEntry());
    ASSERT_TRUE(server.listening()) << server.console();
    ProtocolPeer peer = ProtocolPeer::connectTo(server.port());
    EXPECT_EQ(peer.line(), kGreeting);
    peer.send("READTOC\r\n");
    lines(peer, 11);
    const std::vector<std::pair<std::string, std::string>> ranges = {
        {"70", "40"}, {"40", "40"}, {"-5", "10"}, {"100", "121"}, {"0", "2147483647"},
        {"0", "99999999999"}, {"ten", "20"}, {"0", ""}, {"0", " 20"}, {"-2147483648", "-2147483647"}};
    for (const auto& [start, end] : ranges) {
        for (const char* command : {"EXTRACTBURST", "EXTRACTNORMAL", "EXTRACTSYNC", "EXTRACTMEMORY"}) {
            peer.send(std::string(command) + "\r\n" + start + "\r\n" + end + "\r\n");
            EXPECT_EQ(peer.line(), "0") << command << " " << start << "-" << end;
        }
    }
    peer.close();
    ASSERT_TRUE(server.waitForConsole("Closing Connection"));
    EXPECT_EQ(server.console().find("Extracting"), std::string::npos);
    expectServedNormally(server);
}

// Whatever a client does, the server survives it and serves the next one.
TEST_F(DistributedServerTest, HostileClientsLeaveTheServerServing) {
    ServerProcess server(dir.path(), image.imagesEntry());
    ASSERT_TRUE(server.listening()) << server.console();
    const std::string megabyte(1 << 20, 'A');
    std::string flood;
    for (int i = 0; i < 20000; ++i) flood += i % 2 ? "TESTUNITREADX\r\n" : "\r\n";
    const std::vector<std::pair<const char*, std::function<void(ProtocolPeer&)>>> clients = {
        {"garbage and NUL bytes",
         [](ProtocolPeer& p) { p.send(std::string("\x00\xff\x01QUIT\x00\r\n\x80\x81\r\rzz\n", 16) + "INQ"); }},
        {"a megabyte line, then a command",
         [&](ProtocolPeer& p) {
             p.send(megabyte + "\r\nTESTUNITREADY\r\n");
             EXPECT_EQ(p.line(30000), "1");
         }},
        {"a megabyte without a line end", [&](ProtocolPeer& p) { p.send(megabyte); }},
        {"a flood of unknown commands, then a known one",
         [&](ProtocolPeer& p) {
             p.send(flood + "TESTUNITREADY\r\n");
             EXPECT_EQ(p.line(30000), "1");
         }},
        {"connects and never speaks", [](ProtocolPeer& p) { EXPECT_TRUE(p.silentFor(200)); }},
        {"half an extraction command", [](ProtocolPeer& p) { p.send("EXTRACTSYNC\r\n0\r"); }},
        {"goes away in the middle of a block",
         [](ProtocolPeer& p) {
             p.send("READTOC\r\n");
             for (int i = 0; i < 11; ++i) p.line();
             p.send("EXTRACTBURST\r\n0\r\n120\r\n");
             EXPECT_EQ(p.line(), "58800");
             p.bytes(1000);
         }},
        {"answers a block with something else",
         [](ProtocolPeer& p) {
             p.send("READTOC\r\n");
             for (int i = 0; i < 11; ++i) p.line();
             p.send("EXTRACTMEMORY\r\n0\r\n120\r\n");
             EXPECT_EQ(p.line(), "32768");
             p.bytes(32768);
             p.send("ack\r\n");
             EXPECT_EQ(p.line(), "0");
         }},
    };
    int served = 0;
    for (const auto& [what, behave] : clients) {
        SCOPED_TRACE(what);
        {
            ProtocolPeer peer = ProtocolPeer::connectTo(server.port());
            ASSERT_TRUE(peer.connected());
            EXPECT_EQ(peer.line(), kGreeting);
            behave(peer);
        }
        ASSERT_TRUE(server.waitForConsole("Closing Connection", ++served)) << server.console();
    }
    expectServedNormally(server);
}

// A client that stops reading and answering in the middle of a stream holds
// the server only until the stall limit; then the next client is served.
TEST_F(DistributedServerTest, StalledClientIsDropped) {
    ServerProcess server(dir.path(), image.imagesEntry());
    ASSERT_TRUE(server.listening()) << server.console();
    ProtocolPeer stalled = ProtocolPeer::connectTo(server.port());
    stalled.send("READTOC\r\nEXTRACTBURST\r\n0\r\n120\r\n");
    ASSERT_TRUE(server.waitForConsole("Extracting"));
    EXPECT_TRUE(server.waitForConsole("Closing Connection", 1, 60));
    expectServedNormally(server);
}

// Plain connections of the test's own, closed with the object. A small
// receive buffer makes the replies a connection does not read soon fill
// what the system holds for it.
class Connections {
public:
    ~Connections() {
        for (int fd : fds_) close(fd);
    }

    int open(int port, int receiveBuffer = 0) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
        fds_.push_back(fd);
        return fd;
    }

private:
    std::vector<int> fds_;
};

// One client at a time, but none can hold the server: a connection that
// says nothing waits aside and goes after 30 seconds, hundreds of silent
// ones do not keep the next client from being served at once, and one
// that sends commands but reads no replies goes once a reply has waited 30
// seconds. These are the real limits; the test takes about half a minute.
TEST_F(DistributedServerTest, NoClientHoldsTheServer) {
    ServerProcess server(dir.path(), image.imagesEntry());
    ASSERT_TRUE(server.listening()) << server.console();
    // Long names make long replies, which soon fill what the system holds
    // for a connection that reads none.
    TempDir floodDir;
    DiscSpec named = audioDisc({30, 40, 50});
    named.title = std::string(250, 'd');
    named.performer = std::string(250, 'p');
    for (TrackSpec& track : named.tracks) track.title = std::string(250, 't');
    DiscImage namedImage(floodDir.path(), named);
    ServerProcess flooded(floodDir.path(), namedImage.imagesEntry());
    ASSERT_TRUE(flooded.listening()) << flooded.console();

    Connections connections;
    int flooding = connections.open(flooded.port(), 4096);
    ASSERT_GE(flooding, 0);
    std::string flood;
    for (int i = 0; i < 20000; ++i) flood += "READTOC\r\n";
    for (size_t sent = 0; sent < flood.size();) {
        ssize_t put = send(flooding, flood.data() + sent, flood.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put <= 0) break;
        sent += static_cast<size_t>(put);
    }

    ProtocolPeer silent = ProtocolPeer::connectTo(server.port());
    ASSERT_EQ(silent.line(), kGreeting);
    expectServedNormally(server);
    for (int i = 0; i < 300; ++i) ASSERT_GE(connections.open(server.port()), 0) << i;
    expectServedNormally(server);
    EXPECT_TRUE(silent.closedByOtherEnd(40000));

    EXPECT_TRUE(flooded.waitForConsole("Reading Table of Contents\nConnection Terminated From The Other End\n"
                                       "Closing Connection\nWaiting For Connection\n",
                                       1, 60));
    ProtocolPeer next = ProtocolPeer::connectTo(flooded.port());
    EXPECT_EQ(next.line(), kGreeting);
    next.send("TESTUNITREADY\r\n");
    EXPECT_EQ(next.line(), "1");
}

// A served client that sends no command for the idle limit is dropped as a
// lost one; the limit is shortened here through the environment.
TEST_F(DistributedServerTest, IdleClientIsDropped) {
    ServerProcess server(dir.path(), image.imagesEntry(), {}, {{"VOLTA_SERVER_IDLE_SECONDS", "1"}});
    ASSERT_TRUE(server.listening()) << server.console();
    ProtocolPeer idle = ProtocolPeer::connectTo(server.port());
    ASSERT_EQ(idle.line(), kGreeting);
    idle.send("TESTUNITREADY\r\n");
    EXPECT_EQ(idle.line(), "1");
    EXPECT_TRUE(idle.closedByOtherEnd(10000));
    EXPECT_TRUE(server.waitForConsole("Waiting For Command\nConnection Terminated From The Other End\n"
                                      "Closing Connection\n"));
    expectServedNormally(server);
}

}  // namespace
