#include "engine/control/cdplayer.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "engine/control/console.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"

namespace {

constexpr int kEscape = 27;
constexpr size_t kShownNameLength = 32;
// Long enough to leave the processor alone, short enough for the clock to
// show every second.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

void printKeys() {
    std::printf(
        "CD Player Mode\n"
        "\n"
        "Keys:\n"
        "     '['  Previous Track\n"
        "     ']'  Next Track\n"
        "     'p'  Pause/Resume\n"
        "     ESC  Exit\n"
        "\n"
        "Track Index Track MSF  Disc MSF   Track                            Status\n"
        "----------------------------------------------------------------------------\n");
    std::fflush(stdout);
}

void printStatus(CdDrive& drive) {
    static const char* const kStates[] = {"Stopped", "Playing", "Paused"};
    // The drive reports any track number it likes; only ours have names.
    char* name = drive.track >= 1 && drive.track <= kMaxTracks ? drive.trackTitles[drive.track - 1]
                                                               : nullptr;
    std::string shown;
    if (name) {
        name[characterPrefix(name, kShownNameLength)] = '\0';
        shown = toUtf8(name);
    }
    // Padded by characters, not bytes, so that the state stays in its column.
    size_t characters = utf8Length(shown);
    if (characters < kShownNameLength) shown.append(kShownNameLength - characters, ' ');
    std::printf("%5d %5d  %02d:%02d.%02d  %02d:%02d.%02d   %s %s    \r", drive.track,
                drive.index, drive.trackMinute, drive.trackSecond, drive.trackFrame,
                drive.discMinute, drive.discSecond, drive.discFrame, shown.c_str(),
                kStates[drive.audioState >= 0 && drive.audioState <= 2 ? drive.audioState : 0]);
    std::fflush(stdout);
}

// Mixed-mode discs put their data first, and a disc need not start at
// track 1: play from the first track there is music on.
int firstTrackToPlay(const CdDrive& drive) {
    int first = drive.firstAudioTrack();
    return first != 0 ? first : drive.firstTrack();
}

}  // namespace

void runCdPlayer() {
    CdDrive& drive = *currentDrive;
    printKeys();
    drive.playToEnd(firstTrackToPlay(drive));
    for (;;) {
        if (drive.readPosition() == 0) printStatus(drive);
        int key = pollKey();
        if (key == kEscape) {
            drive.stop();
            return;
        }
        if (key == 'p') {
            if (drive.audioState == 2)
                drive.resume();
            else
                drive.pause();
        } else if (key == ']' && drive.track < drive.lastTrack()) {
            drive.playToEnd(drive.track + 1);
        } else if (key == '[' && drive.track > drive.firstTrack()) {
            drive.playToEnd(drive.track - 1);
        }
        if (key < 0) std::this_thread::sleep_for(kPollInterval);
    }
}
