#include "engine/output/playback/audiobreaker.h"

#include <algorithm>

AudioBreaker::AudioBreaker(std::unique_ptr<AudioStage> next) : AudioStage(std::move(next)) {}

int AudioBreaker::write(const uint8_t* data, int byteCount) {
    while (byteCount > 0) {
        const int piece = std::min(byteCount, kPieceBytes);
        const int result = AudioStage::write(data, piece);
        if (result != 0) return result;
        data += piece;
        byteCount -= piece;
    }
    return 0;
}
