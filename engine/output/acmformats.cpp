#include "engine/output/acmformats.h"

#include "engine/common/byteorder.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace {

enum class Family { Pcm8, Pcm16, Pcm24, Float, Alaw, Mulaw, ImaAdpcm, MsAdpcm, MpegLayer3 };

struct FormatRow {
    Family family;
    uint32_t rate;
    uint16_t channels;
    uint16_t kbps;  // MPEG Layer-3 only
    char name[64];
};

constexpr uint32_t kPcmRates[] = {8000, 11025, 22050, 32000, 44100, 48000};
constexpr uint32_t kCompandedRates[] = {8000, 22050, 44100};
constexpr uint32_t kAdpcmRates[] = {22050, 44100};
constexpr uint16_t kMp3StereoKbps[] = {96, 128, 160, 192, 256, 320};
constexpr uint16_t kMp3MonoKbps[] = {64, 96};
constexpr int kMaxFormats = 128;

// The MS ADPCM predictor coefficient pairs that every such file carries.
constexpr int16_t kMsAdpcmCoefficients[7][2] = {{256, 0},   {512, -256}, {0, 0},      {192, 64},
                                                {240, 0},   {460, -208}, {392, -232}};
// Encoder delay of MPEG Layer-3 as such files state it.
constexpr uint16_t kMp3CodecDelay = 1393;

const char* channelText(int channels) {
    return channels == 1 ? "Mono" : "Stereo";
}

struct FormatList {
    FormatRow rows[kMaxFormats];
    int count = 0;

    void add(Family family, uint32_t rate, uint16_t channels, const char* kind, uint16_t kbps = 0) {
        FormatRow& row = rows[count++];
        row.family = family;
        row.rate = rate;
        row.channels = channels;
        row.kbps = kbps;
        if (family == Family::MpegLayer3)
            std::snprintf(row.name, sizeof row.name, "%s, %u kBit/s, %u Hz, %s", kind, kbps, rate,
                          channelText(channels));
        else
            std::snprintf(row.name, sizeof row.name, "%s, %u Hz, %s", kind, rate, channelText(channels));
    }

    FormatList() {
        const struct {
            Family family;
            const char* kind;
        } pcm[] = {{Family::Pcm8, "PCM 8 bit"}, {Family::Pcm16, "PCM 16 bit"}, {Family::Pcm24, "PCM 24 bit"}};
        for (const auto& p : pcm)
            for (uint32_t rate : kPcmRates)
                for (uint16_t channels : {1, 2}) add(p.family, rate, channels, p.kind);
        for (uint16_t channels : {1, 2}) add(Family::Float, 44100, channels, "IEEE Float 32 bit");
        for (uint32_t rate : kCompandedRates)
            for (uint16_t channels : {1, 2}) add(Family::Alaw, rate, channels, "A-Law");
        for (uint32_t rate : kCompandedRates)
            for (uint16_t channels : {1, 2}) add(Family::Mulaw, rate, channels, "u-Law");
        for (uint32_t rate : kAdpcmRates)
            for (uint16_t channels : {1, 2}) add(Family::ImaAdpcm, rate, channels, "IMA ADPCM");
        for (uint32_t rate : kAdpcmRates)
            for (uint16_t channels : {1, 2}) add(Family::MsAdpcm, rate, channels, "Microsoft ADPCM");
        for (uint16_t kbps : kMp3MonoKbps) add(Family::MpegLayer3, 44100, 1, "MPEG Layer-3", kbps);
        for (uint16_t kbps : kMp3StereoKbps) add(Family::MpegLayer3, 44100, 2, "MPEG Layer-3", kbps);
    }
};

const FormatList& formatList() {
    static const FormatList list;
    return list;
}

void setLinear(WaveFormat& format, uint16_t tag, uint16_t bits) {
    format.formatTag = tag;
    format.bitsPerSample = bits;
    format.blockAlign = static_cast<uint16_t>(format.channels * bits / 8);
    format.averageBytesPerSecond = format.samplesPerSecond * format.blockAlign;
}

// ADPCM blocks of 256 bytes per channel per 11025 Hz, as such files have them.
void setAdpcm(WaveFormat& format, uint16_t tag) {
    const uint32_t channels = format.channels;
    const uint32_t scale = format.samplesPerSecond / 11025 > 0 ? format.samplesPerSecond / 11025 : 1;
    format.formatTag = tag;
    format.bitsPerSample = 4;
    format.blockAlign = static_cast<uint16_t>(256 * channels * scale);
    uint32_t samplesPerBlock;
    if (tag == kWaveFormatImaAdpcm) {
        samplesPerBlock = (format.blockAlign - 4 * channels) * 8 / (4 * channels) + 1;
        format.extraSize = 2;
    } else {
        samplesPerBlock = (format.blockAlign - 7 * channels) * 2 / channels + 2;
        format.extraSize = 32;
        putLittleEndian16(format.extra + 2, 7);
        for (int i = 0; i < 7; ++i) {
            putLittleEndian16(format.extra + 4 + 4 * i, static_cast<uint16_t>(kMsAdpcmCoefficients[i][0]));
            putLittleEndian16(format.extra + 6 + 4 * i, static_cast<uint16_t>(kMsAdpcmCoefficients[i][1]));
        }
    }
    putLittleEndian16(format.extra, samplesPerBlock);
    format.averageBytesPerSecond = format.samplesPerSecond * format.blockAlign / samplesPerBlock;
}

