#pragma once

// Reading and writing the fixed-width integers of SCSI (big-endian) and
// RIFF (little-endian) structures.

#include <cstdint>

inline uint16_t readBigEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline uint32_t readBigEndian24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}

inline uint32_t readBigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | readBigEndian24(p + 1);
}

inline uint16_t readLittleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t readLittleEndian24(const uint8_t* p) {
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}

inline uint32_t readLittleEndian32(const uint8_t* p) {
    return readLittleEndian24(p) | static_cast<uint32_t>(p[3]) << 24;
}

inline void putBigEndian16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

inline void putBigEndian24(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 16);
    putBigEndian16(p + 1, value);
}

inline void putBigEndian32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    putBigEndian24(p + 1, value);
}

inline void putLittleEndian16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void putLittleEndian24(uint8_t* p, uint32_t value) {
    putLittleEndian16(p, value);
    p[2] = static_cast<uint8_t>(value >> 16);
}

inline void putLittleEndian32(uint8_t* p, uint32_t value) {
    putLittleEndian24(p, value);
    p[3] = static_cast<uint8_t>(value >> 24);
}
