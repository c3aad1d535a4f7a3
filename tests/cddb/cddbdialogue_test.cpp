#include "engine/cddb/cddbclient.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

// Plays the server's side from a list of answer lines and keeps what the
// client sent. Past the list the connection has ended, unless a line is
// to be repeated for ever.
class ScriptedConnection : public CddbConnection {
public:
    explicit ScriptedConnection(std::deque<std::string> lines, std::string endless = "")
        : lines(std::move(lines)), endless(std::move(endless)) {}
    int receive(char* buffer, int capacity) override {
        std::string next;
        if (!lines.empty()) {
            next = lines.front();
            lines.pop_front();
        } else if (!endless.empty()) {
            next = endless;
        } else {
            return -1;
        }
        std::snprintf(buffer, capacity, "%s", next.c_str());
        return static_cast<int>(std::strlen(buffer));
    }
    void send(const char* line) override { sent.emplace_back(line); }

    std::deque<std::string> lines;
    std::string endless;
    std::vector<std::string> sent;
};

const char* const kQuery = "cddb query 10025803 3 150 18000 33000 602";

class CddbDialogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::snprintf(options.cddbUserAddress, sizeof options.cddbUserAddress, "user@example.org");
        names = std::make_unique<DiscNames>();
        std::strcpy(names->discTitle, "Disc");
        std::strcpy(names->discArtist, "Unknown");
        for (auto& title : names->trackTitles) std::strcpy(title, "Track");
        layout.firstTrack = 1;
        layout.lastTrack = 3;
        layout.trackStart[1] = 0;
        layout.trackStart[2] = 17850;
        layout.trackStart[3] = 32850;
        layout.leadOut = 45000;
        client = std::make_unique<CddbClient>(layout, *names);
    }
    void TearDown() override { options = Options(); }

    // Runs the dialogue; the client's console output lands in `output`.
    int converse(ScriptedConnection& connection) {
        ::testing::internal::CaptureStdout();
        int result = client->converse(connection);
        output = ::testing::internal::GetCapturedStdout();
        return result;
    }

    // The greeting and answers before the query answer.
    static std::deque<std::string> handshake(std::deque<std::string> rest) {
        std::deque<std::string> lines = {"201 test server ready\r\n", "201 OK, protocol level now: 2\r\n",
                                         "200 Hello and welcome\r\n"};
        lines.insert(lines.end(), rest.begin(), rest.end());
        return lines;
    }

    // An exact match whose entry consists of `entry` lines.
    static std::deque<std::string> exactMatch(std::vector<std::string> entry) {
        std::deque<std::string> lines = handshake({"200 rock 10025803 A / B\r\n", "210 rock 10025803 follows\r\n"});
        for (auto& line : entry) lines.push_back(line + "\r\n");
        lines.push_back(".\r\n");
        return lines;
    }

    DiscLayout layout;
    std::unique_ptr<DiscNames> names;
    std::unique_ptr<CddbClient> client;
    std::string output;
};

TEST_F(CddbDialogueTest, ExactMatchSendsTheCommandsInOrder) {
    ScriptedConnection server(exactMatch({"DTITLE=Some Artist / Some Disc", "TTITLE0=Intro"}));
    ASSERT_EQ(converse(server), 0);
    std::vector<std::string> expected = {"proto 2", "cddb hello user example.org \"TANAGER Release\" 2.80", kQuery,
                                         "cddb read rock 10025803"};
    EXPECT_EQ(server.sent, expected);
    EXPECT_EQ(output, "Sending CDDB Query: 10025803\nExact Match Found, Reading Info\n");
    EXPECT_STREQ(client->names().discArtist, "Some Artist");
    EXPECT_STREQ(client->names().discTitle, "Some Disc");
    EXPECT_STREQ(client->names().trackTitles[0], "Intro");
    EXPECT_STREQ(client->names().trackTitles[1], "Track");
}

TEST_F(CddbDialogueTest, AddressSplitsAtItsFirstAt) {
    std::snprintf(options.cddbUserAddress, sizeof options.cddbUserAddress, "me@relay@example.org");
    ScriptedConnection server(handshake({"202 No match\r\n"}));
    converse(server);
    ASSERT_GE(server.sent.size(), 2u);
    EXPECT_EQ(server.sent[1], "cddb hello me relay@example.org \"TANAGER Release\" 2.80");
    EXPECT_STREQ(options.cddbUserAddress, "me@relay@example.org");
}

