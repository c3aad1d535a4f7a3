#pragma once

#include "engine/pipeline/audiostage.h"

#include <cstdint>
#include <memory>

class CdDrive;

// A drive's read offset, in stereo frames: a drive whose offset is N
// delivers at position k the frame that belongs at k - N, so frame k of a
// corrected copy is the one the drive delivers at k + N.
constexpr int kMaxReadOffset = 5880;
constexpr int kFramesPerSector = 588;
constexpr int kFrameBytes = 4;

// How the sectors [startLba, endLba) are copied with a read offset: the
// sectors the drive reads, and what of their bytes makes the copy. Frames
// that would come from outside what an audio read reaches are silence.
struct OffsetRead {
    int firstSector = 0;  // the drive reads [firstSector, endSector)
    int endSector = 0;
    long long leadingZeroBytes = 0;  // silence in front of what is read
    long long skipBytes = 0;         // read bytes in front of the copy
    long long takeBytes = 0;         // read bytes that are the copy
    long long trailingZeroBytes = 0;
};

// `low` and `high`: the sectors an audio read can reach around the range.
OffsetRead planOffsetRead(int startLba, int endLba, int offset, int low, int high);

// Audio reads reach from the end of the data track before the range (or the
// disc's start) to the start of the data track after it (or the lead-out).
void audioReach(const CdDrive& drive, int startLba, int endLba, int& low, int& high);

// In front of a chain: passes on from what the drive reads only the bytes
// of the corrected copy, with the silence of the plan around them. The
// trailing silence follows only a copy that is whole.
class OffsetWindow : public AudioStage {
public:
    OffsetWindow(const OffsetRead& plan, std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;
    int close() override;

private:
    int writeSilence(long long bytes);
    int passLeadingSilence();

    long long leading_;
    long long skip_;
    long long take_;
    long long trailing_;
    uint8_t silence_[kMaxBlockBytes / 2] = {};
};
