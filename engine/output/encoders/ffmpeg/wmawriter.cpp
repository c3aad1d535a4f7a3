#include "engine/output/encoders/ffmpeg/wmawriter.h"

#include "engine/control/naming.h"
#include "engine/output/waveformat.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <system_error>

WmaWriter::WmaWriter(const char* path, int bitsPerSecond, std::unique_ptr<AudioStage> next)
    : AudioStage(std::move(next)), pathFits_(std::strlen(path) < sizeof path_), bitsPerSecond_(bitsPerSecond) {
    if (pathFits_) std::strcpy(path_, path);
}

WmaWriter::~WmaWriter() { unload(); }

// libavformat, libavcodec and what they bring take more memory than the
// rest of the program together, so only a run that writes WMA maps them.
// Once mapped they stay (RTLD_NODELETE): the next job needs them again.
int WmaWriter::open() {
    if (!pathFits_ || writer_ || module_) return 1;
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return 1;
    module_ = ::dlopen((program.parent_path() / kWmaWriterModule).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module_) return 1;
    auto create = reinterpret_cast<WmaCreateWriter>(::dlsym(module_, "WMAudioCreateWriter"));
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
    unload();
    return result;
}

void WmaWriter::unload() {
    writer_.reset();
    if (module_) ::dlclose(module_);
    module_ = nullptr;
}
