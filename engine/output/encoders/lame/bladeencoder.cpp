#include "engine/output/encoders/lame/bladeencoder.h"

#include "engine/control/naming.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

BladeEncoder::BladeEncoder(const char* path, int kbps, bool stereo, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)),
      loaded_(loadBladeLibrary(library_) == 0),
      stereo_(stereo),
      kbps_(kbps),
      pathFits_(std::strlen(path) < sizeof path_) {
    if (pathFits_) std::strcpy(path_, path);
}

BladeEncoder::~BladeEncoder() {
    if (file_) abandon();
}

int BladeEncoder::open() {
    if (!loaded_ || !library_.beInitStream || !library_.beEncodeChunk || !library_.beDeinitStream ||
        !library_.beCloseStream || !library_.beVersion)
        return 1;
    if (!pathFits_ || file_ || kbps_ <= 0 || kbps_ > 0xFFFF) return 1;
    file_ = std::fopen(pathOnDisk(path_).c_str(), "wb");
    if (!file_) return 1;
    bytesBuffered_ = 0;
    failed_ = false;
    BeConfig config = {};
    config.configKind = BE_CONFIG_MP3;
    config.sampleRate = 44100;
    config.mode = stereo_ ? BE_MP3_MODE_STEREO : BE_MP3_MODE_MONO;
    config.bitrateKbps = static_cast<uint16_t>(kbps_);
    lastResult_ = library_.beInitStream(&config, &samplesPerChunk_, &outputBufferSize_, &stream_);
    if (lastResult_ != 0) {
        stream_ = nullptr;
        abandon();
        return 1;
    }
    outputBuffer_.reset(new (std::nothrow) uint8_t[outputBufferSize_]);
    inputBuffer_.reset(new (std::nothrow) uint8_t[2 * samplesPerChunk_]);
    if (!outputBuffer_ || !inputBuffer_) {
        abandon();
        return 1;
    }
    return 0;
}

int BladeEncoder::writeOutput(uint32_t bytes) {
    if (bytes == 0) return 0;
    return std::fwrite(outputBuffer_.get(), 1, bytes, file_) == bytes ? 0 : 1;
}

int BladeEncoder::encode(uint32_t samples) {
    uint32_t outputBytes = 0;
    int16_t* input = reinterpret_cast<int16_t*>(inputBuffer_.get());
    lastResult_ = library_.beEncodeChunk(stream_, samples, input, outputBuffer_.get(), &outputBytes);
    if (lastResult_ != 0 || writeOutput(outputBytes) != 0) {
        failed_ = true;
        return 1;
    }
    return 0;
}

int BladeEncoder::write(const uint8_t* data, int byteCount) {
    if (!file_ || !stream_ || byteCount < 0) return 1;
    const uint32_t chunkBytes = 2 * samplesPerChunk_;
    uint32_t remaining = static_cast<uint32_t>(byteCount);
    while (remaining > 0) {
        const uint32_t piece = std::min(remaining, chunkBytes - bytesBuffered_);
        std::memcpy(inputBuffer_.get() + bytesBuffered_, data, piece);
        bytesBuffered_ += piece;
        data += piece;
        remaining -= piece;
        if (bytesBuffered_ == chunkBytes) {
            if (encode(samplesPerChunk_) != 0) return 1;
            bytesBuffered_ = 0;
        }
    }
    return 0;
}

// The LAME/Xing frame takes the place of the first frame, which the
// library kept free for it, so that players know the exact length.
int BladeEncoder::writeInfoFrame() {
    if (!library_.beInfoFrame) return 0;
    uint32_t bytes = 0;
    if (library_.beInfoFrame(stream_, outputBuffer_.get(), outputBufferSize_, &bytes) != 0) return 1;
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) return 1;
    return writeOutput(bytes);
}

int BladeEncoder::finish() {
    if (bytesBuffered_ > 0 && encode(bytesBuffered_ / 2) != 0) return 1;
    bytesBuffered_ = 0;
    uint32_t outputBytes = 0;
    lastResult_ = library_.beDeinitStream(stream_, outputBuffer_.get(), &outputBytes);
    if (lastResult_ != 0 || writeOutput(outputBytes) != 0) return 1;
    return writeInfoFrame();
}

int BladeEncoder::close() {
    if (!file_ || !stream_) return 1;
    int result = failed_ || finish() != 0 ? 1 : 0;
    library_.beCloseStream(stream_);
    stream_ = nullptr;
    outputBuffer_.reset();
    inputBuffer_.reset();
    if (result != 0) {
        abandon();
        return 1;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        std::remove(pathOnDisk(path_).c_str());
        return 1;
    }
    return 0;
}

// A file the encoder could not finish would play as a shorter track than
// it is: it goes.
void BladeEncoder::abandon() {
    if (stream_) library_.beCloseStream(stream_);
    stream_ = nullptr;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(pathOnDisk(path_).c_str());
}
