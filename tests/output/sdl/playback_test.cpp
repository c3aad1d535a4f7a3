#include "engine/control/options.h"
#include "engine/output/monitors/monitorwindows.h"
#include "engine/output/playback/playbackstage.h"
#include "engine/output/playback/waveplayer.h"
#include "engine/output/playback/audiobreaker.h"
#include "engine/pipeline/karaokestage.h"
#include "engine/pipeline/stagechain.h"
#include "tests/pipeline/recordingstage.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBytesPerSecond = 176400;
// SDL's disk driver rounds its pause per device buffer down to whole
// milliseconds, so it plays up to 1 % fast.
constexpr double kPacing = 0.97;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Silence that SDL plays around and between the queued buffers is left out
// of both sides of a comparison.
std::string withoutSilentFrames(const std::string& bytes) {
    std::string kept;
    for (size_t at = 0; at + 4 <= bytes.size(); at += 4)
        if (bytes.compare(at, 4, std::string(4, '\0')) != 0) kept.append(bytes, at, 4);
    return kept;
}

std::string audio(int firstSector, int sectors) {
    std::string bytes;
    for (int s = 0; s < sectors; ++s) bytes += audioSectorBytes(firstSector + s);
    return bytes;
}

const uint8_t* bytesOf(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// SDL's disk driver writes what the device plays into a file of the test's
// own; the dummy video driver gives windows without a display.
class DiskAudio : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", heardPath().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        options = Options();
    }
    void TearDown() override { options = Options(); }
    std::string heardPath() const { return dir.file("device.raw"); }
    std::string heard() const { return readFile(heardPath()); }

    TempDir dir;
};

TEST_F(DiskAudio, TheRingHoldsSevenBlocksAndClosingWaitsForTheLast) {
    constexpr int kBlock = AudioBreaker::kPieceBytes;
    const double blockSeconds = kBlock / kBytesPerSecond;
    const std::string sound = audio(0, 8 * 5);

    const std::unique_ptr<WavePlayer> made = createWavePlayer(44100, 16, 2);
    ASSERT_TRUE(made);
    WavePlayer& player = *made;
    ASSERT_EQ(player.openDevice(), 0);
    // Nothing queued, or one block: nothing to wait for.
    player.waitUntilOneLeft();
    player.drain();
    EXPECT_EQ(player.outstanding(), 0);

    const auto start = Clock::now();
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(player.enqueue(bytesOf(sound) + i * kBlock, kBlock), 0);
        EXPECT_EQ(player.outstanding(), i + 1);
    }
    ASSERT_EQ(player.enqueue(bytesOf(sound) + 7 * kBlock, kBlock), 0);
    EXPECT_GE(secondsSince(start), kPacing * blockSeconds) << "the 8th block waits for the 1st to be heard";
    EXPECT_EQ(player.outstanding(), 7);

    player.waitUntilOneLeft();
    EXPECT_EQ(player.outstanding(), 1);
    EXPECT_GE(secondsSince(start), kPacing * 7 * blockSeconds);
    player.waitUntilOneLeft();
    EXPECT_EQ(player.outstanding(), 1);

    ASSERT_EQ(player.closeDevice(), 0);
    EXPECT_GE(secondsSince(start), kPacing * 8 * blockSeconds) << "close returns after the last block";
    EXPECT_EQ(withoutSilentFrames(heard()), withoutSilentFrames(sound));
}

