#include "engine/drive/readoffset.h"

#include "engine/drive/cddrive.h"

#include <algorithm>

namespace {

long long floorDiv(long long value, long long divisor) {
    long long quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

}  // namespace

OffsetRead planOffsetRead(int startLba, int endLba, int offset, int low, int high) {
    OffsetRead plan;
    long long wantedFirst = static_cast<long long>(startLba) * kFramesPerSector + offset;
    long long wanted = static_cast<long long>(std::max(endLba - startLba, 0)) * kFramesPerSector;
    long long wantedEnd = wantedFirst + wanted;
    long long leading = std::clamp(static_cast<long long>(low) * kFramesPerSector - wantedFirst, 0LL, wanted);
    long long trailing =
        std::clamp(wantedEnd - static_cast<long long>(high) * kFramesPerSector, 0LL, wanted - leading);
    long long first = wantedFirst + leading;
    long long end = wantedEnd - trailing;
    plan.leadingZeroBytes = leading * kFrameBytes;
    plan.trailingZeroBytes = trailing * kFrameBytes;
    plan.firstSector = plan.endSector = startLba;
    if (end > first) {
        plan.firstSector = static_cast<int>(floorDiv(first, kFramesPerSector));
        plan.endSector = static_cast<int>(floorDiv(end + kFramesPerSector - 1, kFramesPerSector));
        plan.skipBytes = (first - static_cast<long long>(plan.firstSector) * kFramesPerSector) * kFrameBytes;
        plan.takeBytes = (end - first) * kFrameBytes;
    }
    return plan;
}

void audioReach(const CdDrive& drive, int startLba, int endLba, int& low, int& high) {
    low = 0;
    high = drive.trackEnd(drive.lastTrack());
    for (int track = drive.firstTrack(); track <= drive.lastTrack(); ++track) {
        if (!(drive.trackControl(track) & kControlData)) continue;
        int start = drive.trackStart(track);
        int end = drive.trackEnd(track);
        if (end >= 0 && end <= startLba) low = std::max(low, end);
        if (start >= endLba) high = std::min(high, start);
    }
}

OffsetWindow::OffsetWindow(const OffsetRead& plan, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)),
      leading_(plan.leadingZeroBytes),
      skip_(plan.skipBytes),
      take_(plan.takeBytes),
      trailing_(plan.trailingZeroBytes) {}

int OffsetWindow::writeSilence(long long bytes) {
    while (bytes > 0) {
        int piece = static_cast<int>(std::min<long long>(bytes, sizeof silence_));
        if (int stop = AudioStage::write(silence_, piece); stop != 0) return stop;
        bytes -= piece;
    }
    return 0;
}

int OffsetWindow::passLeadingSilence() {
    long long bytes = leading_;
    leading_ = 0;
    return writeSilence(bytes);
}

int OffsetWindow::write(const uint8_t* data, int byteCount) {
    if (int stop = passLeadingSilence(); stop != 0) return stop;
    long long skipped = std::min<long long>(skip_, byteCount);
    skip_ -= skipped;
    long long passed = std::min<long long>(take_, byteCount - skipped);
    take_ -= passed;
    if (passed == 0) return 0;
    return AudioStage::write(data + skipped, static_cast<int>(passed));
}

int OffsetWindow::close() {
    if (take_ == 0) {
        long long bytes = trailing_;
        trailing_ = 0;
        if (passLeadingSilence() == 0) writeSilence(bytes);
    }
    return AudioStage::close();
}
