#include "tests/cddb/cddbtestserver.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

CddbScript namingServer() {
    CddbScript script;
    script.queryAnswer = "200 rock 12345678 x\r\n";
    script.readAnswer = "210 rock 12345678 entry follows\r\nDTITLE=Artist / Title\r\nTTITLE0=One\r\n.\r\n";
    return script;
}

// A byte every 50 ms, each line well inside the wait for one line, and
// over two minutes for the whole entry.
CddbScript drippingServer() {
    CddbScript script = namingServer();
    script.readAnswer = "210 rock 12345678 entry follows\r\n";
    for (int i = 0; i < 300; ++i) script.readAnswer += "TTITLE0=x\r\n";
    script.dripMs = 50;
    return script;
}

// Servers and cache files that misbehave, and a cache on a full disk.
class HostileServerTest : public testing::Test {
protected:
    void SetUp() override { disc = std::make_unique<DiscImage>(dir.path(), audioDisc({75})); }

    RunOptions runOptions(int timeoutSeconds = 20) const {
        RunOptions opts;
        opts.cwd = dir.path();
        opts.env = {{"VOLTA_IMAGES", disc->imagesEntry()}};
        opts.timeoutSeconds = timeoutSeconds;
        return opts;
    }

    TempDir dir;
    std::unique_ptr<DiscImage> disc;
};

TEST_F(HostileServerTest, ADrippingServerIsCutOffByTheLookupDeadline) {
    CddbTestServer server(drippingServer());
    RunResult result = runVolta({server.cddbSwitch(), "/10", "/l"}, runOptions(90));
    EXPECT_EQ(result.exitCode, 3) << result.output;
    EXPECT_TRUE(contains(result.output, "Exact Match Found, Reading Info\nConnection Terminated\n")) << result.output;
}

// The same server with the default tries: the first try runs out of time,
// the second gets what is left of the identification's time, and no third
// follows. Six tries of a minute each would outlast the run's limit.
TEST_F(HostileServerTest, AllTriesOfADrippingServerTogetherEndInTime) {
    CddbTestServer server(drippingServer());
    RunResult result = runVolta({server.cddbSwitch(), "/l"}, runOptions(110));
    EXPECT_EQ(result.exitCode, 3) << result.output;
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(HostileServerTest, ACacheThatIsNoRegularFileIsPassedBy) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    CddbTestServer server(namingServer());
    RunResult result = runVolta({server.cddbSwitch(), "/2fifo", "/l"}, runOptions());
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "Checking Local CD Cache File\nLocal Cache File Is Not A Regular File\n"
                                        "Entry Not Found, Connecting"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "Table Of Contents (Artist - Title):")) << result.output;
}

TEST_F(HostileServerTest, ACacheOnAFullDiskIsCutBackAndTheFailureSaid) {
    // Another disc's entry fills the cache up to a few bytes below the
    // limit of 1024 bytes that the run gets.
    std::string other = "cddb query 01000001 1 150 2\nOther\nOther\n1 1\n";
    other += std::string(1000 - other.size(), 'n') + "\n";
    writeFile(dir.file("cddb.cache"), other);
    CddbTestServer server(namingServer());
    RunOptions opts = runOptions();
    RunResult result = runProgram(
        {"/bin/sh", "-c", "ulimit -f 2; exec \"$0\" \"$@\"", voltaBinary(), server.cddbSwitch(), "/2cddb.cache", "/l"},
        opts);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "Could not write to the local cache file\n")) << result.output;
    EXPECT_TRUE(contains(result.output, "Table Of Contents (Artist - Title):")) << result.output;
    EXPECT_EQ(readFile(dir.file("cddb.cache")), other);

    // Without the limit the entry goes in, and is found from then on.
    result = runVolta({server.cddbSwitch(), "/2cddb.cache", "/l"}, opts);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    result = runVolta({server.cddbSwitch(), "/2cddb.cache", "/l"}, opts);
    EXPECT_TRUE(contains(result.output, "Entry Found In Local Cache\n")) << result.output;
    EXPECT_EQ(server.connections(), 2);
}

}  // namespace
