#include "engine/control/textencoding.h"

#include <algorithm>
#include <cstdint>

namespace {

// Real ISO 8859-1 names carry the printable characters of Windows-1252 in
// 0x80..0x9F (curly quotes, dashes), as the web's reading of the label
// does; the five codes it leaves undefined become blanks.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0020, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x0020, 0x017D, 0x0020, 0x0020, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0020, 0x017E, 0x0178};

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The code point at `at` and its length in bytes; length 0 for a byte
// sequence that is not UTF-8 (overlong forms and surrogates included).
uint32_t decodeOne(std::string_view text, size_t at, size_t& length) {
    auto c = static_cast<unsigned char>(text[at]);
    length = 0;
    size_t count;
    uint32_t value, lowest;
    if (c < 0x80) {
        length = 1;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        count = 2, value = c & 0x1F, lowest = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        count = 3, value = c & 0x0F, lowest = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        count = 4, value = c & 0x07, lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + count > text.size()) return 0;
    for (size_t k = 1; k < count; ++k) {
        auto next = static_cast<unsigned char>(text[at + k]);
        if (!isContinuation(next)) return 0;
        value = value << 6 | (next & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    length = count;
    return value;
}

void appendUtf8(std::string& out, uint32_t value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | value >> 6);
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | value >> 12);
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

char latin1Byte(uint32_t value) {
    if (value < 0x80 || (value >= 0xA0 && value <= 0xFF)) return static_cast<char>(value);
    for (int k = 0; k < 32; ++k)
        if (kWindows1252[k] == value) return static_cast<char>(0x80 + k);
    return '?';
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        decodeOne(text, at, length);
        if (length == 0) return false;
    }
    return true;
}

std::string toUtf8(std::string_view text) {
    if (isValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        appendUtf8(out, c >= 0x80 && c < 0xA0 ? kWindows1252[c - 0x80] : c);
    }
    return out;
}

std::string toLatin1(std::string_view text) {
    if (!isValidUtf8(text)) return std::string(text);
    std::string out;
    for (size_t at = 0, length = 0; at < text.size(); at += length)
        out += latin1Byte(decodeOne(text, at, length));
    return out;
}

size_t utf8Prefix(std::string_view text, size_t limit) {
    if (limit >= text.size()) return text.size();
    while (limit > 0 && isContinuation(static_cast<unsigned char>(text[limit]))) --limit;
    return limit;
}

size_t characterPrefix(std::string_view text, size_t characters) {
    if (!isValidUtf8(text)) return std::min(text.size(), characters);
    size_t at = 0;
    for (size_t length = 0; at < text.size() && characters > 0; at += length, --characters)
        decodeOne(text, at, length);
    return at;
}

size_t utf8Length(std::string_view text) {
    size_t count = 0;
    for (char c : text) count += !isContinuation(static_cast<unsigned char>(c));
    return count;
}
