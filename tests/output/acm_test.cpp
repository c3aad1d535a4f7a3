#include "engine/output/acm.h"
#include "engine/output/acmconverter.h"

#include "engine/output/waveformat.h"
#include "tests/pipeline/recordingstage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

WaveFormat pcm(int channels, uint32_t rate, int bits) {
    WaveFormat f = {};
    f.formatTag = kWaveFormatPcm;
    f.channels = static_cast<uint16_t>(channels);
    f.samplesPerSecond = rate;
    f.bitsPerSample = static_cast<uint16_t>(bits);
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.averageBytesPerSecond = rate * f.blockAlign;
    return f;
}

// An open stream with a prepared header over the two vectors.
struct OpenStream {
    OpenStream(const WaveFormat& from, const WaveFormat& to, size_t sourceBytes, size_t destinationBytes)
        : source(sourceBytes), destination(destinationBytes) {
        opened = acmStreamOpen(stream, from, to, ACM_STREAMOPENF_NONREALTIME);
        header.structureSize = sizeof header;
        header.source = source.data();
        header.sourceLength = static_cast<uint32_t>(sourceBytes);
        header.destination = destination.data();
        header.destinationLength = static_cast<uint32_t>(destinationBytes);
        if (opened == kAcmOk) prepared = acmStreamPrepareHeader(stream.get(), header);
    }
    int convert(uint32_t flags = 0) { return acmStreamConvert(stream.get(), header, flags); }

    AcmStreamHandle stream;
    AcmStreamHeader header;
    std::vector<uint8_t> source, destination;
    int opened = -1;
    int prepared = -1;
};

TEST(AcmFormatSuggest, SuggestsTheSamePcmFormatForPcm) {
    setPcmOutputFormat();
    WaveFormat suggested = {};
    suggested.formatTag = kWaveFormatPcm;
    suggested.extra[0] = 0x77;
    ASSERT_EQ(acmFormatSuggest(outputFormat, suggested, sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG), 0);
    EXPECT_EQ(suggested.formatTag, 1);
    EXPECT_EQ(suggested.channels, 2);
    EXPECT_EQ(suggested.samplesPerSecond, 44100u);
    EXPECT_EQ(suggested.averageBytesPerSecond, 176400u);
    EXPECT_EQ(suggested.blockAlign, 4);
    EXPECT_EQ(suggested.bitsPerSample, 16);
    EXPECT_EQ(suggested.extraSize, 0);

    WaveFormat mono = {};
    mono.formatTag = kWaveFormatPcm;
    ASSERT_EQ(acmFormatSuggest(pcm(1, 22050, 8), mono, sizeof mono, ACM_FORMATSUGGESTF_WFORMATTAG), 0);
    EXPECT_EQ(mono.averageBytesPerSecond, 22050u);
    EXPECT_EQ(mono.blockAlign, 1);
}

TEST(AcmFormatSuggest, FailsWhereNoPcmConversionExists) {
    WaveFormat suggested = {};
    suggested.formatTag = kWaveFormatPcm;
    WaveFormat compressed = pcm(2, 44100, 16);
    compressed.formatTag = 0x0161;  // Windows Media Audio: not written in WAV files
    EXPECT_NE(acmFormatSuggest(compressed, suggested, sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG), 0);
    EXPECT_NE(acmFormatSuggest(pcm(2, 44100, 12), suggested, sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG),
              0);
    EXPECT_NE(acmFormatSuggest(pcm(2, 44100, 16), suggested, 16, ACM_FORMATSUGGESTF_WFORMATTAG), 0);
    suggested.formatTag = 0x55;
    EXPECT_NE(acmFormatSuggest(pcm(2, 44100, 16), suggested, sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG),
              0);
}

