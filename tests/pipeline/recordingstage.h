#pragma once

#include <gtest/gtest.h>

#include "engine/pipeline/audiostage.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The end of a test chain: keeps what reaches it and can be told to fail.
class RecordingStage : public AudioStage {
public:
    int write(const uint8_t* data, int byteCount) override {
        blockSizes.push_back(byteCount);
        if (failWritesFrom >= 0 && static_cast<int>(blockSizes.size()) > failWritesFrom) return 1;
        bytes.insert(bytes.end(), data, data + byteCount);
        return 0;
    }
    int open() override {
        ++opens;
        return failOpen ? 1 : 0;
    }
    int close() override {
        ++closes;
        return 0;
    }

    std::vector<int16_t> samples() const {
        std::vector<int16_t> result(bytes.size() / 2);
        if (!result.empty()) std::memcpy(result.data(), bytes.data(), result.size() * 2);
        return result;
    }

    std::vector<uint8_t> bytes;
    std::vector<int> blockSizes;
    int opens = 0;
    int closes = 0;
    bool failOpen = false;
    int failWritesFrom = -1;  // writes after this many succeed fail; -1 never
};

inline const uint8_t* asBytes(const std::vector<int16_t>& samples) {
    return reinterpret_cast<const uint8_t*>(samples.data());
}

inline int byteSize(const std::vector<int16_t>& samples) {
    return static_cast<int>(samples.size() * 2);
}

// A stage in front of a recorder; `sink` stays valid while `stage` lives.
template <class Stage>
struct StageUnderTest {
    template <class... Arguments>
    explicit StageUnderTest(Arguments... arguments) {
        auto recorder = std::make_unique<RecordingStage>();
        sink = recorder.get();
        stage = std::make_unique<Stage>(arguments..., std::move(recorder));
    }
    int write(const std::vector<int16_t>& samples) { return stage->write(asBytes(samples), byteSize(samples)); }
    // Writes one block and returns what came out of it.
    std::vector<int16_t> run(const std::vector<int16_t>& samples) {
        sink->bytes.clear();
        EXPECT_EQ(write(samples), 0);
        return sink->samples();
    }
    std::unique_ptr<Stage> stage;
    RecordingStage* sink;
};
