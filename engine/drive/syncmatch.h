#pragma once

#include <cstdint>
#include <optional>

// Sync mode's alignment of overlapping reads, over buffers of whole
// sectors. The reading stays in SyncExtractor.

// Sectors each read after the first repeats of the one before it.
inline constexpr int kSyncOverlap = 4;

// Sectors at the head of `fresh` (a read sent kSyncOverlap sectors before
// the end of `previous`) that `previous` already held, or none when the
// read does not line up with it or brings no new sector.
std::optional<int> syncSkip(const uint8_t* previous, int previousCount, const uint8_t* fresh, int freshCount);

// Where `fresh`, a read sent to the same sector as `previous`, landed
// relative to it, in sectors (positive: later); none when they share no
// sector.
std::optional<int> landingOffset(const uint8_t* previous, int previousCount, const uint8_t* fresh,
                                 int freshCount);

// The landing places of reads relative to the first read of a range: of
// the reads after it, which show where they landed by where they line up,
// or of the first block read again. A drive scatters its landing places
// around the sector it was sent to, and nothing in the audio says which is
// right, so the range starts at the middle of the scatter once no new
// extreme has turned up for a while.
class LandingScatter {
public:
    // Reads that must bring no new extreme before the scatter is known, and
    // the most reads spent on learning it or on landing in its middle.
    static constexpr int kQuietReads = 16;
    static constexpr int kMaxReads = 64;

    void record(int offset);
    // Known, and with a middle sector: a scatter of odd width has none.
    bool isSettled() const;
    // Rounded towards the first read when the scatter has no middle sector.
    int middle() const { return (low + high) / 2; }

private:
    int low = 0;
    int high = 0;
    int quiet = 0;
};
