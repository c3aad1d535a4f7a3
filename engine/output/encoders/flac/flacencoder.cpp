#include "engine/output/encoders/flac/flacencoder.h"

#include "engine/common/byteorder.h"
#include "engine/common/owned.h"
#include "engine/control/naming.h"
#include "engine/output/regularfile.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// "fLaC" and the STREAMINFO block: the seek table, first of the blocks
// handed to libFLAC, follows at once.
constexpr uint64_t kSeekTableOffset =
    4 + FLAC__STREAM_METADATA_HEADER_LENGTH + FLAC__STREAM_METADATA_STREAMINFO_LENGTH;
constexpr int kSeekPointBytes = FLAC__STREAM_METADATA_SEEKPOINT_LENGTH;

void putBigEndian64(uint8_t* p, uint64_t value) {
    putBigEndian32(p, static_cast<uint32_t>(value >> 32));
    putBigEndian32(p + 4, static_cast<uint32_t>(value));
}

struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

}  // namespace

struct FlacEncoder::Stream {
    ~Stream();
    int open(const char* path, int level, int channels);
    int write(const uint8_t* data, int byteCount);
    int close();

    static FLAC__StreamEncoderWriteStatus writeBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                     size_t bytes, uint32_t samples, uint32_t, void* self);
    static FLAC__StreamEncoderSeekStatus seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* self);
    static FLAC__StreamEncoderTellStatus tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* self);
    void noteFrame(uint32_t samples);
    int writeSeekTable();

    int channels = 2;
    std::FILE* file = nullptr;
    std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder;
    Metadata seekTable, comments, padding;
    FLAC__StreamMetadata* metadata[3] = {};
    FLAC__int32 samples[kMaxBlockBytes / 2];
    bool failed = false;

    // Where the file stands, and what the seek table will say.
    uint64_t position = 0;
    bool seekTableWritten = false;  // libFLAC put the table where it is looked for
    bool framesStarted = false;
    uint64_t firstFrameOffset = 0;
    uint64_t samplesFramed = 0;
    uint64_t spacing = kSeekSpacing;
    uint64_t nextTarget = 0;
    int pointCount = 0;
    FLAC__StreamMetadata_SeekPoint points[kSeekPoints] = {};
};

FlacEncoder::Stream::~Stream() {
    // The encoder finishes into the file when deleted, so it goes first.
    encoder.reset();
    if (file) std::fclose(file);
}

int FlacEncoder::Stream::open(const char* path, int level, int channelCount) {
    channels = channelCount;
    encoder.reset(FLAC__stream_encoder_new());
    seekTable.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE));
    comments.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    padding.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
    if (!encoder || !seekTable || !comments || !padding) return 1;
    // Placeholders now; the points once the frames are known.
    if (!FLAC__metadata_object_seektable_template_append_placeholders(seekTable.get(), kSeekPoints)) return 1;
    padding->length = kPaddingBytes;
    metadata[0] = seekTable.get();
    metadata[1] = comments.get();
    metadata[2] = padding.get();
    FLAC__StreamEncoder* flac = encoder.get();
    if (!FLAC__stream_encoder_set_channels(flac, channels) || !FLAC__stream_encoder_set_bits_per_sample(flac, 16) ||
        !FLAC__stream_encoder_set_sample_rate(flac, 44100) ||
        !FLAC__stream_encoder_set_compression_level(flac, level) ||
        !FLAC__stream_encoder_set_metadata(flac, metadata, 3))
        return 1;
    file = openRegularForWriting(pathOnDisk(path).c_str());
    if (!file) return 1;
    return FLAC__stream_encoder_init_stream(flac, writeBytes, seek, tell, nullptr, this) ==
                   FLAC__STREAM_ENCODER_INIT_STATUS_OK
               ? 0
               : 1;
}

int FlacEncoder::Stream::write(const uint8_t* data, int byteCount) {
    if (failed || byteCount < 0 || byteCount > kMaxBlockBytes) return 1;
    const int values = byteCount / 2;
    for (int i = 0; i < values; ++i) samples[i] = static_cast<int16_t>(readLittleEndian16(data + 2 * i));
    if (!FLAC__stream_encoder_process_interleaved(encoder.get(), samples, values / channels)) failed = true;
    return failed ? 1 : 0;
}

