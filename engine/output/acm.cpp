#include "engine/output/acm.h"

#include <algorithm>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

struct AcmStream {
    WaveFormat source;
    WaveFormat destination;
    SwrContext* resampler = nullptr;  // none between identical formats

    ~AcmStream() { swr_free(&resampler); }
};

void AcmStreamCloser::operator()(AcmStream* stream) const {
    delete stream;
}

namespace {

constexpr int kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 768000;

AVSampleFormat sampleFormatOf(const WaveFormat& format) {
    switch (format.bitsPerSample) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    case 32:
        return AV_SAMPLE_FMT_S32;
    default:
        return AV_SAMPLE_FMT_NONE;
    }
}

bool isSupportedPcm(const WaveFormat& format) {
    return format.formatTag == kWaveFormatPcm && format.channels >= 1 && format.channels <= kMaxChannels &&
           format.samplesPerSecond >= 1 && format.samplesPerSecond <= kMaxSampleRate &&
           sampleFormatOf(format) != AV_SAMPLE_FMT_NONE &&
           format.blockAlign == format.channels * format.bitsPerSample / 8;
}

bool sameSamples(const WaveFormat& a, const WaveFormat& b) {
    return a.channels == b.channels && a.samplesPerSecond == b.samplesPerSecond &&
           a.bitsPerSample == b.bitsPerSample;
}

SwrContext* createResampler(const WaveFormat& source, const WaveFormat& destination) {
    AVChannelLayout in, out;
    av_channel_layout_default(&in, source.channels);
    av_channel_layout_default(&out, destination.channels);
    SwrContext* resampler = nullptr;
    const int result = swr_alloc_set_opts2(&resampler, &out, sampleFormatOf(destination),
                                           static_cast<int>(destination.samplesPerSecond), &in,
                                           sampleFormatOf(source), static_cast<int>(source.samplesPerSecond),
                                           0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (result < 0 || swr_init(resampler) < 0) {
        swr_free(&resampler);
        return nullptr;
    }
    return resampler;
}

int convertCopy(const AcmStream& stream, AcmStreamHeader& header) {
    const uint32_t align = stream.source.blockAlign;
    const uint32_t bytes = std::min(header.sourceLength, header.destinationLength) / align * align;
    if (bytes > 0) std::memcpy(header.destination, header.source, bytes);
    header.sourceLengthUsed = bytes;
    header.destinationLengthUsed = bytes;
    return kAcmOk;
}

int convertResample(const AcmStream& stream, AcmStreamHeader& header, bool end) {
    SwrContext* resampler = stream.resampler;
    const int inAlign = stream.source.blockAlign;
    const int outAlign = stream.destination.blockAlign;
    const int capacity = static_cast<int>(header.destinationLength / outAlign);
    int inFrames = static_cast<int>(header.sourceLength / inAlign);
    // Take no more input than the destination can take as output, so that
    // nothing piles up inside the resampler.
    for (;;) {
        const int bound = swr_get_out_samples(resampler, inFrames);
        if (bound < 0) return kAcmNotPossible;
        if (bound <= capacity || inFrames == 0) break;
        inFrames = std::max(0, static_cast<int>(static_cast<int64_t>(inFrames) * capacity / bound) - 1);
    }
    uint8_t* out = header.destination;
    const uint8_t* in = header.source;
    int produced = 0;
    if (inFrames > 0) {
        produced = swr_convert(resampler, &out, capacity, &in, inFrames);
        if (produced < 0) return kAcmNotPossible;
    }
    if (end && produced < capacity) {
        uint8_t* rest = header.destination + produced * outAlign;
        const int drained = swr_convert(resampler, &rest, capacity - produced, nullptr, 0);
        if (drained < 0) return kAcmNotPossible;
        produced += drained;
    }
    header.sourceLengthUsed = static_cast<uint32_t>(inFrames * inAlign);
    header.destinationLengthUsed = static_cast<uint32_t>(produced * outAlign);
    return kAcmOk;
}

}  // namespace

int acmFormatSuggest(const WaveFormat& source, WaveFormat& destination, uint32_t destinationSize,
                     uint32_t flags) {
    if (destinationSize < kWaveFormatBaseBytes) return kAcmInvalidParameter;
    if ((flags & ~ACM_FORMATSUGGESTF_WFORMATTAG) != 0) return kAcmInvalidFlag;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && destination.formatTag != kWaveFormatPcm)
        return kAcmNotPossible;
    if (!isSupportedPcm(source)) return kAcmNotPossible;
    destination.formatTag = kWaveFormatPcm;
    destination.channels = source.channels;
    destination.samplesPerSecond = source.samplesPerSecond;
    destination.bitsPerSample = source.bitsPerSample;
    destination.blockAlign = source.blockAlign;
    destination.averageBytesPerSecond = source.samplesPerSecond * source.blockAlign;
    destination.extraSize = 0;
    return kAcmOk;
}

int acmStreamOpen(AcmStreamHandle& stream, const WaveFormat& source, const WaveFormat& destination,
                  uint32_t flags) {
    if ((flags & ~ACM_STREAMOPENF_NONREALTIME) != 0) return kAcmInvalidFlag;
    if (!isSupportedPcm(source) || !isSupportedPcm(destination)) return kAcmNotPossible;
    AcmStreamHandle opened(new (std::nothrow) AcmStream{source, destination});
    if (!opened) return kAcmNoMemory;
    if (!sameSamples(source, destination)) {
        opened->resampler = createResampler(source, destination);
        if (!opened->resampler) return kAcmNotPossible;
    }
    stream = std::move(opened);
    return kAcmOk;
}

int acmStreamPrepareHeader(AcmStream* stream, AcmStreamHeader& header) {
    if (!stream || header.structureSize != sizeof header || !header.destination) return kAcmInvalidParameter;
    header.prepared = true;
    return kAcmOk;
}

int acmStreamConvert(AcmStream* stream, AcmStreamHeader& header, uint32_t flags) {
    if (!stream) return kAcmInvalidParameter;
    if ((flags & ~(ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END)) != 0) return kAcmInvalidFlag;
    if (!header.prepared) return kAcmUnprepared;
    if (header.sourceLength > 0 && !header.source) return kAcmInvalidParameter;
    header.sourceLengthUsed = 0;
    header.destinationLengthUsed = 0;
    if (!stream->resampler) return convertCopy(*stream, header);
    return convertResample(*stream, header, (flags & ACM_STREAMCONVERTF_END) != 0);
}

int acmStreamUnprepareHeader(AcmStream* stream, AcmStreamHeader& header) {
    if (!stream) return kAcmInvalidParameter;
    if (!header.prepared) return kAcmUnprepared;
    header.prepared = false;
    return kAcmOk;
}

int acmStreamClose(AcmStreamHandle& stream) {
    if (!stream) return kAcmInvalidParameter;
    stream.reset();
    return kAcmOk;
}

bool acmStreamIsCopy(const AcmStream* stream) {
    return stream && !stream->resampler;
}
