// The MP3 stage's chunking against the real library, and the downmixer in
// front of mono outputs.

#include "engine/output/encoders/lame/bladeencoder.h"
#include "engine/output/monodownmixer.h"
#include "tests/pipeline/recordingstage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BladeEncoder, CollectsExactlyOneChunkBeforeEachEncode) {
    TempDir dir;
    BladeEncoder encoder(dir.file("chunks.mp3").c_str(), 128, true);
    ASSERT_EQ(encoder.open(), 0);
    ASSERT_EQ(encoder.samplesPerChunk(), 2304u);
    std::vector<uint8_t> block(9000, 0x11);
    ASSERT_EQ(encoder.write(block.data(), 9000), 0);
    EXPECT_EQ(encoder.bytesBuffered(), 4392u);
    // Blocks of any size fill the chunk up to its end and no further.
    for (int size : {1, 215, 4608, 3}) {
        const uint32_t before = encoder.bytesBuffered();
        ASSERT_EQ(encoder.write(block.data(), size), 0);
        EXPECT_EQ(encoder.bytesBuffered(), (before + size) % 4608) << size;
    }
    ASSERT_EQ(encoder.close(), 0);
    EXPECT_EQ(encoder.lastResult(), 0u);
    EXPECT_GT(readFile(dir.file("chunks.mp3")).size(), 1000u);

    BladeEncoder mono(dir.file("mono.mp3").c_str(), 64, false);
    ASSERT_EQ(mono.open(), 0);
    EXPECT_EQ(mono.samplesPerChunk(), 1152u);
    EXPECT_EQ(mono.close(), 0);

    // A rate MPEG audio does not have is refused, with the library's code kept.
    BladeEncoder odd(dir.file("odd.mp3").c_str(), 100, true);
    EXPECT_EQ(odd.open(), 1);
    EXPECT_NE(odd.lastResult(), 0u);
    EXPECT_EQ(odd.write(block.data(), 4), 1);
    EXPECT_EQ(odd.close(), 1);
}

TEST(MonoDownmixer, EachModeTakesItsChannel) {
    struct Case {
        int mode;
        std::vector<int16_t> expected;
    };
    const std::vector<int16_t> stereo = {-3, 0, 32767, 32767, -32768, -32768, 100, -201, 7, 8};
    const Case cases[] = {
        {0, {-2, 32767, -32768, -51, 7}},
        {1, {-3, 32767, -32768, 100, 7}},
        {2, {0, 32767, -32768, -201, 8}},
    };
    for (const Case& c : cases) {
        StageUnderTest<MonoDownmixer> downmixer(c.mode);
        EXPECT_EQ(downmixer.run(stereo), c.expected) << c.mode;
    }
    StageUnderTest<MonoDownmixer> sector(0);
    EXPECT_EQ(sector.run(std::vector<int16_t>(1176)).size(), 588u);
    EXPECT_EQ(sector.stage->write(nullptr, MonoDownmixer::kBufferBytes + 4), 1);
}

}  // namespace
