#include "engine/control/fatal.h"

#include <cstdio>
#include <cstdlib>

void fatalExit(int code, const char* message) {
    std::printf("%s\n", message);
    std::fflush(stdout);
    std::exit(code);
}
