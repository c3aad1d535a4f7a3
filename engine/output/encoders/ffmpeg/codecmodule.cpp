#include "engine/output/encoders/ffmpeg/codecmodule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

void* codecModuleFunction(const char* name) {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return nullptr;
    // RTLD_NODELETE keeps the module mapped after dlclose, for the next job
    // and for the function handed out.
    void* module = ::dlopen((program.parent_path() / kCodecModule).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) return nullptr;
    void* function = ::dlsym(module, name);
    ::dlclose(module);
    return function;
}
