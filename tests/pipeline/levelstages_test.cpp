#include "engine/pipeline/compressorexpander.h"
#include "engine/pipeline/gainstage.h"
#include "engine/pipeline/karaokestage.h"
#include "engine/pipeline/reverbstage.h"
#include "engine/pipeline/spreadstage.h"

#include "tests/pipeline/recordingstage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using Samples = std::vector<int16_t>;

TEST(GainStage, AmplifiesWithTruncationAndClipping) {
    StageUnderTest<GainStage> plus6(6.0);
    EXPECT_NEAR(plus6.stage->factor(), 1.9952623, 1e-7);
    EXPECT_EQ(plus6.run({10000, -10000, 20000, -20000, 0, 1}), (Samples{19952, -19952, 32767, -32768, 0, 1}));

    StageUnderTest<GainStage> minus6(-6.0);
    EXPECT_EQ(minus6.run({1, -1, 32767, -32768}), (Samples{0, 0, 16422, -16422}));
}

TEST(GainStage, NormalisationGainBringsThePeakToFullScale) {
    StageUnderTest<GainStage> normalise(20 * std::log10(32767.0 / 16384.0));
    const Samples out = normalise.run({16384, -16384, 8192, 0});
    EXPECT_GE(out[0], 32766);
    EXPECT_LE(out[1], -32766);
    EXPECT_GE(out[1], -32767);
    EXPECT_GE(out[2], 16382);
    EXPECT_LE(out[2], 16383);
    EXPECT_EQ(out[3], 0);
}