// The console's handlers restore the terminal on Ctrl-C and SIGTERM; SDL
// must not put its own in their place.
TEST_F(DiskAudio, OpeningTheDeviceLeavesTheTerminationSignalsAlone) {
    for (int number : {SIGTERM, SIGINT}) {
        struct sigaction current {};
        ASSERT_EQ(sigaction(number, nullptr, &current), 0);
        ASSERT_EQ(current.sa_handler, SIG_DFL);
    }
    const std::unique_ptr<WavePlayer> made = createWavePlayer(44100, 16, 2);
    ASSERT_TRUE(made);
    WavePlayer& player = *made;
    ASSERT_EQ(player.openDevice(), 0);
    for (int number : {SIGTERM, SIGINT}) {
        struct sigaction current {};
        ASSERT_EQ(sigaction(number, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << "signal " << number;
    }
    EXPECT_EQ(player.closeDevice(), 0);
}

std::vector<const std::type_info*> stageTypes(const AudioStage* head) {
    std::vector<const std::type_info*> types;
    for (const AudioStage* s = head; s; s = s->next.get()) types.push_back(&typeid(*s));
    return types;
}

TEST_F(DiskAudio, BreakerMonitorsAndPlaybackPassEveryByteOnAndShowWhatTheyPassed) {
    options.audioBreaker = options.oscilloscope = options.spectrum = options.playWhileExtracting = true;
    options.karaoke = true;
    const std::vector<const std::type_info*> expected = {&typeid(AudioBreaker),  &typeid(KaraokeStage),
                                                         &typeid(ScopeWindow),   &typeid(SpectrumWindow),
                                                         &typeid(PlaybackStage), &typeid(RecordingStage)};
    EXPECT_EQ(stageTypes(buildStageChain(std::make_unique<RecordingStage>()).get()), expected);

    options.karaoke = false;
    auto recorder = std::make_unique<RecordingStage>();
    RecordingStage* sink = recorder.get();
    std::unique_ptr<AudioStage> chain = buildStageChain(std::move(recorder));
    ASSERT_TRUE(chain);
    auto* scope = dynamic_cast<ScopeWindow*>(chain->next.get());
    ASSERT_TRUE(scope);
    auto* spectrum = dynamic_cast<SpectrumWindow*>(scope->next.get());
    ASSERT_TRUE(spectrum);

    // An extraction block, a block of the writing phase, a short last one.
    const std::string sound = audio(100, 40);
    const int blocks[] = {58800, 32768, 1176};
    const auto start = Clock::now();
    ASSERT_EQ(chain->open(), 0);
    ScopeTrace scopeSeen;
    SpectrumLevels spectrumSeen;
    auto canvas = std::make_unique<MonitorCanvas>();
    int at = 0;
    for (int size : blocks) {
        ASSERT_EQ(chain->write(bytesOf(sound) + at, size), 0);
        for (int piece = 0; piece < size; piece += AudioBreaker::kPieceBytes) {
            const int length = std::min(size - piece, AudioBreaker::kPieceBytes);
            scopeSeen.draw(bytesOf(sound) + at + piece, length, *canvas);
            spectrumSeen.draw(bytesOf(sound) + at + piece, length, *canvas);
        }
        at += size;
    }
    ASSERT_EQ(chain->close(), 0);
    EXPECT_GE(secondsSince(start), kPacing * at / kBytesPerSecond);

    const std::vector<int> pieces = {11760, 11760, 11760, 11760, 11760, 11760, 11760, 9248, 1176};
    EXPECT_EQ(sink->blockSizes, pieces);
    EXPECT_EQ(std::string(sink->bytes.begin(), sink->bytes.end()), sound.substr(0, at));
    EXPECT_EQ(withoutSilentFrames(heard()), withoutSilentFrames(sound.substr(0, at)));
    // Each window showed every piece it passed on.
    EXPECT_TRUE(std::equal(std::begin(scope->trace.oldLeft), std::end(scope->trace.oldLeft),
                           std::begin(scopeSeen.oldLeft)));
    EXPECT_TRUE(std::equal(std::begin(spectrum->levels.levels), std::end(spectrum->levels.levels),
                           std::begin(spectrumSeen.levels)));
}

// Rips through the program with SDL's disk driver as the audio device and
// no display at all.
struct RipCase {
    const char* name;
    std::vector<std::string> arguments;
    bool deviceOpens;
    std::vector<std::string> filesWritten;
    int lastTrack;  // tracks 1 to this one play; the device file holds the last one
    bool withoutModule = false;  // a copy of volta with no SDL module beside it
};

TEST(PlaybackRip, WhatIsHeardIsWhatIsWrittenInRealTime) {
    const RipCase cases[] = {
        {"play and write", {"/o", "w", "1"}, true, {"w01.wav"}, 1},
        {"play only", {"/oo", "w", "1"}, true, {}, 1},
        {"breaker and monitors without a display",
         {"/o", "/ob", "/oc", "/os", "w", "1:2"}, true, {"w01.wav", "w02.wav"}, 2},
        {"no audio device", {"/o", "/ob", "w", "1"}, false, {}, 1},
        {"no SDL module", {"/o", "/oc", "/os", "w", "1"}, false, {}, 1, true},
    };
    for (const RipCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DiscImage image(dir.path(), audioDisc({30, 25}));
        const std::string device = c.deviceOpens ? dir.file("device.raw") : dir.file("missing/device.raw");
        RunOptions run;
        run.cwd = dir.path();
        run.env = {{"VOLTA_IMAGES", image.imagesEntry()}, {"SDL_AUDIODRIVER", "disk"},
                   {"SDL_DISKAUDIOFILE", device},        {"SDL_VIDEODRIVER", ""},
                   {"DISPLAY", ""},                      {"WAYLAND_DISPLAY", ""}};
        std::vector<std::string> argv = {voltaBinary()};
        if (c.withoutModule) {
            argv[0] = dir.file("volta");
            std::filesystem::copy_file(voltaBinary(), argv[0]);
        }
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const auto start = Clock::now();
        const RunResult result = runProgram(argv, run);
        const double seconds = secondsSince(start);

        for (int track = 1; track <= 2; ++track) {
            const std::string name = "w0" + std::to_string(track) + ".wav";
            const bool wanted = std::find(c.filesWritten.begin(), c.filesWritten.end(), name) != c.filesWritten.end();
            ASSERT_EQ(std::filesystem::exists(dir.file(name)), wanted) << name << "\n" << result.output;
            if (wanted) {
                EXPECT_EQ(wavData(dir.file(name)),
                          image.sectors(image.trackStart(track), image.trackEnd(track) - image.trackStart(track)));
            }
        }
        if (!c.deviceOpens) {
            EXPECT_EQ(result.exitCode, 7) << result.output;
            EXPECT_NE(result.output.find("Could Not Open Audio Device: "), std::string::npos) << result.output;
            EXPECT_NE(result.output.find("Extraction Returned Error State\n"), std::string::npos);
            if (c.withoutModule) {
                const size_t said = result.output.find("Could Not Open Monitor Window: ");
                EXPECT_NE(said, std::string::npos) << result.output;
                EXPECT_EQ(result.output.find("Could Not Open Monitor Window: ", said + 1), std::string::npos);
            }
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const int first = image.trackStart(c.lastTrack);
        const int sectors = image.trackEnd(c.lastTrack) - first;
        EXPECT_EQ(withoutSilentFrames(readFile(device)), withoutSilentFrames(image.sectors(first, sectors)));
        // Every track from the first on was played in real time.
        EXPECT_GE(seconds, kPacing * (image.trackEnd(c.lastTrack) - image.trackStart(1)) / 75.0);
        const std::string noWindow = "Could Not Open Monitor Window: ";
        const size_t said = result.output.find(noWindow);
        const bool monitors = c.lastTrack == 2;
        EXPECT_EQ(said != std::string::npos, monitors) << result.output;
        if (monitors) {
            EXPECT_EQ(result.output.find(noWindow, said + 1), std::string::npos) << "once per run";
        }
    }
}

TEST(AudioBreakerFailure, StopsAtTheFirstPieceThatFails) {
    auto recorder = std::make_unique<RecordingStage>();
    RecordingStage* sink = recorder.get();
    sink->failWritesFrom = 2;
    AudioBreaker breaker(std::move(recorder));
    const std::string sound = audio(0, 25);
    EXPECT_NE(breaker.write(bytesOf(sound), 58800), 0);
    EXPECT_EQ(sink->blockSizes.size(), 3u);
}

}  // namespace
