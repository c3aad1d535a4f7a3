#include "engine/output/encoders/ffmpeg/wmawriter.h"

#include "engine/control/naming.h"
#include "engine/output/encoders/ffmpeg/codecmodule.h"
#include "engine/output/waveformat.h"

#include <cstring>

WmaWriter::WmaWriter(const char* path, int bitsPerSecond, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), pathFits_(std::strlen(path) < sizeof path_), bitsPerSecond_(bitsPerSecond) {
    if (pathFits_) std::strcpy(path_, path);
}

int WmaWriter::open() {
    if (!pathFits_ || writer_) return 1;
    auto create = reinterpret_cast<WmaCreateWriter>(codecModuleFunction("WMAudioCreateWriter"));
    if (!create || create(pathOnDisk(path_).c_str(), writer_) < 0) return 1;
    if (writer_->setInputFormat(pcmFormat(2)) < 0) return 1;
    return writer_->setBitrate(bitsPerSecond_, 44100, 2, 0) < 0 ? 1 : 0;
}

int WmaWriter::write(const uint8_t* data, int byteCount) {
    if (!writer_) return 1;
    return writer_->writeSamples(data, byteCount) < 0 ? 1 : 0;
}

int WmaWriter::close() {
    if (!writer_) return 1;
    int result = writer_->close() < 0 ? 1 : 0;
    if (writer_->release() < 0) result = 1;
    writer_.reset();
    return result;
}
