#include "engine/output/acmconverter.h"

AcmConverter::AcmConverter(const WaveFormat& sourceFormat, const WaveFormat& destinationFormat,
                           std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), destinationFormat_(destinationFormat), sourceFormat_(sourceFormat) {}

int AcmConverter::passOnConverted() {
    if (header_.destinationLengthUsed == 0) return 0;
    return AudioStage::write(destination_, static_cast<int>(header_.destinationLengthUsed));
}

void AcmConverter::shutDown() {
    acmStreamUnprepareHeader(stream_.get(), header_);
    acmStreamClose(stream_);
}

int AcmConverter::open() {
    if (stream_) return 1;
    if (acmStreamOpen(stream_, sourceFormat_, destinationFormat_, ACM_STREAMOPENF_NONREALTIME) != 0) return 1;
    header_ = AcmStreamHeader{};
    header_.structureSize = sizeof header_;
    header_.destination = destination_;
    header_.destinationLength = kBufferBytes;
    if (acmStreamPrepareHeader(stream_.get(), header_) != 0) {
        acmStreamClose(stream_);
        return 1;
    }
    const int result = AudioStage::open();
    if (result != 0) {
        shutDown();
        return result;
    }
    if (acmStreamConvert(stream_.get(), header_, ACM_STREAMCONVERTF_START) != 0 || passOnConverted() != 0) {
        shutDown();
        AudioStage::close();
        return 1;
    }
    return 0;
}

int AcmConverter::write(const uint8_t* data, int byteCount) {
    if (!stream_ || byteCount < 0 || byteCount > kBufferBytes) return 1;
    // Between identical formats the block goes on as it is, in whole frames:
    // no stage changes the block it was given, so no copy is needed.
    if (acmStreamIsCopy(stream_.get()))
        return AudioStage::write(data, byteCount - byteCount % sourceFormat_.blockAlign);
    header_.source = data;
    uint32_t pending = static_cast<uint32_t>(byteCount);
    for (;;) {
        header_.sourceLength = pending;
        if (acmStreamConvert(stream_.get(), header_, 0) != 0) return 1;
        const int result = passOnConverted();
        if (result != 0) return result;
        // A conversion that grows the data may not fit the destination in
        // one go; what the stream left over is converted next, not dropped.
        const uint32_t used = header_.sourceLengthUsed;
        pending -= used;
        if (used == 0 || pending < sourceFormat_.blockAlign) return 0;
        header_.source += used;
    }
}

int AcmConverter::close() {
    if (!stream_) return 1;
    header_.sourceLength = 0;
    if (acmStreamConvert(stream_.get(), header_, ACM_STREAMCONVERTF_END) != 0) {
        shutDown();
        AudioStage::close();
        return 1;
    }
    const int written = passOnConverted();
    shutDown();
    const int result = AudioStage::close();
    return result != 0 ? result : (written != 0 ? 1 : 0);
}
