#include "engine/output/encoders/opus/oggopusencoder.h"

#include "engine/common/byteorder.h"
#include "engine/common/owned.h"
#include "engine/control/naming.h"
#include "engine/output/regularfile.h"

#include <opusenc.h>

#include <cstdio>
#include <cstring>

namespace {

struct EncoderDeleter {
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
};
struct CommentsDeleter {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
};

}  // namespace

struct OggOpusEncoder::Stream {
    ~Stream();
    int open(const char* path, int bitsPerSecond, int channels);
    int write(const uint8_t* data, int byteCount);
    int close();

    static int writePage(void* self, const unsigned char* page, opus_int32 length);
    static int closeFile(void*) { return 0; }  // the file is closed once the encoder is gone

    int channels = 2;
    std::FILE* file = nullptr;
    std::unique_ptr<OggOpusComments, CommentsDeleter> comments;
    std::unique_ptr<OggOpusEnc, EncoderDeleter> encoder;
    opus_int16 samples[kMaxBlockBytes / 2];
    // libopusenc does not pass a failed page write on, so it is kept here.
    bool failed = false;
};

OggOpusEncoder::Stream::~Stream() {
    // Destroying the encoder may still write pages, so the file goes last.
    encoder.reset();
    if (file) std::fclose(file);
}

int OggOpusEncoder::Stream::open(const char* path, int bitsPerSecond, int channelCount) {
    channels = channelCount;
    comments.reset(ope_comments_create());
    if (!comments) return 1;
    file = openRegularForWriting(pathOnDisk(path).c_str());
    if (!file) return 1;
    static constexpr OpusEncCallbacks kCallbacks = {writePage, closeFile};
    int error = OPE_OK;
    encoder.reset(ope_encoder_create_callbacks(&kCallbacks, this, comments.get(), 44100, channels, 0, &error));
    if (!encoder || error != OPE_OK) return 1;
    return ope_encoder_ctl(encoder.get(), OPUS_SET_BITRATE(bitsPerSecond)) == OPE_OK ? 0 : 1;
}

int OggOpusEncoder::Stream::write(const uint8_t* data, int byteCount) {
    if (failed || byteCount < 0 || byteCount > kMaxBlockBytes) return 1;
    const int values = byteCount / 2;
    for (int i = 0; i < values; ++i) samples[i] = static_cast<opus_int16>(readLittleEndian16(data + 2 * i));
    if (ope_encoder_write(encoder.get(), samples, values / channels) != OPE_OK) failed = true;
    return failed ? 1 : 0;
}

int OggOpusEncoder::Stream::close() {
    bool ok = ope_encoder_drain(encoder.get()) == OPE_OK;
    encoder.reset();
    // Pages written while the encoder went count too.
    if (failed) ok = false;
    if (std::fclose(file) != 0) ok = false;
    file = nullptr;
    return ok ? 0 : 1;
}

int OggOpusEncoder::Stream::writePage(void* self, const unsigned char* page, opus_int32 length) {
    auto* stream = static_cast<Stream*>(self);
    const size_t bytes = static_cast<size_t>(length);
    if (stream->failed || std::fwrite(page, 1, bytes, stream->file) != bytes) stream->failed = true;
    return stream->failed ? 1 : 0;
}

OggOpusEncoder::OggOpusEncoder(const char* path, int bitsPerSecond, int channels, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)),
      pathFits_(std::strlen(path) < sizeof path_),
      bitsPerSecond_(bitsPerSecond),
      channels_(channels) {
    if (pathFits_) std::strcpy(path_, path);
}

OggOpusEncoder::~OggOpusEncoder() = default;

int OggOpusEncoder::open() {
    if (!pathFits_ || stream_ || bitsPerSecond_ < kMinBitsPerSecond || bitsPerSecond_ > kMaxBitsPerSecond ||
        (channels_ != 1 && channels_ != 2))
        return 1;
    stream_ = makeOwned<Stream>();
    if (stream_ && stream_->open(path_, bitsPerSecond_, channels_) == 0) return 0;
    stream_.reset();
    return 1;
}

int OggOpusEncoder::write(const uint8_t* data, int byteCount) { return stream_ ? stream_->write(data, byteCount) : 1; }

int OggOpusEncoder::close() {
    if (!stream_) return 1;
    const int result = stream_->close();
    stream_.reset();
    return result;
}
