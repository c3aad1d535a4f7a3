#include "engine/net/http/httpget.h"
#include "tests/support/httpserver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* name;
    HttpReply reply;
    HttpLimits limits;
    int result;
    long status;
    std::string body;
    std::string reason;
};

HttpLimits limitedTo(std::size_t maxBytes, long totalSeconds = 30) {
    HttpLimits limits;
    limits.maxBytes = maxBytes;
    limits.totalSeconds = totalSeconds;
    return limits;
}

HttpReply reply(int status, std::string body) {
    HttpReply r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

// What a database client gets for each kind of answer it may meet: the
// body within the limits, any status as an answer, and a reason for every
// answer it cannot have.
TEST(HttpGet, AnswersWithinTheLimitsAndReasonsForTheRest) {
    std::string kilobyte(1024, 'x');
    HttpReply dripping = reply(200, "slow answer");
    dripping.dripMillis = 400;
    HttpReply cut = reply(200, kilobyte);
    cut.truncate = true;
    HttpReply unannounced = reply(200, kilobyte + kilobyte);
    unannounced.omitLength = true;
    HttpReply busy = reply(503, "busy");
    busy.headers = {{"Retry-After", "4"}};

    const Case cases[] = {
        {"whole", reply(200, kilobyte), limitedTo(1024), 0, 200, kilobyte, ""},
        {"missing", reply(404, "no"), {}, 0, 404, "no", ""},
        {"announced too large", reply(200, kilobyte), limitedTo(1000), 1, 0, "", "answer larger than 1000 bytes"},
        {"streamed too large", unannounced, limitedTo(1500), 1, 0, "", "answer larger than 1500 bytes"},
        {"cut short", cut, {}, 1, 0, "", "answer cut short"},
        {"dripping past the deadline", dripping, limitedTo(1024, 1), 1, 0, "", "timed out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestHttpServer server;
        server.route("/x", c.reply);
        HttpAnswer answer;
        std::string reason;
        ASSERT_EQ(httpGet(server.baseUrl() + "/x?y=1", "volta-test/1", c.limits, answer, reason), c.result) << reason;
        EXPECT_EQ(reason, c.reason);
        if (c.result == 0) {
            EXPECT_EQ(answer.status, c.status);
            EXPECT_EQ(answer.body, c.body);
        }
        EXPECT_EQ(server.targets(), std::vector<std::string>{"/x?y=1"});
        EXPECT_EQ(server.userAgents(), std::vector<std::string>{"volta-test/1"});
    }

    TestHttpServer server;
    server.route("/busy", busy);
    HttpAnswer answer;
    std::string reason;
    ASSERT_EQ(httpGet(server.baseUrl() + "/busy", "volta-test/1", {}, answer, reason), 0);
    EXPECT_EQ(answer.status, 503);
    EXPECT_EQ(answer.retryAfterSeconds, 4);
}

// A redirect stays on the database's host; one to another host could hand
// the client anything and is refused.
TEST(HttpGet, FollowsRedirectsOnTheSameHostOnly) {
    TestHttpServer server;
    HttpReply local = reply(302, "");
    local.headers = {{"Location", "/there"}};
    HttpReply away = reply(301, "");
    away.headers = {{"Location", "http://localhost:" + std::to_string(server.port()) + "/there"}};
    HttpReply loop = reply(307, "");
    loop.headers = {{"Location", "/loop"}};
    server.route("/here", local);
    server.route("/away", away);
    server.route("/loop", loop);
    server.route("/there", reply(200, "arrived"));

    HttpAnswer answer;
    std::string reason;
    ASSERT_EQ(httpGet(server.baseUrl() + "/here", "ua", {}, answer, reason), 0) << reason;
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "arrived");

    EXPECT_EQ(httpGet(server.baseUrl() + "/away", "ua", {}, answer, reason), 1);
    EXPECT_EQ(reason, "redirected to another host");
    EXPECT_EQ(httpGet(server.baseUrl() + "/loop", "ua", {}, answer, reason), 1);
    EXPECT_EQ(reason, "too many redirects");
}

TEST(HttpGet, NamesWhyNoAnswerCame) {
    int closedPort;
    {
        TestHttpServer gone;
        closedPort = gone.port();
    }
    HttpAnswer answer;
    std::string reason;
    EXPECT_EQ(httpGet("http://127.0.0.1:" + std::to_string(closedPort) + "/", "ua", {}, answer, reason), 1);
    EXPECT_EQ(reason, "connection refused");
    EXPECT_EQ(httpGet("ftp://127.0.0.1/x", "ua", {}, answer, reason), 1);
    EXPECT_EQ(reason, "not an http or https address");
}

}  // namespace
