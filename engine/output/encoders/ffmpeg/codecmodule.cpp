#include "engine/output/encoders/ffmpeg/codecmodule.h"

#include "engine/common/loadedmodule.h"

#include <cstdio>
#include <string>

void* codecModuleFunction(const char* name) {
    std::string reason;
    void* function = loadedModuleFunction(kCodecModule, name, &reason);
    if (!function) {
        // Said once: the job then fails with its usual message, which alone
        // would not tell a user that a file of the installation is missing.
        static bool told = false;
        if (!told) std::fprintf(stderr, "Cannot load %s: %s\n", kCodecModule, reason.c_str());
        told = true;
    }
    return function;
}
