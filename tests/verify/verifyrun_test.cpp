// /verify end to end: volta rips from virtual drives while a local HTTP
// server plays the AccurateRip database with answers the tests build from
// the disc image; the console lines, the exit code, the rip log and the cue
// sheet are checked, the log's checksum with a program of the system and
// the cue sheet by loading it as a virtual drive.

#include "engine/verify/discid.h"
#include "engine/verify/trackchecksums.h"
#include "tests/net/serverprocess.h"
#include "tests/support/discimage.h"
#include "tests/support/httpserver.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"
#include "tests/verify/dbarfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFramesPerSector = 588;

struct Sums {
    uint32_t v1 = 0;
    uint32_t v2 = 0;
    uint32_t crc = 0;
};

class VerifyRunTest : public testing::Test {
protected:
    // Four tracks, the third shorter than the ten sectors the first and
    // last tracks leave out between them.
    void makeDisc(const std::vector<int>& lengths = {40, 25, 8, 30}, bool named = false) {
        DiscSpec spec = audioDisc(lengths);
        if (named) {
            spec.title = "Proof";
            spec.performer = "The Checksums";
            for (size_t k = 0; k < lengths.size(); ++k) spec.tracks[k].title = "Song " + std::to_string(k + 1);
        }
        image = std::make_unique<DiscImage>(dir.path(), spec);
        DiscLayout layout;
        layout.firstTrack = 1;
        layout.lastTrack = static_cast<int>(lengths.size());
        for (int track = 1; track <= layout.lastTrack; ++track) layout.trackStart[track] = image->trackStart(track);
        layout.leadOut = image->leadOut();
        id = accurateRipId(layout);
    }

    std::string trackBytes(int track) const {
        return image->sectors(image->trackStart(track), image->trackEnd(track) - image->trackStart(track));
    }

