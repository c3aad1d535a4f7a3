#pragma once

// The output formats the ACM layer can write into a RIFF/WAVE file, and the
// console chooser that lets the user pick one of them.

#include "engine/output/waveformat.h"

#include <cstdint>
#include <cstdio>

constexpr uint16_t kWaveFormatMsAdpcm = 0x0002;
constexpr uint16_t kWaveFormatIeeeFloat = 0x0003;
constexpr uint16_t kWaveFormatAlaw = 0x0006;
constexpr uint16_t kWaveFormatMulaw = 0x0007;
constexpr uint16_t kWaveFormatImaAdpcm = 0x0011;
constexpr uint16_t kWaveFormatMpegLayer3 = 0x0055;

// The request of `acmFormatChooseA`: where the chosen record goes, and the
// title shown above the list.
struct AcmFormatChoose {
    uint32_t structureSize = 0;
    WaveFormat* format = nullptr;
    uint32_t formatSize = 0;
    const char* title = nullptr;
};

constexpr int kAcmChooseCancelled = 1;

// Lists the formats on `out`, one numbered line each, under the title, and
// reads the number of one from `in`. 0 with the chosen record filled in; a
// non-zero value when the answer is no listed number or there is none.
int acmFormatChooseA(AcmFormatChoose& choose, std::FILE* in = stdin, std::FILE* out = stdout);

int acmFormatCount();
// The record of format `index` (from 0) and its line in the list.
WaveFormat acmFormatAt(int index);
const char* acmFormatName(int index);

// The index an answer line picks: a number from 1 to `count`, blanks
// around it allowed; -1 for anything else.
int parseFormatChoice(const char* line, int count);

// The sample frames that `bytes` of data in `format` hold, for the "fact"
// chunk of a compressed file.
uint32_t sampleFramesIn(const WaveFormat& format, uint64_t bytes);
