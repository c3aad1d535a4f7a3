#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

// Stages work on blocks copied into int16_t buffers, which read CD samples
// directly only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

// Truncation toward zero, then clamping to 16 bits. Clamping first gives the
// same result and keeps the conversion defined; NaN ends up as -32768.
inline int16_t truncateClamp(double value) {
    return static_cast<int16_t>(static_cast<int>(std::min(32767.0, std::max(-32768.0, value))));
}
