#include "engine/output/encoders/ffmpeg/acmencoder.h"

#include "engine/common/owned.h"
#include "engine/output/acm.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

namespace {

// The codec that writes `formatTag`, or none for the formats we cannot write.
const AVCodec* encoderFor(uint16_t formatTag) {
    switch (formatTag) {
    case kWaveFormatAlaw: return avcodec_find_encoder(AV_CODEC_ID_PCM_ALAW);
    case kWaveFormatMulaw: return avcodec_find_encoder(AV_CODEC_ID_PCM_MULAW);
    case kWaveFormatImaAdpcm: return avcodec_find_encoder(AV_CODEC_ID_ADPCM_IMA_WAV);
    case kWaveFormatMsAdpcm: return avcodec_find_encoder(AV_CODEC_ID_ADPCM_MS);
    case kWaveFormatMpegLayer3: return avcodec_find_encoder_by_name("libmp3lame");
    default: return nullptr;
    }
}

constexpr int kCompandedFrameSamples = 1024;

class CodecEncoder : public AcmEncoder {
public:
    explicit CodecEncoder(const WaveFormat& format) : format_(format) {}
    ~CodecEncoder() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&encoder_);
    }
    CodecEncoder(const CodecEncoder&) = delete;
    CodecEncoder& operator=(const CodecEncoder&) = delete;

    int open() {
        const AVCodec* codec = encoderFor(format_.formatTag);
        if (!codec) return kAcmNotPossible;
        encoder_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!encoder_ || !frame_ || !packet_) return kAcmNoMemory;
        encoder_->sample_rate = static_cast<int>(format_.samplesPerSecond);
        encoder_->time_base = AVRational{1, encoder_->sample_rate};
        av_channel_layout_default(&encoder_->ch_layout, format_.channels);
        encoder_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        if (format_.formatTag == kWaveFormatMpegLayer3)
            encoder_->bit_rate = static_cast<int64_t>(format_.averageBytesPerSecond) * 8;
        if (samplesPerBlock(format_) > 0) av_opt_set_int(encoder_->priv_data, "block_size", format_.blockAlign, 0);
        if (avcodec_open2(encoder_, codec, nullptr) < 0) return kAcmNotPossible;
        // The blocks must be the ones the file's header describes.
        const uint32_t block = samplesPerBlock(format_);
        if (block > 0 &&
            (encoder_->block_align != format_.blockAlign || encoder_->frame_size != static_cast<int>(block)))
            return kAcmNotPossible;
        frame_->nb_samples = encoder_->frame_size > 0 ? encoder_->frame_size : kCompandedFrameSamples;
        frame_->format = encoder_->sample_fmt;
        frame_->sample_rate = encoder_->sample_rate;
        if (av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0)
            return kAcmNoMemory;
        return kAcmOk;
    }

    int encode(const uint8_t* source, int frames, std::vector<uint8_t>& encoded) override {
        const int inAlign = 2 * format_.channels;
        while (frames > 0) {
            if (av_frame_make_writable(frame_) < 0) return kAcmNoMemory;
            const int piece = std::min(frames, frame_->nb_samples - held_);
            takeSamples(source, piece);
            source += piece * inAlign;
            frames -= piece;
            if (held_ == frame_->nb_samples && encodeHeld(encoded) != kAcmOk) return kAcmNotPossible;
        }
        return kAcmOk;
    }

    int finish(std::vector<uint8_t>& encoded) override {
        if (held_ > 0 && encodeHeld(encoded) != kAcmOk) return kAcmNotPossible;
        return encodeFrame(nullptr, encoded);
    }

private:
    // Moves `frames` interleaved 16-bit sample frames into the codec's frame.
    void takeSamples(const uint8_t* source, int frames) {
        const int channels = format_.channels;
        const auto format = static_cast<AVSampleFormat>(frame_->format);
        const bool planar = av_sample_fmt_is_planar(format);
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                int16_t sample;
                std::memcpy(&sample, source + 2 * (f * channels + c), 2);
                const int index = held_ + f;
                uint8_t* plane = frame_->data[planar ? c : 0];
                const int at = planar ? index : index * channels + c;
                switch (format) {
                case AV_SAMPLE_FMT_S16:
                case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(plane)[at] = sample; break;
                case AV_SAMPLE_FMT_S32P: reinterpret_cast<int32_t*>(plane)[at] = int32_t{sample} * 65536; break;
                case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(plane)[at] = sample / 32768.0f; break;
                default: break;
                }
            }
        }
        held_ += frames;
    }

    // Sends `frame` (none: the end) and keeps every packet the codec returns.
    int encodeFrame(AVFrame* frame, std::vector<uint8_t>& encoded) {
        if (avcodec_send_frame(encoder_, frame) < 0) return kAcmNotPossible;
        for (;;) {
            const int received = avcodec_receive_packet(encoder_, packet_);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return kAcmOk;
            if (received < 0) return kAcmNotPossible;
            encoded.insert(encoded.end(), packet_->data, packet_->data + packet_->size);
            av_packet_unref(packet_);
        }
    }

    int encodeHeld(std::vector<uint8_t>& encoded) {
        const int full = frame_->nb_samples;
        frame_->nb_samples = held_;
        frame_->pts = position_;
        position_ += held_;
        held_ = 0;
        const int result = encodeFrame(frame_, encoded);
        frame_->nb_samples = full;
        return result;
    }

    WaveFormat format_;
    AVCodecContext* encoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int held_ = 0;  // sample frames waiting in the frame
    int64_t position_ = 0;
};

}  // namespace

extern "C" int AcmHasEncoder(uint16_t formatTag) { return encoderFor(formatTag) ? 1 : 0; }

extern "C" int AcmCreateEncoder(const WaveFormat& format, std::unique_ptr<AcmEncoder>& encoder) {
    auto opened = makeOwned<CodecEncoder>(format);
    if (!opened) return kAcmNoMemory;
    if (int result = opened->open(); result != kAcmOk) return result;
    encoder = std::move(opened);
    return kAcmOk;
}