    Sums sumsOf(int track, const std::string& bytes) const {
        TrackChecksums sums(static_cast<long long>(bytes.size()) / 4, track == 1, track == id.audioTracks);
        sums.add(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        return {sums.accurateRipV1(), sums.accurateRipV2(), sums.crc32()};
    }

    Sums sumsOf(int track) const { return sumsOf(track, trackBytes(track)); }

    std::string databasePath() const { return "/" + id.databasePath(); }

    RunResult rip(const std::vector<std::string>& args, const std::string& settings = "",
                  const std::string& cwd = "") {
        RunOptions run;
        run.cwd = cwd.empty() ? dir.path() : cwd;
        fs::create_directories(run.cwd);
        run.env = {{"VOLTA_IMAGES", image->imagesEntry(settings)}, {"VOLTA_ACCURATERIP_URL", server.baseUrl()}};
        return runVolta(args, run);
    }

    static std::string trackLine(int track, const Sums& sums, const std::string& verdict) {
        char line[96];
        std::snprintf(line, sizeof line, "Track %02d: AR v1 %08X v2 %08X CRC32 %08X: ", track, sums.v1, sums.v2,
                      sums.crc);
        return line + verdict + "\n";
    }

    std::string logText(const std::string& name) const { return readFile(dir.file(name)); }

    TempDir dir;
    TestHttpServer server;
    std::unique_ptr<DiscImage> image;
    AccurateRipId id;
};

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

HttpReply reply(int status, const std::string& body, bool truncate = false) {
    HttpReply answer;
    answer.status = status;
    answer.body = body;
    answer.truncate = truncate;
    return answer;
}

// Submissions for v1 and for v2 checksums: a checksum found in several
// adds their confidences up.
TEST_F(VerifyRunTest, AllTracksAccurate) {
    makeDisc();
    Sums s[5];
    for (int track = 1; track <= 4; ++track) s[track] = sumsOf(track);
    server.route(databasePath(),
                 reply(200, dbarSubmission(id, {{3, s[1].v1, 0}, {3, s[2].v1, 0}, {3, 0xDEADBEEF, 0}, {3, s[4].v1, 0}}) +
                           dbarSubmission(id, {{5, s[1].v2, 0}, {2, 0x12345678, 0}, {4, s[3].v2, 0}, {6, s[4].v1, 0}})));
    RunResult result = rip({"/verify", "t", "1:4"});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(holds(result.output, "AccurateRip ID: " + id.text() + "\n" +
                                         "AccurateRip: disc found in database (2 submissions)\n"))
        << result.output;
    EXPECT_TRUE(holds(result.output, trackLine(1, s[1], "accurately ripped (confidence 5, v2)"))) << result.output;
    EXPECT_TRUE(holds(result.output, trackLine(2, s[2], "accurately ripped (confidence 3, v1)"))) << result.output;
    EXPECT_TRUE(holds(result.output, trackLine(3, s[3], "accurately ripped (confidence 4, v2)"))) << result.output;
    EXPECT_TRUE(holds(result.output, trackLine(4, s[4], "accurately ripped (confidence 9, v1)"))) << result.output;
    EXPECT_TRUE(holds(result.output, "AccurateRip: 4 of 4 tracks accurately ripped\n")) << result.output;
    ASSERT_EQ(server.targets().size(), 1u);
    EXPECT_EQ(server.targets()[0], databasePath());

    // The checksums are of the audio as read, before normalization and the
    // other processing.
    RunResult processed = rip({"/mm", "/fn", "/p-6", "/v", "u", "1:4"});
    EXPECT_EQ(processed.exitCode, 0) << processed.output;
    EXPECT_TRUE(holds(processed.output, "AccurateRip: 4 of 4 tracks accurately ripped\n")) << processed.output;
}

TEST_F(VerifyRunTest, ATrackThatIsNotAccurateEndsTheRunWithNine) {
    makeDisc();
    Sums s[5];
    for (int track = 1; track <= 4; ++track) s[track] = sumsOf(track);
    server.route(databasePath(),
                 reply(200, dbarSubmission(id, {{7, s[1].v2, 0}, {7, 0x0BADF00D, 0}, {7, s[3].v2, 0}, {7, s[4].v2, 0}}) +
                           dbarSubmission(id, {{1, s[1].v2, 0}, {2, 0x0BADCAFE, 0}, {1, s[3].v2, 0}, {1, s[4].v2, 0}})));
    RunResult result = rip({"/v", "t", "1:4"});
    EXPECT_EQ(result.exitCode, 9) << result.output;
    EXPECT_TRUE(holds(result.output, trackLine(2, s[2], "not accurate (database 0BADF00D, confidence 7)")))
        << result.output;
    EXPECT_TRUE(holds(result.output, "AccurateRip: 3 of 4 tracks accurately ripped\n")) << result.output;
}

// Whatever the database does, the rip goes on and the exit code is the
// rip's own.
TEST_F(VerifyRunTest, AnswersThatProveNothing) {
    makeDisc();
    Sums s[5];
    for (int track = 1; track <= 4; ++track) s[track] = sumsOf(track);
    AccurateRipId other = id;
    other.cddb ^= 1;
    std::string good = dbarSubmission(id, {{2, s[1].v1, 0}, {2, s[2].v1, 0}, {2, s[3].v1, 0}, {2, s[4].v1, 0}});
    int closedPort = freePort();
    struct Case {
        const char* name;
        bool routed;
        HttpReply reply;
        std::string url;
        std::string line;
    } cases[] = {
        {"not in the database", false, HttpReply(), "", "AccurateRip: disc not in database\n"},
        {"server down", false, HttpReply(), "http://127.0.0.1:" + std::to_string(closedPort),
         "AccurateRip: database unreachable (connection refused)\n"},
        {"cut short by the server", true, reply(200, good, true), "", "AccurateRip: database unreachable ("},
        {"cut short in the file", true, reply(200, good.substr(0, good.size() - 3)), "",
         "AccurateRip: unusable answer (truncated)\n"},
        {"another disc's file", true,
         reply(200, dbarSubmission(other, {{2, s[1].v1, 0}, {2, s[2].v1, 0}, {2, s[3].v1, 0}, {2, s[4].v1, 0}})), "",
         "AccurateRip: unusable answer (filed under another disc)\n"},
        {"server error", true, reply(500, "oops"), "", "AccurateRip: unusable answer (HTTP status 500)\n"},
        {"huge", true, reply(200, std::string(2 << 20, 'x')), "", "AccurateRip: database unreachable (answer larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestHttpServer database;
        if (c.routed) database.route(databasePath(), c.reply);
        RunOptions run;
        run.cwd = dir.file(c.name);
        fs::create_directories(run.cwd);
        run.env = {{"VOLTA_IMAGES", image->imagesEntry()},
                   {"VOLTA_ACCURATERIP_URL", c.url.empty() ? database.baseUrl() : c.url}};
        RunResult result = runVolta({"/v", "t", "2"}, run);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(holds(result.output, "AccurateRip ID: " + id.text() + "\n" + c.line)) << result.output;
        EXPECT_TRUE(holds(result.output, trackLine(2, s[2], "not in database"))) << result.output;
        EXPECT_EQ(wavData(run.cwd + "/t02.wav"), image->sectors(image->trackStart(2), 25));
    }
}

// A track that cannot be read gets no checksum line; the log names the
// sectors that failed.
TEST_F(VerifyRunTest, AFailedTrackClaimsNothing) {
    makeDisc();
    server.route(databasePath(), reply(404, ""));
    RunResult result = rip({"/mn", "/r1", "/v", "t", "1:4"}, "fail=50-52");
    EXPECT_EQ(result.exitCode, 7) << result.output;
    EXPECT_TRUE(holds(result.output, "Track 01: AR v1")) << result.output;
    EXPECT_FALSE(holds(result.output, "Track 02: AR v1")) << result.output;
    std::string log = logText("disc-" + [&] {
        char cddb[16];
        std::snprintf(cddb, sizeof cddb, "%08x", id.cddb);
        return std::string(cddb);
    }() + ".log");
    EXPECT_TRUE(holds(log, "Track 02\n  File: t02.wav.part\n  Result: copy failed, sectors from 40 on not copied\n"
                           "  Retried reads: 1\n  Failed reads: 1\n    sectors 40-64 failed\n"))
        << log;
    EXPECT_TRUE(fs::exists(dir.file("t02.wav.part")));
    EXPECT_FALSE(fs::exists(dir.file("t02.wav")));
}

// The log ends with the SHA-256 of all before it, as sha256sum computes
// it; a second rip of the disc finds the name taken and numbers its log.
TEST_F(VerifyRunTest, TheLogIsSealedAndNeverOverwritten) {
    makeDisc({30, 30}, true);
    Sums s[3] = {{}, sumsOf(1), sumsOf(2)};
    server.route(databasePath(), reply(200, dbarSubmission(id, {{4, s[1].v2, 0}, {4, 0x0BADF00D, 0}})));
    RunResult first = rip({"/offset+0", "/v", "$2di $t", "1:2"}, "", dir.file("rip"));
    EXPECT_EQ(first.exitCode, 9) << first.output;
    std::string name = dir.file("rip/The Checksums - Proof.log");
    std::string log = readFile(name);
    size_t seal = log.rfind("Log checksum: ");
    ASSERT_NE(seal, std::string::npos) << log;
    RunOptions sum;
    sum.input = log.substr(0, seal);
    RunResult digest = runProgram({"/usr/bin/sha256sum"}, sum);
    ASSERT_EQ(digest.exitCode, 0);
    EXPECT_EQ(log.substr(seal), "Log checksum: " + digest.output.substr(0, 64) + "\n");

    int peak = 0;
    std::string bytes = trackBytes(1);
    for (size_t at = 0; at < bytes.size(); at += 2)
        peak = std::max(peak, std::abs(static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8)));
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "Track 01\n  File: 01 Song 1.wav\n  Peak level: %.1f %%\n  CRC32: %08X\n  AccurateRip v1: %08X\n"
                  "  AccurateRip v2: %08X\n  Result: accurately ripped (confidence 4, v2)\n"
                  "  Database best: %08X (confidence 4)\n  Retried reads: 0\n  Failed reads: 0\n",
                  peak * 100.0 / 32768, s[1].crc, s[1].v1, s[1].v2, s[1].v2);
    EXPECT_TRUE(holds(log, expected)) << log;
    for (const char* line : {"Read offset correction: +0 samples\n", "Extraction mode: burst, read retries: 5\n",
                             "Disc: The Checksums - Proof\n", "AccurateRip: disc found in database (1 submissions)\n",
                             "AccurateRip: 1 of 2 tracks accurately ripped\n"})
        EXPECT_TRUE(holds(log, line)) << line << log;

