#include "engine/drive/readtally.h"

void ReadTally::noteFailure(int lba, int count) {
    if (failures_.size() < kMaxKept) failures_.push_back({lba, count, false});
}

void ReadTally::noteRetry() {
    if (!failures_.empty()) failures_.back().retried = true;
}

void ReadTally::clear() {
    failures_.clear();
}
