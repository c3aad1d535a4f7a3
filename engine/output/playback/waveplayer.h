#pragma once

#include <cstdint>
#include <memory>

// The audio output device with a ring of eight buffers, each a copy of one
// block. At most seven buffers are outstanding, so the queueing thread runs
// at most seven blocks ahead of what is heard.
class WavePlayer {
public:
    static constexpr int kSlots = 8;

    virtual ~WavePlayer() = default;

    virtual int openDevice() = 0;
    // Queues a copy of the block, first retiring the oldest buffer when
    // seven are outstanding.
    virtual int enqueue(const uint8_t* data, int byteCount) = 0;
    // Returns once at most one buffer is still playing.
    virtual void waitUntilOneLeft() = 0;
    // Returns once every buffer has been heard.
    virtual void drain() = 0;
    virtual int closeDevice() = 0;
    virtual int outstanding() const = 0;
};

// A player for the format from the SDL module; null, with "Could Not Open
// Audio Device" said, when the module cannot be loaded.
std::unique_ptr<WavePlayer> createWavePlayer(int sampleRate, int bitsPerSample, int channels);

// The module's entry point, as the engine finds it.
using CreateWavePlayerFunction = WavePlayer* (*)(int sampleRate, int bitsPerSample, int channels);
constexpr const char* kCreateWavePlayerSymbol = "voltaCreateWavePlayer";
