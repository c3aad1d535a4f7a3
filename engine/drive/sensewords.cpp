#include "engine/drive/sensewords.h"

#include <cstdio>

namespace {

const char* const kKeyWords[16] = {
    "No sense",       "Recovered error", "Not ready",     "Medium error",
    "Hardware error", "Illegal request", "Unit attention", "Data protect",
    "Blank check",    "Vendor-specific condition", "Copy aborted", "Aborted command",
    "Equal",          "Volume overflow", "Miscompare",    "Completed",
};

struct ConditionWords {
    int asc;
    int ascq;
    const char* words;
};

// The conditions a drive reports while it reads a disc or is being set up
// for it.
constexpr ConditionWords kConditions[] = {
    {0x02, 0x00, "no seek complete"},
    {0x04, 0x00, "drive not ready"},
    {0x04, 0x01, "becoming ready"},
    {0x04, 0x02, "the disc must be spun up"},
    {0x06, 0x00, "no reference position found"},
    {0x08, 0x03, "communication CRC error"},
    {0x09, 0x00, "track following error"},
    {0x11, 0x00, "unrecovered read error"},
    {0x11, 0x01, "read retries exhausted"},
    {0x11, 0x02, "error too long to correct"},
    {0x11, 0x05, "L-EC uncorrectable error"},
    {0x11, 0x06, "CIRC unrecovered error"},
    {0x15, 0x00, "random positioning error"},
    {0x15, 0x02, "positioning error detected by read of medium"},
    {0x17, 0x01, "recovered with retries"},
    {0x18, 0x00, "recovered with error correction"},
    {0x20, 0x00, "invalid command operation code"},
    {0x21, 0x00, "sector out of range"},
    {0x24, 0x00, "invalid field in the command"},
    {0x28, 0x00, "the disc may have changed"},
    {0x29, 0x00, "power on or reset"},
    {0x2C, 0x00, "command sequence error"},
    {0x30, 0x00, "incompatible disc"},
    {0x30, 0x02, "cannot read this disc format"},
    {0x3A, 0x00, "no disc"},
    {0x3E, 0x02, "time-out in the drive"},
    {0x44, 0x00, "internal drive failure"},
    {0x57, 0x00, "unable to recover the table of contents"},
    {0x64, 0x00, "illegal mode for this track"},
};

}  // namespace

const char* senseKeyWords(int key) { return kKeyWords[key & 0x0F]; }

std::string senseConditionWords(int asc, int ascq) {
    for (const ConditionWords& c : kConditions)
        if (c.asc == asc && c.ascq == ascq) return c.words;
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "ASC %02Xh, ASCQ %02Xh", asc & 0xFF, ascq & 0xFF);
    return numbers;
}