void setMpegLayer3(WaveFormat& format, uint16_t kbps) {
    format.formatTag = kWaveFormatMpegLayer3;
    format.bitsPerSample = 0;
    format.blockAlign = 1;
    format.averageBytesPerSecond = kbps * 125u;
    format.extraSize = 12;
    putLittleEndian16(format.extra, 1);      // wID: MPEG audio
    putLittleEndian16(format.extra + 2, 2);  // fdwFlags: no padding bit (low half)
    putLittleEndian16(format.extra + 4, 0);
    putLittleEndian16(format.extra + 6, 144000u * kbps / format.samplesPerSecond);  // nBlockSize
    putLittleEndian16(format.extra + 8, 1);                                         // nFramesPerBlock
    putLittleEndian16(format.extra + 10, kMp3CodecDelay);
}

}  // namespace

int acmFormatCount() {
    return formatList().count;
}

const char* acmFormatName(int index) {
    return index >= 0 && index < acmFormatCount() ? formatList().rows[index].name : "";
}

WaveFormat acmFormatAt(int index) {
    WaveFormat format = {};
    if (index < 0 || index >= acmFormatCount()) return format;
    const FormatRow& row = formatList().rows[index];
    format.channels = row.channels;
    format.samplesPerSecond = row.rate;
    switch (row.family) {
    case Family::Pcm8: setLinear(format, kWaveFormatPcm, 8); break;
    case Family::Pcm16: setLinear(format, kWaveFormatPcm, 16); break;
    case Family::Pcm24: setLinear(format, kWaveFormatPcm, 24); break;
    case Family::Float: setLinear(format, kWaveFormatIeeeFloat, 32); break;
    case Family::Alaw: setLinear(format, kWaveFormatAlaw, 8); break;
    case Family::Mulaw: setLinear(format, kWaveFormatMulaw, 8); break;
    case Family::ImaAdpcm: setAdpcm(format, kWaveFormatImaAdpcm); break;
    case Family::MsAdpcm: setAdpcm(format, kWaveFormatMsAdpcm); break;
    case Family::MpegLayer3: setMpegLayer3(format, row.kbps); break;
    }
    return format;
}

int parseFormatChoice(const char* line, int count) {
    while (*line == ' ' || *line == '\t') ++line;
    long value = 0;
    int digits = 0;
    for (; std::isdigit(static_cast<unsigned char>(*line)); ++line) {
        // More digits than any listed number has: no listed number.
        if (++digits > 6) return -1;
        value = value * 10 + (*line - '0');
    }
    while (*line == ' ' || *line == '\t' || *line == '\r' || *line == '\n') ++line;
    if (digits == 0 || *line != '\0' || value < 1 || value > count) return -1;
    return static_cast<int>(value) - 1;
}

int acmFormatChooseA(AcmFormatChoose& choose, std::FILE* in, std::FILE* out) {
    if (choose.structureSize != sizeof choose || !choose.format || choose.formatSize < sizeof(WaveFormat))
        return kAcmChooseCancelled;
    std::fprintf(out, "%s\n", choose.title ? choose.title : "");
    for (int i = 0; i < acmFormatCount(); ++i) std::fprintf(out, "%3d: %s\n", i + 1, acmFormatName(i));
    std::fprintf(out, "Number of the format:\n");
    std::fflush(out);
    char line[64];
    if (!std::fgets(line, sizeof line, in)) return kAcmChooseCancelled;
    // A line longer than the buffer is no number of the list.
    if (!std::strchr(line, '\n') && !std::feof(in)) return kAcmChooseCancelled;
    const int index = parseFormatChoice(line, acmFormatCount());
    if (index < 0) return kAcmChooseCancelled;
    *choose.format = acmFormatAt(index);
    return 0;
}

uint32_t sampleFramesIn(const WaveFormat& format, uint64_t bytes) {
    uint64_t frames = 0;
    switch (format.formatTag) {
    case kWaveFormatImaAdpcm:
    case kWaveFormatMsAdpcm:
        if (format.blockAlign > 0 && format.extraSize >= 2)
            frames = bytes / format.blockAlign * readLittleEndian16(format.extra);
        break;
    case kWaveFormatMpegLayer3:
        if (format.averageBytesPerSecond > 0)
            frames = bytes * format.samplesPerSecond / format.averageBytesPerSecond;
        break;
    default:
        if (format.blockAlign > 0) frames = bytes / format.blockAlign;
        break;
    }
    return frames > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(frames);
}
