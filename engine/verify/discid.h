#pragma once

#include "engine/drive/disclayout.h"

#include <cstdint>
#include <string>

// The identity under which the AccurateRip database files a disc.
struct AccurateRipId {
    int audioTracks = 0;
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    uint32_t cddb = 0;

    // "nnn-aaaaaaaa-bbbbbbbb-cccccccc".
    std::string text() const;
    // "x/y/z/dBAR-<text>.bin", x y z being the last three hex digits of id1, last first.
    std::string databasePath() const;
};

// Only the audio tracks count, numbered from 1 in disc order, so a data
// track in front (mixed mode) leaves the sums as if it were not there; the
// lead-out is the whole disc's, also behind a data track in a second session.
// The CDDB identifier counts every track, as the CDDB lookup does.
AccurateRipId accurateRipId(const DiscLayout& layout);
