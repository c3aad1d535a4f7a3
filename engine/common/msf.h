#pragma once

// CD addresses: 75 sectors a second, and MSF addresses that count the
// 150 sectors of the lead-in before LBA 0.

#include <cstdint>

constexpr int kSectorsPerSecond = 75;
constexpr int kSectorsPerMinute = 60 * kSectorsPerSecond;
constexpr int kLeadInSectors = 150;

struct Msf {
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
};

// A count of sectors as minutes, seconds and frames.
constexpr Msf msfOfSectors(int sectors) {
    return {sectors / kSectorsPerMinute, sectors / kSectorsPerSecond % 60, sectors % kSectorsPerSecond};
}

constexpr int sectorsOfMsf(int minutes, int seconds, int frames) {
    return (minutes * 60 + seconds) * kSectorsPerSecond + frames;
}

constexpr Msf msfOfLba(int lba) { return msfOfSectors(lba + kLeadInSectors); }

constexpr int lbaOfMsf(int minutes, int seconds, int frames) {
    return sectorsOfMsf(minutes, seconds, frames) - kLeadInSectors;
}

// The three bytes M, S, F of a SCSI command or answer.
inline void putMsf(uint8_t* p, Msf msf) {
    p[0] = static_cast<uint8_t>(msf.minutes);
    p[1] = static_cast<uint8_t>(msf.seconds);
    p[2] = static_cast<uint8_t>(msf.frames);
}
