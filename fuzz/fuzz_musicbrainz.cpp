// Feeds untrusted text to the reader of MusicBrainz disc ID answers, and
// every release it accepts to the naming and the listing of matches.

#include "engine/names/json/musicbrainzanswer.h"
#include "engine/names/musicbrainznames.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char* const kDiscId = "IdM8pMcBeqj5XsPOJ8a5.nerDcI-";

// A named thing must be a terminated text of the table's capacity.
void checkName(const char (&name)[kNameCapacity]) {
    if (std::memchr(name, '\0', sizeof name) == nullptr) std::abort();
    for (const char* c = name; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MusicBrainzAnswer answer;
    std::string reason;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (parseMusicBrainzAnswer(text, kDiscId, answer, reason) != 0) {
        if (reason.empty() || !answer.releases.empty()) std::abort();
        return 0;
    }
    DiscLayout session;
    session.firstTrack = 1;
    session.lastTrack = 3;
    auto names = std::make_unique<DiscNames>();
    int number = 0;
    for (const MusicBrainzRelease& release : answer.releases) {
        ++number;
        std::string line = releaseLine(release, number, number == 1);
        if (line.find('\n') != std::string::npos) std::abort();
        if (namesFromRelease(release, session, *names, reason) != 0) continue;
        checkName(names->discTitle);
        checkName(names->discArtist);
        for (const auto& title : names->trackTitles) checkName(title);
    }
    return 0;
}
