#include "engine/drive/syncmatch.h"

#include "engine/drive/cddrive.h"

#include <cstring>

namespace {

bool sameSector(const uint8_t* a, int aIndex, const uint8_t* b, int bIndex) {
    return std::memcmp(a + static_cast<size_t>(aIndex) * kSectorBytes, b + static_cast<size_t>(bIndex) * kSectorBytes,
                       kSectorBytes) == 0;
}

}  // namespace

// Candidates nearest the expected landing place come first: in digital
// silence several of them match, and only the expected one keeps a clean
// drive's copy exact there.
std::optional<int> syncSkip(const uint8_t* previous, int previousCount, const uint8_t* fresh, int freshCount) {
    static constexpr int kShifts[] = {0, 1, -1, 2, 3};
    for (int shift : kShifts) {
        int index = previousCount - kSyncOverlap + shift;
        if (index < 0 || index >= previousCount || !sameSector(fresh, 0, previous, index)) continue;
        int skip = previousCount - index;
        // A read that landed wholly on delivered sectors brings nothing new:
        // it counts as no match, so the caller's re-read bound covers it.
        if (skip >= freshCount) return std::nullopt;
        return skip;
    }
    return std::nullopt;
}

// Nearest offsets first, so that a clean drive is recognised at once.
std::optional<int> landingOffset(const uint8_t* previous, int previousCount, const uint8_t* fresh,
                                 int freshCount) {
    for (int distance = 0; distance < freshCount && distance < previousCount; ++distance) {
        if (sameSector(fresh, 0, previous, distance)) return distance;
        if (distance > 0 && sameSector(previous, 0, fresh, distance)) return -distance;
    }
    return std::nullopt;
}

void LandingScatter::record(int offset) {
    if (offset < low)
        low = offset, quiet = 0;
    else if (offset > high)
        high = offset, quiet = 0;
    else
        ++quiet;
}

bool LandingScatter::isSettled() const { return quiet >= kQuietReads && (low + high) % 2 == 0; }
