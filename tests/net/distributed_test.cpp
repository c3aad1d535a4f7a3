// Two engines on 127.0.0.1: a server on a virtual drive and a client ripping
// from it, compared with the same work done on the local drive; and the
// client against stand-in servers that misbehave.

#include "tests/net/protocolpeer.h"
#include "tests/net/serverprocess.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kClientMode = "Running in Distributed Client Mode\n";
const std::string kRemote = "Remote: TANAGER 2.80 Release Distributed Server Ready\n";

// Every file of a folder, by name.
std::map<std::string, std::string> filesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

class DistributedTest : public testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args, const std::string& cwd, const std::string& images = "",
                  const std::string& input = "") {
        fs::create_directories(cwd);
        RunOptions options;
        options.cwd = cwd;
        options.input = input;
        if (!images.empty()) options.env = {{"VOLTA_IMAGES", images}};
        return runVolta(args, options);
    }

    TempDir dir;
};

TEST_F(DistributedTest, ListingThroughTheServer) {
    DiscSpec spec = audioDisc({300, 450, 75});
    spec.title = "Remote Disc";
    spec.performer = "The Servers";
    spec.tracks[0].title = "First";
    spec.tracks[1].title = "Second, Longer Title";
    spec.tracks[2].title = "Third";
    spec.tracks[2].copyPermitted = true;
    DiscImage image(dir.path(), spec);
    std::string images = image.imagesEntry("identity=SONY    CD-ROM CDU-76S");
    ServerProcess server(dir.path(), images);
    ASSERT_TRUE(server.listening()) << server.console();

    RunResult local = run({"/l"}, dir.file("local"), images);
    RunResult remote = run({server.clientSwitch(), "/l"}, dir.file("remote"));
    ASSERT_EQ(local.exitCode, 0) << local.output;
    EXPECT_EQ(remote.exitCode, 0) << remote.output;
    std::string listing = local.output.substr(local.output.find("Using CD-TEXT Information"));
    EXPECT_EQ(remote.output, bannerText() + kClientMode + kRemote + "Using CDROM Drive: SONY    CD-ROM CDU-76S  \n" +
                                 listing);
    // The client said QUIT: the server closed without waiting for it to go.
    EXPECT_TRUE(server.waitForConsole("Waiting For Command\nClosing Connection\n"));
}

// Every mode, over tracks, a sector range and the whole disc, with the
// processing on either side or a read offset corrected: the client's files
// equal the local rip's.
TEST_F(DistributedTest, RipsLikeTheLocalDrive) {
    DiscImage image(dir.path(), audioDisc({5, 26, 47, 70, 113, 240}));
    struct Setup {
        const char* what;
        std::vector<std::string> serverSwitches;
        std::vector<std::string> clientSwitches;
    };
    const std::vector<Setup> setups = {
        {"no processing", {}, {}},
        {"processing on the server", {"/fh300", "/p4"}, {}},
        {"processing on the client", {}, {"/fl5000", "/p-3", "/zt2"}},
        {"read offset corrected by the client", {}, {"/offset-700"}},
    };
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.what);
        TempDir serverDir;
        ServerProcess server(serverDir.path(), image.imagesEntry(), setup.serverSwitches);
        ASSERT_TRUE(server.listening()) << server.console();
        std::vector<std::string> processing = setup.serverSwitches;
        processing.insert(processing.end(), setup.clientSwitches.begin(), setup.clientSwitches.end());
        for (const char* mode : {"/mb", "/mn", "/ms", "/mm"}) {
            SCOPED_TRACE(mode);
            std::string name = std::string(setup.what) + mode;
            std::vector<std::string> jobs = {mode, "x", "1:6", "30-150", "*"};
            std::vector<std::string> localArgs = processing;
            localArgs.insert(localArgs.end(), jobs.begin(), jobs.end());
            std::vector<std::string> remoteArgs = setup.clientSwitches;
            remoteArgs.push_back(server.clientSwitch());
            remoteArgs.insert(remoteArgs.end(), jobs.begin(), jobs.end());

            RunResult local = run(localArgs, dir.file("local " + name), image.imagesEntry());
            RunResult remote = run(remoteArgs, dir.file("remote " + name));
            ASSERT_EQ(local.exitCode, 0) << local.output;
            ASSERT_EQ(remote.exitCode, 0) << remote.output;
            auto expected = filesIn(dir.file("local " + name));
            EXPECT_EQ(expected.size(), 8u);
            EXPECT_TRUE(filesIn(dir.file("remote " + name)) == expected);
        }
    }
}

