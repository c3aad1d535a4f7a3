#include "frontend/sdl/soundplayer.h"

#include <SDL.h>

SdlSoundPlayer::SdlSoundPlayer() {
    // SDL would otherwise catch SIGINT and SIGTERM for an event queue that
    // PLUMA never reads, and the session could no longer end PLUMA.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    audioReady_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

SdlSoundPlayer::~SdlSoundPlayer() {
    closeDevice();
    if (audioReady_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlSoundPlayer::closeDevice() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
}

int SdlSoundPlayer::play(const QByteArray& wave) {
    if (!audioReady_) return 1;
    SDL_AudioSpec spec;
    Uint8* samples = nullptr;
    Uint32 length = 0;
    SDL_RWops* source = SDL_RWFromConstMem(wave.constData(), static_cast<int>(wave.size()));
    if (!source || !SDL_LoadWAV_RW(source, 1, &spec, &samples, &length)) return 2;
    // The queue plays on SDL's own thread; the device stays open until the
    // next sound or the end of the player.
    closeDevice();
    spec.callback = nullptr;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0);
    int result = 3;
    if (device_ != 0 && SDL_QueueAudio(device_, samples, length) == 0) {
        SDL_PauseAudioDevice(device_, 0);
        result = 0;
    }
    SDL_FreeWAV(samples);
    return result;
}
