#include "engine/verify/crc32fold.h"

#if defined(__x86_64__)

#include <immintrin.h>

namespace {

constexpr std::size_t kStep = 64;

// Multiplies the halves of `value` by the folding constants and adds `next`:
// the register moves the constants' distance further along the message.
__attribute__((target("pclmul,sse4.1"))) inline __m128i foldInto(__m128i value, __m128i constants, __m128i next) {
    __m128i low = _mm_clmulepi64_si128(value, constants, 0x00);
    __m128i high = _mm_clmulepi64_si128(value, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// The bit-reflected constants of the CRC-32 polynomial: x^(4*128+64) and
// x^(4*128) mod P for four lanes, x^(128+64) and x^128 for one, x^64, then
// P itself and its Barrett quotient for the final reduction to 32 bits.
__attribute__((target("pclmul,sse4.1"))) uint32_t foldRegister(const uint8_t* data, std::size_t bytes,
                                                               uint32_t reg) {
    const __m128i fourLanes = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i oneLane = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i sixtyFour = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    auto load = [](const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };

    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = load(data + 16);
    __m128i x3 = load(data + 32);
    __m128i x4 = load(data + 48);
    for (std::size_t at = kStep; at + kStep <= bytes; at += kStep) {
        x1 = foldInto(x1, fourLanes, load(data + at));
        x2 = foldInto(x2, fourLanes, load(data + at + 16));
        x3 = foldInto(x3, fourLanes, load(data + at + 32));
        x4 = foldInto(x4, fourLanes, load(data + at + 48));
    }
    x1 = foldInto(x1, oneLane, x2);
    x1 = foldInto(x1, oneLane, x3);
    x1 = foldInto(x1, oneLane, x4);
    for (std::size_t at = bytes / kStep * kStep; at + 16 <= bytes; at += 16) x1 = foldInto(x1, oneLane, load(data + at));

    const __m128i lowWords = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, oneLane, 0x10));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, lowWords), sixtyFour, 0x00), _mm_srli_si128(x1, 4));
    __m128i quotient = _mm_clmulepi64_si128(_mm_and_si128(x1, lowWords), barrett, 0x10);
    x1 = _mm_xor_si128(x1, _mm_clmulepi64_si128(_mm_and_si128(quotient, lowWords), barrett, 0x00));
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

}  // namespace

std::size_t crc32Fold(uint32_t& crc, const uint8_t* data, std::size_t bytes) {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    if (!available || bytes < kStep) return 0;
    std::size_t taken = bytes / 16 * 16;
    crc = ~foldRegister(data, taken, ~crc);
    return taken;
}

#else

std::size_t crc32Fold(uint32_t&, const uint8_t*, std::size_t) { return 0; }

#endif
