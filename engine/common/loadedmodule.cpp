#include "engine/common/loadedmodule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace {

// Beside the program in the build tree, in the library folder once installed.
void* loadModule(const char* module, std::string* reason) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (error) {
        if (reason) *reason = "cannot find the program's folder";
        return nullptr;
    }
    // RTLD_NODELETE keeps the module mapped after dlclose, for the next job
    // and for the functions handed out.
    for (const std::filesystem::path& place : {folder, folder / VOLTA_INSTALLED_MODULE_DIR}) {
        if (void* handle = ::dlopen((place / module).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
            return handle;
    }
    if (reason) {
        const char* why = ::dlerror();
        *reason = why ? why : std::string("cannot load ") + module;
    }
    return nullptr;
}

}  // namespace

void* loadedModuleFunction(const char* module, const char* name, std::string* reason) {
    void* handle = loadModule(module, reason);
    if (!handle) return nullptr;
    void* function = ::dlsym(handle, name);
    if (!function && reason) *reason = std::string(name) + " missing from " + module;
    ::dlclose(handle);
    return function;
}