    RunResult second = rip({"/v", "$2di $t", "2"}, "", dir.file("rip"));
    EXPECT_EQ(second.exitCode, 9) << second.output;
    EXPECT_EQ(readFile(name), log);
    EXPECT_TRUE(fs::exists(dir.file("rip/The Checksums - Proof (2).log")));
    EXPECT_TRUE(fs::exists(dir.file("rip/The Checksums - Proof (2).cue")));
}

// A cue sheet of WAV files, one per track or one for the disc, loads as a
// virtual drive that lists as the disc does, names and all, and whose
// sub-channel has the disc's pre-gaps: ripped again, it gives the same cue
// sheet and log, date aside.
TEST_F(VerifyRunTest, TheCueSheetLoadsAsTheDisc) {
    DiscSpec spec = audioDisc({30, 20, 25, 15});
    spec.title = "Sheet";
    spec.performer = "Loader";
    spec.tracks[0].indexZeroSectors = 10;
    spec.tracks[1].copyPermitted = true;
    spec.tracks[1].indexZeroSectors = 7;
    spec.tracks[2].preEmphasis = true;
    spec.tracks[3].indexZeroSectors = 1;
    for (int k = 0; k < 4; ++k) spec.tracks[k].title = "Part " + std::to_string(k + 1);
    image = std::make_unique<DiscImage>(dir.path(), spec);
    RunOptions plain;
    plain.env = {{"VOLTA_IMAGES", image->imagesEntry()}};
    RunResult listing = runVolta({"/l"}, plain);
    ASSERT_EQ(listing.exitCode, 0) << listing.output;

    server.route("/", reply(404, ""));
    auto withoutDate = [](std::string log) {
        size_t date = log.find("Date: ");
        log.erase(date, log.find('\n', date) - date);
        return log.substr(0, log.rfind("Log checksum: "));
    };
    for (const char* job : {"@", "*"}) {
        SCOPED_TRACE(job);
        std::string folder = dir.file(std::string("rip") + (job[0] == '@' ? "tracks" : "disc"));
        RunResult result = rip({"/v", "$2di", job}, "", folder);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        std::string sheet = readFile(folder + "/Loader - Sheet.cue");
        std::string log = readFile(folder + "/Loader - Sheet.log");
        EXPECT_TRUE(holds(log, "      2        47       20 (00:00.20)      7 (00:00.07)\n")) << log;
        EXPECT_TRUE(holds(log, "      4        93       15 (00:00.15)      1 (00:00.01)\n")) << log;

        RunOptions reload;
        reload.cwd = folder;
        reload.env = {{"VOLTA_IMAGES", folder + "/Loader - Sheet.cue"},
                      {"VOLTA_ACCURATERIP_URL", server.baseUrl()}};
        RunResult again = runVolta({"/l"}, reload);
        EXPECT_EQ(again.output, listing.output) << sheet;
        fs::create_directories(folder + "/again");
        reload.cwd = folder + "/again";
        again = runVolta({"/v", "$2di", job}, reload);
        ASSERT_EQ(again.exitCode, 0) << again.output;
        EXPECT_EQ(readFile(folder + "/again/Loader - Sheet.cue"), sheet);
        EXPECT_EQ(withoutDate(readFile(folder + "/again/Loader - Sheet.log")), withoutDate(log));
    }
}

