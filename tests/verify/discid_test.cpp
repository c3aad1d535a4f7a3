// AccurateRip disc identities of the three kinds of disc that matter: all
// audio, audio with data in a second session behind it, and data in front.

#include "engine/verify/discid.h"

#include <gtest/gtest.h>

namespace {

const int kStarts[] = {0,      24896,  53483,  67821,  82944,  97584, 132195,
                       150060, 180245, 210216, 239444, 268724, 292200};
constexpr int kLeadOut = 323853;

DiscLayout audioDisc() {
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = 13;
    for (int track = 1; track <= 13; ++track) layout.trackStart[track] = kStarts[track - 1];
    layout.leadOut = kLeadOut;
    return layout;
}

TEST(AccurateRipId, OfAnAudioCd) {
    AccurateRipId id = accurateRipId(audioDisc());
    EXPECT_EQ(id.text(), "013-00206791-01486a82-a710de0d");
    EXPECT_EQ(id.databasePath(), "1/9/7/dBAR-013-00206791-01486a82-a710de0d.bin");
}

// The data track of the second session counts for CDDB only; the lead-out
// is the whole disc's.
TEST(AccurateRipId, OfAnEnhancedCd) {
    DiscLayout layout = audioDisc();
    layout.lastTrack = 14;
    layout.trackStart[14] = kLeadOut + 11400;
    layout.trackControl[14] = kControlData;
    layout.leadOut = kLeadOut + 11400 + 30000;
    EXPECT_EQ(accurateRipId(layout).text(), "013-00210949-01514292-b813060e");
}

// The audio tracks are numbered from 1 behind the data track.
TEST(AccurateRipId, OfAMixedModeDisc) {
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = 5;
    const int starts[] = {0, 20150, 40000, 61234, 90000};
    for (int track = 1; track <= 5; ++track) layout.trackStart[track] = starts[track - 1];
    layout.trackControl[1] = kControlData;
    layout.leadOut = 120000;
    AccurateRipId id = accurateRipId(layout);
    EXPECT_EQ(id.text(), "004-00050e78-0012facc-2e064005");
    EXPECT_EQ(id.databasePath(), "8/7/e/dBAR-004-00050e78-0012facc-2e064005.bin");
}

}  // namespace
