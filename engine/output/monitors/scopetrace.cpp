#include "engine/output/monitors/scopetrace.h"

namespace {

int offset(const uint8_t* data, int frame, int channel) {
    const uint8_t* at = data + 4 * frame + 2 * channel;
    const auto sample = static_cast<int16_t>(static_cast<uint16_t>(at[0] | at[1] << 8));
    return sample >> 9;
}

}  // namespace

bool ScopeTrace::draw(const uint8_t* data, int byteCount, MonitorCanvas& canvas) {
    if (byteCount < kMinimumBytes) return false;
    for (int j = 0; j < kPoints - 1; ++j) {
        const int x = 2 * j + 2;
        canvas.line(x - 2, kLeftCentre + oldLeft[j], x, kLeftCentre + oldLeft[j + 1], MonitorCanvas::kBlack);
        canvas.line(x - 2, kRightCentre + oldRight[j], x, kRightCentre + oldRight[j + 1], MonitorCanvas::kBlack);
        oldLeft[j] = offset(data, 2 * j, 0);
        oldRight[j] = offset(data, 2 * j, 1);
        canvas.line(x - 2, kLeftCentre + oldLeft[j], x, kLeftCentre + offset(data, 2 * j + 2, 0),
                    MonitorCanvas::kWhite);
        canvas.line(x - 2, kRightCentre + oldRight[j], x, kRightCentre + offset(data, 2 * j + 2, 1),
                    MonitorCanvas::kWhite);
    }
    // The last segment ends at frame 510; without its offset the next block
    // would erase a different segment there and leave this one standing.
    oldLeft[kPoints - 1] = offset(data, 2 * (kPoints - 1), 0);
    oldRight[kPoints - 1] = offset(data, 2 * (kPoints - 1), 1);
    return true;
}
