#pragma once

#include "engine/output/playback/waveplayer.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct SDL_semaphore;

// The player over SDL's audio device. The device's thread only marks
// buffers done and signals; the ring itself belongs to the thread that
// queues.
class SdlWavePlayer : public WavePlayer {
public:
    // SDL paces its file-writing driver only with buffers this long or longer.
    static constexpr int kDeviceFrames = 1024;

    SdlWavePlayer(int sampleRate, int bitsPerSample, int channels);
    ~SdlWavePlayer() override;
    SdlWavePlayer(const SdlWavePlayer&) = delete;
    SdlWavePlayer& operator=(const SdlWavePlayer&) = delete;

    int openDevice() override;
    int enqueue(const uint8_t* data, int byteCount) override;
    void waitUntilOneLeft() override;
    void drain() override;
    int closeDevice() override;
    int outstanding() const override { return (head_ - tail_ + kSlots) % kSlots; }

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