TEST(AcmStream, IdenticalFormatsCopyWholeFrames) {
    OpenStream s(pcm(2, 44100, 16), pcm(2, 44100, 16), 1000, 600);
    ASSERT_EQ(s.opened, 0);
    ASSERT_EQ(s.prepared, 0);
    for (size_t i = 0; i < s.source.size(); ++i) s.source[i] = static_cast<uint8_t>(i * 13);
    s.header.sourceLength = 10;
    ASSERT_EQ(s.convert(ACM_STREAMCONVERTF_START), 0);
    EXPECT_EQ(s.header.sourceLengthUsed, 8u);
    EXPECT_EQ(s.header.destinationLengthUsed, 8u);
    s.header.sourceLength = 1000;
    ASSERT_EQ(s.convert(), 0);
    EXPECT_EQ(s.header.sourceLengthUsed, 600u);
    EXPECT_EQ(s.header.destinationLengthUsed, 600u);
    EXPECT_TRUE(std::equal(s.destination.begin(), s.destination.end(), s.source.begin()));
}

TEST(AcmStream, ConvertsSampleSizeChannelsAndRate) {
    OpenStream bits(pcm(2, 44100, 16), pcm(2, 44100, 8), 8, 8);
    const std::vector<int16_t> in = {0x4000, -0x4000, 0, 0x7FFF};
    std::memcpy(bits.source.data(), in.data(), 8);
    ASSERT_EQ(bits.convert(), 0);
    EXPECT_EQ(bits.header.destinationLengthUsed, 4u);
    EXPECT_EQ(std::vector<uint8_t>(bits.destination.begin(), bits.destination.begin() + 4),
              (std::vector<uint8_t>{0xC0, 0x40, 0x80, 0xFF}));

    OpenStream mono(pcm(2, 44100, 16), pcm(1, 44100, 16), 8, 8);
    const std::vector<int16_t> pair = {1000, 3000, 32767, 32767};
    std::memcpy(mono.source.data(), pair.data(), 8);
    ASSERT_EQ(mono.convert(), 0);
    ASSERT_EQ(mono.header.destinationLengthUsed, 4u);
    int16_t out[2];
    std::memcpy(out, mono.destination.data(), 4);
    EXPECT_EQ(out[0], 2000);
    EXPECT_EQ(out[1], 32767);

    // One second at 44100 Hz becomes one second at 22050 Hz.
    OpenStream half(pcm(2, 44100, 16), pcm(2, 22050, 16), 176400, 131072);
    ASSERT_EQ(half.convert(ACM_STREAMCONVERTF_START), 0);
    size_t frames = half.header.destinationLengthUsed / 4;
    EXPECT_EQ(half.header.sourceLengthUsed, 176400u);
    half.header.sourceLength = 0;
    ASSERT_EQ(half.convert(ACM_STREAMCONVERTF_END), 0);
    frames += half.header.destinationLengthUsed / 4;
    EXPECT_NEAR(static_cast<double>(frames), 22050, 2);
}

TEST(AcmStream, RejectsUnsupportedFormatsAndMisuse) {
    AcmStreamHandle stream;
    WaveFormat compressed = pcm(2, 44100, 16);
    compressed.formatTag = 2;
    EXPECT_NE(acmStreamOpen(stream, compressed, pcm(2, 44100, 16), 0), 0);
    WaveFormat inconsistent = pcm(2, 44100, 16);
    inconsistent.blockAlign = 3;
    EXPECT_NE(acmStreamOpen(stream, pcm(2, 44100, 16), inconsistent, 0), 0);
    EXPECT_NE(acmStreamOpen(stream, pcm(2, 0, 16), pcm(2, 44100, 16), 0), 0);
    EXPECT_FALSE(stream);

    ASSERT_EQ(acmStreamOpen(stream, pcm(2, 44100, 16), pcm(2, 44100, 16), 0), 0);
    AcmStreamHeader header;
    EXPECT_NE(acmStreamConvert(stream.get(), header, 0), 0);  // not prepared
    EXPECT_NE(acmStreamPrepareHeader(stream.get(), header), 0);  // no structure size
    header.structureSize = sizeof header;
    EXPECT_NE(acmStreamPrepareHeader(stream.get(), header), 0);  // no destination buffer
    EXPECT_EQ(acmStreamClose(stream), 0);
    EXPECT_NE(acmStreamClose(stream), 0);
}

