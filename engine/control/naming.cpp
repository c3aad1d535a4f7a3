#include "engine/control/naming.h"

#include <cstdio>

namespace {

// Both time formats share one buffer, which the next call overwrites.
char timeText[32];

struct TimeFields {
    int minutes, seconds, frames;
};

// The fields are bytes, hence the reduction modulo 256.
TimeFields splitSectors(int sectors) {
    return {(sectors / 4500) & 0xFF, ((sectors / 75) % 60) & 0xFF, (sectors % 75) & 0xFF};
}

}  // namespace

const char* formatTrackTime(int sectors) {
    TimeFields t = splitSectors(sectors);
    std::snprintf(timeText, sizeof timeText, "%d.%02d", t.minutes, t.seconds);
    return timeText;
}

const char* formatMsf(int sectors) {
    TimeFields t = splitSectors(sectors);
    std::snprintf(timeText, sizeof timeText, "%02d:%02d.%02d", t.minutes, t.seconds, t.frames);
    return timeText;
}
