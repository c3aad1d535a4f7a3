#include "engine/verify/trackchecksums.h"

#include "engine/common/byteorder.h"
#include "engine/verify/zlib/crc32.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kFrameBytes = 4;

}  // namespace

TrackChecksums::TrackChecksums(long long frames, bool firstOfDisc, bool lastOfDisc)
    : frames_(frames),
      firstCounted_(firstOfDisc ? kEdgeFrames : 1),
      lastCounted_(lastOfDisc ? frames - kEdgeFrames : frames) {}

void TrackChecksums::add(const uint8_t* data, std::size_t bytes) {
    crc_ = crc32Update(crc_, data, bytes);
    if (carried_ > 0) {
        while (carried_ < kFrameBytes && bytes > 0) {
            carry_[carried_++] = *data++;
            --bytes;
        }
        if (carried_ < kFrameBytes) return;
        addFrames(carry_, 1);
        carried_ = 0;
    }
    long long whole = static_cast<long long>(bytes / kFrameBytes);
    addFrames(data, whole);
    data += whole * kFrameBytes;
    for (std::size_t rest = bytes % kFrameBytes; rest > 0; --rest) carry_[carried_++] = *data++;
}

// The sums are split so that the loops have no test per frame: the counted
// positions of this piece first, then the peak over all of it.
void TrackChecksums::addFrames(const uint8_t* data, long long count) {
    long long first = position_ + 1;
    long long from = std::max(first, firstCounted_);
    long long to = std::min(first + count - 1, lastCounted_);
    uint32_t low = lowSum_;
    uint32_t high = highSum_;
    for (long long at = from; at <= to; ++at) {
        uint64_t product = static_cast<uint64_t>(readLittleEndian32(data + (at - first) * kFrameBytes)) *
                           static_cast<uint64_t>(at);
        low += static_cast<uint32_t>(product);
        high += static_cast<uint32_t>(product >> 32);
    }
    lowSum_ = low;
    highSum_ = high;

    int16_t smallest = 0;
    int16_t largest = 0;
    const long long samples = count * 2;
    for (long long i = 0; i < samples; ++i) {
        int16_t sample = static_cast<int16_t>(readLittleEndian16(data + i * 2));
        smallest = std::min(smallest, sample);
        largest = std::max(largest, sample);
    }
    peak_ = std::max({peak_, -static_cast<int>(smallest), static_cast<int>(largest)});
    position_ += count;
}
