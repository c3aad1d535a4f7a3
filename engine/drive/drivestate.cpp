#include "engine/drive/drivestate.h"

namespace {

// NOT READY, LOGICAL UNIT IS IN PROCESS OF BECOMING READY.
constexpr int kLogicalUnitNotReady = 0x04;
constexpr int kBecomingReady = 0x01;

}  // namespace

SenseCode decodeSense(const uint8_t* sense, int length) {
    SenseCode code;
    if (length < 1) return code;
    int format = sense[0] & 0x7F;
    if ((format == 0x70 || format == 0x71) && length >= 3) {
        code.key = sense[2] & 0x0F;
        if (length >= 13) code.asc = sense[12];
        if (length >= 14) code.ascq = sense[13];
    } else if ((format == 0x72 || format == 0x73) && length >= 4) {
        code.key = sense[1] & 0x0F;
        code.asc = sense[2];
        code.ascq = sense[3];
    }
    return code;
}

ReadinessStep afterNotReady(const SenseCode& sense, ReadinessWait& wait) {
    if (sense.key == kSenseUnitAttention && wait.unitAttentions < kUnitAttentionsIgnored) {
        ++wait.unitAttentions;
        return ReadinessStep::TestAgain;
    }
    if (sense.key == kSenseNotReady && sense.asc == kLogicalUnitNotReady &&
        sense.ascq == kBecomingReady && wait.secondsWaited < kBecomingReadySeconds) {
        ++wait.secondsWaited;
        return ReadinessStep::WaitASecondThenTestAgain;
    }
    return ++wait.attempts < kReadinessAttempts ? ReadinessStep::TestAgain : ReadinessStep::GiveUp;
}
