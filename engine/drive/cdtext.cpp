#include "engine/drive/cdtext.h"

#include <algorithm>
#include <cstring>

#include "engine/common/byteorder.h"
#include "engine/drive/cddrive.h"

namespace {

constexpr int kMaxPacksPerBlock = 256;

struct StreamEntry {
    int track;
    std::string text;
};

// One pack type's text stream: every entry's text and its NUL, in order.
void addPacks(uint8_t type, const std::vector<StreamEntry>& entries, std::vector<uint8_t>& packs) {
    std::vector<uint8_t> stream;
    std::vector<int> owner;     // entry of every stream byte
    std::vector<int> position;  // index of every byte within its entry
    for (size_t e = 0; e < entries.size(); ++e) {
        const std::string& text = entries[e].text;
        for (size_t i = 0; i <= text.size(); ++i) {
            stream.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
            owner.push_back(static_cast<int>(e));
            position.push_back(static_cast<int>(i));
        }
    }
    for (size_t offset = 0; offset < stream.size(); offset += kPackTextBytes) {
        uint8_t pack[kPackBytes] = {};
        pack[0] = type;
        pack[1] = static_cast<uint8_t>(entries[owner[offset]].track);
        pack[3] = static_cast<uint8_t>(std::min(position[offset], 15));
        size_t count = std::min<size_t>(kPackTextBytes, stream.size() - offset);
        std::memcpy(pack + 4, stream.data() + offset, count);
        packs.insert(packs.end(), pack, pack + kPackBytes);
    }
}

bool anyText(const std::string& disc, const std::vector<std::string>& tracks) {
    if (!disc.empty()) return true;
    return std::any_of(tracks.begin(), tracks.end(), [](const auto& t) { return !t.empty(); });
}

void addTextType(uint8_t type, const std::string& disc, const std::vector<std::string>& tracks,
                 int firstTrack, std::vector<uint8_t>& packs) {
    if (!anyText(disc, tracks)) return;
    std::vector<StreamEntry> entries{{0, disc}};
    for (size_t k = 0; k < tracks.size(); ++k)
        entries.push_back({firstTrack + static_cast<int>(k), tracks[k]});
    addPacks(type, entries, packs);
}

void addSizeInfo(const CdTextSource& source, std::vector<uint8_t>& packs) {
    int lastTrack =
        source.firstTrack +
        static_cast<int>(std::max(source.trackTitles.size(), source.trackPerformers.size())) - 1;
    int packCount = static_cast<int>(packs.size()) / kPackBytes + 3;
    uint8_t info[36] = {};
    info[1] = static_cast<uint8_t>(source.firstTrack);
    info[2] = static_cast<uint8_t>(std::max(lastTrack, source.firstTrack));
    for (size_t p = 0; p < packs.size(); p += kPackBytes) ++info[4 + (packs[p] - 0x80)];
    info[4 + 0x0F] = 3;
    info[20] = static_cast<uint8_t>(packCount - 1);  // last sequence number of block 0
    info[28] = 0x09;                                 // language of block 0: English
    for (int k = 0; k < 3; ++k) {
        uint8_t pack[kPackBytes] = {};
        pack[0] = kPackSizeInfo;
        pack[1] = static_cast<uint8_t>(k);
        std::memcpy(pack + 4, info + k * kPackTextBytes, kPackTextBytes);
        packs.insert(packs.end(), pack, pack + kPackBytes);
    }
}

// The names of one pack type, by track number (0 for the disc).
struct TextStream {
    bool present = false;
    int firstTrack = 0;
    std::string bytes;
};

// The disc's name comes first and is followed by that of the disc's first
// track, which need not be track 1.
void storeStream(const TextStream& stream, int firstTrack, char (&discField)[kNameCapacity], CdDrive* drive) {
    if (!stream.present) return;
    size_t start = 0;
    for (int track = stream.firstTrack; start < stream.bytes.size() && track <= kMaxTracks;
         track = track == 0 ? firstTrack : track + 1) {
        size_t end = stream.bytes.find('\0', start);
        if (end == std::string::npos) end = stream.bytes.size();
        const char* name = stream.bytes.data() + start;
        if (track == 0)
            storeName(discField, name, end - start);
        else if (drive)
            storeName(drive->trackTitles[track - 1], name, end - start);
        start = end + 1;
    }
}

void fillIfEmpty(char (&field)[kNameCapacity], const char* fallback) {
    if (field[0] == '\0') storeName(field, fallback, std::strlen(fallback));
}

}  // namespace

uint16_t cdTextCrc(const uint8_t* data, int length) {
    uint16_t crc = 0;
    for (int i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

int buildCdTextPacks(const CdTextSource& source, std::vector<uint8_t>& packs) {
    packs.clear();
    addTextType(kPackTitle, source.discTitle, source.trackTitles, source.firstTrack, packs);
    addTextType(kPackPerformer, source.discPerformer, source.trackPerformers, source.firstTrack,
                packs);
    if (packs.empty()) return 0;
    addSizeInfo(source, packs);
    int count = static_cast<int>(packs.size()) / kPackBytes;
    if (count > kMaxPacksPerBlock) return 1;
    for (int k = 0; k < count; ++k) {
        uint8_t* pack = packs.data() + k * kPackBytes;
        pack[2] = static_cast<uint8_t>(k);
        uint16_t crc = cdTextCrc(pack, 16);
        pack[16] = static_cast<uint8_t>(crc >> 8);
        pack[17] = static_cast<uint8_t>(crc & 0xFF);
    }
    return 0;
}

void decodeCdText(const uint8_t* response, int size, CdDrive& drive) {
    std::memset(drive.discTitle, 0, sizeof drive.discTitle);
    std::memset(drive.discArtist, 0, sizeof drive.discArtist);
    std::memset(drive.trackTitles, 0, sizeof drive.trackTitles);
    drive.namesValid = 0;
    if (size < 4) return;
    // The length field counts itself out; never trust it beyond what came.
    int end = std::min(2 + static_cast<int>(readBigEndian16(response)), size);
    TextStream titles, performers;
    for (int offset = 4; offset + kPackBytes <= end; offset += kPackBytes) {
        const uint8_t* pack = response + offset;
        bool blockZero = (pack[3] & 0xF0) == 0;  // also not double-byte
        TextStream* stream = pack[0] == kPackTitle       ? &titles
                             : pack[0] == kPackPerformer ? &performers
                                                         : nullptr;
        if (!stream || !blockZero) continue;
        if (!stream->present) {
            stream->present = true;
            stream->firstTrack = pack[1];
        }
        stream->bytes.append(reinterpret_cast<const char*>(pack + 4), kPackTextBytes);
    }
    int firstTrack = drive.firstTrack() >= 1 ? drive.firstTrack() : 1;
    storeStream(titles, firstTrack, drive.discTitle, &drive);
    storeStream(performers, firstTrack, drive.discArtist, nullptr);
    bool named = drive.discTitle[0] || drive.discArtist[0];
    for (int k = 0; k < kMaxTracks && !named; ++k) named = drive.trackTitles[k][0] != '\0';
    if (!named) return;
    drive.namesValid = 1;
    fillIfEmpty(drive.discTitle, "Disc");
    fillIfEmpty(drive.discArtist, "Unknown");
    for (auto& title : drive.trackTitles) fillIfEmpty(title, "Track");
}

void setDefaultNames(CdDrive& drive) {
    storeName(drive.discTitle, "Disc", 4);
    storeName(drive.discArtist, "Unknown", 7);
    for (auto& title : drive.trackTitles) storeName(title, "Track", 5);
}
