#include "tests/cddb/cddbtestserver.h"
#include "tests/names/musicbrainzjson.h"
#include "tests/support/decodedaudio.h"
#include "tests/support/discimage.h"
#include "tests/support/httpserver.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// Three tracks of four seconds at 0, 300 and 600, the lead-out at 900:
// worked out apart from the engine, the MusicBrainz disc ID below; the
// CDDB disc ID is 0a000c03.
const std::string kDiscId = "sqiQcFcdWmoQZM6Hly5BnKDt1s0-";
const std::string kPath = "/discid/" + kDiscId;
const std::string kTarget = kPath + "?inc=artist-credits+recordings&fmt=json";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

FakeRelease album() { return sampleAlbum(kDiscId); }

HttpReply answerWith(const std::vector<FakeRelease>& releases) {
    HttpReply reply;
    reply.body = musicBrainzJson(kDiscId, releases);
    reply.headers = {{"Content-Type", "application/json"}};
    return reply;
}

HttpReply status(int code, const std::string& body = "") {
    HttpReply reply;
    reply.status = code;
    reply.body = body;
    return reply;
}

class MusicBrainzLookupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        imageDir = std::make_unique<TempDir>();
        image = std::make_unique<DiscImage>(imageDir->path(), audioDisc({300, 300, 300}));
    }
    static void TearDownTestSuite() {
        image.reset();
        imageDir.reset();
    }
    void SetUp() override {
        std::filesystem::create_directory(dir.file("out"));
        std::filesystem::create_directory(dir.file("cache"));
    }

    RunResult run(const std::vector<std::string>& args, const std::string& serviceUrl) const {
        RunOptions opts;
        opts.env = {{"VOLTA_IMAGES", imagesValue({image->imagesEntry()})},
                    {"VOLTA_MUSICBRAINZ_URL", serviceUrl},
                    {"XDG_CACHE_HOME", dir.file("cache")},
                    {"HOME", dir.path()}};
        opts.cwd = dir.file("out");
        return runVolta(args, opts);
    }

    std::string cacheFile() const { return dir.file("cache/volta/musicbrainz/" + kDiscId + ".json"); }

    // The listing's header and track lines show the names the run took.
    static void expectNames(const RunResult& result, const std::string& artist, const std::string& title,
                            const std::vector<std::string>& tracks) {
        EXPECT_TRUE(contains(result.output, "Table Of Contents (" + artist + " - " + title + "):\n")) << result.output;
        for (const auto& track : tracks) EXPECT_TRUE(contains(result.output, "Without  " + track + "\n")) << track;
    }

    std::vector<std::string> outputFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.file("out")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static inline std::unique_ptr<TempDir> imageDir;
    static inline std::unique_ptr<DiscImage> image;
    TempDir dir;
};

TEST_F(MusicBrainzLookupTest, OneReleaseNamesTheFilesAndTheirTags) {
    TestHttpServer server;
    server.route(kPath, answerWith({album()}));
    RunResult result = run({"/3", "/i", "$a - $d - $t", "2"}, server.baseUrl());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "MusicBrainz disc ID: " + kDiscId + "\n"
                                        "MusicBrainz: 1 release\n"
                                        "* 1) Ann & Bob - Some Disc (2007, GB, barcode 0123456789012)\n"))
        << result.output;
    EXPECT_EQ(server.targets(), std::vector<std::string>{kTarget});
    ASSERT_EQ(server.userAgents().size(), 1u);
    EXPECT_EQ(server.userAgents()[0].rfind("VOLTA/", 0), 0u) << server.userAgents()[0];

    std::string file = readFile(dir.file("out/Ann & Bob - Some Disc - Middle.wav"));
    ASSERT_GT(file.size(), 128u);
    std::string tag = file.substr(file.size() - 128);
    EXPECT_EQ(tag.substr(0, 3), "TAG");
    EXPECT_STREQ(tag.c_str() + 3, "Middle");
    EXPECT_STREQ(tag.c_str() + 33, "Ann & Bob");
    EXPECT_STREQ(tag.c_str() + 63, "Some Disc");
    EXPECT_EQ(readFile(cacheFile()), answerWith({album()}).body);
}

// The release's date and the MusicBrainz identifiers go into the tags of
// the formats that have room for them, as music players read them.
TEST_F(MusicBrainzLookupTest, TagsCarryTheReleaseDateAndTheIdentifiers) {
    TestHttpServer server;
    server.route(kPath, answerWith({album()}));
    RunResult result = run({"/3", "/i", "/ec", "$2di", "2"}, server.baseUrl());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    RunResult listed = runProgram({toolPath("metaflac"), "--export-tags-to=-", dir.file("out/02.flac")});
    for (const char* comment : {"TITLE=Middle", "ALBUM=Some Disc", "DATE=2007-10-10", "MUSICBRAINZ_ALBUMID=rel-album",
                                "MUSICBRAINZ_TRACKID=rec-2"})
        EXPECT_TRUE(contains(listed.output, std::string(comment) + "\n")) << comment << "\n" << listed.output;
    EXPECT_TRUE(contains(listed.output, "MUSICBRAINZ_DISCID=" + kDiscId + "\n")) << listed.output;
}

