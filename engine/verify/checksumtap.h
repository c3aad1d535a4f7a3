#pragma once

#include "engine/pipeline/audiostage.h"
#include "engine/verify/trackchecksums.h"

#include <memory>
#include <vector>

// A track that lies whole inside one job's copy.
struct TrackSpan {
    int number = 0;
    int audioIndex = 0;       // among the disc's audio tracks, from 0
    long long firstByte = 0;  // from the start of the copy
    long long frames = 0;
    bool firstOfDisc = false;  // the disc's first audio track
    bool lastOfDisc = false;   // and its last
};

// In front of a job's processing: passes the audio on untouched and takes
// the checksums of every track of the copy from it, on a thread of their
// own, so that the copy goes at the pace it would without them.
class ChecksumTap : public AudioStage {
public:
    ChecksumTap(const std::vector<TrackSpan>& tracks, std::unique_ptr<AudioStage> next);
    ~ChecksumTap() override;
    int open() override;
    int write(const uint8_t* data, int byteCount) override;
    int close() override;

    // Waits for the checksums of what was written; then they are final.
    void finish();

    const std::vector<TrackSpan>& tracks() const { return tracks_; }
    // Parallel to tracks(), final after finish().
    const std::vector<TrackChecksums>& checksums() const { return checksums_; }
    long long bytesSeen() const { return position_; }

private:
    class Summer;

    std::vector<TrackSpan> tracks_;
    std::vector<TrackChecksums> checksums_;
    std::unique_ptr<AudioStage> side_;  // the thread that sums
    bool sideOpen_ = false;
    long long position_ = 0;
};
