#include "engine/output/encoders/ffmpeg/acmresampler.h"

#include "engine/output/acm.h"

#include <new>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {

AVSampleFormat sampleFormatOf(const WaveFormat& format) {
    if (format.formatTag == kWaveFormatIeeeFloat) return AV_SAMPLE_FMT_FLT;
    switch (format.bitsPerSample) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    default:
        return AV_SAMPLE_FMT_S32;
    }
}

class SwrResampler : public AcmResampler {
public:
    explicit SwrResampler(SwrContext* context) : context_(context) {}
    ~SwrResampler() override { swr_free(&context_); }
    SwrResampler(const SwrResampler&) = delete;
    SwrResampler& operator=(const SwrResampler&) = delete;

    int outputBound(int inFrames) override { return swr_get_out_samples(context_, inFrames); }

    int convert(uint8_t* out, int capacity, const uint8_t* in, int inFrames) override {
        return swr_convert(context_, &out, capacity, inFrames > 0 ? &in : nullptr, inFrames);
    }

private:
    SwrContext* context_;
};

}  // namespace

extern "C" int AcmCreateResampler(const WaveFormat& source, const WaveFormat& destination,
                                  std::unique_ptr<AcmResampler>& resampler) {
    if (!hasResamplerLayout(source) || !hasResamplerLayout(destination)) return kAcmNotPossible;
    AVChannelLayout in, out;
    av_channel_layout_default(&in, source.channels);
    av_channel_layout_default(&out, destination.channels);
    SwrContext* context = nullptr;
    const int result = swr_alloc_set_opts2(&context, &out, sampleFormatOf(destination),
                                           static_cast<int>(destination.samplesPerSecond), &in,
                                           sampleFormatOf(source), static_cast<int>(source.samplesPerSecond), 0,
                                           nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (result < 0 || swr_init(context) < 0) {
        swr_free(&context);
        return kAcmNotPossible;
    }
    resampler.reset(new (std::nothrow) SwrResampler(context));
    if (!resampler) {
        swr_free(&context);
        return kAcmNoMemory;
    }
    return kAcmOk;
}
