#include "engine/output/sdl/sdlwaveplayer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Bounds each wait, so that a device that stops calling back is noticed.
constexpr Uint32 kWaitMilliseconds = 200;

}  // namespace

SdlWavePlayer::SdlWavePlayer(int sampleRate, int bitsPerSample, int channels)
    : sampleRate_(sampleRate), bitsPerSample_(bitsPerSample), channels_(channels) {}

SdlWavePlayer::~SdlWavePlayer() {
    if (device_ != 0) closeDevice();
}

int SdlWavePlayer::openDevice() {
    head_ = tail_ = 0;
    playing_ = playedBytes_ = finished_ = finishedFirst_ = 0;
    // Ctrl-C and SIGTERM stay with the console's handlers, which restore
    // the terminal and end the run.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::printf("Could Not Open Audio Device: %s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate_;
    wanted.format = bitsPerSample_ == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(channels_);
    wanted.samples = kDeviceFrames;
    wanted.callback = deviceCallback;
    wanted.userdata = this;
    // SDL converts to whatever the device takes, so the blocks stay as they are.
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        std::printf("Could Not Open Audio Device: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 1;
    }
    silence_ = obtained.silence;
    completed_ = SDL_CreateSemaphore(0);
    if (!completed_) {
        std::printf("Could Not Open Audio Device: %s\n", SDL_GetError());
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 1;
    }
    SDL_PauseAudioDevice(device_, 0);
    return 0;
}

int SdlWavePlayer::enqueue(const uint8_t* data, int byteCount) {
    if (device_ == 0 || byteCount < 0) return 1;
    while ((head_ + 1) % kSlots == tail_) retireOldest();
    // A device that went away takes nothing more, rather than swallowing it.
    if (deviceStopped()) return 1;
    Slot& slot = slots_[head_];
    slot.data.assign(data, data + byteCount);
    slot.state.store(Queued, std::memory_order_release);
    head_ = (head_ + 1) % kSlots;
    return 0;
}

void SdlWavePlayer::retireOldest() {
    Slot& slot = slots_[tail_];
    while (slot.state.load(std::memory_order_acquire) != Done && !deviceStopped())
        SDL_SemWaitTimeout(completed_, kWaitMilliseconds);
    // A stopped device returns nothing more; its thread no longer runs, so
    // the slot can be taken back all the same.
    slot.state.store(Free, std::memory_order_relaxed);
    tail_ = (tail_ + 1) % kSlots;
}

void SdlWavePlayer::waitUntilOneLeft() {
    while (outstanding() >= 2) retireOldest();
}

void SdlWavePlayer::drain() {
    while (outstanding() > 0) retireOldest();
}

int SdlWavePlayer::closeDevice() {
    if (device_ == 0) return 1;
    drain();
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_DestroySemaphore(completed_);
    completed_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    for (Slot& slot : slots_) {
        slot.data.clear();
        slot.data.shrink_to_fit();
    }
    return 0;
}

bool SdlWavePlayer::deviceStopped() const {
    return SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

void SdlWavePlayer::deviceCallback(void* player, uint8_t* stream, int length) {
    static_cast<SdlWavePlayer*>(player)->fillDevice(stream, length);
}

void SdlWavePlayer::fillDevice(uint8_t* stream, int length) {
    // SDL asks for the next stretch only after the previous one was played,
    // so the buffers that ended there have now been heard.
    for (; finished_ > 0; --finished_) {
        slots_[finishedFirst_].state.store(Done, std::memory_order_release);
        finishedFirst_ = (finishedFirst_ + 1) % kSlots;
        SDL_SemPost(completed_);
    }
    int filled = 0;
    while (filled < length) {
        Slot& slot = slots_[playing_];
        if (slot.state.load(std::memory_order_acquire) != Queued) break;
        const int size = static_cast<int>(slot.data.size());
        const int take = std::min(length - filled, size - playedBytes_);
        if (take > 0) std::memcpy(stream + filled, slot.data.data() + playedBytes_, take);
        filled += take;
        playedBytes_ += take;
        if (playedBytes_ == size) {
            ++finished_;
            playing_ = (playing_ + 1) % kSlots;
            playedBytes_ = 0;
        }
    }
    std::memset(stream + filled, silence_, length - filled);
}

extern "C" WavePlayer* voltaCreateWavePlayer(int sampleRate, int bitsPerSample, int channels) {
    return new (std::nothrow) SdlWavePlayer(sampleRate, bitsPerSample, channels);
}