// The log and the cue sheet go where the files are; one that cannot be
// written costs one line and leaves no file behind, and the run ends as it
// would have.
TEST_F(VerifyRunTest, UnwritableLogAndSheet) {
    DiscSpec spec = audioDisc({1, 1, 1, 1, 1, 1, 1, 1});
    spec.title = "Titles";
    spec.performer = "Long";
    for (int k = 0; k < 8; ++k) spec.tracks[k].title = std::string(200, static_cast<char>('A' + k));
    image = std::make_unique<DiscImage>(dir.path(), spec);
    server.route("/", reply(404, ""));
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 2500;  // room for a WAV file of one sector, not for the log
    setrlimit(RLIMIT_FSIZE, &limit);
    RunResult result = rip({"/v", "$t", "1:8"}, "", dir.file("out"));
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(holds(result.output, "Could not write the rip log \"Long - Titles.log\": File too large\n"
                                     "Could not write the cue sheet \"Long - Titles.cue\": File too large\n"))
        << result.output;
    for (const auto& entry : fs::directory_iterator(dir.file("out")))
        EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
}

// FLAC and Opus files tagged with /i carry what their track's copy proved.
TEST_F(VerifyRunTest, TagsSayWhatTheCopyProved) {
    makeDisc({30, 20}, true);
    Sums s[3] = {{}, sumsOf(1), sumsOf(2)};
    server.route(databasePath(), reply(200, dbarSubmission(id, {{3, s[1].v2, 0}, {3, 0x0BADF00D, 0}})));
    char checksums[64];
    std::snprintf(checksums, sizeof checksums, "ACCURATERIPCHECKSUMS=v1 %08X v2 %08X CRC32 %08X\n", s[1].v1, s[1].v2,
                  s[1].crc);
    RunResult flac = rip({"/ec", "/i", "/v", "f$2di", "1:2"});
    EXPECT_EQ(flac.exitCode, 9) << flac.output;
    RunResult comments = runProgram({"/usr/bin/metaflac", "--export-tags-to=-", dir.file("f01.flac")});
    for (const std::string& line : {std::string(checksums), "ACCURATERIPDISCID=" + id.text() + "\n",
                                    std::string("ACCURATERIPRESULT=accurately ripped (confidence 3, v2)\n")})
        EXPECT_TRUE(holds(comments.output, line)) << line << comments.output;
    comments = runProgram({"/usr/bin/metaflac", "--export-tags-to=-", dir.file("f02.flac")});
    EXPECT_TRUE(holds(comments.output, "ACCURATERIPRESULT=not accurate (database 0BADF00D, confidence 3)\n"))
        << comments.output;

    RunResult opus = rip({"/eo", "/i", "/v", "o$2di", "1"});
    EXPECT_EQ(opus.exitCode, 0) << opus.output;
    RunResult probed = runProgram({"/usr/bin/ffprobe", "-v", "error", "-show_entries", "stream_tags", "-of",
                                   "default=noprint_wrappers=1", dir.file("o01.opus")});
    EXPECT_TRUE(holds(probed.output, "TAG:ACCURATERIPRESULT=accurately ripped (confidence 3, v2)\n")) << probed.output;
}

