#include "engine/output/encoders/ffmpeg/wmaudiowriter.h"

#include "engine/common/owned.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr int kFailed = -1;
// Encoded blocks per ASF packet; packets sized to hold them exactly carry
// no padding, so the file's bit rate is the one asked for.
constexpr int kBlocksPerPacket = 4;
constexpr int kPacketHeaderBytes = 12;
constexpr int kPayloadHeaderBytes = 17;
constexpr int kMinPacketBytes = 100;
constexpr int kMaxPacketBytes = 65536;

class AsfWmaWriter : public WmaAudioWriter {
public:
    explicit AsfWmaWriter(const char* path) : path_(path) {}
    ~AsfWmaWriter() override { release(); }

    int setInputFormat(const WaveFormat& format) override {
        if (format.formatTag != kWaveFormatPcm || format.bitsPerSample != 16 || format.channels < 1 ||
            format.channels > 2 || format.blockAlign != 2 * format.channels)
            return kFailed;
        inputChannels_ = format.channels;
        return 0;
    }

    int setBitrate(int bitsPerSecond, int samplesPerSecond, int channels, int flags) override {
        if (output_ || inputChannels_ == 0 || channels != inputChannels_ || flags != 0 || bitsPerSecond <= 0)
            return kFailed;
        if (openEncoder(bitsPerSecond, samplesPerSecond, channels) != 0 || openFile() != 0) {
            release();
            return kFailed;
        }
        return 0;
    }

    int writeSamples(const uint8_t* data, int byteCount) override {
        if (!headerWritten_ || failed_ || byteCount < 0) return kFailed;
        const int frameBytes = 2 * inputChannels_;
        int frames = byteCount / frameBytes;
        while (frames > 0) {
            const int piece = std::min(frames, frame_->nb_samples - held_);
            takeSamples(reinterpret_cast<const int16_t*>(data), piece);
            data += piece * frameBytes;
            frames -= piece;
            if (held_ == frame_->nb_samples && encodeHeld() != 0) return fail();
        }
        return 0;
    }

    int close() override {
        if (!headerWritten_ || failed_) return fail();
        if (held_ > 0 && encodeHeld() != 0) return fail();
        if (drain(nullptr) != 0 || av_write_trailer(output_) < 0) return fail();
        avio_flush(output_->pb);
        if (output_->pb->error < 0 || avio_closep(&output_->pb) < 0) return fail();
        complete_ = true;
        return 0;
    }

    int release() override {
        if (output_) {
            const bool created = output_->pb != nullptr || headerWritten_;
            if (output_->pb) avio_closep(&output_->pb);
            avformat_free_context(output_);
            output_ = nullptr;
            if (created && !complete_) std::remove(path_.c_str());
        }
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&encoder_);
        return 0;
    }

private:
    int openEncoder(int bitsPerSecond, int samplesPerSecond, int channels) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        if (!codec) return kFailed;
        encoder_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!encoder_ || !frame_ || !packet_) return kFailed;
        encoder_->bit_rate = bitsPerSecond;
        encoder_->sample_rate = samplesPerSecond;
        encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        av_channel_layout_default(&encoder_->ch_layout, channels);
        encoder_->time_base = AVRational{1, samplesPerSecond};
        encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        // The codec refuses rates it cannot encode (too low for the
        // sample rate): the writer fails instead of writing a silent file.
        if (avcodec_open2(encoder_, codec, nullptr) < 0 || encoder_->frame_size <= 0) return kFailed;
        frame_->nb_samples = encoder_->frame_size;
        frame_->format = encoder_->sample_fmt;
        frame_->sample_rate = samplesPerSecond;
        if (av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout) < 0 ||
            av_frame_get_buffer(frame_, 0) < 0)
            return kFailed;
        return 0;
    }

    int openFile() {
        if (avformat_alloc_output_context2(&output_, nullptr, "asf", path_.c_str()) < 0 || !output_)
            return kFailed;
        AVStream* stream = avformat_new_stream(output_, nullptr);
        if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder_) < 0) return kFailed;
        stream->time_base = encoder_->time_base;
        const int packetBytes = std::clamp(kBlocksPerPacket * (encoder_->block_align + kPayloadHeaderBytes) +
                                               kPacketHeaderBytes,
                                           kMinPacketBytes, kMaxPacketBytes);
        AVDictionary* settings = nullptr;
        av_dict_set_int(&settings, "packet_size", packetBytes, 0);
        if (avio_open(&output_->pb, path_.c_str(), AVIO_FLAG_WRITE) < 0) {
            av_dict_free(&settings);
            return kFailed;
        }
        const int written = avformat_write_header(output_, &settings);
        av_dict_free(&settings);
        if (written < 0) return kFailed;
        headerWritten_ = true;
        return 0;
    }

    // 16-bit interleaved samples into the frame's float planes.
    void takeSamples(const int16_t* samples, int frames) {
        for (int c = 0; c < inputChannels_; ++c) {
            float* plane = reinterpret_cast<float*>(frame_->data[c]) + held_;
            for (int f = 0; f < frames; ++f) {
                int16_t sample;
                std::memcpy(&sample, samples + f * inputChannels_ + c, sizeof sample);
                plane[f] = static_cast<float>(sample) / 32768.0f;
            }
        }
        held_ += frames;
    }

    int encodeHeld() {
        if (av_frame_make_writable(frame_) < 0) return kFailed;
        const int full = frame_->nb_samples;
        frame_->nb_samples = held_;
        frame_->pts = position_;
        position_ += held_;
        held_ = 0;
        const int result = drain(frame_);
        frame_->nb_samples = full;
        return result;
    }

    // Sends `frame` (none: the end) and writes every packet that is ready.
    int drain(AVFrame* frame) {
        if (avcodec_send_frame(encoder_, frame) < 0) return kFailed;
        for (;;) {
            const int received = avcodec_receive_packet(encoder_, packet_);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
            if (received < 0) return kFailed;
            packet_->stream_index = 0;
            av_packet_rescale_ts(packet_, encoder_->time_base, output_->streams[0]->time_base);
            if (av_interleaved_write_frame(output_, packet_) < 0) return kFailed;
        }
        return output_->pb->error < 0 ? kFailed : 0;
    }

    int fail() {
        failed_ = true;
        return kFailed;
    }

    std::string path_;
    int inputChannels_ = 0;
    AVCodecContext* encoder_ = nullptr;
    AVFormatContext* output_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int held_ = 0;
    int64_t position_ = 0;
    bool headerWritten_ = false;
    bool failed_ = false;
    bool complete_ = false;
};

}  // namespace

extern "C" int WMAudioCreateWriter(const char* path, std::unique_ptr<WmaAudioWriter>& writer) {
    if (!path || !*path) return kFailed;
    writer = makeOwned<AsfWmaWriter>(path);
    return writer ? 0 : kFailed;
}
