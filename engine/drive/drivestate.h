#pragma once

#include <cstdint>

// What a drive's sense data says about its state: how the wait for a drive
// to become ready follows from it, and which failed commands are worth
// sending again.

// Sense keys the engine tells apart.
constexpr int kSenseNoSense = 0x00;
constexpr int kSenseRecoveredError = 0x01;
constexpr int kSenseNotReady = 0x02;
constexpr int kSenseMediumError = 0x03;
constexpr int kSenseHardwareError = 0x04;
constexpr int kSenseUnitAttention = 0x06;

struct SenseCode {
    int key = kSenseNoSense;
    int asc = 0;   // additional sense code
    int ascq = 0;  // its qualifier
    // The INFORMATION field, when the drive marks it valid: for a read,
    // the sector it stumbled on.
    bool hasInformation = false;
    uint32_t information = 0;
};

// Fixed (0x70, 0x71) and descriptor (0x72, 0x73) formats; anything else,
// or too few bytes, is no sense at all.
SenseCode decodeSense(const uint8_t* sense, int length);

// The count of failed readiness tests after which the disc is reported
// missing, and how long a drive that says it is becoming ready is waited
// for before its answers count.
constexpr int kReadinessAttempts = 3;
constexpr int kBecomingReadySeconds = 20;

struct ReadinessWait {
    int attempts = 0;
    int secondsWaited = 0;
};

enum class ReadinessStep {
    TestAgain,
    WaitASecondThenTestAgain,
    GiveUp,
};

// The step after a TEST UNIT READY that did not report ready with `sense`.
// A drive becoming ready is waited for about a second at a time; only the
// other answers use up an attempt. Unit attentions never get here: the
// transport sends the command again (ResendBudget).
ReadinessStep afterNotReady(const SenseCode& sense, ReadinessWait& wait);

// What a failed command met that says nothing about the disc.
enum class Transient {
    None,
    UnitAttention,  // the drive's news (reset, power state, disc changed); the command did not run
    ShortTransfer,  // fewer bytes than asked, mostly under memory pressure
    TimedOut,       // in the host adapter or the driver
};

// How often one command is sent again for each condition. A drive that
// keeps announcing events or keeps stopping short is not tried for ever,
// and a time-out costs the whole command time, so it is tried once more.
constexpr int kUnitAttentionResends = 10;
constexpr int kShortTransferResends = 3;
constexpr int kTimeOutResends = 1;

// The resends one command has had so far.
class ResendBudget {
public:
    // True when a command that met `condition` is to be sent again; counts
    // the resend.
    bool takeResend(Transient condition);

private:
    int unitAttentions_ = 0;
    int shortTransfers_ = 0;
    int timeOuts_ = 0;
};
