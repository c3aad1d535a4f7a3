#include "engine/output/encoders/lame/bladeapi.h"

#include "engine/output/bitrates.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <new>

struct BladeStream {
    lame_global_flags* flags = nullptr;
    int channels = 2;
    uint32_t samplesPerChunk = 0;
    uint32_t outputBufferSize = 0;

    ~BladeStream() {
        if (flags) lame_close(flags);
    }
};

namespace {

constexpr uint32_t kFrameSamples = 1152;  // per channel, MPEG-1 Layer III

constexpr uint32_t kSampleRates[] = {32000, 44100, 48000};

// What lame_encode_buffer may produce from `samples` per channel at most.
uint32_t outputBound(uint32_t samples) {
    return samples * 5 / 4 + 7200;
}

bool validConfig(const BeConfig& config) {
    // Copies: std::find binds a reference, and the packed fields are unaligned.
    const uint16_t bitrate = config.bitrateKbps;
    const uint32_t rate = config.sampleRate;
    return std::find(std::begin(kMp3BitratesKbps), std::end(kMp3BitratesKbps), bitrate) != std::end(kMp3BitratesKbps) &&
           std::find(std::begin(kSampleRates), std::end(kSampleRates), rate) != std::end(kSampleRates) &&
           (config.mode == BE_MP3_MODE_STEREO || config.mode == BE_MP3_MODE_MONO);
}

uint32_t beInitStream(const BeConfig* config, uint32_t* samplesPerChunk, uint32_t* outputBufferSize,
                      BeStream* stream) {
    if (!config || !samplesPerChunk || !outputBufferSize || !stream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->configKind != BE_CONFIG_MP3) return BE_ERR_INVALID_FORMAT;
    if (!validConfig(*config)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    BeStream opened = new (std::nothrow) BladeStream;
    if (!opened) return BE_ERR_NO_MORE_HANDLES;
    opened->flags = lame_init();
    if (!opened->flags) {
        delete opened;
        return BE_ERR_NO_MORE_HANDLES;
    }
    lame_global_flags* flags = opened->flags;
    opened->channels = config->mode == BE_MP3_MODE_MONO ? 1 : 2;
    lame_set_in_samplerate(flags, static_cast<int>(config->sampleRate));
    lame_set_out_samplerate(flags, static_cast<int>(config->sampleRate));
    lame_set_num_channels(flags, opened->channels);
    lame_set_mode(flags, opened->channels == 1 ? MONO : STEREO);
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, config->bitrateKbps);
    lame_set_extension(flags, config->privateFlag != 0);
    lame_set_error_protection(flags, config->crcFlag != 0);
    lame_set_copyright(flags, config->copyrightFlag != 0);
    lame_set_original(flags, config->originalFlag != 0);
    // The first frame is kept free for the LAME/Xing frame written at the end.
    lame_set_bWriteVbrTag(flags, 1);
    if (lame_init_params(flags) < 0) {
        delete opened;
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    opened->samplesPerChunk = kFrameSamples * opened->channels;
    opened->outputBufferSize = outputBound(kFrameSamples);
    *samplesPerChunk = opened->samplesPerChunk;
    *outputBufferSize = opened->outputBufferSize;
    *stream = opened;
    return BE_ERR_SUCCESSFUL;
}

uint32_t beEncodeChunk(BeStream stream, uint32_t samples, const int16_t* input, uint8_t* output,
                       uint32_t* outputBytes) {
    if (!stream || !output || !outputBytes) return BE_ERR_INVALID_HANDLE;
    if (samples > stream->samplesPerChunk || (samples > 0 && !input)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int frames = static_cast<int>(samples) / stream->channels;
    const int capacity = static_cast<int>(stream->outputBufferSize);
    const int produced = stream->channels == 1
                             ? lame_encode_buffer(stream->flags, input, input, frames, output, capacity)
                             : lame_encode_buffer_interleaved(stream->flags, const_cast<int16_t*>(input),
                                                              frames, output, capacity);
    if (produced < 0) return produced == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    *outputBytes = static_cast<uint32_t>(produced);
    return BE_ERR_SUCCESSFUL;
}

uint32_t beDeinitStream(BeStream stream, uint8_t* output, uint32_t* outputBytes) {
    if (!stream || !output || !outputBytes) return BE_ERR_INVALID_HANDLE;
    const int produced = lame_encode_flush(stream->flags, output, static_cast<int>(stream->outputBufferSize));
    if (produced < 0) return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<uint32_t>(produced);
    return BE_ERR_SUCCESSFUL;
}

uint32_t beCloseStream(BeStream stream) {
    if (!stream) return BE_ERR_INVALID_HANDLE;
    delete stream;
    return BE_ERR_SUCCESSFUL;
}

void beVersion(BeVersion* version) {
    if (!version) return;
    version->dllMajor = 1;
    version->dllMinor = 0;
    // "3.100" and the like.
    const char* text = get_lame_short_version();
    int major = 0, minor = 0;
    if (std::sscanf(text, "%d.%d", &major, &minor) < 2) major = minor = 0;
    version->engineMajor = static_cast<uint8_t>(major);
    version->engineMinor = static_cast<uint8_t>(minor);
}

uint32_t beInfoFrame(BeStream stream, uint8_t* output, uint32_t capacity, uint32_t* outputBytes) {
    if (!stream || !output || !outputBytes) return BE_ERR_INVALID_HANDLE;
    // Below 64 kbps a frame is too small for the tag: LAME writes none, and
    // keeps no frame free for it.
    const size_t size = lame_get_lametag_frame(stream->flags, output, capacity);
    if (size > capacity) return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<uint32_t>(size);
    return BE_ERR_SUCCESSFUL;
}

}  // namespace

int loadBladeLibrary(BladeLibrary& library) {
    library.beInitStream = beInitStream;
    library.beEncodeChunk = beEncodeChunk;
    library.beDeinitStream = beDeinitStream;
    library.beCloseStream = beCloseStream;
    library.beVersion = beVersion;
    library.beInfoFrame = beInfoFrame;
    return 0;
}
