#include "engine/pipeline/biquadfilter.h"

#include "tests/pipeline/recordingstage.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Reference {
    const char* name;
    BiquadKind kind;
    double frequency, width, gain;
    double b0, b1, b2, a1, a2;
};

// Nine-decimal reference values of the six filter kinds.
const Reference kReferences[] = {
    {"/fl1000", BiquadKind::LowPass, 1000, 0, 0, 0.004730417, 0.009460835, 0.004730417, -1.848496916,
     0.867418586},
    {"/fh", BiquadKind::HighPass, 2000, 0, 0, 0.859088019, -1.718176038, 0.859088019, -1.682820660,
     0.753531416},
    {"/fq1000,6", BiquadKind::HighShelf, 1000, 0, 6, 1.926902715, -3.527660277, 1.626283328, -1.761652006,
     0.787177773},
    {"/fz1000,6", BiquadKind::LowShelf, 1000, 0, 6, 1.035476415, -1.824149104, 0.815104018, -1.830741246,
     0.843988291},
    {"/fp1000,1,6", BiquadKind::PeakingOctaves, 1000, 1, 6, 1.034274625, -1.911557269, 0.896849815,
     -1.911557269, 0.931124440},
    {"/ft1000,2,6", BiquadKind::PeakingQ, 1000, 2, 6, 1.024398838, -1.931201779, 0.926571198, -1.931201779,
     0.950970036},
    {"/ft1000,2,0", BiquadKind::PeakingQ, 1000, 2, 0, 1.0, -1.911866404, 0.931436739, -1.911866404,
     0.931436739},
};

// A filter in front of a recorder; `sink` stays valid while `filter` lives.
struct FilterUnderTest {
    FilterUnderTest(BiquadKind kind, double frequency, double width, double gain) {
        auto recorder = std::make_unique<RecordingStage>();
        sink = recorder.get();
        filter = std::make_unique<BiquadFilter>(kind, frequency, width, gain, std::move(recorder));
    }
    std::vector<int16_t> run(const std::vector<int16_t>& samples) {
        sink->bytes.clear();
        EXPECT_EQ(filter->write(asBytes(samples), byteSize(samples)), 0);
        return sink->samples();
    }
    std::unique_ptr<BiquadFilter> filter;
    RecordingStage* sink;
};

std::vector<int16_t> testSignal(int frames) {
    std::vector<int16_t> samples(2 * frames);
    uint32_t state = 12345;
    for (auto& s : samples) {
        state = state * 1103515245 + 12345;
        s = static_cast<int16_t>(state >> 16);
    }
    return samples;
}

TEST(BiquadFilter, CoefficientsMatchTheReferenceTable) {
    for (const Reference& r : kReferences) {
        SCOPED_TRACE(r.name);
        const BiquadFilter filter(r.kind, r.frequency, r.width, r.gain, nullptr);
        const BiquadCoefficients& c = filter.coefficients();
        EXPECT_NEAR(c.b0, r.b0, 6e-10);
        EXPECT_NEAR(c.b1, r.b1, 6e-10);
        EXPECT_NEAR(c.b2, r.b2, 6e-10);
        EXPECT_NEAR(c.a1, r.a1, 6e-10);
        EXPECT_NEAR(c.a2, r.a2, 6e-10);
    }
}

TEST(BiquadFilter, PeakingWithZeroGainHasMatchingNumeratorAndDenominator) {
    for (BiquadKind kind : {BiquadKind::PeakingOctaves, BiquadKind::PeakingQ}) {
        const BiquadFilter filter(kind, 3000, 1.5, 0, nullptr);
        const BiquadCoefficients& c = filter.coefficients();
        EXPECT_EQ(c.b0, 1.0);
        EXPECT_EQ(c.b1, c.a1);
        EXPECT_EQ(c.b2, c.a2);
    }
}

