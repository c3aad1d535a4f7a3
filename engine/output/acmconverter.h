#pragma once

#include "engine/output/acm.h"
#include "engine/output/waveformat.h"
#include "engine/pipeline/audiostage.h"

// Converts the stream from one wave format into another through an ACM
// stream that lives from open to close. The stream reads the caller's
// block in place and converts into the stage's buffer.
class AcmConverter : public AudioStage {
public:
    AcmConverter(const WaveFormat& sourceFormat, const WaveFormat& destinationFormat,
                 std::unique_ptr<AudioStage> next);
    int write(const uint8_t* data, int byteCount) override;
    int close() override;
    int open() override;

    static constexpr int kBufferBytes = 131072;

private:
    int passOnConverted();
    void shutDown();

    AcmStreamHeader header_;
    AcmStreamHandle stream_;
    uint8_t destination_[kBufferBytes];
    WaveFormat destinationFormat_;
    WaveFormat sourceFormat_;
};
