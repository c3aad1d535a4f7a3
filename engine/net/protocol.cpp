#include "engine/net/protocol.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Indexed by extraction mode.
constexpr const char* kExtractCommands[] = {"EXTRACTBURST", "EXTRACTNORMAL", "EXTRACTSYNC", "EXTRACTMEMORY"};
constexpr int kExtractModes = sizeof kExtractCommands / sizeof kExtractCommands[0];

}  // namespace

const char* extractCommandFor(int mode) {
    return mode >= 0 && mode < kExtractModes ? kExtractCommands[mode] : nullptr;
}

int extractModeOf(const char* line) {
    for (int mode = 0; mode < kExtractModes; ++mode)
        if (std::strcmp(line, kExtractCommands[mode]) == 0) return mode;
    return -1;
}

int parseProtocolNumber(const char* line, int& value) {
    const char* digits = line[0] == '-' ? line + 1 : line;
    if (digits[0] < '0' || digits[0] > '9') return 1;
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(line, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) return 1;
    value = static_cast<int>(parsed);
    return 0;
}

void flattenLine(char* text) {
    for (char* c = text; *c; ++c)
        if (*c == '\r' || *c == '\n') *c = ' ';
}

int idleClientLimitMs() {
    const char* setting = std::getenv("VOLTA_SERVER_IDLE_SECONDS");
    int seconds = 0;
    if (!setting || parseProtocolNumber(setting, seconds) != 0 || seconds <= 0 || seconds > kIdleClientSeconds)
        seconds = kIdleClientSeconds;
    return seconds * 1000;
}