TEST_F(DistributedTest, FailuresOnEitherSide) {
    DiscImage image(dir.path(), audioDisc({100, 100}));
    ServerProcess server(dir.path(), image.imagesEntry("fail=150-160"));
    ASSERT_TRUE(server.listening()) << server.console();

    // A read that fails on the server fails the client's job, as it would
    // locally; the server goes on serving.
    RunResult failed = run({server.clientSwitch(), "/mb", "x", "2"}, dir.file("failed"));
    EXPECT_EQ(failed.exitCode, 7) << failed.output;
    EXPECT_TRUE(failed.output.ends_with("Extraction Returned Error State\n")) << failed.output;
    RunResult fine = run({server.clientSwitch(), "/mn", "x", "1"}, dir.file("fine"));
    EXPECT_EQ(fine.exitCode, 0) << fine.output;
    EXPECT_TRUE(sameBytes(wavData(dir.file("fine/x01.wav")), image.sectors(0, 100)));

    // ESC takes effect one block late: the block after the key is still
    // written, then refused.
    RunResult escaped = run({server.clientSwitch(), "/mn", "x", "1"}, dir.file("escaped"), "", "\x1b");
    EXPECT_EQ(escaped.exitCode, 7) << escaped.output;
    EXPECT_TRUE(sameBytes(wavData(dir.file("escaped/x01.wav")), image.sectors(0, 50)));
    RunResult again = run({server.clientSwitch(), "/mm", "x", "1"}, dir.file("again"));
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_TRUE(sameBytes(wavData(dir.file("again/x01.wav")), image.sectors(0, 100)));
    EXPECT_EQ(countOf(server.console(), "Connection Accepted"), 4);
}

TEST_F(DistributedTest, ServerCannotBind) {
    DiscImage image(dir.path(), audioDisc({100}));
    int taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    listen(taken, 1);
    getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
    std::string port = std::to_string(ntohs(address.sin_port));
    RunResult r = run({"/`" + port}, dir.file("bind"), image.imagesEntry());
    EXPECT_EQ(r.exitCode, 102) << r.output;
    EXPECT_TRUE(r.output.ends_with("Running in Distributed Server Mode\nASPI Initialized, 1 Host Adapters Present\n"
                                   "Using CDROM Drive: VOLTA   VIRTUAL CD-ROM   (MMC)\n\nTrouble Binding?\n"))
        << r.output;
    close(taken);
}

// What a stand-in server says before the extraction: greeting, identity,
// readiness and a table of contents of one 100-sector track.
void openConversation(ProtocolPeer& peer, const std::string& identity = "Stand-in Server Drive") {
    peer.send("TANAGER 2.80 Release Distributed Server Ready\r\n");
    if (peer.line() != "INQUIRY") return;
    peer.send("0\r\n" + identity + "\r\n");
    if (peer.line() != "TESTUNITREADY") return;
    peer.send("1\r\n");
    if (peer.line() != "READTOC") return;
    peer.send("0\r\n1\r\n1\r\n0\r\n16\r\n100\r\n0\r\n");
}

std::string pattern(size_t bytes) {
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>(i * 7 + i / 4096);
    return data;
}

// Sends `blocks` blocks of `size` bytes as long as the client acknowledges
// them, then the end of the stream.
void streamBlocks(ProtocolPeer& p, int blocks, size_t size) {
    const std::string block(size, 'b');
    for (int i = 0; i < blocks; ++i) {
        p.send(std::to_string(size) + "\r\n" + block);
        if (p.line() != "ACK") return;
    }
    p.send("0\r\n");
}

