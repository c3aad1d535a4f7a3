#include "engine/output/acm.h"

#include "engine/common/owned.h"
#include "engine/output/acmformats.h"
#include "engine/output/encoders/ffmpeg/acmencoder.h"
#include "engine/output/encoders/ffmpeg/acmresampler.h"
#include "engine/output/encoders/ffmpeg/codecmodule.h"

#include <algorithm>
#include <cstring>
#include <vector>

// A stream converts between linear formats through the resampler, or
// encodes 16-bit PCM into a compressed format through a codec.
struct AcmStream {
    WaveFormat source;
    WaveFormat destination;
    std::unique_ptr<AcmResampler> resampler;  // none between identical formats
    std::vector<uint8_t> wide;                // 32-bit samples on their way to 24 bits

    std::unique_ptr<AcmEncoder> encoder;
    std::vector<uint8_t> encoded;  // codec output not yet handed out
};

void AcmStreamCloser::operator()(AcmStream* stream) const {
    delete stream;
}

namespace {

constexpr int kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 768000;

bool isSupportedPcm(const WaveFormat& format) {
    return (format.formatTag == kWaveFormatPcm || format.formatTag == kWaveFormatIeeeFloat) &&
           format.channels >= 1 && format.channels <= kMaxChannels && format.samplesPerSecond >= 1 &&
           format.samplesPerSecond <= kMaxSampleRate && hasResamplerLayout(format) &&
           format.blockAlign == format.channels * format.bitsPerSample / 8;
}

bool sameSamples(const WaveFormat& a, const WaveFormat& b) {
    return a.formatTag == b.formatTag && a.channels == b.channels && a.samplesPerSecond == b.samplesPerSecond &&
           a.bitsPerSample == b.bitsPerSample;
}

bool isCompressed(const WaveFormat& format) {
    switch (format.formatTag) {
    case kWaveFormatAlaw:
    case kWaveFormatMulaw:
    case kWaveFormatImaAdpcm:
    case kWaveFormatMsAdpcm:
    case kWaveFormatMpegLayer3: return true;
    default: return false;
    }
}

// The codec module is asked last, so that only a compressed format loads it.
bool hasEncoder(const WaveFormat& format) {
    auto has = reinterpret_cast<AcmHasEncoderFunction>(codecModuleFunction("AcmHasEncoder"));
    return has && has(format.formatTag) != 0;
}

// ADPCM records carry their block length; without it no block fits.
bool isEncodable(const WaveFormat& format) {
    const bool adpcm = format.formatTag == kWaveFormatImaAdpcm || format.formatTag == kWaveFormatMsAdpcm;
    return isCompressed(format) && (!adpcm || samplesPerBlock(format) > 0) && format.channels >= 1 &&
           format.channels <= 2 && format.samplesPerSecond >= 1 && format.samplesPerSecond <= kMaxSampleRate &&
           format.blockAlign > 0 && hasEncoder(format);
}

// What the codec takes: 16-bit PCM of the format's rate and channels.
WaveFormat encoderInput(const WaveFormat& format) {
    WaveFormat input = pcmFormat(format.channels);
    input.samplesPerSecond = format.samplesPerSecond;
    input.averageBytesPerSecond = input.samplesPerSecond * input.blockAlign;
    return input;
}

int convertEncode(AcmStream& stream, AcmStreamHeader& header, bool end) {
    const int inAlign = stream.source.blockAlign;
    const int frames = static_cast<int>(header.sourceLength / inAlign);
    if (frames > 0) {
        if (int result = stream.encoder->encode(header.source, frames, stream.encoded); result != kAcmOk)
            return result;
        header.sourceLengthUsed = static_cast<uint32_t>(frames * inAlign);
    }
    if (end && stream.encoder->finish(stream.encoded) != kAcmOk) return kAcmNotPossible;
    const size_t bytes = std::min<size_t>(stream.encoded.size(), header.destinationLength);
    if (end && bytes < stream.encoded.size()) return kAcmNotPossible;
    if (bytes > 0) std::memcpy(header.destination, stream.encoded.data(), bytes);
    stream.encoded.erase(stream.encoded.begin(), stream.encoded.begin() + static_cast<std::ptrdiff_t>(bytes));
    header.destinationLengthUsed = static_cast<uint32_t>(bytes);
    return kAcmOk;
}

// Keeps the upper three bytes of each 32-bit sample.
void packTo24Bits(const uint8_t* wide, uint8_t* packed, size_t samples) {
    for (size_t i = 0; i < samples; ++i) std::memcpy(packed + 3 * i, wide + 4 * i + 1, 3);
}

int convertCopy(const AcmStream& stream, AcmStreamHeader& header) {
    const uint32_t align = stream.source.blockAlign;
    const uint32_t bytes = std::min(header.sourceLength, header.destinationLength) / align * align;
    if (bytes > 0) std::memcpy(header.destination, header.source, bytes);
    header.sourceLengthUsed = bytes;
    header.destinationLengthUsed = bytes;
    return kAcmOk;
}

int convertResample(AcmStream& stream, AcmStreamHeader& header, bool end) {
    AcmResampler& resampler = *stream.resampler;
    const int inAlign = stream.source.blockAlign;
    const int outAlign = stream.destination.blockAlign;
    const int capacity = static_cast<int>(header.destinationLength / outAlign);
    int inFrames = static_cast<int>(header.sourceLength / inAlign);
    // Take no more input than the destination can take as output, so that
    // nothing piles up inside the resampler.
    for (;;) {
        const int bound = resampler.outputBound(inFrames);
        if (bound < 0) return kAcmNotPossible;
        if (bound <= capacity || inFrames == 0) break;
        inFrames = std::max(0, static_cast<int>(static_cast<int64_t>(inFrames) * capacity / bound) - 1);
    }
    const bool packed24 = stream.destination.bitsPerSample == 24;
    const int wideAlign = 4 * stream.destination.channels;
    uint8_t* target = header.destination;
    if (packed24) {
        if (stream.wide.size() < static_cast<size_t>(capacity) * wideAlign) return kAcmInvalidParameter;
        target = stream.wide.data();
    }
    const int targetAlign = packed24 ? wideAlign : outAlign;
    uint8_t* out = target;
    const uint8_t* in = header.source;
    int produced = 0;
    if (inFrames > 0) {
        produced = resampler.convert(out, capacity, in, inFrames);
        if (produced < 0) return kAcmNotPossible;
    }
    if (end && produced < capacity) {
        uint8_t* rest = target + produced * targetAlign;
        const int drained = resampler.convert(rest, capacity - produced, nullptr, 0);
        if (drained < 0) return kAcmNotPossible;
        produced += drained;
    }
    if (packed24) packTo24Bits(target, header.destination, static_cast<size_t>(produced) * stream.destination.channels);
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
    if (isEncodable(source)) {
        const WaveFormat input = encoderInput(source);
        std::memcpy(&destination, &input, kWaveFormatBaseBytes);
        return kAcmOk;
    }
    if (!isSupportedPcm(source)) return kAcmNotPossible;
    if (source.formatTag == kWaveFormatIeeeFloat) {
        const WaveFormat input = encoderInput(source);
        std::memcpy(&destination, &input, kWaveFormatBaseBytes);
        return kAcmOk;
    }
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
    if (!isSupportedPcm(source)) return kAcmNotPossible;
    AcmStreamHandle opened(makeOwned<AcmStream>().release());
    if (!opened) return kAcmNoMemory;
    opened->source = source;
    opened->destination = destination;
    if (isEncodable(destination)) {
        const WaveFormat input = encoderInput(destination);
        if (std::memcmp(&input, &source, kWaveFormatBaseBytes - 2) != 0) return kAcmNotPossible;
        auto create = reinterpret_cast<AcmCreateEncoderFunction>(codecModuleFunction("AcmCreateEncoder"));
        if (!create) return kAcmNotPossible;
        if (int result = create(destination, opened->encoder); result != kAcmOk) return result;
    } else if (!isSupportedPcm(destination)) {
        return kAcmNotPossible;
    } else if (!sameSamples(source, destination)) {
        auto create = reinterpret_cast<AcmCreateResamplerFunction>(codecModuleFunction("AcmCreateResampler"));
        if (!create) return kAcmNotPossible;
        if (int result = create(source, destination, opened->resampler); result != kAcmOk) return result;
    }
    stream = std::move(opened);
    return kAcmOk;
}

int acmStreamPrepareHeader(AcmStream* stream, AcmStreamHeader& header) {
    if (!stream || header.structureSize != sizeof header || !header.destination) return kAcmInvalidParameter;
    const WaveFormat& destination = stream->destination;
    if (stream->resampler && destination.bitsPerSample == 24)
        stream->wide.resize(header.destinationLength / destination.blockAlign * 4u * destination.channels);
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
    if (stream->encoder) return convertEncode(*stream, header, (flags & ACM_STREAMCONVERTF_END) != 0);
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
    return stream && !stream->resampler && !stream->encoder;
}
