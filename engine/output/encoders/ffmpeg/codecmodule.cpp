#include "engine/output/encoders/ffmpeg/codecmodule.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// Beside the program in the build tree, in the library folder once installed.
void* loadCodecModule() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (error) return nullptr;
    // RTLD_NODELETE keeps the module mapped after dlclose, for the next job
    // and for the functions handed out.
    for (const std::filesystem::path& place : {folder, folder / VOLTA_INSTALLED_MODULE_DIR}) {
        if (void* module = ::dlopen((place / kCodecModule).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
            return module;
    }
    return nullptr;
}

}  // namespace

void* codecModuleFunction(const char* name) {
    void* module = loadCodecModule();
    if (!module) {
        // Said once: the job then fails with its usual message, which alone
        // would not tell a user that a file of the installation is missing.
        static bool told = false;
        if (!told) std::fprintf(stderr, "Cannot load %s: %s\n", kCodecModule, ::dlerror());
        told = true;
        return nullptr;
    }
    void* function = ::dlsym(module, name);
    ::dlclose(module);
    return function;
}