TEST_F(CddbDialogueTest, AddressWithoutAtSendsAnEmptyHostPart) {
    std::snprintf(options.cddbUserAddress, sizeof options.cddbUserAddress, "someone");
    ScriptedConnection server(handshake({"202 No match\r\n"}));
    converse(server);
    ASSERT_GE(server.sent.size(), 2u);
    EXPECT_EQ(server.sent[1], "cddb hello someone  \"TANAGER Release\" 2.80");
}

TEST_F(CddbDialogueTest, InexactMatchReadsTheFirstListedEntry) {
    ScriptedConnection server(handshake({"211 Found inexact matches, list follows\r\n",
                                         "folk 0a0b0c0d First / One\r\n", "rock 12345678 Second / Two\r\n", ".\r\n",
                                         "210 folk 0a0b0c0d\r\n", "DTITLE=Just One Name\r\n", ".\r\n"}));
    ASSERT_EQ(converse(server), 0);
    EXPECT_EQ(server.sent.back(), "cddb read folk 0a0b0c0d");
    EXPECT_EQ(output, "Sending CDDB Query: 10025803\nInexact Matches Found, Picking First\n");
    EXPECT_STREQ(client->names().discArtist, "Just One Name");
    EXPECT_STREQ(client->names().discTitle, "Just One Name");
}

TEST_F(CddbDialogueTest, EmptyListOfMatchesIsNoMatch) {
    ScriptedConnection server(handshake({"211 Found inexact matches, list follows\r\n", ".\r\n"}));
    EXPECT_EQ(converse(server), 2);
    EXPECT_EQ(server.sent.size(), 3u);  // no read command
    EXPECT_NE(output.find("Disc ID Match Not Found\n\n"), std::string::npos);
}

TEST_F(CddbDialogueTest, NoMatchIsFinal) {
    ScriptedConnection server(handshake({"202 No match for disc ID 10025803.\r\n"}));
    EXPECT_EQ(converse(server), 2);
    EXPECT_EQ(output, "Sending CDDB Query: 10025803\nDisc ID Match Not Found\n\n");
}

TEST_F(CddbDialogueTest, RefusalsAreShownBeforeTheMessages) {
    ScriptedConnection server({"201 test server ready\r\n", "201 OK\r\n",
                               "500 Unknown developer email, please register\r\n",
                               "409 No handshake\r\n"});
    EXPECT_EQ(converse(server), 2);
    EXPECT_EQ(output,
              "500 Unknown developer email, please register\n"
              "Sending CDDB Query: 10025803\n"
              "409 No handshake\n"
              "Disc ID Match Not Found\n\n");
}

TEST_F(CddbDialogueTest, ReadRefusedIsWorthRetryingAndKeepsTheNames) {
    ScriptedConnection server(handshake({"200 rock 10025803 A / B\r\n", "401 rock 10025803 No such CD entry\r\n"}));
    EXPECT_EQ(converse(server), 1);
    EXPECT_NE(output.find("401 rock 10025803 No such CD entry\n"), std::string::npos);
    EXPECT_STREQ(client->names().discTitle, "Disc");
}

TEST_F(CddbDialogueTest, EndedConnectionIsReportedAtEveryStep) {
    std::deque<std::string> full = exactMatch({"DTITLE=A / B"});
    full.pop_back();  // the entry never ends
    for (std::size_t kept = 0; kept <= full.size(); ++kept) {
        SetUp();
        ScriptedConnection server(std::deque<std::string>(full.begin(), full.begin() + kept));
        EXPECT_EQ(converse(server), 1) << kept << " lines";
        EXPECT_NE(output.find("Connection Terminated\n"), std::string::npos) << kept << " lines";
    }
}

TEST_F(CddbDialogueTest, EndlessAnswersAreCutOff) {
    ScriptedConnection entry(exactMatch({}), "TTITLE0=again\r\n");
    entry.lines.pop_back();
    EXPECT_EQ(converse(entry), 1);
    EXPECT_NE(output.find("Connection Terminated\n"), std::string::npos);

    SetUp();
    ScriptedConnection list(handshake({"211 inexact\r\n"}), "rock 10025803 again\r\n");
    EXPECT_EQ(converse(list), 1);
}

