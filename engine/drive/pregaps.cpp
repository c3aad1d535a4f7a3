#include "engine/drive/pregaps.h"

#include "engine/drive/scsidrive.h"

namespace {

// Some Q frames carry the catalogue number or an ISRC instead of the
// position; a neighbour between `below` and `above` then tells it.
// Returns the sector that told, or -1.
int probe(QSource& source, int lba, int below, int above, QPosition& position) {
    for (int candidate : {lba, lba - 1, lba + 1}) {
        if (candidate <= below || candidate >= above) continue;
        if (source.readPosition(candidate, position) == 0) return candidate;
    }
    return -1;
}

}  // namespace

// The sector before the track tells whether there is a gap; then the
// search goes back in doubling steps, so that the usual gap of two seconds
// costs a few reads close to the track, and halves the last step.
int findPregap(QSource& source, int track, int previousStart, int start) {
    QPosition position;
    int last = probe(source, start - 1, previousStart, start, position);
    if (last < 0 || position.track != track) return 0;
    int inGap = last;
    int before = previousStart;
    for (int step = 2; start - step > previousStart; step *= 2) {
        int at = probe(source, start - step, previousStart, inGap, position);
        if (at < 0) return start - inGap;
        if (position.track != track) {
            before = at;
            break;
        }
        inGap = at;
    }
    while (inGap - before > 1) {
        // Where no frame between tells, the gap is what is known of it.
        int at = probe(source, before + (inGap - before) / 2, before, inGap, position);
        if (at < 0) break;
        if (position.track == track)
            inGap = at;
        else
            before = at;
    }
    return start - inGap;
}

int decodeQPosition(const uint8_t (&q)[kQBytes], QPosition& position) {
    auto bcd = [](uint8_t value) { return (value >> 4) <= 9 && (value & 0x0F) <= 9 ? (value >> 4) * 10 + (value & 0x0F) : -1; };
    if ((q[0] & 0x0F) != 1) return 1;
    position.track = bcd(q[1]);
    position.index = bcd(q[2]);
    return position.track < 0 || position.index < 0 ? 1 : 0;
}

DriveQSource::DriveQSource(ScsiDrive& drive) : drive_(drive) {}

int DriveQSource::readPosition(int lba, QPosition& position) {
    uint8_t q[kQBytes] = {};
    if (drive_.readSubchannelQ(lba, q) != 0) return 1;
    return decodeQPosition(q, position);
}

void findPregaps(QSource& source, const DiscLayout& layout, int (&pregaps)[kMaxTracks + 1]) {
    for (int track = layout.firstTrack + 1; track <= layout.lastTrack; ++track) {
        if ((layout.trackControl[track] | layout.trackControl[track - 1]) & kControlData) continue;
        pregaps[track] = findPregap(source, track, layout.trackStart[track - 1], layout.trackStart[track]);
    }
}