// /v /l checks the disc without ripping it; through a distributed server
// the verification is the same as on the drive itself.
TEST_F(VerifyRunTest, CheckingAndRemoteRips) {
    makeDisc({30, 20});
    Sums s[3] = {{}, sumsOf(1), sumsOf(2)};
    server.route(databasePath(), reply(200, dbarSubmission(id, {{2, s[1].v1, 0}, {2, s[2].v2, 0}})));
    RunResult check = rip({"/v", "/l", "t", "1:2"}, "", dir.file("check"));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_TRUE(holds(check.output, "AccurateRip ID: " + id.text() + "\nAccurateRip: disc found in database (1 submissions)\n"))
        << check.output;
    EXPECT_TRUE(fs::is_empty(dir.file("check")));

    // The drive delivers the disc 30 samples early; the first 30 samples of
    // the disc lie before its reach.
    std::string first = trackBytes(1);
    first.replace(0, 30 * 4, 30 * 4, '\0');
    s[1] = sumsOf(1, first);
    ServerProcess drive(dir.path(), image->imagesEntry("offset=-30"));
    ASSERT_TRUE(drive.listening()) << drive.console();
    for (const char* mode : {"/mb", "/ms"}) {
        SCOPED_TRACE(mode);
        RunOptions run;
        run.cwd = dir.file(std::string("remote") + mode);
        fs::create_directories(run.cwd);
        run.env = {{"VOLTA_ACCURATERIP_URL", server.baseUrl()}};
        RunResult remote = runVolta({drive.clientSwitch(), mode, "/offset-30", "/v", "t", "1:2"}, run);
        EXPECT_EQ(remote.exitCode, 0) << remote.output;
        EXPECT_TRUE(holds(remote.output, trackLine(1, s[1], "accurately ripped (confidence 2, v1)"))) << remote.output;
        EXPECT_TRUE(holds(remote.output, trackLine(2, s[2], "accurately ripped (confidence 2, v2)"))) << remote.output;
    }
}

}  // namespace