// The client against servers whose stream is broken or odd: a failure is
// reported as one and keeps its file only as partial, whatever is received
// stays inside the buffer, and the range's audio is all a job writes.
TEST_F(DistributedTest, ClientAgainstOddServers) {
    constexpr size_t kRange = 100 * 2352;
    const std::string big = pattern(kRange - 4);
    struct Case {
        const char* what;
        std::function<void(ProtocolPeer&)> stream;  // after the extraction command
        int exitCode;
        std::string written;  // the samples of the output file
        std::string said;     // a line the client prints
    };
    const std::vector<Case> cases = {
        {"blocks larger than the buffer",
         [&](ProtocolPeer& p) {
             p.send(std::to_string(big.size()) + "\r\n" + big);
             if (p.line() == "ACK") p.send("4\r\nabcd");
             if (p.line() == "ACK") p.send("0\r\n");
         },
         0, big + "abcd", ""},
        {"connection lost in the middle of a block",
         [&](ProtocolPeer& p) {
             p.send("58800\r\n" + big.substr(0, 58800));
             p.line();
             p.send("58800\r\n" + big.substr(0, 1000));
         },
         7, big.substr(0, 58800), ""},
        {"connection lost between blocks",
         [&](ProtocolPeer& p) {
             p.send("8\r\n12345678");
             p.line();
         },
         7, "12345678", ""},
        {"a negative block size", [](ProtocolPeer& p) { p.send("-4\r\nabcd"); }, 7, "", ""},
        {"a block size that is no number", [](ProtocolPeer& p) { p.send("4x\r\nabcd"); }, 7, "", ""},
        {"a block of half frames", [](ProtocolPeer& p) { p.send("6\r\nabcdef"); }, 7, "", ""},
        {"a block size beyond int", [](ProtocolPeer& p) { p.send("4294967300\r\nabcd"); }, 7, "", ""},
        {"a stream that ends at once", [](ProtocolPeer& p) { p.send("0\r\n"); }, 7, "",
         "Expected 235200 Bytes From The Server, Received 0\n"},
        {"a stream one block short", [](ProtocolPeer& p) { streamBlocks(p, 3, 58800); }, 7,
         std::string(3 * 58800, 'b'), "Expected 235200 Bytes From The Server, Received 176400\n"},
        {"a stream that does not end", [](ProtocolPeer& p) { streamBlocks(p, 1000, 32768); }, 7,
         std::string(7 * 32768, 'b'), "Expected 235200 Bytes From The Server, Received 262144\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server([&](ProtocolPeer& peer) {
            openConversation(peer);
            if (peer.line() != "EXTRACTBURST" || peer.line() != "0" || peer.line() != "100") return;
            c.stream(peer);
            peer.closedByOtherEnd();
        });
        std::string folder = dir.file(c.what);
        RunResult r = run({server.clientSwitch(), "x", "1"}, folder);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        std::string file = folder + "/x01.wav";
        if (c.exitCode != 0) {
            EXPECT_TRUE(r.output.ends_with(c.said + "Incomplete Output Kept As \"x01.wav.part\"\n"
                                                    "Extraction Returned Error State\n"))
                << r.output;
            EXPECT_FALSE(fs::exists(file));
            file += ".part";
        }
        EXPECT_TRUE(sameBytes(wavData(file), c.written));
    }
}

