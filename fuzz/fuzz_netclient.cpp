// A server's bytes against the distributed client: the remote drive's
// inquiry, readiness and table of contents, which must be one a disc can
// have once accepted, then one remote extraction into a chain that
// discards the audio.

#include "engine/common/msf.h"
#include "engine/control/progressmeter.h"
#include "engine/net/remotedrive.h"
#include "engine/net/remoteextractor.h"
#include "engine/pipeline/nullsink.h"
#include "fuzz/scriptedpeer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void checkTerminated(const char* text, size_t capacity) {
    if (!std::memchr(text, '\0', capacity)) std::abort();
}

// A table the drive accepts is one a disc can have: the engine computes
// lengths and addresses from it without a second look.
void checkPossible(const CdDrive& drive) {
    int first = drive.firstTrack();
    int last = drive.lastTrack();
    if (first < 1 || last > 99 || first > last) std::abort();
    int previous = -1;
    for (int track = first; track <= last; ++track) {
        if (drive.trackStart(track) <= previous || drive.trackEnd(track) <= drive.trackStart(track)) std::abort();
        previous = drive.trackStart(track);
    }
    if (msfOfLba(drive.trackEnd(last)).minutes > 99) std::abort();
}

// Names reach the console and file names: no control character may remain.
void checkClean(const char* text) {
    for (const char* c = text; *c; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "r", stdin)) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int mode = data[0] % 5;  // 4: a mode the protocol does not know
    ScriptedPeer server(data + 1, size - 1);
    if (server.socket() < 0) return 0;

    auto drive = std::make_unique<RemoteDrive>(server.socket());
    drive->inquiry();
    drive->testUnitReady();
    bool read = drive->readToc() == 0;
    checkTerminated(drive->identity, sizeof drive->identity);
    checkTerminated(drive->discTitle, sizeof drive->discTitle);
    checkTerminated(drive->discArtist, sizeof drive->discArtist);
    for (const auto& title : drive->trackTitles) checkTerminated(title, sizeof title);
    checkClean(drive->identity);
    if (read) {
        checkPossible(*drive);
        checkClean(drive->discTitle);
        checkClean(drive->discArtist);
        for (const auto& title : drive->trackTitles) checkClean(title);
    }

    std::unique_ptr<AudioStage> chain = std::make_unique<NullSink>();
    auto extractor = std::make_unique<RemoteExtractor>(server.socket(), chain, mode);
    ProgressMeter meter;
    extractor->run(0, 100, meter);
    return 0;
}
