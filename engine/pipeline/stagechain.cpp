#include "engine/pipeline/stagechain.h"

#include "engine/common/owned.h"
#include "engine/control/options.h"
#include "engine/output/acmconverter.h"
#include "engine/output/partialfile.h"
#include "engine/output/encoders/ffmpeg/wmawriter.h"
#include "engine/output/encoders/flac/flacencoder.h"
#include "engine/output/encoders/lame/bladeencoder.h"
#include "engine/output/encoders/opus/oggopusencoder.h"
#include "engine/output/monitors/monitorwindows.h"
#include "engine/output/monodownmixer.h"
#include "engine/output/playback/audiobreaker.h"
#include "engine/output/playback/playbackstage.h"
#include "engine/output/wavefilewriter.h"
#include "engine/output/waveformat.h"
#include "engine/pipeline/biquadfilter.h"
#include "engine/pipeline/compressorexpander.h"
#include "engine/pipeline/gainstage.h"
#include "engine/pipeline/karaokestage.h"
#include "engine/pipeline/nullsink.h"
#include "engine/pipeline/outputthread.h"
#include "engine/pipeline/reverbstage.h"
#include "engine/pipeline/silencepadder.h"
#include "engine/pipeline/silencetrimmers.h"
#include "engine/pipeline/spreadstage.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

char currentOutputName[kOutputNameCapacity] = {};
char tempWaveName[kOutputNameCapacity] = {};
char tempMp3Name[kOutputNameCapacity] = {};

namespace {

// Makes `chain` the successor of a new Stage and the new stage the chain.
// On allocation failure the chain is destroyed.
template <class Stage, class... Arguments>
int prepend(std::unique_ptr<AudioStage>& chain, Arguments... arguments) {
    chain = makeOwned<Stage>(arguments..., std::move(chain));
    return chain ? 0 : 1;
}

// Creates an empty file with a unique "VLT" name in the current directory
// and keeps the name; the caller removes the file.
int makeTemporaryName(char* name) {
    char pattern[] = "VLTXXXXXX";
    const int descriptor = mkstemp(pattern);
    if (descriptor < 0) return 1;
    ::close(descriptor);
    std::strcpy(name, pattern);
    return 0;
}

// The first file stays until the second name is taken, so that the two
// names differ; then both files go again.
int makeTemporaryNames() {
    if (makeTemporaryName(tempWaveName) != 0) return 1;
    const int second = makeTemporaryName(tempMp3Name);
    std::remove(tempWaveName);
    if (second == 0) std::remove(tempMp3Name);
    return second;
}

}  // namespace

std::unique_ptr<AudioStage> buildStageChain(std::unique_ptr<AudioStage> tail) {
    std::unique_ptr<AudioStage> chain = std::move(tail);
    // From the output end towards the head.
    if (options.playWhileExtracting && prepend<PlaybackStage>(chain) != 0) return nullptr;
    if (options.spectrum && prepend<SpectrumWindow>(chain) != 0) return nullptr;
    if (options.oscilloscope && prepend<ScopeWindow>(chain) != 0) return nullptr;
    if (options.karaoke && prepend<KaraokeStage>(chain) != 0) return nullptr;
    if (options.spread && prepend<SpreadStage>(chain, options.spreadAmount) != 0) return nullptr;
    if (options.reverb && prepend<ReverbStage>(chain) != 0) return nullptr;
    if (options.compress && prepend<CompressorExpander>(chain, options.compressAmount) != 0) return nullptr;
    if (options.lowPass && prepend<BiquadFilter>(chain, BiquadKind::LowPass, options.lowPassCutoff, 0.0, 0.0) != 0)
        return nullptr;
    if (options.highPass &&
        prepend<BiquadFilter>(chain, BiquadKind::HighPass, options.highPassCutoff, 0.0, 0.0) != 0)
        return nullptr;
    for (int i = 0; i < options.eqBandCount && i < kMaxEqBands; ++i) {
        const EqBand& band = options.eqBands[i];
        const BiquadKind kind = band.widthKind == 0 ? BiquadKind::PeakingOctaves : BiquadKind::PeakingQ;
        if (prepend<BiquadFilter>(chain, kind, band.centre, band.width, band.gain) != 0) return nullptr;
    }
    if (options.highShelf && prepend<BiquadFilter>(chain, BiquadKind::HighShelf, options.highShelfFreq, 0.0,
                                                    options.highShelfGain) != 0)
        return nullptr;
    if (options.lowShelf && prepend<BiquadFilter>(chain, BiquadKind::LowShelf, options.lowShelfFreq, 0.0,
                                                   options.lowShelfGain) != 0)
        return nullptr;
    if (options.preampGain != 0.0 && prepend<GainStage>(chain, options.preampGain) != 0) return nullptr;
    if ((options.padLeadingSeconds != 0.0 || options.padTrailingSeconds != 0.0) &&
        prepend<SilencePadder>(chain, options.padLeadingSeconds, options.padTrailingSeconds) != 0)
        return nullptr;
    if (options.trimTrailing && prepend<TrailingSilenceTrimmer>(chain) != 0) return nullptr;
    if (options.trimLeading && prepend<LeadingSilenceTrimmer>(chain) != 0) return nullptr;
    if (options.audioBreaker && prepend<AudioBreaker>(chain) != 0) return nullptr;
    return chain;
}

