#include "engine/pipeline/stagechain.h"

#include "engine/control/options.h"
#include "engine/output/acmconverter.h"
#include "engine/output/monodownmixer.h"
#include "engine/output/waveformat.h"
#include "engine/output/wavefilewriter.h"
#include "engine/pipeline/biquadfilter.h"
#include "engine/pipeline/compressorexpander.h"
#include "engine/pipeline/gainstage.h"
#include "engine/pipeline/karaokestage.h"
#include "engine/pipeline/nullsink.h"
#include "engine/pipeline/outputthread.h"
#include "engine/pipeline/reverbstage.h"
#include "engine/pipeline/silencepadder.h"
#include "engine/pipeline/silencetrimmers.h"
#include "engine/pipeline/spreadstage.h"
#include "tests/support/runvolta.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <typeinfo>
#include <vector>

// Replaces the C library's mkstemp in this test program: it hands out the
// first free name in a fixed order, as mkstemp may, so a name whose file
// was removed comes back at once instead of only by rare chance.
extern "C" int mkstemp(char* pattern) {
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return -1;
    }
    for (int n = 0; n < 1000000; ++n) {
        std::snprintf(pattern + length - 6, 7, "%06d", n);
        const int descriptor = ::open(pattern, O_RDWR | O_CREAT | O_EXCL, 0600);
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
    errno = EEXIST;
    return -1;
}

namespace {

namespace fs = std::filesystem;

// Each test starts from default options in a scratch directory of its own.
class StageChain : public ::testing::Test {
protected:
    void SetUp() override {
        options = Options();
        setPcmOutputFormat();
        previous_ = fs::current_path();
        fs::current_path(dir_.path());
    }
    void TearDown() override {
        fs::current_path(previous_);
        options = Options();
    }

    static std::vector<std::string> stageNames(const AudioStage* head) {
        std::vector<std::string> names;
        for (const AudioStage* s = head; s; s = s->next.get()) {
            if (dynamic_cast<const LeadingSilenceTrimmer*>(s)) names.push_back("leading");
            else if (dynamic_cast<const TrailingSilenceTrimmer*>(s)) names.push_back("trailing");
            else if (dynamic_cast<const SilencePadder*>(s)) names.push_back("padder");
            else if (dynamic_cast<const GainStage*>(s)) names.push_back("gain");
            else if (dynamic_cast<const BiquadFilter*>(s)) names.push_back("biquad");
            else if (dynamic_cast<const CompressorExpander*>(s)) names.push_back("compressor");
            else if (dynamic_cast<const ReverbStage*>(s)) names.push_back("reverb");
            else if (dynamic_cast<const SpreadStage*>(s)) names.push_back("spread");
            else if (dynamic_cast<const KaraokeStage*>(s)) names.push_back("karaoke");
            else if (dynamic_cast<const OutputThread*>(s)) names.push_back("thread");
            else if (dynamic_cast<const AcmConverter*>(s)) names.push_back("converter");
            else if (dynamic_cast<const WaveFileWriter*>(s)) names.push_back("writer");
            else if (dynamic_cast<const NullSink*>(s)) names.push_back("null");
            else if (dynamic_cast<const MonoDownmixer*>(s)) names.push_back("mono");
            else names.push_back(typeid(*s).name());
        }
        return names;
    }

    static std::vector<double> biquadB0s(const AudioStage* head) {
        std::vector<double> values;
        for (const AudioStage* s = head; s; s = s->next.get())
            if (auto filter = dynamic_cast<const BiquadFilter*>(s)) values.push_back(filter->coefficients().b0);
        return values;
    }

    static std::vector<uint8_t> testAudio(int bytes) {
        std::vector<uint8_t> data(bytes);
        uint32_t state = 99;
        for (auto& b : data) {
            state = state * 1664525 + 1013904223;
            b = static_cast<uint8_t>(state >> 24);
        }
        return data;
    }

    // Opens the chain, writes `data` in blocks of `blockBytes`, closes it.
    static void runChain(AudioStage& chain, const std::vector<uint8_t>& data, int blockBytes) {
        ASSERT_EQ(chain.open(), 0);
        for (size_t at = 0; at < data.size(); at += blockBytes) {
            const int n = static_cast<int>(std::min<size_t>(blockBytes, data.size() - at));
            ASSERT_EQ(chain.write(data.data() + at, n), 0);
        }
        ASSERT_EQ(chain.close(), 0);
    }

    static uint32_t le32(const std::string& s, size_t at) {
        uint32_t v;
        std::memcpy(&v, s.data() + at, 4);
        return v;
    }