TEST_F(MusicBrainzLookupTest, SeveralReleasesAreListedAndOneIsChosen) {
    FakeRelease reissue = album();
    reissue.id = "rel-reissue";
    reissue.title = "Some Disc (Remastered)";
    reissue.date = "2019";
    reissue.country = "";
    reissue.barcode = "";
    reissue.media = {mediumOf(kDiscId, {"Intro (2019)", "Middle (2019)", "End (2019)"})};
    TestHttpServer server;
    server.route(kPath, answerWith({album(), reissue}));

    RunResult first = run({"/3", "/l"}, server.baseUrl());
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_TRUE(contains(first.output, "MusicBrainz: 2 releases\n"
                                       "* 1) Ann & Bob - Some Disc (2007, GB, barcode 0123456789012)\n"
                                       "  2) Ann & Bob - Some Disc (Remastered) (2019)\n"))
        << first.output;
    expectNames(first, "Ann & Bob", "Some Disc", {"Intro", "Middle", "End"});

    RunResult second = run({"/32", "/l"}, server.baseUrl());
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_TRUE(contains(second.output, "  1) Ann & Bob - Some Disc (2007, GB, barcode 0123456789012)\n"
                                        "* 2) Ann & Bob - Some Disc (Remastered) (2019)\n"))
        << second.output;
    expectNames(second, "Ann & Bob", "Some Disc (Remastered)", {"Intro (2019)", "Middle (2019)", "End (2019)"});

    // The second run found the answer of the first: one request in all.
    EXPECT_EQ(server.targets().size(), 1u);
    EXPECT_TRUE(contains(second.output, "MusicBrainz: answer from the local cache\n"));

    RunResult missing = run({"/35", "/l"}, server.baseUrl());
    EXPECT_EQ(missing.exitCode, 3) << missing.output;
    EXPECT_TRUE(contains(missing.output, "MusicBrainz: no release 5\n"
                                         "MusicBrainz Query Failed And No Alternate Basename\n"))
        << missing.output;
}

TEST_F(MusicBrainzLookupTest, TheMediumThatHoldsTheDiscAndCompilations) {
    FakeRelease twoDiscs = album();
    twoDiscs.media = {mediumOf("other-disc-id", {"One", "Two"}), mediumOf(kDiscId, {"Uno", "Dos", "Tres"})};
    FakeRelease various = album();
    various.credit = creditOf("Various Artists");
    various.media[0].tracks[0].credit = creditOf("Carla");
    various.media[0].tracks[1].credit = {{"Dan", " feat. "}, {"Eve", ""}};
    struct Case {
        const char* what;
        FakeRelease release;
        std::string artist;
        std::string title;
        std::vector<std::string> tracks;
    };
    const Case cases[] = {
        {"second of two media", twoDiscs, "Ann & Bob", "Some Disc (disc 2)", {"Uno", "Dos", "Tres"}},
        {"compilation", various, "Various Artists", "Some Disc", {"Carla / Intro", "Dan feat. Eve / Middle", "End"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestHttpServer server;
        server.route(kPath, answerWith({c.release}));
        std::filesystem::remove_all(dir.file("cache"));
        RunResult result = run({"/3", "/l"}, server.baseUrl());
        ASSERT_EQ(result.exitCode, 0) << result.output;
        expectNames(result, c.artist, c.title, c.tracks);
    }
}

// Whatever goes wrong, one line says so and the next source of names, or
// the alternate basename, takes over.
TEST_F(MusicBrainzLookupTest, NoNamesFallBackToCddbOrTheAlternateBasename) {
    TestHttpServer server;  // knows no disc: every request gets 404
    RunResult alone = run({"/3", "/l"}, server.baseUrl());
    EXPECT_EQ(alone.exitCode, 3);
    EXPECT_TRUE(contains(alone.output, "MusicBrainz: disc not found\n"
                                       "MusicBrainz Query Failed And No Alternate Basename\n"))
        << alone.output;

    RunResult alternate = run({"/3", "/bspare", "x", "1"}, server.baseUrl());
    ASSERT_EQ(alternate.exitCode, 0) << alternate.output;
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"spare01.wav"});

    CddbScript script;
    script.queryAnswer = "200 rock 0a000c03 Some Artist / Cddb Disc\r\n";
    script.readAnswer =
        "210 rock 0a000c03 CD database entry follows\r\nDTITLE=Some Artist / Cddb Disc\r\n"
        "TTITLE0=First\r\nTTITLE1=Second\r\nTTITLE2=Third\r\n.\r\n";
    CddbTestServer cddb(script);
    RunResult fallback = run({"/3", cddb.cddbSwitch(), "/l"}, server.baseUrl());
    ASSERT_EQ(fallback.exitCode, 0) << fallback.output;
    EXPECT_TRUE(contains(fallback.output, "MusicBrainz: disc not found\nConnecting to CDDB Server")) << fallback.output;
    expectNames(fallback, "Some Artist", "Cddb Disc", {"First", "Second", "Third"});
    EXPECT_EQ(cddb.connections(), 1);
    EXPECT_FALSE(std::filesystem::exists(cacheFile()));
}

