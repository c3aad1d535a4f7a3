#pragma once

#include <cstddef>
#include <cstdint>

// What proves one track's copy: the two AccurateRip checksums, the CRC-32
// of its bytes and its peak level, taken from the audio as it is read.
class TrackChecksums {
public:
    static constexpr long long kFramesPerSector = 588;
    // AccurateRip leaves out what a drive's offset may push beyond the disc's
    // ends: the first 5 sectors of the disc less one frame, the last 5 sectors.
    static constexpr long long kEdgeFrames = 5 * kFramesPerSector;

    // `frames`: the track's length in stereo frames.
    TrackChecksums(long long frames, bool firstOfDisc, bool lastOfDisc);

    // The next bytes of the track, in any pieces.
    void add(const uint8_t* data, std::size_t bytes);

    uint32_t accurateRipV1() const { return lowSum_; }
    uint32_t accurateRipV2() const { return lowSum_ + highSum_; }
    uint32_t crc32() const { return crc_; }
    // Of either channel, 32768 at full scale.
    int peak() const { return peak_; }
    long long framesSeen() const { return position_; }
    bool isComplete() const { return position_ == frames_ && carried_ == 0; }

private:
    void addFrames(const uint8_t* data, long long count);

    long long frames_;
    long long firstCounted_;  // positions count from 1
    long long lastCounted_;
    long long position_ = 0;  // frames taken so far
    uint32_t lowSum_ = 0;
    uint32_t highSum_ = 0;
    uint32_t crc_ = 0;
    int peak_ = 0;
    uint8_t carry_[4] = {};
    int carried_ = 0;
};
