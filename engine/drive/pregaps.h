#pragma once

#include "engine/drive/disclayout.h"

#include <cstdint>

class ScsiDrive;

// Where a track's pre-gap (INDEX 00) begins is in no table of contents,
// only in the Q sub-channel of the sectors before the track: each names
// the track and index it belongs to.

struct QPosition {
    int track = 0;
    int index = 0;
};

class QSource {
public:
    virtual ~QSource() = default;
    // 0 when the Q sub-channel of sector `lba` was read and tells a position.
    virtual int readPosition(int lba, QPosition& position) = 0;
};

// The sectors before `start` that belong to track `track`, whose previous
// track starts at `previousStart`; 0 when there are none or the
// sub-channel cannot be read.
int findPregap(QSource& source, int track, int previousStart, int start);

// The 16 bytes of a formatted Q sub-channel frame: CONTROL and ADR, track
// and index in BCD, the times, the CRC.
constexpr int kQBytes = 16;

// 0 when the frame tells a position (ADR 1), which goes into `position`.
int decodeQPosition(const uint8_t (&q)[kQBytes], QPosition& position);

// The Q sub-channel as a local drive reads it.
class DriveQSource : public QSource {
public:
    explicit DriveQSource(ScsiDrive& drive);
    int readPosition(int lba, QPosition& position) override;

private:
    ScsiDrive& drive_;
};

// The pre-gaps of the audio tracks that follow audio tracks, by track
// number; the others stay as they are.
void findPregaps(QSource& source, const DiscLayout& layout, int (&pregaps)[kMaxTracks + 1]);
