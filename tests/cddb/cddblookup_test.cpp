#include "tests/cddb/cddbtestserver.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The three-track disc whose ID is 10025803: tracks at 0, 17850 and 32850,
// lead-out at 45000.
const char* const kQuery = "cddb query 10025803 3 150 18000 33000 602";
const char* const kHello = "cddb hello user example.org \"TANAGER Release\" 2.80";
const char* const kEntry =
    "cddb query 10025803 3 150 18000 33000 602\nSome Disc\nSome Artist\n1 3\nIntro\nMiddle\nUnknown\n";

CddbScript exactMatch() {
    CddbScript script;
    script.queryAnswer = "200 rock 10025803 Some Artist / Some Disc\r\n";
    script.readAnswer =
        "210 rock 10025803 CD database entry follows (until terminating `.')\r\n"
        "# xmcd\r\n#\r\nDISCID=10025803\r\nDTITLE=Some Artist / Some Disc\r\nDYEAR=1999\r\n"
        "TTITLE0=Intro\r\nTTITLE1=Middle\r\nTTITLE2=\r\nEXTD=\r\nPLAYORDER=\r\n.\r\n";
    return script;
}

int count(const std::string& text, const std::string& part) {
    int found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The image is large, so the tests share it; each runs in its own folder.
class CddbLookupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        imageDir = std::make_unique<TempDir>();
        image = std::make_unique<DiscImage>(imageDir->path(), audioDisc({17850, 15000, 12150}));
    }
    static void TearDownTestSuite() {
        image.reset();
        imageDir.reset();
    }
    void SetUp() override {
        ASSERT_EQ(image->trackStart(2), 17850);
        ASSERT_EQ(image->trackStart(3), 32850);
        ASSERT_EQ(image->leadOut(), 45000);
    }

    RunOptions runOptions() const {
        RunOptions opts;
        opts.env = {{"VOLTA_IMAGES", imagesValue({image->imagesEntry()})}};
        opts.cwd = dir.path();
        return opts;
    }

    RunResult run(const std::vector<std::string>& args) const { return runVolta(args, runOptions()); }

    // The listing shows the disc's names: header and one name per track.
    static void expectListedNames(const std::string& output, const std::string& artist, const std::string& title,
                                  const std::vector<std::string>& tracks) {
        EXPECT_TRUE(contains(output, "Table Of Contents (" + artist + " - " + title + "):\n")) << output;
        for (const auto& track : tracks) EXPECT_TRUE(contains(output, "Without  " + track + "\n")) << track;
    }

    static inline std::unique_ptr<TempDir> imageDir;
    static inline std::unique_ptr<DiscImage> image;
    TempDir dir;
};

