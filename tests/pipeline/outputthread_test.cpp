// The output thread: what it passes on, in which order, and how failures
// behind it come back to the source.

#include "engine/output/encoders/lame/bladeencoder.h"
#include "engine/pipeline/outputthread.h"
#include "tests/pipeline/recordingstage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <numeric>
#include <vector>

namespace {

// Blocks of awkward sizes holding a counting sequence.
std::vector<std::vector<uint8_t>> countingBlocks(int count) {
    std::vector<std::vector<uint8_t>> blocks;
    uint8_t value = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> block(static_cast<size_t>((i * 7919) % kMaxBlockBytes) & ~size_t{3});
        for (uint8_t& b : block) b = value++;
        blocks.push_back(std::move(block));
    }
    return blocks;
}

std::vector<uint8_t> encodeMp3(const TempDir& dir, const char* name, bool threaded,
                               const std::vector<std::vector<uint8_t>>& blocks) {
    std::unique_ptr<AudioStage> chain = std::make_unique<BladeEncoder>(dir.file(name).c_str(), 192, true);
    if (threaded) chain = std::make_unique<OutputThread>(std::move(chain));
    EXPECT_EQ(chain->open(), 0);
    for (const auto& block : blocks) EXPECT_EQ(chain->write(block.data(), static_cast<int>(block.size())), 0);
    EXPECT_EQ(chain->close(), 0);
    const std::string bytes = readFile(dir.file(name));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(OutputThread, PassesEveryBlockOnInOrderAndTheSameFileComesOut) {
    const auto blocks = countingBlocks(200);
    StageUnderTest<OutputThread> thread;
    ASSERT_EQ(thread.stage->open(), 0);
    for (const auto& block : blocks)
        ASSERT_EQ(thread.stage->write(block.data(), static_cast<int>(block.size())), 0);
    thread.stage->sync();
    EXPECT_EQ(thread.sink->blockSizes.size(), blocks.size());
    ASSERT_EQ(thread.stage->close(), 0);
    EXPECT_EQ(thread.sink->closes, 1);
    std::vector<uint8_t> expected;
    for (const auto& block : blocks) expected.insert(expected.end(), block.begin(), block.end());
    EXPECT_EQ(thread.sink->bytes, expected);

    TempDir dir;
    const auto audio = countingBlocks(60);
    EXPECT_EQ(encodeMp3(dir, "direct.mp3", false, audio), encodeMp3(dir, "threaded.mp3", true, audio));
}

TEST(OutputThread, FailuresBehindTheThreadReachTheSource) {
    const std::vector<uint8_t> block(4096, 1);
    {
        StageUnderTest<OutputThread> thread;
        thread.sink->failWritesFrom = 3;
        ASSERT_EQ(thread.stage->open(), 0);
        int failedAt = -1;
        for (int i = 0; i < 1000 && failedAt < 0; ++i)
            if (thread.stage->write(block.data(), 4096) != 0) failedAt = i;
        EXPECT_GE(failedAt, 3);
        EXPECT_EQ(thread.stage->close(), 1);
        EXPECT_EQ(thread.sink->closes, 1);
    }
    {
        // A failure after the last write is returned by close.
        StageUnderTest<OutputThread> thread;
        thread.sink->failWritesFrom = 0;
        ASSERT_EQ(thread.stage->open(), 0);
        EXPECT_EQ(thread.stage->write(block.data(), 4096), 0);
        EXPECT_EQ(thread.stage->close(), 1);
    }
    {
        StageUnderTest<OutputThread> thread;
        thread.sink->failOpen = true;
        EXPECT_EQ(thread.stage->open(), 1);
        EXPECT_EQ(thread.stage->write(block.data(), 4096), 1);
    }
    {
        // A disk that fills up under the encoder: the file goes.
        TempDir dir;
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 20000;
        setrlimit(RLIMIT_FSIZE, &limit);
        OutputThread thread(std::make_unique<BladeEncoder>(dir.file("full.mp3").c_str(), 320, true));
        ASSERT_EQ(thread.open(), 0);
        const std::vector<uint8_t> noise = countingBlocks(40).back();
        int failures = 0;
        for (int i = 0; i < 40; ++i) failures += thread.write(noise.data(), static_cast<int>(noise.size()));
        EXPECT_EQ(thread.close(), 1);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        EXPECT_GT(failures, 0);
        EXPECT_FALSE(std::filesystem::exists(dir.file("full.mp3")));
    }
}

}  // namespace