// A converter in front of a recorder.
struct ConverterUnderTest {
    ConverterUnderTest(const WaveFormat& from, const WaveFormat& to) {
        auto recorder = std::make_unique<RecordingStage>();
        sink = recorder.get();
        converter = std::make_unique<AcmConverter>(from, to, std::move(recorder));
    }
    std::unique_ptr<AcmConverter> converter;
    RecordingStage* sink;
};

TEST(AcmConverter, PassesCdAudioThroughByteForByte) {
    ConverterUnderTest c(pcm(2, 44100, 16), pcm(2, 44100, 16));
    std::vector<uint8_t> audio(3 * 58800 + 2352);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    ASSERT_EQ(c.converter->open(), 0);
    EXPECT_EQ(c.sink->opens, 1);
    for (size_t at = 0; at < audio.size(); at += 58800) {
        const int n = static_cast<int>(std::min<size_t>(58800, audio.size() - at));
        ASSERT_EQ(c.converter->write(audio.data() + at, n), 0);
    }
    ASSERT_EQ(c.converter->close(), 0);
    EXPECT_EQ(c.sink->closes, 1);
    EXPECT_EQ(c.sink->bytes, audio);
    EXPECT_EQ(c.sink->blockSizes, (std::vector<int>{58800, 58800, 58800, 2352}));
}

TEST(AcmConverter, GrowingConversionPassesOnAllOfEveryBlock) {
    // 16-bit 44100 Hz to 32-bit 96000 Hz makes a full block about 4.35 times larger.
    ConverterUnderTest c(pcm(2, 44100, 16), pcm(2, 96000, 32));
    std::vector<uint8_t> block(AcmConverter::kBufferBytes);
    ASSERT_EQ(c.converter->open(), 0);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(c.converter->write(block.data(), static_cast<int>(block.size())), 0);
    ASSERT_EQ(c.converter->close(), 0);
    for (int size : c.sink->blockSizes) {
        EXPECT_LE(size, AcmConverter::kBufferBytes);
        EXPECT_EQ(size % 8, 0);
    }
    const double expectedFrames = 2 * 32768 * 96000.0 / 44100.0;
    EXPECT_NEAR(c.sink->bytes.size() / 8.0, expectedFrames, 4);
}

TEST(AcmConverter, FailuresAreReportedWithoutTouchingMemoryBeyondTheBuffers) {
    ConverterUnderTest c(pcm(2, 44100, 16), pcm(2, 44100, 16));
    std::vector<uint8_t> block(AcmConverter::kBufferBytes + 4);
    EXPECT_EQ(c.converter->write(block.data(), 4), 1);  // not open
    EXPECT_EQ(c.converter->close(), 1);
    ASSERT_EQ(c.converter->open(), 0);
    EXPECT_EQ(c.converter->write(block.data(), static_cast<int>(block.size())), 1);
    EXPECT_EQ(c.converter->write(block.data(), -4), 1);
    c.sink->failWritesFrom = 0;
    EXPECT_EQ(c.converter->write(block.data(), 4), 1);
    EXPECT_EQ(c.converter->close(), 0);

    ConverterUnderTest refused(pcm(2, 44100, 16), pcm(2, 44100, 16));
    refused.sink->failOpen = true;
    EXPECT_EQ(refused.converter->open(), 1);
    EXPECT_EQ(refused.converter->write(block.data(), 4), 1);

    WaveFormat compressed = pcm(2, 44100, 16);
    compressed.formatTag = 2;
    ConverterUnderTest impossible(pcm(2, 44100, 16), compressed);
    EXPECT_EQ(impossible.converter->open(), 1);
    EXPECT_EQ(impossible.sink->opens, 0);
}

}  // namespace
