#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

struct SDL_semaphore;

// The audio output device with a ring of eight buffers, each a copy of one
// block. The device's thread only marks buffers done and signals; the ring
// itself belongs to the thread that queues. At most seven buffers are
// outstanding, so the queueing thread runs at most seven blocks ahead of
// what is heard.
class WavePlayer {
public:
    static constexpr int kSlots = 8;
    // SDL paces its file-writing driver only with buffers this long or longer.
    static constexpr int kDeviceFrames = 1024;

    WavePlayer(int sampleRate, int bitsPerSample, int channels);
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    int openDevice();
    // Queues a copy of the block, first retiring the oldest buffer when
    // seven are outstanding.
    int enqueue(const uint8_t* data, int byteCount);
    // Returns once at most one buffer is still playing.
    void waitUntilOneLeft();
    // Returns once every buffer has been heard.
    void drain();
    int closeDevice();

    int outstanding() const { return (head_ - tail_ + kSlots) % kSlots; }

private:
    enum SlotState : int { Free, Queued, Done };
    struct Slot {
        std::vector<uint8_t> data;
        std::atomic<int> state{Free};
    };

    void retireOldest();
    bool deviceStopped() const;
    static void deviceCallback(void* player, uint8_t* stream, int length);
    void fillDevice(uint8_t* stream, int length);

    Slot slots_[kSlots];
    int head_ = 0;
    int tail_ = 0;

    // Touched by the device's thread only, once the device runs.
    int playing_ = 0;
    int playedBytes_ = 0;
    int finished_ = 0;
    int finishedFirst_ = 0;

    uint32_t device_ = 0;
    SDL_semaphore* completed_ = nullptr;
    uint8_t silence_ = 0;
    int sampleRate_;
    int bitsPerSample_;
    int channels_;
};
