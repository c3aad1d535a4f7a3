#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of a long piece by carry-less multiplication, folding 64 bytes
// a step: several times zlib's table-driven speed, which is what lets /verify
// keep pace with a fast copy. Returns the bytes it took (a multiple of 16,
// none for pieces under 64 bytes or processors without the instruction);
// `crc` is then the CRC over them, continued from its value before.
std::size_t crc32Fold(uint32_t& crc, const uint8_t* data, std::size_t bytes);
