// Finding where pre-gaps begin from the Q sub-channel, against a disc
// described sector by sector, with frames that tell no position and
// sub-channels that cannot be read.

#include "engine/drive/pregaps.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// Tracks by their first sector (gap included) and INDEX 01.
struct FakeTrack {
    int region;
    int start;
};

class FakeSubchannel : public QSource {
public:
    explicit FakeSubchannel(std::vector<FakeTrack> tracks) : tracks_(std::move(tracks)) {}

    int readPosition(int lba, QPosition& position) override {
        ++reads;
        if (unreadable || silent.count(lba)) return 1;
        for (size_t k = tracks_.size(); k-- > 0;) {
            if (lba < tracks_[k].region) continue;
            position.track = static_cast<int>(k) + 1;
            position.index = lba < tracks_[k].start ? 0 : 1;
            return 0;
        }
        return 1;
    }

    std::set<int> silent;  // frames that carry no position
    bool unreadable = false;
    int reads = 0;

private:
    std::vector<FakeTrack> tracks_;
};

TEST(Pregaps, FoundWhereTheSubchannelPutsThem) {
    struct Case {
        const char* name;
        int gap;
        std::set<int> silent;
    } cases[] = {
        {"none", 0, {}},
        {"one sector", 1, {}},
        {"two seconds", 150, {}},
        {"two seconds, frames without a position", 150, {14999, 14851, 14848, 14900, 14925}},
        {"all but one sector of the track before", 9999, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSubchannel subchannel({{0, 0}, {15000 - c.gap, 15000}, {30000, 30000}});
        subchannel.silent = c.silent;
        EXPECT_EQ(findPregap(subchannel, 2, 5000, 15000), c.gap);
        EXPECT_LE(subchannel.reads, 40);
    }
}

// Where the sub-channel cannot be read, nothing is known; where the frames
// around the gap's first sector tell no position, the gap is what is known.
TEST(Pregaps, NoMoreThanTheSubchannelTells) {
    FakeSubchannel subchannel({{0, 0}, {14850, 15000}});
    subchannel.unreadable = true;
    EXPECT_EQ(findPregap(subchannel, 2, 0, 15000), 0);
    subchannel.unreadable = false;
    subchannel.silent = {14849, 14850, 14851};
    EXPECT_EQ(findPregap(subchannel, 2, 0, 15000), 148);
}

// Data tracks and the tracks beside them keep what they had.
TEST(Pregaps, OnlyBetweenAudioTracks) {
    FakeSubchannel subchannel({{0, 0}, {900, 1000}, {1900, 2000}, {2950, 3000}});
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = 4;
    const int starts[] = {0, 1000, 2000, 3000};
    for (int track = 1; track <= 4; ++track) layout.trackStart[track] = starts[track - 1];
    layout.trackControl[3] = kControlData;
    layout.leadOut = 4000;
    int pregaps[kMaxTracks + 1] = {};
    pregaps[3] = -7;
    findPregaps(subchannel, layout, pregaps);
    EXPECT_EQ(pregaps[2], 100);
    EXPECT_EQ(pregaps[3], -7);
    EXPECT_EQ(pregaps[4], 0);
}

TEST(Pregaps, FramesThatTellAPosition) {
    uint8_t position[kQBytes] = {0x01, 0x12, 0x00};
    QPosition told;
    EXPECT_EQ(decodeQPosition(position, told), 0);
    EXPECT_EQ(told.track, 12);
    EXPECT_EQ(told.index, 0);
    uint8_t catalogue[kQBytes] = {0x02, 0x12, 0x34};
    EXPECT_NE(decodeQPosition(catalogue, told), 0);
    uint8_t garbled[kQBytes] = {0x01, 0x1A, 0x01};
    EXPECT_NE(decodeQPosition(garbled, told), 0);
}

}  // namespace