int FlacEncoder::Stream::close() {
    // Finishing encodes the last block and writes the STREAMINFO again,
    // now with the length and the MD5 sum.
    bool ok = FLAC__stream_encoder_finish(encoder.get()) && !failed && writeSeekTable() == 0;
    encoder.reset();
    if (std::fclose(file) != 0) ok = false;
    file = nullptr;
    return ok ? 0 : 1;
}

FLAC__StreamEncoderWriteStatus FlacEncoder::Stream::writeBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                                               size_t bytes, uint32_t samples, uint32_t,
                                                               void* self) {
    auto* stream = static_cast<Stream*>(self);
    if (samples > 0) {
        stream->noteFrame(samples);
    } else if (!stream->framesStarted && stream->position == kSeekTableOffset && bytes > 0 &&
               (buffer[0] & 0x7F) == FLAC__METADATA_TYPE_SEEKTABLE) {
        stream->seekTableWritten = true;
    }
    if (std::fwrite(buffer, 1, bytes, stream->file) != bytes) return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    stream->position += bytes;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus FlacEncoder::Stream::seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* self) {
    auto* stream = static_cast<Stream*>(self);
    if (::fseeko(stream->file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    stream->position = offset;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus FlacEncoder::Stream::tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* self) {
    *offset = static_cast<Stream*>(self)->position;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

// A seek point names the frame that holds its target sample. When the
// table is full, every other point goes and the spacing doubles: the
// points kept are those of the new spacing's targets.
void FlacEncoder::Stream::noteFrame(uint32_t frameSamples) {
    if (!framesStarted) {
        framesStarted = true;
        firstFrameOffset = position;
    }
    const uint64_t first = samplesFramed;
    samplesFramed += frameSamples;
    while (nextTarget < samplesFramed) {
        if (pointCount == kSeekPoints) {
            for (int i = 0; 2 * i < kSeekPoints; ++i) points[i] = points[2 * i];
            pointCount = kSeekPoints / 2;
            spacing *= 2;
            continue;
        }
        points[pointCount++] = {first, position - firstFrameOffset, frameSamples};
        nextTarget += spacing;
    }
}

int FlacEncoder::Stream::writeSeekTable() {
    if (!seekTableWritten) return 1;
    uint8_t table[kSeekPoints * kSeekPointBytes];
    for (int i = 0; i < kSeekPoints; ++i) {
        uint8_t* point = table + i * kSeekPointBytes;
        const bool real = i < pointCount;
        putBigEndian64(point, real ? points[i].sample_number : FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER);
        putBigEndian64(point + 8, real ? points[i].stream_offset : 0);
        putBigEndian16(point + 16, real ? points[i].frame_samples : 0);
    }
    const off_t at = static_cast<off_t>(kSeekTableOffset + FLAC__STREAM_METADATA_HEADER_LENGTH);
    if (::fseeko(file, at, SEEK_SET) != 0) return 1;
    return std::fwrite(table, 1, sizeof table, file) == sizeof table ? 0 : 1;
}

FlacEncoder::FlacEncoder(const char* path, int level, int channels, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), pathFits_(std::strlen(path) < sizeof path_), level_(level), channels_(channels) {
    if (pathFits_) std::strcpy(path_, path);
}

FlacEncoder::~FlacEncoder() = default;

int FlacEncoder::open() {
    if (!pathFits_ || stream_ || level_ < 0 || level_ > 8 || (channels_ != 1 && channels_ != 2)) return 1;
    stream_ = makeOwned<Stream>();
    if (stream_ && stream_->open(path_, level_, channels_) == 0) return 0;
    stream_.reset();
    return 1;
}

int FlacEncoder::write(const uint8_t* data, int byteCount) { return stream_ ? stream_->write(data, byteCount) : 1; }

int FlacEncoder::close() {
    if (!stream_) return 1;
    const int result = stream_->close();
    stream_.reset();
    return result;
}
