#include "tests/support/discimage.h"

#include "engine/common/byteorder.h"
#include "engine/common/msf.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

constexpr int kSector = 2352;
constexpr int kFramesPerSector = 588;

uint32_t mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// A triangle wave between -amplitude and +amplitude over `period` frames.
int triangle(int64_t position, int period, int amplitude) {
    int phase = static_cast<int>(position % period);
    int half = period / 2;
    int rising = phase < half ? phase : period - phase;
    return -amplitude + 2 * amplitude * rising / half;
}

void putSample(std::string& out, size_t at, int value) {
    putLittleEndian16(reinterpret_cast<uint8_t*>(&out[at]), static_cast<uint32_t>(value));
}

int bcd(int value) { return (value / 10) << 4 | (value % 10); }

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string msf(int sectors) {
    Msf msf = msfOfSectors(sectors);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", msf.minutes, msf.seconds, msf.frames);
    return text;
}

std::string baseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string audioSectorBytes(int lba) {
    std::string out(kSector, '\0');
    for (int f = 0; f < kFramesPerSector; ++f) {
        int64_t position = static_cast<int64_t>(lba) * kFramesPerSector + f;
        uint32_t noise = mix(static_cast<uint32_t>(position) * 2654435761U + 0x1234567U);
        int left = triangle(position, 100, 6000) + static_cast<int>(noise & 0xFFF) - 2048;
        int right = triangle(position, 147, 6000) + static_cast<int>((noise >> 12) & 0xFFF) - 2048;
        putSample(out, static_cast<size_t>(f) * 4, left);
        putSample(out, static_cast<size_t>(f) * 4 + 2, right);
    }
    return out;
}

std::string toneSectorBytes(int lba) {
    std::string out(kSector, '\0');
    for (int f = 0; f < kFramesPerSector; ++f) {
        const int64_t position = static_cast<int64_t>(lba) * kFramesPerSector + f;
        const double t = static_cast<double>(position) / 44100;
        const uint32_t noise = mix(static_cast<uint32_t>(position));
        const double left = 7000 * std::sin(2 * M_PI * 220 * t) + 3000 * std::sin(2 * M_PI * 1250 * t);
        const double right = 7000 * std::sin(2 * M_PI * 330 * t) + 2000 * std::sin(2 * M_PI * 2500 * t);
        putSample(out, static_cast<size_t>(f) * 4, static_cast<int>(left) + static_cast<int>(noise & 0x3F) - 32);
        putSample(out, static_cast<size_t>(f) * 4 + 2,
                  static_cast<int>(right) + static_cast<int>((noise >> 8) & 0x3F) - 32);
    }
    return out;
}

std::string dataSectorBytes(int lba) {
    std::string out(kSector, '\0');
    for (int i = 1; i <= 10; ++i) out[i] = static_cast<char>(0xFF);
    Msf address = msfOfLba(lba);
    out[12] = static_cast<char>(bcd(address.minutes));
    out[13] = static_cast<char>(bcd(address.seconds));
    out[14] = static_cast<char>(bcd(address.frames));
    out[15] = 1;
    for (int i = 0; i < 2048; ++i)
        out[16 + i] = static_cast<char>(mix(static_cast<uint32_t>(lba) * 4096U + i) & 0xFF);
    return out;
}

std::string imagesValue(const std::vector<std::string>& entries) {
    std::string value;
    for (const auto& entry : entries) {
        if (!value.empty()) value += ';';
        value += entry;
    }
    return value;
}

DiscSpec audioDisc(const std::vector<int>& trackSectors) {
    DiscSpec spec;
    for (int sectors : trackSectors) {
        TrackSpec track;
        track.sectors = sectors;
        spec.tracks.push_back(track);
    }
    return spec;
}

DiscImage::DiscImage(const std::string& directory, const DiscSpec& spec)
    : cuePath_(directory + "/" + spec.name + ".cue"),
      binPath_(directory + "/" + spec.name + ".bin"),
      tones_(spec.tones) {
    std::string sheet;
    if (!spec.performer.empty()) sheet += "PERFORMER " + quoted(spec.performer) + "\n";
    if (!spec.title.empty()) sheet += "TITLE " + quoted(spec.title) + "\n";
    sheet += "FILE " + quoted(baseName(binPath_)) + " BINARY\n";

    std::ofstream bin(binPath_, std::ios::binary);
    int lba = 0;
    for (size_t i = 0; i < spec.tracks.size(); ++i) {
        const TrackSpec& t = spec.tracks[i];
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", i + 1);
        sheet += std::string("  TRACK ") + number + (t.data ? " MODE1/2352\n" : " AUDIO\n");
        if (!t.title.empty()) sheet += "    TITLE " + quoted(t.title) + "\n";
        if (!t.performer.empty()) sheet += "    PERFORMER " + quoted(t.performer) + "\n";
        if (t.copyPermitted || t.preEmphasis) {
            sheet += "    FLAGS";
            if (t.copyPermitted) sheet += " DCP";
            if (t.preEmphasis) sheet += " PRE";
            sheet += "\n";
        }
        if (t.indexZeroSectors > 0) sheet += "    INDEX 00 " + msf(lba) + "\n";
        int sectorsInFile = t.indexZeroSectors + t.sectors;
        sheet += "    INDEX 01 " + msf(lba + t.indexZeroSectors) + "\n";
        starts_.push_back(lba + t.indexZeroSectors);
        // The pre-gap lies before INDEX 01 and so belongs to the previous
        // track's range; its content follows the track's own kind.
        for (int s = 0; s < sectorsInFile; ++s, ++lba) {
            std::string bytes = t.data ? dataSectorBytes(lba) : tones_ ? toneSectorBytes(lba) : audioSectorBytes(lba);
            bin.write(bytes.data(), kSector);
            dataSector_.push_back(t.data);
        }
    }
    totalSectors_ = lba;
    if (!bin) throw std::runtime_error("cannot write " + binPath_);
    std::ofstream cue(cuePath_, std::ios::binary);
    cue << sheet;
    if (!cue) throw std::runtime_error("cannot write " + cuePath_);
}

std::string DiscImage::imagesEntry(const std::string& settings) const {
    return settings.empty() ? cuePath_ : cuePath_ + "," + settings;
}

int DiscImage::trackStart(int track) const {
    if (track < 1 || track > static_cast<int>(starts_.size())) return -1;
    return starts_[track - 1];
}

int DiscImage::trackEnd(int track) const {
    if (track < 1 || track > static_cast<int>(starts_.size())) return -1;
    return track == static_cast<int>(starts_.size()) ? totalSectors_ : starts_[track];
}

std::string DiscImage::sectors(int lba, int count) const {
    if (lba < 0 || count < 0 || lba + count > totalSectors_)
        throw std::out_of_range("sector range outside the image");
    std::string out;
    out.reserve(static_cast<size_t>(count) * kSector);
    for (int s = lba; s < lba + count; ++s)
        out += dataSector_[s] ? dataSectorBytes(s) : tones_ ? toneSectorBytes(s) : audioSectorBytes(s);
    return out;
}