TEST(CompressorExpander, ZeroExponentPassesSamplesUnchanged) {
    StageUnderTest<CompressorExpander> stage(0.0);
    Samples signal(2 * 3000);
    for (size_t i = 0; i < signal.size(); ++i) signal[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
    EXPECT_EQ(stage.run(signal), signal);
}

TEST(CompressorExpander, ScalesByTheLevelOfTheLast64Samples) {
    // p = -0.5: level 1500 * 10 / 2^20 = 0.0143, raised to -0.5 = 8.361.
    StageUnderTest<CompressorExpander> compress(-0.5);
    EXPECT_EQ(compress.run({1500, 1500, 1500, 1500}), (Samples{12541, 12541, 8868, 8868}));

    // Once 64 more frames have passed, the loud first frame has left the window.
    StageUnderTest<CompressorExpander> window(-0.5);
    Samples signal = {20000, 20000};
    for (int f = 0; f < 64; ++f) signal.insert(signal.end(), {100, 100});
    const Samples out = window.run(signal);
    EXPECT_EQ(out[0], 32767);  // 20000 * 2.29 clips
    EXPECT_EQ(out[2], 228);
    EXPECT_EQ(out[128], 404);
    EXPECT_EQ(out[129], 404);

    // p = 0.5: a full window of 1000 has level 0.6104, sqrt 0.78125, scale 1 / 3.5.
    StageUnderTest<CompressorExpander> expand(0.5);
    const Samples steady = expand.run(Samples(2 * 64, 1000));
    EXPECT_EQ(steady.back(), 223);
}

TEST(CompressorExpander, SilentWindowGivesSilenceForAnyExponent) {
    for (double p : {-0.5, 0.0, 0.5}) {
        StageUnderTest<CompressorExpander> stage(p);
        EXPECT_EQ(stage.run(Samples(2 * 100, 0)), Samples(2 * 100, 0)) << p;
    }
}

TEST(CompressorExpander, SteadyFullScaleSineIsScaledByAbout102Percent) {
    // One cycle per 64 samples keeps the level constant at 12.72.
    StageUnderTest<CompressorExpander> stage(0.5);
    Samples signal;
    for (int k = 0; k < 4 * 64; ++k) {
        const auto s = static_cast<int16_t>(32767 * std::sin(2 * M_PI * k / 64));
        signal.insert(signal.end(), {s, static_cast<int16_t>(-s)});
    }
    const Samples out = stage.run(signal);
    for (size_t i = 128; i < out.size(); ++i) {
        if (std::abs(signal[i]) < 2000 || std::abs(signal[i]) > 32000) continue;
        EXPECT_NEAR(out[i] / static_cast<double>(signal[i]), 1.01906, 0.0005) << i;
    }
}

TEST(ReverbStage, ImpulseEchoesAtTheTapDelaysWithFlooringWeights) {
    StageUnderTest<ReverbStage> stage;
    Samples signal(2 * 17000, 0);
    signal[0] = 32000;
    signal[1] = -32001;
    const Samples out = stage.run(signal);
    auto left = [&](int frame) { return out[2 * frame]; };
    auto right = [&](int frame) { return out[2 * frame + 1]; };
    EXPECT_EQ(left(0), 32000);
    for (int f = 1; f < 2000; ++f) ASSERT_EQ(left(f), 0) << f;
    EXPECT_EQ(left(2000), 2000);  // 32000 >> 2 >> 2
    EXPECT_EQ(right(2000), -2001);  // -32001 >> 2 >> 2 floors
    for (int f = 2001; f < 4000; ++f) ASSERT_EQ(left(f), 0) << f;
    EXPECT_EQ(left(4000), 2125);  // (8000 + (2000 >> 2)) >> 2
    EXPECT_EQ(left(6000), 2257);  // (8000 + 500 + (2125 >> 2)) >> 2
    EXPECT_EQ(left(8000), 4398);  // (16000 + 500 + 531 + 564) >> 2
    EXPECT_EQ(left(16383), 0);
    EXPECT_EQ(left(16384), 4000);  // the whole-line tap: 32000 >> 1 >> 2
}

TEST(ReverbStage, EchoAddsWithSixteenBitWrapAround) {
    StageUnderTest<ReverbStage> stage;
    Samples signal(2 * 2001, 0);
    signal[0] = 32000;
    signal[2 * 2000] = 31000;
    EXPECT_EQ(stage.run(signal)[2 * 2000], -32536);  // 31000 + 2000 = 33000 wraps
}

TEST(ReverbStage, DelayLineCarriesAcrossBlocks) {
    StageUnderTest<ReverbStage> stage;
    stage.run({32000, 0});
    const Samples out = stage.run(Samples(2 * 2000, 0));
    EXPECT_EQ(out[2 * 1998], 0);
    EXPECT_EQ(out[2 * 1999], 2000);  // frame 2000 of the stream
}

TEST(SpreadStage, MixesTheChannels) {
    StageUnderTest<SpreadStage> none(0.0);
    EXPECT_EQ(none.run({1000, -3000, 32767, -32768}), (Samples{1000, -3000, 32767, -32768}));

    StageUnderTest<SpreadStage> mono(1.0);
    EXPECT_EQ(mono.run({1000, 3001, -1000, -3001}), (Samples{2000, 2000, -2000, -2000}));

    StageUnderTest<SpreadStage> difference(-1.0);
    EXPECT_EQ(difference.run({1000, 0, 32767, -32768}), (Samples{500, -500, 32767, -32767}));

    StageUnderTest<SpreadStage> swapped(-2.0);  // m = -1, d = 0: (-R, -L)
    EXPECT_EQ(swapped.run({0, -32768, 5, 7}), (Samples{32767, 0, -7, -5}));
}

TEST(KaraokeStage, LeftMinusRightWrapsAroundOnBothChannels) {
    StageUnderTest<KaraokeStage> stage;
    EXPECT_EQ(stage.run({30000, -30000, 1000, 1000, -32768, 1, 5, 8}),
              (Samples{-5536, -5536, 0, 0, 32767, 32767, -3, -3}));
}

TEST(LevelStages, LeaveTheCallersBlockAloneAndRejectOversizedCounts) {
    const Samples block = {30000, -30000, 1000, 1};
    Samples copy = block;
    StageUnderTest<GainStage> gain(6.0);
    StageUnderTest<CompressorExpander> compressor(0.3);
    StageUnderTest<ReverbStage> reverb;
    StageUnderTest<SpreadStage> spread(0.5);
    StageUnderTest<KaraokeStage> karaoke;
    std::vector<AudioStage*> stages = {gain.stage.get(), compressor.stage.get(), reverb.stage.get(),
                                       spread.stage.get(), karaoke.stage.get()};
    std::vector<uint8_t> big(262144 + 4);
    for (AudioStage* stage : stages) {
        EXPECT_EQ(stage->write(asBytes(copy), byteSize(copy)), 0);
        EXPECT_EQ(copy, block);
        EXPECT_EQ(stage->write(big.data(), -2), 1);
        EXPECT_EQ(stage->write(big.data(), static_cast<int>(big.size())), 1);
    }
    EXPECT_EQ(karaoke.stage->write(big.data(), KaraokeStage::kBufferBytes + 4), 1);
    EXPECT_EQ(karaoke.stage->write(big.data(), KaraokeStage::kBufferBytes), 0);
}

TEST(LevelStages, PassOnTheResultOfTheNextStage) {
    StageUnderTest<SpreadStage> spread(0.5);
    spread.sink->failWritesFrom = 0;
    const Samples block = {1, 2};
    EXPECT_EQ(spread.stage->write(asBytes(block), byteSize(block)), 1);
}

}  // namespace
