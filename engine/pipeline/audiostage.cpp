#include "engine/pipeline/audiostage.h"

AudioStage::AudioStage(std::unique_ptr<AudioStage> next) : next(std::move(next)) {}

void AudioStage::sync() {
    if (next) next->sync();
}

int AudioStage::write(const uint8_t* data, int byteCount) {
    return next ? next->write(data, byteCount) : 0;
}

int AudioStage::close() {
    return next ? next->close() : 0;
}

int AudioStage::open() {
    return next ? next->open() : 0;
}

AudioStage::~AudioStage() = default;
