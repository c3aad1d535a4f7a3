#pragma once

#include "engine/drive/cddrive.h"

// The table of contents as the disc identifiers see it.
struct DiscLayout {
    int firstTrack = 0;
    int lastTrack = 0;
    int trackStart[kMaxTracks + 1] = {};    // by track number
    int trackControl[kMaxTracks + 1] = {};  // by track number
    int leadOut = 0;
};

// 0 when the drive's table of contents gives a layout a disc ID can be
// computed from: tracks within 1..99, in order, ending at the lead-out.
int readDiscLayout(const CdDrive& drive, DiscLayout& layout);

// The gap between the audio session of an enhanced CD and its data session:
// the lead-out and lead-in between them, which hold no track.
constexpr int kSessionGapSectors = 11400;

// The first session alone. An enhanced CD keeps its data track last, in a
// session of its own, so the audio ends that gap before it; a data track
// first (mixed mode) shares the session with the music and stays.
DiscLayout firstSession(const DiscLayout& layout);
