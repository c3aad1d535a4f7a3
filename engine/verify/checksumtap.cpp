#include "engine/verify/checksumtap.h"

#include "engine/common/owned.h"
#include "engine/pipeline/outputthread.h"

#include <algorithm>

// The end of the side branch: hands each block to the tracks it covers.
class ChecksumTap::Summer : public AudioStage {
public:
    explicit Summer(ChecksumTap& tap) : tap_(tap) {}

    int write(const uint8_t* data, int byteCount) override {
        long long end = summed_ + byteCount;
        for (size_t k = 0; k < tap_.tracks_.size(); ++k) {
            long long trackFirst = tap_.tracks_[k].firstByte;
            long long trackEnd = trackFirst + tap_.tracks_[k].frames * 4;
            long long from = std::max(summed_, trackFirst);
            long long to = std::min(end, trackEnd);
            if (from < to) tap_.checksums_[k].add(data + (from - summed_), static_cast<size_t>(to - from));
        }
        summed_ = end;
        return 0;
    }

private:
    ChecksumTap& tap_;
    long long summed_ = 0;
};

ChecksumTap::ChecksumTap(const std::vector<TrackSpan>& tracks, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), tracks_(tracks) {
    checksums_.reserve(tracks_.size());
    for (const TrackSpan& track : tracks_) checksums_.emplace_back(track.frames, track.firstOfDisc, track.lastOfDisc);
}

ChecksumTap::~ChecksumTap() { finish(); }

int ChecksumTap::open() {
    if (int result = AudioStage::open(); result != 0) return result;
    if (tracks_.empty()) return 0;
    std::unique_ptr<AudioStage> summer = makeOwned<Summer>(*this);
    if (summer) side_ = makeOwned<OutputThread>(std::move(summer));
    if (!side_ || side_->open() != 0) {
        AudioStage::close();
        return 1;
    }
    sideOpen_ = true;
    return 0;
}

int ChecksumTap::write(const uint8_t* data, int byteCount) {
    if (sideOpen_ && side_->write(data, byteCount) != 0) return 1;
    position_ += byteCount;
    return AudioStage::write(data, byteCount);
}

void ChecksumTap::finish() {
    if (!sideOpen_) return;
    sideOpen_ = false;
    side_->close();
}

int ChecksumTap::close() {
    finish();
    return AudioStage::close();
}
