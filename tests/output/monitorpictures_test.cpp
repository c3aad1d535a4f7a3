#include "engine/output/monitors/monitorcanvas.h"
#include "engine/output/monitors/scopetrace.h"
#include "engine/output/monitors/spectrumlevels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// Interleaved little-endian stereo frames, as blocks arrive.
std::vector<uint8_t> block(int frames, int16_t (*left)(int), int16_t (*right)(int)) {
    std::vector<uint8_t> bytes(4 * frames);
    for (int f = 0; f < frames; ++f) {
        const auto l = static_cast<uint16_t>(left(f));
        const auto r = static_cast<uint16_t>(right(f));
        bytes[4 * f] = l & 0xFF;
        bytes[4 * f + 1] = l >> 8;
        bytes[4 * f + 2] = r & 0xFF;
        bytes[4 * f + 3] = r >> 8;
    }
    return bytes;
}

int16_t silence(int) { return 0; }
// Full scale at the frequency of bin 8: eight periods in 128 frames.
int16_t binEightSine(int f) { return static_cast<int16_t>(32767 * std::sin(2 * M_PI * 8 * f / 128.0)); }
int16_t extremes(int f) { return f % 2 ? 32767 : -32768; }
int16_t ramp(int f) { return static_cast<int16_t>(f * 97 - 20000); }

std::vector<std::pair<int, int>> whitePixels(const MonitorCanvas& canvas) {
    std::vector<std::pair<int, int>> white;
    for (int y = 0; y < kMonitorHeight; ++y)
        for (int x = 0; x < kMonitorWidth; ++x)
            if (canvas.pixel(x, y) == MonitorCanvas::kWhite) white.emplace_back(x, y);
    return white;
}

// Pixels of horizontal lines at the given rows, from x = 0 up to `end` excluded.
std::vector<std::pair<int, int>> rows(std::vector<int> ys, int end, int dash = 0) {
    std::vector<std::pair<int, int>> pixels;
    for (int y : ys)
        for (int x = 0; x < end; ++x)
            if (dash == 0 || x % 8 < dash) pixels.emplace_back(x, y);
    return pixels;
}

TEST(MonitorPictures, OnlyBlocksLongEnoughForTheirFramesAreDrawn) {
    struct Case {
        int bytes;
        bool scope;
        bool spectrum;
    };
    const Case cases[] = {{400, false, false}, {511, false, false}, {512, false, true},  {1176, false, true},
                          {2043, false, true}, {2044, true, true},  {2352, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::vector<uint8_t> data = block(c.bytes / 4 + 1, extremes, ramp);
        auto canvas = std::make_unique<MonitorCanvas>();
        ScopeTrace scope;
        SpectrumLevels spectrum;
        EXPECT_EQ(scope.draw(data.data(), c.bytes, *canvas), c.scope);
        EXPECT_EQ(spectrum.draw(data.data(), c.bytes, *canvas), c.spectrum);
        EXPECT_EQ(scope.oldLeft[0] != 0, c.scope);
        EXPECT_EQ(spectrum.levels[0] != 0.0, c.spectrum);
        if (!c.scope && !c.spectrum) {
            EXPECT_TRUE(whitePixels(*canvas).empty());
        }
    }
}

TEST(MonitorPictures, ScopeOffsetsAndEraseOfTheOldTrace) {
    auto canvas = std::make_unique<MonitorCanvas>();
    ScopeTrace scope;
    const std::vector<uint8_t> loud = block(588, extremes, ramp);
    ASSERT_TRUE(scope.draw(loud.data(), static_cast<int>(loud.size()), *canvas));
    // -32768 sits 64 rows above the centre line, 32767 63 rows below.
    EXPECT_EQ(scope.oldLeft[0], -64);
    EXPECT_EQ(scope.oldLeft[1], -64);  // every second frame is shown
    EXPECT_EQ(scope.oldLeft[254], -64);
    EXPECT_EQ(scope.oldLeft[255], -64);  // where the last segment ends
    EXPECT_EQ(scope.oldRight[3], ramp(6) >> 9);
    EXPECT_EQ(canvas->pixel(0, ScopeTrace::kLeftCentre - 64), MonitorCanvas::kWhite);
    EXPECT_EQ(canvas->pixel(0, ScopeTrace::kRightCentre + (ramp(0) >> 9)), MonitorCanvas::kWhite);

    // A silent block leaves nothing of the loud trace, not even at the
    // right edge: two flat lines.
    const std::vector<uint8_t> quiet = block(588, silence, silence);
    ASSERT_TRUE(scope.draw(quiet.data(), static_cast<int>(quiet.size()), *canvas));
    EXPECT_EQ(whitePixels(*canvas), rows({ScopeTrace::kLeftCentre, ScopeTrace::kRightCentre}, 510));
}

TEST(MonitorPictures, SpectrumLevelsJumpUpAndFallTwentyPerBlock) {
    auto canvas = std::make_unique<MonitorCanvas>();
    SpectrumLevels spectrum;
    const std::vector<uint8_t> sine = block(588, binEightSine, extremes);
    ASSERT_TRUE(spectrum.draw(sine.data(), static_cast<int>(sine.size()), *canvas));
    EXPECT_NEAR(spectrum.levels[8], 204, 1);
    EXPECT_NEAR(spectrum.levels[120], 204, 1);  // the mirror half is kept too
    EXPECT_NEAR(spectrum.levels[7], 0, 1);
    EXPECT_EQ(spectrum.input[2], binEightSine(2));  // the left channel only
    const int peakRow = SpectrumLevels::kBaseline - static_cast<int>(spectrum.levels[8]);
    for (int x = 64; x < 71; ++x) EXPECT_EQ(canvas->pixel(x, peakRow), MonitorCanvas::kWhite);
    EXPECT_EQ(canvas->pixel(71, peakRow), MonitorCanvas::kBlack);

    const std::vector<uint8_t> quiet = block(294, silence, extremes);
    double expected = spectrum.levels[8];
    while (expected > 0) {
        expected = std::max(0.0, expected - SpectrumLevels::kFall);
        ASSERT_TRUE(spectrum.draw(quiet.data(), static_cast<int>(quiet.size()), *canvas));
        EXPECT_DOUBLE_EQ(spectrum.levels[8], expected);
    }
    for (double level : spectrum.levels) EXPECT_EQ(level, 0.0);
    // Only the 64 dashes at the baseline are left, 7 pixels each.
    EXPECT_EQ(whitePixels(*canvas), rows({SpectrumLevels::kBaseline}, 512, 7));
}

}  // namespace