TEST_F(CddbDialogueTest, TrackTitlesByIndex) {
    ScriptedConnection server(exactMatch({
        "TTITLE0=Intro", "TTITLE4=",          // track 5 becomes "Unknown"
        "TTITLE1=First ", "TTITLE1=Second",   // continuation lines are joined
        "TTITLE3=Early", "TTITLE99=Last",     // track 100
        "TTITLE3=Late",                       // a later, separate line replaces
        "TTITLE100=Too far", "TTITLE-1=Negative", "TTITLEx=No number", "TTITLE2 no value",
        "DTITLE", "DTITLEX=Not a title", "# TTITLE2=comment",
    }));
    ASSERT_EQ(converse(server), 0);
    const DiscNames& got = client->names();
    EXPECT_STREQ(got.trackTitles[0], "Intro");
    EXPECT_STREQ(got.trackTitles[1], "First Second");
    EXPECT_STREQ(got.trackTitles[2], "Track");
    EXPECT_STREQ(got.trackTitles[3], "Late");
    EXPECT_STREQ(got.trackTitles[4], "Unknown");
    EXPECT_STREQ(got.trackTitles[99], "Last");
    EXPECT_STREQ(got.discTitle, "Disc");
    EXPECT_STREQ(got.discArtist, "Unknown");
}

TEST_F(CddbDialogueTest, ContinuationLinesAreJoinedBeforeTheRules) {
    ScriptedConnection server(exactMatch({"DTITLE=Some Long Artist N", "DTITLE=ame / Some Disc",
                                          "TTITLE0=", "TTITLE0=", "TTITLE1=", "TTITLE1=Found"}));
    ASSERT_EQ(converse(server), 0);
    EXPECT_STREQ(client->names().discArtist, "Some Long Artist Name");
    EXPECT_STREQ(client->names().discTitle, "Some Disc");
    EXPECT_STREQ(client->names().trackTitles[0], "Unknown");
    EXPECT_STREQ(client->names().trackTitles[1], "Found");
}

// Names are cut at 255 characters, not bytes: a UTF-8 name keeps 255 of
// its characters whole.
TEST_F(CddbDialogueTest, Utf8NamesKeep255Characters) {
    std::string hiragana;
    for (int i = 0; i < 300; ++i) hiragana += "\u3042";
    ScriptedConnection server(exactMatch({"DTITLE=A / B", "TTITLE0=" + hiragana}));
    ASSERT_EQ(converse(server), 0);
    EXPECT_EQ(std::string(client->names().trackTitles[0]), hiragana.substr(0, 255 * 3));
}

// The year and the genre are kept for the tags: a long genre comes in
// pieces as the names do, and a year that is no number says nothing.
TEST_F(CddbDialogueTest, YearAndGenreAreKept) {
    ScriptedConnection server(exactMatch({"DTITLE=A / B", "DYEAR=1999", "DGENRE=Progressive ", "DGENRE=Rock",
                                          "TTITLE0=One"}));
    ASSERT_EQ(converse(server), 0);
    EXPECT_STREQ(client->names().discYear, "1999");
    EXPECT_STREQ(client->names().discGenre, "Progressive Rock");

    for (const std::string year : {"19x9", "", "123456789", "-1999"}) {
        SetUp();
        ScriptedConnection other(exactMatch({"DTITLE=A / B", "DYEAR=" + year, "DGENRE=\x1b[31mPunk"}));
        ASSERT_EQ(converse(other), 0);
        EXPECT_STREQ(client->names().discYear, "") << year;
        EXPECT_STREQ(client->names().discGenre, " [31mPunk");
    }
}

TEST_F(CddbDialogueTest, TitlesSplitAtTheFirstSeparator) {
    ScriptedConnection server(exactMatch({"DTITLE=AC / DC / Live / Again"}));
    ASSERT_EQ(converse(server), 0);
    EXPECT_STREQ(client->names().discArtist, "AC");
    EXPECT_STREQ(client->names().discTitle, "DC / Live / Again");
}

TEST_F(CddbDialogueTest, NamesAreCutAndCleaned) {
    std::string longName(300, 'x');
    ScriptedConnection server(exactMatch({"DTITLE=" + std::string(260, 'a') + " / " + longName,
                                          "TTITLE0=" + longName, "TTITLE1=tab\there\x1b[31m"}));
    ASSERT_EQ(converse(server), 0);
    EXPECT_EQ(std::string(client->names().discArtist), std::string(255, 'a'));
    EXPECT_EQ(std::string(client->names().discTitle), std::string(255, 'x'));
    EXPECT_EQ(std::string(client->names().trackTitles[0]), std::string(255, 'x'));
    EXPECT_STREQ(client->names().trackTitles[1], "tab here [31m");
}

}  // namespace