namespace {

// The job's file becomes the current output name; the stage writes its
// partial name until the job is complete.
int nameOutput(const char* name, std::string& partial) {
    const std::string fileName = outputFileName(name);
    if (fileName.size() + kPartialSuffixBytes >= kOutputNameCapacity) return 1;
    std::strcpy(currentOutputName, fileName.c_str());
    partial = partialName(currentOutputName);
    return 0;
}

std::unique_ptr<AudioStage> createWmaOutput(const char* name) {
    std::string partial;
    if (nameOutput(name, partial) != 0) return nullptr;
    std::unique_ptr<AudioStage> tail = makeOwned<WmaWriter>(partial.c_str(), options.bitrate);
    if (!tail || prepend<OutputThread>(tail) != 0) return nullptr;
    return buildStageChain(std::move(tail));
}

std::unique_ptr<AudioStage> createLibraryEncoder(EncoderStage stage, const char* path) {
    const int channels = options.downmix ? 1 : 2;
    if (stage == EncoderStage::FlacLibrary) return makeOwned<FlacEncoder>(path, options.flacLevel, channels);
    if (stage == EncoderStage::OpusLibrary) return makeOwned<OggOpusEncoder>(path, options.opusBitrate, channels);
    return makeOwned<BladeEncoder>(path, options.bitrate / 1000, channels == 2);
}

// An encoder library reads on the output thread, behind a downmixer for mono.
std::unique_ptr<AudioStage> createEncoderOutput(const char* name, const EncoderInfo& encoder) {
    std::string partial;
    if (nameOutput(name, partial) != 0) return nullptr;
    std::unique_ptr<AudioStage> tail = createLibraryEncoder(encoder.stage, partial.c_str());
    if (!tail || prepend<OutputThread>(tail) != 0) return nullptr;
    if (options.downmix && prepend<MonoDownmixer>(tail, options.downmixMode) != 0) return nullptr;
    return buildStageChain(std::move(tail));
}

}  // namespace

std::string outputFileName(const char* name) {
    const EncoderInfo& encoder = encoderInfo(options.encoder);
    if (encoder.stage == EncoderStage::NullSink) return "";
    return std::string(name) + (encoder.extension ? encoder.extension : options.outputExtension);
}

std::unique_ptr<AudioStage> createAudioChain(const char* name) {
    const EncoderInfo& encoder = encoderInfo(options.encoder);
    if (encoder.stage == EncoderStage::WindowsMediaWriter) return createWmaOutput(name);
    if (encoder.stage == EncoderStage::Mp3Library || encoder.stage == EncoderStage::FlacLibrary ||
        encoder.stage == EncoderStage::OpusLibrary)
        return createEncoderOutput(name, encoder);

    std::string fileName;
    if (encoder.stage == EncoderStage::WaveFile) {
        if (nameOutput(name, fileName) != 0) return nullptr;
    } else {
        if (makeTemporaryNames() != 0) return nullptr;
        fileName = tempWaveName;
        std::strcpy(currentOutputName, tempWaveName);
        // External encoders read a proper WAV file, for this and every later job.
        options.suppressHeader = false;
    }

    std::unique_ptr<AudioStage> writer;
    if (encoder.stage == EncoderStage::NullSink)
        writer = makeOwned<NullSink>();
    else
        writer = makeOwned<WaveFileWriter>(fileName.c_str(), outputFormat, !options.suppressHeader);
    if (!writer) return nullptr;

    WaveFormat suggested = {};
    suggested.formatTag = kWaveFormatPcm;
    if (acmFormatSuggest(outputFormat, suggested, sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG) != 0) {
        std::printf("Error Suggesting Conversion Format\n");
        return nullptr;
    }

    const bool mono = outputFormat.channels == 1;
    const WaveFormat input = pcmFormat(mono ? 1 : 2);

    std::unique_ptr<AudioStage> chain = std::move(writer);
    if (prepend<AcmConverter>(chain, suggested, outputFormat) != 0) return nullptr;
    if (prepend<AcmConverter>(chain, input, suggested) != 0) return nullptr;
    // The file is written on a thread of its own while the next block is
    // read, PCM as it comes too: the kernel's copies into the file cost as
    // much as reading. A job that takes its checksums already has a thread
    // beside the copy; on two cores a third costs more than it overlaps, so
    // unconverted audio is then written from the source's thread.
    const bool converted = outputFormat.formatTag != input.formatTag || outputFormat.channels != input.channels ||
                           outputFormat.samplesPerSecond != input.samplesPerSecond ||
                           outputFormat.bitsPerSample != input.bitsPerSample;
    const bool ownThread = encoder.stage != EncoderStage::NullSink && (converted || !options.verify);
    if (ownThread && prepend<OutputThread>(chain) != 0) return nullptr;
    if (mono && prepend<MonoDownmixer>(chain, options.downmixMode) != 0) return nullptr;
    return buildStageChain(std::move(chain));
}