TEST_F(CddbLookupTest, ExactMatchNamesTheDisc) {
    CddbTestServer server(exactMatch());
    RunResult result = run({server.cddbSwitch(), "/l"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "Connecting to CDDB Server - 127.0.0.1:" + std::to_string(server.port()) +
                                            "\nVisit Their Web Page: https://gnudb.org\n"
                                            "Sending CDDB Query: 10025803\n"
                                            "Exact Match Found, Reading Info\n\n"))
        << result.output;
    expectListedNames(result.output, "Some Artist", "Some Disc", {"Intro", "Middle", "Unknown"});
    std::vector<std::string> expected = {"proto 2", kHello, kQuery, "cddb read rock 10025803"};
    EXPECT_EQ(server.received(), expected);
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(CddbLookupTest, InexactMatchReadsTheFirstListedDisc) {
    CddbScript script = exactMatch();
    script.queryAnswer =
        "211 Found inexact matches, list follows (until terminating `.')\r\n"
        "folk 0a0b0c0d Other Artist / Other Disc\r\nrock 10025804 Some Artist / Some Disc\r\n.\r\n";
    CddbTestServer server(script);
    RunResult result = run({server.cddbSwitch(), "/l"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "Sending CDDB Query: 10025803\nInexact Matches Found, Picking First\n\n"));
    EXPECT_EQ(server.received().back(), "cddb read folk 0a0b0c0d");
    expectListedNames(result.output, "Some Artist", "Some Disc", {"Intro", "Middle", "Unknown"});
}

TEST_F(CddbLookupTest, NoMatchStopsTheRetries) {
    CddbTestServer server(CddbScript{});
    RunResult result = run({server.cddbSwitch(), "/15", "/l"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(contains(result.output, "Disc ID Match Not Found\n\nCDDB Query Failed And No Alternate Basename\n"))
        << result.output;
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(CddbLookupTest, TryCountBoundsTheLookups) {
    for (int tries : {0, 1, 3}) {
        CddbScript script = exactMatch();
        script.dropOn = "cddb read";
        CddbTestServer server(script);
        RunResult result = run({server.cddbSwitch(), "/1" + std::to_string(tries), "/l"});
        EXPECT_EQ(result.exitCode, 3) << result.output;
        EXPECT_EQ(server.connections(), tries + 1);
        EXPECT_EQ(count(result.output, "Exact Match Found, Reading Info\nConnection Terminated\n"), tries + 1);
        EXPECT_TRUE(contains(result.output, "CDDB Query Failed And No Alternate Basename\n"));
    }
}

TEST_F(CddbLookupTest, RetryAfterADroppedConnectionSucceeds) {
    CddbScript script = exactMatch();
    script.dropOn = "cddb read";
    script.droppedConnections = 1;
    CddbTestServer server(script);
    RunResult result = run({server.cddbSwitch(), "/11", "/l"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(count(result.output, "Connection Terminated\n"), 1);
    EXPECT_EQ(server.connections(), 2);
    expectListedNames(result.output, "Some Artist", "Some Disc", {"Intro", "Middle", "Unknown"});
}

TEST_F(CddbLookupTest, UnreachableServer) {
    int port;
    {
        CddbTestServer gone(CddbScript{});
        port = gone.port();
    }
    RunResult result = run({"/0user@example.org,127.0.0.1:" + std::to_string(port), "/10", "/l"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(count(result.output, "Could not connect\n"), 1);
}

TEST_F(CddbLookupTest, AlternateBasenameAfterAFailedLookup) {
    CddbTestServer server(CddbScript{});
    RunResult result = run({server.cddbSwitch(), "/bFallback", "/l"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_FALSE(contains(result.output, "CDDB Query Failed"));
    expectListedNames(result.output, "Unknown", "Disc", {"Track"});
}

TEST_F(CddbLookupTest, CacheMissThenHit) {
    CddbTestServer server(exactMatch());
    RunResult first = run({server.cddbSwitch(), "/2cddb.cache", "/l"});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_TRUE(contains(first.output, "Checking Local CD Cache File\nEntry Not Found, Connecting to CDDB Server - "))
        << first.output;
    EXPECT_EQ(readFile(dir.file("cddb.cache")), kEntry);

    RunResult second = run({server.cddbSwitch(), "/2cddb.cache", "/l"});
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_TRUE(contains(second.output, "Checking Local CD Cache File\nEntry Found In Local Cache\n\n"));
    EXPECT_FALSE(contains(second.output, "Connecting"));
    EXPECT_EQ(server.connections(), 1);
    expectListedNames(second.output, "Some Artist", "Some Disc", {"Intro", "Middle", "Unknown"});
    EXPECT_EQ(readFile(dir.file("cddb.cache")), kEntry);
}

TEST_F(CddbLookupTest, TwoLookupsGiveTwoIdenticalEntries) {
    // Both runs check the cache before the server answers either of them.
    CddbScript script = exactMatch();
    script.gather = 2;
    CddbTestServer server(script);
    RunOptions opts = runOptions();
    RunResult both = runProgram({"/bin/sh", "-c", "\"$0\" \"$@\" >one.txt 2>&1 & \"$0\" \"$@\" >two.txt 2>&1; wait",
                                 voltaBinary(), server.cddbSwitch(), "/2cddb.cache", "/l"},
                                opts);
    ASSERT_EQ(both.exitCode, 0);
    for (const char* log : {"one.txt", "two.txt"})
        EXPECT_TRUE(contains(readFile(dir.file(log)), "Entry Not Found, Connecting")) << readFile(dir.file(log));
    EXPECT_EQ(readFile(dir.file("cddb.cache")), std::string(kEntry) + kEntry);
    EXPECT_EQ(server.connections(), 2);

    RunResult third = run({server.cddbSwitch(), "/2cddb.cache", "/l"});
    EXPECT_TRUE(contains(third.output, "Entry Found In Local Cache\n"));
    EXPECT_EQ(server.connections(), 2);
}

TEST_F(CddbLookupTest, RefusedReadIsRetriedAndNotCached) {
    CddbScript script = exactMatch();
    script.readAnswer = "401 rock 10025803 No such CD entry in database\r\n";
    CddbTestServer server(script);
    RunResult result = run({server.cddbSwitch(), "/11", "/2cddb.cache", "/bFallback", "/l"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(count(result.output, "401 rock 10025803 No such CD entry in database\n"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("cddb.cache")));
    expectListedNames(result.output, "Unknown", "Disc", {"Track"});
}

TEST_F(CddbLookupTest, NegativeTryCountSkipsTheLookup) {
    CddbTestServer server(exactMatch());
    RunResult result = run({server.cddbSwitch(), "/1-1", "/l"});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(server.connections(), 0);
}

TEST(CddbCdTextTest, CdTextTakesPrecedence) {
    TempDir dir;
    DiscSpec spec = audioDisc({300, 225, 150});
    spec.title = "Text Disc";
    spec.performer = "Text Artist";
    spec.tracks[0].title = "Text One";
    spec.tracks[1].title = "Text Two";
    spec.tracks[2].title = "Text Three";
    DiscImage image(dir.path(), spec);
    CddbTestServer server(exactMatch());
    RunOptions opts;
    opts.env = {{"VOLTA_IMAGES", imagesValue({image.imagesEntry()})}};
    opts.cwd = dir.path();
    RunResult result = runVolta({server.cddbSwitch(), "/l"}, opts);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "Using CD-TEXT Information\n"));
    EXPECT_TRUE(contains(result.output, "Table Of Contents (Text Artist - Text Disc):\n")) << result.output;
    EXPECT_TRUE(contains(result.output, "Without  Text Two\n"));
    EXPECT_EQ(server.connections(), 0);
}

}  // namespace

// Ripping a small disc: the names reach the files.
class CddbFileNameTest : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args) const {
        RunOptions opts;
        opts.env = {{"VOLTA_IMAGES", imagesValue({image.imagesEntry()})}};
        opts.cwd = dir.path();
        return runVolta(args, opts);
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }

    TempDir dir;
    DiscImage image{dir.path(), audioDisc({300, 225, 150})};
};

TEST_F(CddbFileNameTest, NamesFromTheServer) {
    // s = 2, 6 and 9 s: digit sum 17 = 0x11; 9 s long; three tracks.
    CddbScript script;
    script.queryAnswer = "200 misc 11000903 Up/Down / Disc\r\n";
    script.readAnswer = "210 misc 11000903\r\nDTITLE=Up/Down / Disc\r\nTTITLE0=Why?\r\nTTITLE1=Two\r\n.\r\n";
    CddbTestServer server(script);
    RunResult result = run({server.cddbSwitch(), "$a - $t", "@"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(server.received().back(), "cddb read misc 11000903");
    EXPECT_TRUE(exists("Up-Down - Why-.wav"));
    EXPECT_TRUE(exists("Up-Down - Two.wav"));
    EXPECT_TRUE(exists("Up-Down - Track.wav"));
}

TEST_F(CddbFileNameTest, AlternateBasenameNumbersTheFiles) {
    CddbTestServer server(CddbScript{});
    RunResult result = run({server.cddbSwitch(), "/bFallback", "$a - $t", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(exists("Fallback01.wav"));
    EXPECT_TRUE(exists("Fallback02.wav"));
}
