#include "engine/net/linesocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A listening socket on 127.0.0.1 with a port from the system.
class Listener {
public:
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd, 4), 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Listener() { close(fd); }
    int fd = -1;
    int port = 0;
};

// One connection made with connectTo: `ours` is the engine's end.
class LineSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ours = connectTo("127.0.0.1", listener.port);
        ASSERT_GE(ours, 0);
        peer = accept(listener.fd, nullptr, nullptr);
        ASSERT_GE(peer, 0);
    }
    void TearDown() override {
        closeSocket(ours);
        if (peer >= 0) close(peer);
    }
    void peerSends(const std::string& data) {
        ASSERT_EQ(send(peer, data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
    }
    void peerCloses() {
        close(peer);
        peer = -1;
    }
    // Everything the engine's end sent, once it has closed.
    std::string peerReadsAll() {
        closeSocket(ours);
        ours = -1;
        std::string all;
        char chunk[1024];
        ssize_t got;
        while ((got = recv(peer, chunk, sizeof chunk, 0)) > 0) all.append(chunk, static_cast<size_t>(got));
        return all;
    }

    Listener listener;
    int ours = -1;
    int peer = -1;
    char buffer[kLineBufferBytes] = {};
};

TEST_F(LineSocketTest, ReceiveLineCutsTheTerminator) {
    peerSends("READTOC\r\nbare\nab\rcd\r\n");
    EXPECT_EQ(receiveLine(ours, buffer, sizeof buffer), 9);
    EXPECT_STREQ(buffer, "READTOC");
    EXPECT_EQ(receiveLine(ours, buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "bare");
    EXPECT_EQ(receiveLine(ours, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "ab");
}

TEST_F(LineSocketTest, ReceiveRawLineKeepsTheTerminator) {
    peerSends("210 rock 10025803\r\n.\r\n");
    EXPECT_EQ(receiveRawLine(ours, buffer, sizeof buffer), 19);
    EXPECT_STREQ(buffer, "210 rock 10025803\r\n");
    EXPECT_EQ(receiveRawLine(ours, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, ".\r\n");
}

TEST_F(LineSocketTest, DataAfterALineStaysInTheSocket) {
    peerSends(std::string("6\r\n\x01\x02\r\n\x00\x7f", 9));
    ASSERT_EQ(receiveLine(ours, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "6");
    char block[6];
    ASSERT_EQ(recv(ours, block, sizeof block, MSG_WAITALL), 6);
    EXPECT_EQ(std::string(block, 6), std::string("\x01\x02\r\n\x00\x7f", 6));
}

TEST_F(LineSocketTest, PeerClosing) {
    peerSends("partial");
    peerCloses();
    EXPECT_EQ(receiveLine(ours, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "partial");
    EXPECT_EQ(receiveLine(ours, buffer, sizeof buffer), 0);
    EXPECT_EQ(receiveRawLine(ours, buffer, sizeof buffer), -1);
}

TEST_F(LineSocketTest, RawLineCutShortByThePeerIsNoLine) {
    peerSends("200 rock");
    peerCloses();
    EXPECT_EQ(receiveRawLine(ours, buffer, sizeof buffer), -1);
}

TEST_F(LineSocketTest, LongLinesAreCutInsideTheBuffer) {
    char guarded[32];
    std::memset(guarded, 'Z', sizeof guarded);
    peerSends(std::string(40, 'x') + "\r\nnext\r\n" + std::string(40, 'y') + "\r\nlast\r\n");
    EXPECT_EQ(receiveRawLine(ours, guarded, 16), 15);
    EXPECT_EQ(std::string(guarded), std::string(15, 'x'));
    EXPECT_EQ(std::string(guarded + 16, 16), std::string(16, 'Z'));
    EXPECT_EQ(receiveRawLine(ours, guarded, 16), 6);
    EXPECT_STREQ(guarded, "next\r\n");
    EXPECT_GT(receiveLine(ours, guarded, 16), 0);
    EXPECT_EQ(std::string(guarded), std::string(15, 'y'));
    EXPECT_EQ(std::string(guarded + 16, 16), std::string(16, 'Z'));
    EXPECT_EQ(receiveLine(ours, guarded, 16), 6);
    EXPECT_STREQ(guarded, "last");
}

TEST_F(LineSocketTest, SilentPeerTimesOut) {
    peerSends("no end");
    EXPECT_EQ(receiveRawLine(ours, buffer, sizeof buffer, 50), -1);
    EXPECT_EQ(receiveLine(ours, buffer, sizeof buffer, 50), 0);
}

TEST_F(LineSocketTest, SendLineAddsTheTerminator) {
    sendLine(ours, "proto 2");
    sendFormatted(ours, "%d\r\n", 58800);
    sendFormatted(ours, "%s\r\n", "ACK");
    EXPECT_EQ(peerReadsAll(), "proto 2\r\n58800\r\nACK\r\n");
}

TEST_F(LineSocketTest, OverlongSendsAreCutButStillLines) {
    sendLine(ours, std::string(5000, 'q').c_str());
    sendFormatted(ours, "%s\r\n", std::string(300, 'f').c_str());
    std::string expected = std::string(4093, 'q') + "\r\n" + std::string(253, 'f') + "\r\n";
    EXPECT_EQ(peerReadsAll(), expected);
}

TEST_F(LineSocketTest, SendingToAClosedPeerIsNotFatal) {
    peerCloses();
    for (int i = 0; i < 4; ++i) sendLine(ours, "cddb query");
    EXPECT_EQ(receiveRawLine(ours, buffer, sizeof buffer), -1);
}

TEST(ConnectToTest, NameAndAddressForms) {
    Listener listener;
    for (const char* host : {"localhost", "127.0.0.1"}) {
        int socket = connectTo(host, listener.port);
        EXPECT_GE(socket, 0) << host;
        int accepted = accept(listener.fd, nullptr, nullptr);
        EXPECT_GE(accepted, 0) << host;
        close(accepted);
        closeSocket(socket);
    }
}

TEST(ConnectToTest, RefusedConnectionGivesMinusOne) {
    int port;
    {
        Listener closed;
        port = closed.port;
    }
    EXPECT_EQ(connectTo("127.0.0.1", port), -1);
}

}  // namespace
