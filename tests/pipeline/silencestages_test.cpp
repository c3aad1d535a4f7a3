#include "engine/pipeline/silencepadder.h"
#include "engine/pipeline/silencetrimmers.h"

#include "tests/pipeline/recordingstage.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Samples = std::vector<int16_t>;

Samples frames(int count, int16_t left, int16_t right) {
    Samples samples;
    for (int f = 0; f < count; ++f) samples.insert(samples.end(), {left, right});
    return samples;
}

Samples operator+(Samples a, const Samples& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(LeadingSilenceTrimmer, DropsSilenceUntilTheFirstSoundOnly) {
    StageUnderTest<LeadingSilenceTrimmer> trimmer;
    EXPECT_EQ(trimmer.write(frames(50, 0, 0)), 0);
    EXPECT_EQ(trimmer.write(Samples{}), 0);
    EXPECT_TRUE(trimmer.sink->bytes.empty());

    const Samples first = frames(100, 0, 0) + frames(3, 0, 7) + frames(10, 0, 0);
    EXPECT_EQ(trimmer.write(first), 0);
    EXPECT_EQ(trimmer.sink->blockSizes, (std::vector<int>{4 * 13}));
    EXPECT_EQ(trimmer.sink->samples(), Samples(first.begin() + 200, first.end()));

    const Samples later = frames(20, 0, 0) + frames(1, 5, 5);
    EXPECT_EQ(trimmer.write(later), 0);
    EXPECT_EQ(trimmer.sink->blockSizes.back(), 4 * 21);
}

TEST(TrailingSilenceTrimmer, RecreatesSilenceBetweenSoundsAndDropsItAtTheEnd) {
    StageUnderTest<TrailingSilenceTrimmer> trimmer;
    const Samples a = frames(7, 100, -100) + frames(10, 0, 0);
    const Samples b = frames(5, 0, 0) + frames(4, 3, 3);
    EXPECT_EQ(trimmer.write(a), 0);
    EXPECT_EQ(trimmer.write(b), 0);
    EXPECT_EQ(trimmer.write(frames(30, 0, 0)), 0);
    EXPECT_EQ(trimmer.stage->close(), 0);
    // A's sound, 15 silent frames (60 zero bytes), B's sound.
    EXPECT_EQ(trimmer.sink->samples(), frames(7, 100, -100) + frames(15, 0, 0) + frames(4, 3, 3));
}

TEST(TrailingSilenceTrimmer, LongHeldBackSilenceComesInPiecesOfOneSector) {
    StageUnderTest<TrailingSilenceTrimmer> trimmer;
    EXPECT_EQ(trimmer.write(frames(1, 1, 1)), 0);
    EXPECT_EQ(trimmer.write(frames(1000, 0, 0)), 0);
    EXPECT_EQ(trimmer.write(frames(1, 2, 2)), 0);
    EXPECT_EQ(trimmer.sink->blockSizes, (std::vector<int>{4, 2352, 1648, 4}));
}

TEST(TrailingSilenceTrimmer, FrameWithOneNonZeroSampleIsSound) {
    StageUnderTest<TrailingSilenceTrimmer> trimmer;
    const Samples block = frames(3, 0, 0) + frames(1, 0, 1);
    EXPECT_EQ(trimmer.write(block), 0);
    EXPECT_EQ(trimmer.sink->samples(), block);
}

TEST(TrailingSilenceTrimmer, StopsAtTheFirstFailedSilenceWrite) {
    StageUnderTest<TrailingSilenceTrimmer> trimmer;
    trimmer.sink->failWritesFrom = 1;
    EXPECT_EQ(trimmer.write(frames(1, 1, 1)), 0);
    EXPECT_EQ(trimmer.write(frames(2000, 0, 0)), 0);
    EXPECT_EQ(trimmer.write(frames(1, 2, 2)), 1);
    EXPECT_EQ(trimmer.sink->blockSizes.size(), 2u);
}

TEST(SilenceTrimmers, TrackSilentThroughoutPassesNothingOn) {
    auto recorder = std::make_unique<RecordingStage>();
    RecordingStage* sink = recorder.get();
    LeadingSilenceTrimmer chain(std::make_unique<TrailingSilenceTrimmer>(std::move(recorder)));
    const Samples silence = frames(14700, 0, 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(chain.write(asBytes(silence), byteSize(silence)), 0);
    EXPECT_EQ(chain.close(), 0);
    EXPECT_TRUE(sink->blockSizes.empty());
    EXPECT_EQ(sink->closes, 1);
}

TEST(SilenceTrimmers, RejectNegativeCounts) {
    StageUnderTest<LeadingSilenceTrimmer> leading;
    StageUnderTest<TrailingSilenceTrimmer> trailing;
    const uint8_t byte = 0;
    EXPECT_EQ(leading.stage->write(&byte, -4), 1);
    EXPECT_EQ(trailing.stage->write(&byte, -4), 1);
}

TEST(SilencePadder, AddsWholeFramesOfSilenceAtOpenAndClose) {
    StageUnderTest<SilencePadder> padder(1.0, 0.5);
    EXPECT_EQ(padder.stage->open(), 0);
    EXPECT_EQ(padder.sink->opens, 1);
    EXPECT_EQ(padder.sink->blockSizes, std::vector<int>(75, 2352));
    EXPECT_EQ(padder.write(frames(2, 9, 9)), 0);
    padder.sink->blockSizes.clear();
    EXPECT_EQ(padder.stage->close(), 0);
    std::vector<int> trailing(37, 2352);
    trailing.push_back(1176);
    EXPECT_EQ(padder.sink->blockSizes, trailing);
    EXPECT_EQ(padder.sink->closes, 1);
    EXPECT_EQ(padder.sink->samples(), frames(44100, 0, 0) + frames(2, 9, 9) + frames(22050, 0, 0));
}

TEST(SilencePadder, DurationsAreTakenInWholeFrames) {
    StageUnderTest<SilencePadder> tiny(0.0001, -3.0);
    EXPECT_EQ(tiny.stage->open(), 0);
    EXPECT_EQ(tiny.stage->close(), 0);
    EXPECT_EQ(tiny.sink->blockSizes, (std::vector<int>{16}));
}

TEST(SilencePadder, FailuresBehindItAreReported) {
    StageUnderTest<SilencePadder> openFails(1.0, 0.0);
    openFails.sink->failOpen = true;
    EXPECT_EQ(openFails.stage->open(), 1);
    EXPECT_TRUE(openFails.sink->blockSizes.empty());

    StageUnderTest<SilencePadder> leadingFails(1.0, 0.0);
    leadingFails.sink->failWritesFrom = 3;
    EXPECT_EQ(leadingFails.stage->open(), 1);
    EXPECT_EQ(leadingFails.sink->blockSizes.size(), 4u);
    EXPECT_EQ(leadingFails.sink->closes, 1);

    StageUnderTest<SilencePadder> trailingFails(0.0, 1.0);
    EXPECT_EQ(trailingFails.stage->open(), 0);
    trailingFails.sink->failWritesFrom = 0;
    EXPECT_EQ(trailingFails.stage->close(), 1);
    EXPECT_EQ(trailingFails.sink->blockSizes.size(), 1u);
    EXPECT_EQ(trailingFails.sink->closes, 1);
}

}  // namespace