TEST_F(DistributedTest, ClientSetUpAgainstOddServers) {
    // The identity is cut to its 24 characters.
    ScriptedServer longIdentity([](ProtocolPeer& peer) {
        openConversation(peer, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        peer.closedByOtherEnd();
    });
    RunResult r = run({longIdentity.clientSwitch(), "/l"}, dir.file("identity"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Using CDROM Drive: ABCDEFGHIJKLMNOPQRSTUVWX\n"), std::string::npos) << r.output;

    ScriptedServer notReady([](ProtocolPeer& peer) {
        peer.send("TANAGER 2.80 Release Distributed Server Ready\r\n");
        peer.line();
        peer.send("0\r\nDrive\r\n");
        for (int i = 0; i < 3; ++i)
            if (peer.line() == "TESTUNITREADY") peer.send("0\r\n");
        peer.closedByOtherEnd();
    });
    r = run({notReady.clientSwitch(), "/l"}, dir.file("notready"));
    EXPECT_EQ(r.exitCode, 4) << r.output;
    EXPECT_TRUE(r.output.ends_with("Drive Reports Not Ready (Check Media)\n")) << r.output;

    ScriptedServer noInquiry([](ProtocolPeer& peer) {
        peer.send("TANAGER 2.80 Release Distributed Server Ready\r\n");
        peer.line();
    });
    r = run({noInquiry.clientSwitch(), "/l"}, dir.file("noinquiry"));
    EXPECT_EQ(r.exitCode, 100) << r.output;
    EXPECT_EQ(r.output, bannerText() + kClientMode + kRemote + "Could Not Execute Inquiry\n");

    ScriptedServer brokenToc([](ProtocolPeer& peer) {
        peer.send("TANAGER 2.80 Release Distributed Server Ready\r\n");
        peer.line();
        peer.send("0\r\nDrive\r\n");
        peer.line();
        peer.send("1\r\n");
        peer.line();
        peer.send("0\r\n1\r\n200\r\n");
        peer.closedByOtherEnd();
    });
    r = run({brokenToc.clientSwitch(), "/l"}, dir.file("brokentoc"));
    EXPECT_EQ(r.exitCode, 5) << r.output;
    EXPECT_TRUE(r.output.ends_with("Error Executing Read TOC Command\n")) << r.output;
}

// A stand-in server whose table of contents is `toc` (the READTOC reply
// after its result line), and which stays for whatever the client asks.
void serveTable(ProtocolPeer& peer, const std::string& toc) {
    peer.send("TANAGER 2.80 Release Distributed Server Ready\r\n");
    if (peer.line() != "INQUIRY") return;
    peer.send("0\r\nDrive\r\n");
    if (peer.line() != "TESTUNITREADY") return;
    peer.send("1\r\n");
    if (peer.line() != "READTOC") return;
    peer.send("0\r\n" + toc);
    peer.closedByOtherEnd();
}

// Tables no disc can have never reach the listing or the jobs, where their
// addresses would overflow or make tracks of nothing.
TEST_F(DistributedTest, ImpossibleTablesOfContentsAreRefused) {
    const std::vector<std::pair<const char*, std::string>> tables = {
        {"a negative start", "1\r\n2\r\n-1000\r\n0\r\n100\r\n0\r\n200\r\n0\r\n"},
        {"the smallest int", "1\r\n1\r\n-2147483648\r\n0\r\n100\r\n0\r\n"},
        {"the largest int", "1\r\n1\r\n2147483647\r\n0\r\n2147483647\r\n0\r\n"},
        {"a negative lead-out", "1\r\n1\r\n0\r\n0\r\n-5\r\n0\r\n"},
        {"overlapping starts", "1\r\n2\r\n0\r\n0\r\n0\r\n0\r\n100\r\n0\r\n"},
        {"starts going back", "1\r\n2\r\n50\r\n0\r\n10\r\n0\r\n100\r\n0\r\n"},
        {"a lead-out at the last start", "1\r\n1\r\n100\r\n0\r\n100\r\n0\r\n"},
        {"a lead-out past 99:59:74", "1\r\n1\r\n0\r\n0\r\n449850\r\n0\r\n"},
        {"track 0", "0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n100\r\n0\r\n"},
        {"track 100", "1\r\n100\r\n"},
        {"tracks in reverse", "2\r\n1\r\n"},
    };
    for (const auto& [what, toc] : tables) {
        SCOPED_TRACE(what);
        ScriptedServer server([&](ProtocolPeer& peer) { serveTable(peer, toc); });
        RunResult r = run({server.clientSwitch(), "/l", "x", "1:2"}, dir.file(what));
        EXPECT_EQ(r.exitCode, 5) << r.output;
        EXPECT_TRUE(r.output.ends_with("Error Executing Read TOC Command\n")) << r.output;
        EXPECT_TRUE(fs::is_empty(dir.file(what)));
    }
    // The last address a disc can have is one.
    ScriptedServer longest([](ProtocolPeer& peer) { serveTable(peer, "1\r\n1\r\n0\r\n0\r\n449849\r\n0\r\n"); });
    RunResult r = run({longest.clientSwitch(), "/l"}, dir.file("longest"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(" 1) Audio 0      449849 99:57.74"), std::string::npos) << r.output;
}

// What a server says of itself and of its disc reaches the console and the
// file names as local CD-TEXT does: control characters blanked, no folders.
TEST_F(DistributedTest, NamesFromTheServerAreCleanedAsLocalOnes) {
    ScriptedServer server([](ProtocolPeer& peer) {
        peer.send("TANAGER\x1b[2J 2.80 Release Distributed Server Ready\r\n");
        if (peer.line() != "INQUIRY") return;
        peer.send("0\r\nEvil\x1b]0;owned\x07" "Drive\r\n");
        if (peer.line() != "TESTUNITREADY") return;
        peer.send("1\r\n");
        if (peer.line() != "READTOC") return;
        peer.send("0\r\n1\r\n1\r\n0\r\n0\r\n100\r\n1\r\nDisc\x08\x08\r\nArtist\x1b[1m\r\n..\\up\x7f\r\n");
        if (peer.line() != "EXTRACTBURST" || peer.line() != "0" || peer.line() != "100") return;
        streamBlocks(peer, 4, 58800);
        peer.closedByOtherEnd();
    });
    RunResult r = run({server.clientSwitch(), "/l", "$a - $t", "1"}, dir.file("names"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    for (char control : {'\x1b', '\x07', '\x08', '\x7f'})
        EXPECT_EQ(r.output.find(control), std::string::npos) << static_cast<int>(control) << "\n" << r.output;
    EXPECT_NE(r.output.find("Remote: TANAGER [2J 2.80 Release Distributed Server Ready\n"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Using CDROM Drive: Evil ]0;owned Drive\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Table Of Contents (Artist [1m - Disc  ):"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(dir.file("names/Artist [1m - ..-up .wav"))) << r.output;
}

// A server's trimming and padding would make every stream longer or shorter
// than its range: the server leaves them to its clients and says so.
TEST_F(DistributedTest, ServerLeavesTrimmingAndPaddingToTheClient) {
    DiscImage image(dir.path(), audioDisc({40}));
    ServerProcess server(dir.path(), image.imagesEntry(), {"/t", "/zl1", "/zt1"});
    ASSERT_TRUE(server.listening()) << server.console();
    EXPECT_NE(server.console().find("Silence Trimming And Padding Are Left To The Client\n"), std::string::npos)
        << server.console();
    RunResult remote = run({server.clientSwitch(), "x", "1"}, dir.file("remote"));
    EXPECT_EQ(remote.exitCode, 0) << remote.output;
    EXPECT_TRUE(sameBytes(wavData(dir.file("remote/x01.wav")), image.sectors(0, 40)));
}

}  // namespace
