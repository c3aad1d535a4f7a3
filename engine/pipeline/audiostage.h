#pragma once

#include <cstdint>
#include <memory>

// Blocks never exceed this many bytes anywhere in a chain.
constexpr int kMaxBlockBytes = 131072;

// One processing stage. Each stage owns its successor, so destroying the
// head destroys the chain. 0 means success for write, close and open.
class AudioStage {
public:
    explicit AudioStage(std::unique_ptr<AudioStage> next = nullptr);
    virtual void sync();
    virtual int write(const uint8_t* data, int byteCount);
    virtual int close();
    virtual int open();
    virtual ~AudioStage();

    std::unique_ptr<AudioStage> next;
};
