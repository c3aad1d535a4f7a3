#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of `bytes` bytes, continuing from `crc` (0 for the first piece),
// through zlib.
uint32_t crc32Update(uint32_t crc, const uint8_t* data, std::size_t bytes);