TEST(BiquadFilter, ConstantInputSettlesAtTheGainAtZeroHertz) {
    FilterUnderTest lowPass(BiquadKind::LowPass, 1000, 0, 0);
    FilterUnderTest highPass(BiquadKind::HighPass, 2000, 0, 0);
    const std::vector<int16_t> constant(2 * 22050, 10000);
    for (int block = 0; block < 4; ++block) {
        const std::vector<int16_t> low = lowPass.run(constant);
        const std::vector<int16_t> high = highPass.run(constant);
        if (block < 3) continue;
        for (size_t i = low.size() - 200; i < low.size(); ++i) {
            EXPECT_GE(low[i], 9999);
            EXPECT_LE(low[i], 10000);
            EXPECT_EQ(high[i], 0);
        }
    }
}

TEST(BiquadFilter, OutputIsTruncatedTowardZeroAndClampedWhileStateStaysUnclamped) {
    // /fl1000: the first output is b0 * x = -0.473, which truncates to 0.
    FilterUnderTest lowPass(BiquadKind::LowPass, 1000, 0, 0);
    EXPECT_EQ(lowPass.run({-100, 10000}), (std::vector<int16_t>{0, 47}));

    // /fq1000,6 has b0 = 1.9269: 17005 gives 32766.98, 17006 gives 32768.9.
    FilterUnderTest shelf(BiquadKind::HighShelf, 1000, 0, 6);
    EXPECT_EQ(shelf.run({17005, -17005}), (std::vector<int16_t>{32766, -32766}));
    FilterUnderTest clipped(BiquadKind::HighShelf, 1000, 0, 6);
    EXPECT_EQ(clipped.run({17006, -17006}), (std::vector<int16_t>{32767, -32768}));
    // Next: b1 * 17006 - a1 * 32768.9 = -2263.98; a clamped history would give -2267.
    EXPECT_EQ(clipped.run({0, 0}), (std::vector<int16_t>{-2263, 2263}));
}

TEST(BiquadFilter, SplitBlocksGiveTheSameResultAsOneBlock) {
    const std::vector<int16_t> signal = testSignal(10000);
    for (const Reference& r : kReferences) {
        SCOPED_TRACE(r.name);
        FilterUnderTest whole(r.kind, r.frequency, r.width, r.gain);
        const std::vector<int16_t> expected = whole.run(signal);

        FilterUnderTest split(r.kind, r.frequency, r.width, r.gain);
        std::vector<int16_t> result;
        size_t at = 0;
        for (size_t frames : {1u, 587u, 4412u, 5000u}) {
            const std::vector<int16_t> part(signal.begin() + at, signal.begin() + at + 2 * frames);
            const std::vector<int16_t> out = split.run(part);
            result.insert(result.end(), out.begin(), out.end());
            at += 2 * frames;
        }
        EXPECT_EQ(result, expected);
    }
}

TEST(BiquadFilter, PartialFrameIsPassedOnUnfilteredAndLeavesTheStateAlone) {
    FilterUnderTest withTail(BiquadKind::LowPass, 1000, 0, 0);
    FilterUnderTest plain(BiquadKind::LowPass, 1000, 0, 0);
    const std::vector<int16_t> block = {10000, -10000, 1234};
    const std::vector<int16_t> out = withTail.run(block);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2], 1234);
    EXPECT_EQ(plain.run({10000, -10000}), std::vector<int16_t>(out.begin(), out.begin() + 2));
    const std::vector<int16_t> next = testSignal(100);
    EXPECT_EQ(withTail.run(next), plain.run(next));
}

TEST(BiquadFilter, RejectsCountsItsBufferCannotHold) {
    FilterUnderTest filter(BiquadKind::LowPass, 1000, 0, 0);
    std::vector<uint8_t> big(BiquadFilter::kBufferBytes + 4);
    EXPECT_EQ(filter.filter->write(big.data(), static_cast<int>(big.size())), 1);
    EXPECT_EQ(filter.filter->write(big.data(), -4), 1);
    EXPECT_TRUE(filter.sink->blockSizes.empty());
}

}  // namespace
