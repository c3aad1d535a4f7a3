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

namespace {

// Both loops run over every byte of a rip; where the processor has them,
// the compiler's wider vector instructions are chosen when volta starts.
#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define VOLTA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VOLTA_VECTOR_CLONES
#endif

// Adds frame k's product with position `first + k` to the sums, as low and
// high words of the 64-bit products. The loop keeps the products' sum and
// their low words' exact sum instead: the difference is the high words'
// sum times 2^32, and whole 64-bit lanes vectorise without the shuffling
// that splitting every product costs. `count` stays below 2^32, so the low
// words' sum cannot overflow.
VOLTA_VECTOR_CLONES
void sumProducts(const uint8_t* data, long long count, uint32_t first, uint32_t& lowSum, uint32_t& highSum) {
    uint64_t products = 0;
    uint64_t lowWords = 0;
    for (long long k = 0; k < count; ++k) {
        uint64_t product = static_cast<uint64_t>(readLittleEndian32(data + k * kFrameBytes)) *
                           static_cast<uint64_t>(first + static_cast<uint32_t>(k));
        products += product;
        lowWords += static_cast<uint32_t>(product);
    }
    lowSum += static_cast<uint32_t>(lowWords);
    highSum += static_cast<uint32_t>((products - lowWords) >> 32);
}

VOLTA_VECTOR_CLONES
int peakOf(const uint8_t* data, long long samples) {
    int16_t smallest = 0;
    int16_t largest = 0;
    for (long long i = 0; i < samples; ++i) {
        int16_t sample = static_cast<int16_t>(readLittleEndian16(data + i * 2));
        smallest = std::min(smallest, sample);
        largest = std::max(largest, sample);
    }
    return std::max(-static_cast<int>(smallest), static_cast<int>(largest));
}

}  // namespace

// Only the counted positions of the piece go into the sums; the peak is
// of all of it.
void TrackChecksums::addFrames(const uint8_t* data, long long count) {
    long long first = position_ + 1;
    long long from = std::max(first, firstCounted_);
    long long to = std::min(first + count - 1, lastCounted_);
    if (from <= to)
        sumProducts(data + (from - first) * kFrameBytes, to - from + 1, static_cast<uint32_t>(from), lowSum_,
                    highSum_);
    peak_ = std::max(peak_, peakOf(data, count * 2));
    position_ += count;
}
