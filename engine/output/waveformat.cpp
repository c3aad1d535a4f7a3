#include "engine/output/waveformat.h"

WaveFormat outputFormat = {};

void setPcmOutputFormat() {
    outputFormat = WaveFormat{};
    outputFormat.formatTag = kWaveFormatPcm;
    outputFormat.channels = 2;
    outputFormat.samplesPerSecond = 44100;
    outputFormat.averageBytesPerSecond = 176400;
    outputFormat.blockAlign = 4;
    outputFormat.bitsPerSample = 16;
    // PCM ignores the extra size; the writer stores 0 for it.
    outputFormat.extraSize = 18;
}
