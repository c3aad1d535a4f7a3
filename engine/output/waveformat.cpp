#include "engine/output/waveformat.h"

WaveFormat outputFormat = {};

WaveFormat pcmFormat(int channels) {
    WaveFormat format = {};
    format.formatTag = kWaveFormatPcm;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSecond = 44100;
    format.blockAlign = static_cast<uint16_t>(2 * channels);
    format.averageBytesPerSecond = 44100u * format.blockAlign;
    format.bitsPerSample = 16;
    return format;
}

void setPcmOutputFormat() {
    outputFormat = pcmFormat(2);
    // PCM ignores the extra size; the writer stores 0 for it.
    outputFormat.extraSize = 18;
}
