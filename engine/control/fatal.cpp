#include "engine/control/fatal.h"

#include <cstdio>

int reportFatal(int code, const char* message) {
    std::printf("%s\n", message);
    std::fflush(stdout);
    return code;
}
