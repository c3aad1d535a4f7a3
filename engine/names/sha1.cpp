#include "engine/names/sha1.h"

#include "engine/common/byteorder.h"

#include <cstring>

namespace {

uint32_t rotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

class Sha1 {
public:
    void add(const uint8_t* data, std::size_t length) {
        total += length;
        while (length > 0) {
            std::size_t room = sizeof block - filled;
            std::size_t taken = length < room ? length : room;
            std::memcpy(block + filled, data, taken);
            filled += taken;
            data += taken;
            length -= taken;
            if (filled == sizeof block) compress();
        }
    }

    std::array<uint8_t, 20> finish() {
        uint64_t bits = total * 8;
        uint8_t marker = 0x80;
        add(&marker, 1);
        uint8_t zero = 0;
        while (filled != 56) add(&zero, 1);
        uint8_t length[8];
        putBigEndian32(length, static_cast<uint32_t>(bits >> 32));
        putBigEndian32(length + 4, static_cast<uint32_t>(bits));
        add(length, sizeof length);
        std::array<uint8_t, 20> digest;
        for (int i = 0; i < 5; ++i) putBigEndian32(digest.data() + 4 * i, state[i]);
        return digest;
    }

private:
    void compress() {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i) w[i] = readBigEndian32(block + 4 * i);
        for (int i = 16; i < 80; ++i) w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            uint32_t next = rotateLeft(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotateLeft(b, 30);
            b = a;
            a = next;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        filled = 0;
    }

    uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    uint8_t block[64] = {};
    std::size_t filled = 0;
    uint64_t total = 0;
};

}  // namespace

std::array<uint8_t, 20> sha1(std::string_view data) {
    Sha1 hash;
    hash.add(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return hash.finish();
}