    TempDir dir_;
    fs::path previous_;
};

TEST_F(StageChain, DefaultChainWritesTheInputUnchangedIntoAWavFile) {
    auto chain = createAudioChain("track03");
    ASSERT_TRUE(chain);
    EXPECT_EQ(stageNames(chain.get()), (std::vector<std::string>{"thread", "converter", "converter", "writer"}));
    EXPECT_STREQ(currentOutputName, "track03.wav");
    // The job gives the file its final name once it is complete.

    // Eleven extractor blocks of 25 sectors and a last one of 3 sectors.
    const std::vector<uint8_t> audio = testAudio(11 * 58800 + 3 * 2352);
    runChain(*chain, audio, 58800);
    chain.reset();

    const std::string file = readFile(dir_.file("track03.wav.part"));
    ASSERT_EQ(file.size(), 46 + audio.size());
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(file, 4), 38 + audio.size());
    EXPECT_EQ(file.substr(38, 4), "data");
    EXPECT_EQ(le32(file, 42), audio.size());
    EXPECT_EQ(std::memcmp(file.data() + 46, audio.data(), audio.size()), 0);
}

// A file left from an earlier, longer rip is emptied first: nothing of it
// stays behind the new samples.
TEST_F(StageChain, AnEarlierLongerFileIsReplacedWhole) {
    writeFile(dir_.file("track03.wav.part"), std::string(5 * 58800, 'x'));
    auto chain = createAudioChain("track03");
    ASSERT_TRUE(chain);
    const std::vector<uint8_t> audio = testAudio(2 * 58800);
    runChain(*chain, audio, 58800);
    chain.reset();
    const std::string file = readFile(dir_.file("track03.wav.part"));
    ASSERT_EQ(file.size(), 46 + audio.size());
    EXPECT_EQ(std::memcmp(file.data() + 46, audio.data(), audio.size()), 0);
}

