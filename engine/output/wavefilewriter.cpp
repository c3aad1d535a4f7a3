#include "engine/output/wavefilewriter.h"

#include "engine/common/byteorder.h"
#include "engine/output/acmformats.h"
#include "engine/output/regularfile.h"

#include <algorithm>
#include <cstring>

namespace {

// The RIFF and data sizes are 32-bit.
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFu;

}  // namespace

WaveFileWriter::WaveFileWriter(const char* path, const WaveFormat& format, bool writeHeader)
    : format_(format), pathFits_(std::strlen(path) < sizeof path_), writeHeader_(writeHeader) {
    if (!pathFits_) return;
    std::strcpy(path_, path);
    // Name templates separate sub-directories with backslashes.
    for (char* p = path_; *p; ++p)
        if (*p == '\\') *p = '/';
}

WaveFileWriter::~WaveFileWriter() {
    if (file_) std::fclose(file_);
}

bool WaveFileWriter::hasFactChunk() const {
    return format_.formatTag != kWaveFormatPcm;
}

int WaveFileWriter::headerBytes() const {
    return 20 + kWaveFormatBaseBytes + format_.extraSize + (hasFactChunk() ? kFactChunkBytes : 0) + 8;
}

int WaveFileWriter::writeHeaderBlock() {
    uint8_t header[kMaxHeaderBytes];
    const uint32_t extra = format_.extraSize;
    const uint32_t formatBytes = kWaveFormatBaseBytes + extra;
    std::memcpy(header, "RIFF", 4);
    putLittleEndian32(header + 4, static_cast<uint32_t>(headerBytes() - 8 + byteCount_));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLittleEndian32(header + 16, formatBytes);
    uint8_t* f = header + 20;
    putLittleEndian16(f, format_.formatTag);
    putLittleEndian16(f + 2, format_.channels);
    putLittleEndian32(f + 4, format_.samplesPerSecond);
    putLittleEndian32(f + 8, format_.averageBytesPerSecond);
    putLittleEndian16(f + 12, format_.blockAlign);
    putLittleEndian16(f + 14, format_.bitsPerSample);
    putLittleEndian16(f + 16, format_.extraSize);
    std::memcpy(f + 18, format_.extra, extra);
    uint8_t* chunk = f + formatBytes;
    if (hasFactChunk()) {
        std::memcpy(chunk, "fact", 4);
        putLittleEndian32(chunk + 4, 4);
        putLittleEndian32(chunk + 8, sampleFramesIn(format_, byteCount_));
        chunk += kFactChunkBytes;
    }
    std::memcpy(chunk, "data", 4);
    putLittleEndian32(chunk + 4, static_cast<uint32_t>(byteCount_));
    const size_t size = headerBytes();
    return std::fwrite(header, 1, size, file_) == size ? 0 : 1;
}

int WaveFileWriter::open() {
    byteCount_ = 0;
    gathered_ = 0;
    if (!pathFits_ || file_) return 1;
    if (writeHeader_) {
        if (format_.formatTag == kWaveFormatPcm) format_.extraSize = 0;
        // The header copies the extra bytes from the record, which holds no more.
        if (format_.extraSize > kWaveFormatExtraCapacity) return 1;
    }
    file_ = openRegularForWriting(path_);
    if (!file_) return 1;
    // Unbuffered by the library: the blocks are gathered here, so that only
    // what reached the file is counted and the header never claims lost bytes.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (writeHeader_ && writeHeaderBlock() != 0) return 1;
    return AudioStage::open();
}

int WaveFileWriter::writeGathered() {
    const size_t written = gathered_ > 0 ? std::fwrite(gather_, 1, gathered_, file_) : 0;
    byteCount_ += written;
    const bool whole = written == gathered_;
    gathered_ = 0;
    return whole ? 0 : 1;
}

int WaveFileWriter::write(const uint8_t* data, int byteCount) {
    if (!file_ || byteCount < 0) return 1;
    if (writeHeader_ && headerBytes() - 8 + byteCount_ + gathered_ + byteCount > kMaxRiffSize) return 1;
    size_t left = static_cast<size_t>(byteCount);
    while (left > 0) {
        const size_t piece = std::min(left, kGatherBytes - gathered_);
        std::memcpy(gather_ + gathered_, data, piece);
        gathered_ += piece;
        data += piece;
        left -= piece;
        if (gathered_ == kGatherBytes && writeGathered() != 0) return 1;
    }
    return 0;
}

int WaveFileWriter::close() {
    if (!file_) return 1;
    int result = writeGathered();
    if (writeHeader_ && (std::fseek(file_, 0, SEEK_SET) != 0 || writeHeaderBlock() != 0)) result = 1;
    if (std::fclose(file_) != 0) result = 1;
    file_ = nullptr;
    return result != 0 ? result : AudioStage::close();
}