TEST_F(MusicBrainzLookupTest, BadAnswersAndAbsentServicesSayWhyInOneLine) {
    FakeRelease short1 = album();
    short1.media = {mediumOf(kDiscId, {"Only", "Two"})};
    HttpReply busy = status(503, "slow down");
    busy.headers = {{"Retry-After", "1"}};
    HttpReply faraway = status(302);
    faraway.headers = {{"Location", "http://localhost:1/discid/" + kDiscId}};
    struct Case {
        const char* what;
        HttpReply reply;
        std::string line;
        size_t requests;
        bool kept = false;  // a readable answer is kept even when its release cannot name the disc
    };
    const Case cases[] = {
        {"broken JSON", status(200, "{\"releases\": [{"), "MusicBrainz: unusable answer (not JSON)\n", 1},
        {"HTML", status(200, "<html>hi</html>"), "MusicBrainz: unusable answer (not JSON)\n", 1},
        {"short medium", answerWith({short1}),
         "MusicBrainz: unusable answer (the medium has 2 tracks, the disc 3)\n", 1, true},
        {"server error", status(500), "MusicBrainz: service unreachable (HTTP 500)\n", 1},
        {"busy twice", busy, "MusicBrainz: service unreachable (HTTP 503)\n", 2},
        {"redirected away", faraway, "MusicBrainz: service unreachable (redirected to another host)\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.file("cache"));
        TestHttpServer server;
        server.route(kPath, c.reply);
        RunResult result = run({"/3", "/bspare", "/l"}, server.baseUrl());
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(contains(result.output, c.line)) << result.output;
        EXPECT_EQ(server.targets().size(), c.requests);
        expectNames(result, "Unknown", "Disc", {"Track"});
        EXPECT_EQ(std::filesystem::exists(cacheFile()), c.kept);
    }

    std::string down;
    {
        TestHttpServer closed;
        down = closed.baseUrl();
    }
    RunResult unreachable = run({"/3", "/bspare", "/l"}, down);
    EXPECT_EQ(unreachable.exitCode, 0) << unreachable.output;
    EXPECT_TRUE(contains(unreachable.output, "MusicBrainz: service unreachable (connection refused)\n"))
        << unreachable.output;
}

TEST_F(MusicBrainzLookupTest, BusyServiceIsAskedOnceMoreAfterItsWait) {
    int requests = 0;
    TestHttpServer server;
    server.handle([&requests](const std::string&) {
        if (requests++ > 0) return answerWith({album()});
        HttpReply busy = status(503);
        busy.headers = {{"Retry-After", "1"}};
        return busy;
    });
    RunResult result = run({"/3", "/l"}, server.baseUrl());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(server.targets().size(), 2u);
    expectNames(result, "Ann & Bob", "Some Disc", {"Intro", "Middle", "End"});
}

TEST_F(MusicBrainzLookupTest, CachedAnswersServeWithoutTheServiceAndBrokenOnesAreReplaced) {
    std::string url;
    {
        TestHttpServer server;
        server.route(kPath, answerWith({album()}));
        url = server.baseUrl();
        ASSERT_EQ(run({"/3", "/l"}, url).exitCode, 0);
    }
    RunResult cached = run({"/3", "/l"}, url);
    ASSERT_EQ(cached.exitCode, 0) << cached.output;
    EXPECT_TRUE(contains(cached.output, "MusicBrainz: answer from the local cache\n")) << cached.output;
    expectNames(cached, "Ann & Bob", "Some Disc", {"Intro", "Middle", "End"});

    writeFile(cacheFile(), "{\"releases\": [");
    TestHttpServer server;
    server.route(kPath, answerWith({album()}));
    RunResult replaced = run({"/3", "/l"}, server.baseUrl());
    ASSERT_EQ(replaced.exitCode, 0) << replaced.output;
    EXPECT_TRUE(contains(replaced.output, "MusicBrainz: broken cache file ignored (" + cacheFile() + ")\n"))
        << replaced.output;
    EXPECT_EQ(server.targets().size(), 1u);
    EXPECT_EQ(readFile(cacheFile()), answerWith({album()}).body);
}

// Names are data from outside: they never reach the terminal as control
// characters nor the file system as folders.
TEST_F(MusicBrainzLookupTest, HostileNamesStayInsideTheOutputFolder) {
    FakeRelease hostile = album();
    hostile.title = "../../escape\x1b[2J";
    hostile.credit = creditOf("/etc/passwd");
    hostile.media = {mediumOf(kDiscId, {"..", "a\\..\\b", std::string(1 << 20, 'x')})};
    TestHttpServer server;
    server.route(kPath, answerWith({hostile}));
    RunResult result = run({"/3", "$a $d $t", "1"}, server.baseUrl());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_FALSE(contains(result.output, "\x1b")) << result.output;
    std::vector<std::string> files = outputFiles();
    ASSERT_EQ(files.size(), 1u);
    // A title of dots says nothing: the track is named as without one.
    EXPECT_EQ(files[0], "-etc-passwd ..-..-escape [2J Track01.wav");
}

}  // namespace