TEST_F(StageChain, ProcessingStagesStandInTheirOrderFromTheHead) {
    options.trimLeading = options.trimTrailing = true;
    options.padLeadingSeconds = 2.0;
    options.preampGain = 3.0;
    options.lowShelf = true;
    options.lowShelfFreq = 1000;
    options.lowShelfGain = 6;
    options.highShelf = true;
    options.highShelfFreq = 1000;
    options.highShelfGain = 6;
    // Bands A, B, C in command-line order.
    options.eqBands[0] = {1000, 1, 6, 0};
    options.eqBands[1] = {1000, 2, 6, 1};
    options.eqBands[2] = {1000, 2, 0, 1};
    options.eqBandCount = 3;
    options.highPass = true;
    options.lowPass = true;
    options.lowPassCutoff = 1000;
    options.compress = true;
    options.reverb = true;
    options.spread = true;
    options.karaoke = true;

    auto chain = createAudioChain("x");
    ASSERT_TRUE(chain);
    EXPECT_EQ(stageNames(chain.get()),
              (std::vector<std::string>{"leading", "trailing", "padder", "gain", "biquad", "biquad", "biquad",
                                        "biquad", "biquad", "biquad", "biquad", "compressor", "reverb",
                                        "spread", "karaoke", "thread", "converter", "converter", "writer"}));
    // Low shelf, high shelf, bands C, B, A, high-pass, low-pass.
    const std::vector<double> expected = {1.035476415, 1.926902715, 1.0,        1.024398838,
                                          1.034274625, 0.859088019, 0.004730417};
    const std::vector<double> b0s = biquadB0s(chain.get());
    ASSERT_EQ(b0s.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(b0s[i], expected[i], 6e-10) << i;
}

TEST_F(StageChain, OnlySelectedStagesAreBuilt) {
    options.trimLeading = true;
    options.preampGain = 0.0;
    options.padTrailingSeconds = 0.5;
    EXPECT_EQ(stageNames(buildStageChain(nullptr).get()), (std::vector<std::string>{"leading", "padder"}));

    options = Options();
    EXPECT_EQ(buildStageChain(nullptr), nullptr);
    auto tail = std::make_unique<NullSink>();
    const AudioStage* tailAddress = tail.get();
    EXPECT_EQ(buildStageChain(std::move(tail)).get(), tailAddress);
}

// Files are written on a thread of their own, except CD audio as it comes
// in a job whose checksums already take a second thread.
TEST_F(StageChain, FilesAreWrittenOnAThreadOfTheirOwnUnlessChecksumsTakeIt) {
    outputFormat = pcmFormat(2);
    outputFormat.samplesPerSecond = 22050;
    outputFormat.averageBytesPerSecond = 22050 * 4;
    auto chain = createAudioChain("half");
    ASSERT_TRUE(chain);
    EXPECT_EQ(stageNames(chain.get()), (std::vector<std::string>{"thread", "converter", "converter", "writer"}));
    runChain(*chain, testAudio(4 * 58800), 58800);
    chain.reset();
    // Half the rate: half the samples, give or take the resampler's edges.
    EXPECT_NEAR(static_cast<double>(fs::file_size(dir_.file("half.wav.part"))), 46.0 + 2 * 58800, 64.0);

    outputFormat = pcmFormat(1);
    EXPECT_EQ(stageNames(createAudioChain("mono").get()),
              (std::vector<std::string>{"mono", "thread", "converter", "converter", "writer"}));

    options.verify = true;
    EXPECT_EQ(stageNames(createAudioChain("checked").get()),
              (std::vector<std::string>{"mono", "converter", "converter", "writer"}));
    outputFormat.samplesPerSecond = 22050;
    outputFormat.averageBytesPerSecond = 22050 * 2;
    EXPECT_EQ(stageNames(createAudioChain("checkedhalf").get()),
              (std::vector<std::string>{"mono", "thread", "converter", "converter", "writer"}));
}

TEST_F(StageChain, NoOutputSinkTakesEverythingAndWritesNoFile) {
    options.encoder = EncoderKind::NoOutput;
    options.suppressHeader = true;
    auto chain = createAudioChain("gone");
    ASSERT_TRUE(chain);
    EXPECT_EQ(stageNames(chain.get()), (std::vector<std::string>{"converter", "converter", "null"}));
    EXPECT_FALSE(options.suppressHeader);
    EXPECT_STREQ(currentOutputName, tempWaveName);
    runChain(*chain, testAudio(5 * 58800), 58800);
    chain.reset();
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(StageChain, ExternalEncoderGetsAWavFileUnderATemporaryName) {
    options.encoder = EncoderKind::X3encCbr;
    options.suppressHeader = true;
    std::strcpy(options.outputExtension, ".raw");
    auto chain = createAudioChain("song");
    ASSERT_TRUE(chain);
    EXPECT_FALSE(options.suppressHeader);
    EXPECT_EQ(std::strncmp(tempWaveName, "VLT", 3), 0);
    EXPECT_EQ(std::strncmp(tempMp3Name, "VLT", 3), 0);
    EXPECT_STRNE(tempWaveName, tempMp3Name);
    EXPECT_EQ(std::strchr(tempWaveName, '/'), nullptr);
    EXPECT_STREQ(currentOutputName, tempWaveName);
    // The temporary files themselves are gone until the writer creates one.
    EXPECT_TRUE(fs::is_empty(dir_.path()));

    const std::vector<uint8_t> audio = testAudio(2352);
    runChain(*chain, audio, 2352);
    chain.reset();
    const std::string file = readFile(dir_.file(tempWaveName));
    ASSERT_EQ(file.size(), 46 + audio.size());
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_FALSE(fs::exists(dir_.file(tempMp3Name)));
}

TEST_F(StageChain, TemporaryNamesDifferEvenWhenFreedNamesAreHandedOutAgain) {
    options.encoder = EncoderKind::L3enc;
    auto chain = createAudioChain("song");
    ASSERT_TRUE(chain);
    EXPECT_STREQ(tempWaveName, "VLT000000");
    EXPECT_STREQ(tempMp3Name, "VLT000001");
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(StageChain, SuppressedHeaderWritesBareSamplesUnderTheGivenExtension) {
    options.suppressHeader = true;
    std::strcpy(options.outputExtension, ".raw");
    auto chain = createAudioChain("bare");
    ASSERT_TRUE(chain);
    EXPECT_STREQ(currentOutputName, "bare.raw");
    const std::vector<uint8_t> audio = testAudio(3 * 2352);
    runChain(*chain, audio, 2352);
    chain.reset();
    EXPECT_EQ(readFile(dir_.file("bare.raw.part")), std::string(audio.begin(), audio.end()));
}

TEST_F(StageChain, BackslashInTheNameSelectsASubDirectory) {
    fs::create_directory(dir_.file("MP3s"));
    auto chain = createAudioChain("MP3s\\03");
    ASSERT_TRUE(chain);
    EXPECT_STREQ(currentOutputName, "MP3s\\03.wav");
    runChain(*chain, testAudio(2352), 2352);
    chain.reset();
    EXPECT_EQ(fs::file_size(dir_.file("MP3s/03.wav.part")), 46u + 2352u);
}

TEST_F(StageChain, NameTooLongForTheOutputNameGivesNoChain) {
    const std::string name(kOutputNameCapacity - 4, 'n');
    EXPECT_EQ(createAudioChain(name.c_str()), nullptr);
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(StageChain, OutputThatCannotBeCreatedFailsOpen) {
    auto chain = createAudioChain("missing\\dir\\track");
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->open(), 1);
}

}  // namespace
