#include "engine/output/playback/playbackstage.h"

PlaybackStage::PlaybackStage(std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {}

void PlaybackStage::sync() {
    if (player_) player_->waitUntilOneLeft();
    AudioStage::sync();
}

int PlaybackStage::write(const uint8_t* data, int byteCount) {
    if (!player_ || player_->enqueue(data, byteCount) != 0) return 1;
    return AudioStage::write(data, byteCount);
}

int PlaybackStage::close() {
    if (!player_) return AudioStage::close();
    const int closed = player_->closeDevice();
    player_.reset();
    const int passed = AudioStage::close();
    return closed != 0 ? 1 : passed;
}

int PlaybackStage::open() {
    player_ = createWavePlayer(kSampleRate, kBitsPerSample, kChannels);
    if (!player_ || player_->openDevice() != 0) {
        player_.reset();
        return 1;
    }
    return AudioStage::open();
}
