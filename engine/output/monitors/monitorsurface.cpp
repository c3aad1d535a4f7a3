#include "engine/output/monitors/monitorsurface.h"

#include "engine/common/loadedmodule.h"
#include "engine/output/sdl/sdlmodule.h"

#include <cstdio>
#include <string>

std::unique_ptr<MonitorSurface> openMonitorSurface(const char* title) {
    static bool told = false;
    std::string reason;
    auto open = reinterpret_cast<OpenMonitorSurfaceFunction>(
        loadedModuleFunction(kSdlModule, kOpenMonitorSurfaceSymbol, &reason));
    if (!open) {
        if (!told) {
            std::printf("Could Not Open Monitor Window: %s\n", reason.c_str());
            std::fflush(stdout);
            told = true;
        }
        return nullptr;
    }
    return std::unique_ptr<MonitorSurface>(open(title));
}
