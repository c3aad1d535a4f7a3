// The database's answer as untrusted bytes, and what it makes of a track's
// checksums.

#include "engine/verify/databaseanswer.h"
#include "engine/verify/databaselookup.h"
#include "tests/verify/dbarfile.h"

#include <gtest/gtest.h>

namespace {

AccurateRipId threeTracks() {
    AccurateRipId id;
    id.audioTracks = 3;
    id.id1 = 0x0001ABCD;
    id.id2 = 0x00123456;
    id.cddb = 0x1F02A103;
    return id;
}

DatabaseAnswer parsed(const std::string& bytes, const AccurateRipId& id) {
    DatabaseAnswer answer;
    std::string reason;
    EXPECT_EQ(parseDatabaseAnswer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), id, answer, reason), 0)
        << reason;
    return answer;
}

TEST(DatabaseAnswer, ReadsEverySubmission) {
    AccurateRipId id = threeTracks();
    std::string bytes = dbarSubmission(id, {{5, 0x11111111, 0xA}, {6, 0x22222222, 0xB}, {7, 0x33333333, 0xC}}) +
                        dbarSubmission(id, {{1, 0x44444444, 0xD}, {2, 0x55555555, 0xE}, {3, 0x66666666, 0xF}});
    DatabaseAnswer answer = parsed(bytes, id);
    EXPECT_EQ(answer.submissions, 2);
    ASSERT_EQ(answer.tracks.size(), 3u);
    EXPECT_EQ(answer.tracks[1][0].checksum, 0x22222222u);
    EXPECT_EQ(answer.tracks[1][1].confidence, 2);
    EXPECT_EQ(answer.tracks[2][1].frame450, 0xFu);
}

TEST(DatabaseAnswer, RefusesAnswersThatAreNotWholeOrNotTheDiscs) {
    AccurateRipId id = threeTracks();
    std::string good = dbarSubmission(id, {{5, 1, 0}, {5, 2, 0}, {5, 3, 0}});
    AccurateRipId other = id;
    other.id2 += 1;
    AccurateRipId fewer = id;
    fewer.audioTracks = 2;
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "empty"},
        {"header cut", good.substr(0, 7), "truncated"},
        {"entry cut", good.substr(0, good.size() - 1), "truncated"},
        {"second submission cut", good + good.substr(0, 20), "truncated"},
        {"another disc", dbarSubmission(other, {{5, 1, 0}, {5, 2, 0}, {5, 3, 0}}), "filed under another disc"},
        {"other track count", dbarSubmission(fewer, {{5, 1, 0}, {5, 2, 0}}), "filed under another disc"},
        {"good then another disc", good + dbarSubmission(other, {{1, 1, 0}, {1, 2, 0}, {1, 3, 0}}),
         "filed under another disc"},
        {"text", std::string("<html>Not here</html>"), "filed under another disc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatabaseAnswer answer;
        std::string reason;
        EXPECT_NE(parseDatabaseAnswer(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), id, answer,
                                      reason),
                  0);
        EXPECT_EQ(reason, c.reason);
    }
}

// Confidences of the entries a checksum matches add up; a track that
// matches nothing is named with the entry most rips agree on.
TEST(DatabaseAnswer, JudgesTracks) {
    AccurateRipId id = threeTracks();
    std::string bytes = dbarSubmission(id, {{5, 0xAAAA0001, 0}, {9, 0xBBBB0002, 0}, {2, 0xCCCC0003, 0}}) +
                        dbarSubmission(id, {{3, 0xAAAA0001, 0}, {4, 0xBBBB0099, 0}, {7, 0xCCCC0004, 0}}) +
                        dbarSubmission(id, {{1, 0xAAAA0777, 0}, {1, 0xBBBB0002, 0}, {1, 0xCCCC0003, 0}});
    DatabaseAnswer answer = parsed(bytes, id);
    struct Case {
        int track;
        uint32_t v1;
        uint32_t v2;
        const char* text;
    } cases[] = {
        {0, 0xAAAA0001, 0x12345678, "accurately ripped (confidence 8, v1)"},
        {0, 0x12345678, 0xAAAA0777, "accurately ripped (confidence 1, v2)"},
        {1, 0x01010101, 0xBBBB0002, "accurately ripped (confidence 10, v2)"},
        {1, 0xBBBB0099, 0xBBBB0002, "accurately ripped (confidence 10, v2)"},
        {2, 0x01010101, 0x02020202, "not accurate (database CCCC0004, confidence 7)"},
        {3, 0xAAAA0001, 0xAAAA0001, "not in database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(verdictText(judgeTrack(&answer, c.track, c.v1, c.v2)), c.text);
    }
    EXPECT_EQ(verdictText(judgeTrack(nullptr, 0, 0xAAAA0001, 0)), "not in database");
}

TEST(DatabaseLookup, SaysWhatTheExchangeCameTo) {
    AccurateRipId id = threeTracks();
    HttpAnswer answer;
    answer.status = 200;
    answer.body = dbarSubmission(id, {{5, 1, 0}, {5, 2, 0}, {5, 3, 0}}) + dbarSubmission(id, {{1, 1, 0}, {1, 2, 0}, {1, 3, 0}});
    EXPECT_EQ(judgeDatabaseReply(0, answer, "", id).line(), "AccurateRip: disc found in database (2 submissions)");
    answer.body.pop_back();
    EXPECT_EQ(judgeDatabaseReply(0, answer, "", id).line(), "AccurateRip: unusable answer (truncated)");
    answer.status = 404;
    EXPECT_EQ(judgeDatabaseReply(0, answer, "", id).line(), "AccurateRip: disc not in database");
    answer.status = 503;
    EXPECT_EQ(judgeDatabaseReply(0, answer, "", id).line(), "AccurateRip: unusable answer (HTTP status 503)");
    EXPECT_EQ(judgeDatabaseReply(1, answer, "connection refused", id).line(),
              "AccurateRip: database unreachable (connection refused)");
}

}  // namespace
