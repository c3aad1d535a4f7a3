#pragma once
// Plays a RIFF WAVE held in memory without waiting for it to end.

#include <QByteArray>
#include <SDL_audio.h>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // 0 when the sound started; non-zero when there is no audio device or
    // the data is not a playable WAVE. Nothing is shown either way.
    virtual int play(const QByteArray& wave) = 0;
};

class SdlSoundPlayer : public SoundPlayer {
public:
    SdlSoundPlayer();
    ~SdlSoundPlayer() override;
    SdlSoundPlayer(const SdlSoundPlayer&) = delete;
    SdlSoundPlayer& operator=(const SdlSoundPlayer&) = delete;

    int play(const QByteArray& wave) override;

private:
    void closeDevice();

    bool audioReady_ = false;
    SDL_AudioDeviceID device_ = 0;
};
