#pragma once

#include "engine/pipeline/audiostage.h"

#include <cstdint>
#include <cstring>
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
