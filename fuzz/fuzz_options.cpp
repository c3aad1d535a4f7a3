// Feeds arbitrary bytes to the environment tokenizer and, split at NUL
// bytes, to the argument parser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/control/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    options = Options();
    parseEnvironmentText(text.c_str());

    options = Options();
    std::vector<std::string> pieces{"volta"};
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || text[i] == '\0') {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    std::vector<const char*> argv;
    for (const auto& p : pieces) argv.push_back(p.c_str());
    ParseResult result = parseArguments(static_cast<int>(argv.size()), argv.data());
    if (!result.stop && result.exitCode != 0) __builtin_trap();
    return 0;
}
