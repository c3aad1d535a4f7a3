#include "engine/names/musicbrainzlookup.h"

#include "engine/common/owned.h"
#include "engine/control/banner.h"
#include "engine/drive/disclayout.h"
#include "engine/names/answercache.h"
#include "engine/names/json/musicbrainzanswer.h"
#include "engine/names/musicbrainzdiscid.h"
#include "engine/names/musicbrainznames.h"
#include "engine/names/requestpacing.h"
#include "engine/net/http/httpget.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// The service's own limits: one request a second from each program, and
// answers far below this size.
constexpr int kRequestIntervalMillis = 1000;
constexpr std::size_t kMaxAnswerBytes = 4 << 20;
constexpr long kConnectSeconds = 10;
constexpr long kAnswerSeconds = 30;
// A busy service names the time after which to ask again; longer than
// this, and the rip goes on without it.
constexpr long kMaxRetryWaitSeconds = 5;

constexpr long kHttpOk = 200;
constexpr long kHttpNotFound = 404;
constexpr long kHttpUnavailable = 503;

void say(const std::string& line) {
    std::printf("MusicBrainz%s\n", line.c_str());
    std::fflush(stdout);
}

std::string serviceUrl() {
    const char* url = std::getenv("VOLTA_MUSICBRAINZ_URL");
    std::string base = url && *url ? url : kDefaultMusicBrainzUrl;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

enum class Fetched { Answer, NotFound, Failed };

// One request, and a second one when a busy service asks to be asked
// again soon; every request waits its turn, and both together stay within
// the time one answer may take.
Fetched fetchAnswer(const std::string& discId, const std::string& cacheFolder, std::string& text) {
    std::string url = serviceUrl() + "/discid/" + discId + "?inc=artist-credits+recordings&fmt=json";
    std::string stamp = cacheFolder.empty() ? "" : cacheFolder + "/last-request";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerSeconds);
    std::string reason;
    for (int attempt = 0;; ++attempt) {
        if (!stamp.empty()) waitForRequestSlot(stamp, kRequestIntervalMillis);
        auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - std::chrono::steady_clock::now());
        HttpLimits limits;
        limits.connectSeconds = kConnectSeconds;
        limits.totalSeconds = std::max<long>(1, static_cast<long>(left.count()));
        limits.maxBytes = kMaxAnswerBytes;
        HttpAnswer answer;
        if (httpGet(url, kUserAgent, limits, answer, reason) != 0) break;
        if (answer.status == kHttpOk) {
            text = std::move(answer.body);
            return Fetched::Answer;
        }
        if (answer.status == kHttpNotFound) return Fetched::NotFound;
        reason = "HTTP " + std::to_string(answer.status);
        long wait = answer.retryAfterSeconds < 0 ? 1 : answer.retryAfterSeconds;
        auto retryAt = std::chrono::steady_clock::now() + std::chrono::seconds(wait + 1);
        if (attempt > 0 || answer.status != kHttpUnavailable || wait > kMaxRetryWaitSeconds || retryAt >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::seconds(wait));
    }
    say(": service unreachable (" + reason + ")");
    return Fetched::Failed;
}

// The answer kept from an earlier run, or a fresh one, which is kept when
// it can be read. 0 with `answer` filled.
int obtainAnswer(const std::string& discId, MusicBrainzAnswer& answer) {
    std::string folder = answerCacheFolder("musicbrainz");
    std::string path = folder.empty() ? "" : folder + "/" + discId + ".json";
    std::string text, reason;
    if (!path.empty()) {
        int cached = readCachedAnswer(path, kMaxAnswerBytes, text);
        if (cached == 0 && parseMusicBrainzAnswer(text, discId, answer, reason) == 0) {
            say(": answer from the local cache");
            return 0;
        }
        if (cached != 1) say(": broken cache file ignored (" + path + ")");
    }
    switch (fetchAnswer(discId, folder, text)) {
    case Fetched::NotFound: say(": disc not found"); return 1;
    case Fetched::Failed: return 1;
    case Fetched::Answer: break;
    }
    if (parseMusicBrainzAnswer(text, discId, answer, reason) != 0) {
        say(": unusable answer (" + reason + ")");
        return 1;
    }
    if (!path.empty() && storeCachedAnswer(folder, path, text) != 0) say(": could not keep the answer in " + path);
    return 0;
}

void listReleases(const MusicBrainzAnswer& answer, int chosen) {
    std::size_t count = answer.releases.size();
    say(": " + std::to_string(count) + (count == 1 ? " release" : " releases"));
    for (std::size_t i = 0; i < count; ++i) {
        int number = static_cast<int>(i + 1);
        std::printf("%s\n", releaseLine(answer.releases[i], number, number == chosen).c_str());
    }
    std::fflush(stdout);
}

}  // namespace

int musicBrainzLookup(CdDrive& drive, int releaseNumber) {
    DiscLayout layout;
    if (readDiscLayout(drive, layout) != 0) {
        say(": no disc ID for this table of contents");
        return 1;
    }
    std::string discId = musicBrainzDiscId(layout);
    say(" disc ID: " + discId);
    auto answer = makeOwned<MusicBrainzAnswer>();
    auto names = makeOwned<DiscNames>();
    if (!answer || !names || obtainAnswer(discId, *answer) != 0) return 1;
    listReleases(*answer, releaseNumber);
    if (releaseNumber > static_cast<int>(answer->releases.size())) {
        say(": no release " + std::to_string(releaseNumber));
        return 1;
    }
    namesFromDrive(drive, *names);
    std::string reason;
    DiscLayout session = firstSession(layout);
    const MusicBrainzRelease& release = answer->releases[releaseNumber - 1];
    if (namesFromRelease(release, session, *names, reason) != 0) {
        say(": unusable answer (" + reason + ")");
        return 1;
    }
    namesToDrive(*names, drive);
    MusicBrainzIds& ids = drive.musicBrainzIds;
    ids.releaseDate = release.date;
    ids.albumId = release.id;
    ids.discId = discId;
    for (int track = session.firstTrack; track <= session.lastTrack; ++track)
        ids.recordingIds[track - 1] = release.tracks[track - session.firstTrack].recordingId;
    return 0;
}
