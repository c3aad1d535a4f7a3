#pragma once

#include <cstdint>

// What a drive's sense data says about its state, and how the wait for a
// drive to become ready follows from it.

// Sense keys the engine tells apart.
constexpr int kSenseNoSense = 0x00;
constexpr int kSenseRecoveredError = 0x01;
constexpr int kSenseNotReady = 0x02;
constexpr int kSenseUnitAttention = 0x06;

struct SenseCode {
    int key = kSenseNoSense;
    int asc = 0;   // additional sense code
    int ascq = 0;  // its qualifier
};

// Fixed (0x70, 0x71) and descriptor (0x72, 0x73) formats; anything else,
// or too few bytes, is no sense at all.
SenseCode decodeSense(const uint8_t* sense, int length);

// The count of failed readiness tests after which the disc is reported
// missing, and how long a drive that says it is becoming ready is waited
// for before its answers count.
constexpr int kReadinessAttempts = 3;
constexpr int kBecomingReadySeconds = 20;
// A drive that keeps announcing events is not waited for forever.
constexpr int kUnitAttentionsIgnored = 10;

struct ReadinessWait {
    int attempts = 0;
    int unitAttentions = 0;
    int secondsWaited = 0;
};

enum class ReadinessStep {
    TestAgain,
    WaitASecondThenTestAgain,
    GiveUp,
};

// The step after a TEST UNIT READY that did not report ready with `sense`.
// A unit attention (tray closed, disc changed, reset) is the drive's news,
// not its state; a drive becoming ready is waited for about a second at a
// time; only the other answers use up an attempt.
ReadinessStep afterNotReady(const SenseCode& sense, ReadinessWait& wait);
