#include "engine/pipeline/silencepadder.h"

#include <algorithm>

namespace {

// More frames than this would not fit in a WAV file.
constexpr double kMaxFrames = 1073741823.0;

}  // namespace

SilencePadder::SilencePadder(double leadingSeconds, double trailingSeconds,
                             std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), leadingSeconds_(leadingSeconds), trailingSeconds_(trailingSeconds) {}

int SilencePadder::writeSilence(double seconds) {
    const double frames = seconds * 44100;
    if (!(frames >= 1)) return 0;
    uint64_t bytes = 4 * static_cast<uint64_t>(std::min(frames, kMaxFrames));
    while (bytes > 0) {
        const int piece = static_cast<int>(std::min<uint64_t>(bytes, kZeroBlockBytes));
        if (AudioStage::write(zeros_, piece) != 0) return 1;
        bytes -= piece;
    }
    return 0;
}

int SilencePadder::open() {
    const int result = AudioStage::open();
    if (result != 0) return result;
    // The source will not close a chain whose open failed, so close it here.
    if (writeSilence(leadingSeconds_) != 0) {
        AudioStage::close();
        return 1;
    }
    return 0;
}

int SilencePadder::close() {
    const int padded = writeSilence(trailingSeconds_);
    const int result = AudioStage::close();
    return result != 0 ? result : padded;
}
