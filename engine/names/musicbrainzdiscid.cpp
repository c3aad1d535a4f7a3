#include "engine/names/musicbrainzdiscid.h"

#include "engine/common/msf.h"
#include "engine/names/sha1.h"

#include <cstdio>

namespace {

// Base64 with the three characters that URLs and file names dislike
// replaced: "+/=" become "._-".
std::string urlSafeBase64(const uint8_t* data, std::size_t length) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
    std::string text;
    for (std::size_t i = 0; i < length; i += 3) {
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (i + 1 < length) group |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (i + 2 < length) group |= data[i + 2];
        text += kDigits[group >> 18 & 63];
        text += kDigits[group >> 12 & 63];
        text += i + 1 < length ? kDigits[group >> 6 & 63] : '-';
        text += i + 2 < length ? kDigits[group & 63] : '-';
    }
    return text;
}

}  // namespace

std::string musicBrainzDiscId(const DiscLayout& layout) {
    DiscLayout session = firstSession(layout);
    // Two numbers of two digits, then 100 of eight: the lead-out in slot 0.
    char text[2 * 2 + 100 * 8 + 1];
    int length = std::snprintf(text, sizeof text, "%02X%02X", session.firstTrack, session.lastTrack);
    for (int slot = 0; slot < 100; ++slot) {
        int address = 0;
        if (slot == 0)
            address = session.leadOut + kLeadInSectors;
        else if (slot >= session.firstTrack && slot <= session.lastTrack)
            address = session.trackStart[slot] + kLeadInSectors;
        length += std::snprintf(text + length, sizeof text - length, "%08X", static_cast<unsigned>(address));
    }
    auto digest = sha1(std::string_view(text, static_cast<std::size_t>(length)));
    return urlSafeBase64(digest.data(), digest.size());
}
