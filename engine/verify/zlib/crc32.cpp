#include "engine/verify/zlib/crc32.h"

#include <zlib.h>

uint32_t crc32Update(uint32_t crc, const uint8_t* data, std::size_t bytes) {
    uLong value = crc;
    // zlib counts in uInt, which may be narrower than size_t.
    constexpr std::size_t kPiece = 1u << 30;
    while (bytes > 0) {
        std::size_t piece = bytes < kPiece ? bytes : kPiece;
        value = crc32(value, data, static_cast<uInt>(piece));
        data += piece;
        bytes -= piece;
    }
    return static_cast<uint32_t>(value);
}
