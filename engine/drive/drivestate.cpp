#include "engine/drive/drivestate.h"

#include "engine/common/byteorder.h"

namespace {

// NOT READY, LOGICAL UNIT IS IN PROCESS OF BECOMING READY.
constexpr int kLogicalUnitNotReady = 0x04;
constexpr int kBecomingReady = 0x01;

constexpr int kInformationDescriptor = 0x00;

// Descriptor-format sense: the INFORMATION descriptor, when there is one
// and its VALID bit is set, holds the address in its last eight bytes.
void findInformation(const uint8_t* sense, int length, SenseCode& code) {
    int end = 8 + sense[7];
    if (end > length) end = length;
    for (int at = 8; at + 2 <= end; at += 2 + sense[at + 1]) {
        if (sense[at] != kInformationDescriptor || at + 12 > end) continue;
        if (!(sense[at + 2] & 0x80)) return;
        code.hasInformation = true;
        code.information = readBigEndian32(sense + at + 8);
        return;
    }
}

}  // namespace

SenseCode decodeSense(const uint8_t* sense, int length) {
    SenseCode code;
    if (length < 1) return code;
    int format = sense[0] & 0x7F;
    if ((format == 0x70 || format == 0x71) && length >= 3) {
        code.key = sense[2] & 0x0F;
        if (length >= 7 && (sense[0] & 0x80)) {
            code.hasInformation = true;
            code.information = readBigEndian32(sense + 3);
        }
        if (length >= 13) code.asc = sense[12];
        if (length >= 14) code.ascq = sense[13];
    } else if ((format == 0x72 || format == 0x73) && length >= 4) {
        code.key = sense[1] & 0x0F;
        code.asc = sense[2];
        code.ascq = sense[3];
        if (length >= 8) findInformation(sense, length, code);
    }
    return code;
}

ReadinessStep afterNotReady(const SenseCode& sense, ReadinessWait& wait) {
    if (sense.key == kSenseNotReady && sense.asc == kLogicalUnitNotReady &&
        sense.ascq == kBecomingReady && wait.secondsWaited < kBecomingReadySeconds) {
        ++wait.secondsWaited;
        return ReadinessStep::WaitASecondThenTestAgain;
    }
    return ++wait.attempts < kReadinessAttempts ? ReadinessStep::TestAgain : ReadinessStep::GiveUp;
}

bool ResendBudget::takeResend(Transient condition) {
    auto take = [](int& used, int limit) { return used < limit ? (++used, true) : false; };
    switch (condition) {
        case Transient::UnitAttention:
            return take(unitAttentions_, kUnitAttentionResends);
        case Transient::ShortTransfer:
            return take(shortTransfers_, kShortTransferResends);
        case Transient::TimedOut:
            return take(timeOuts_, kTimeOutResends);
        case Transient::None:
            break;
    }
    return false;
}
