// Sense data comes from the drive: any bytes, in any length, must decode
// without reading past them, into a key the words cover.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/drive/drivestate.h"
#include "engine/drive/sensewords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the given length, so that a read past it is caught.
    std::vector<uint8_t> sense(data, data + size);
    SenseCode code = decodeSense(sense.data(), static_cast<int>(sense.size()));
    if (code.key < 0 || code.key > 0x0F) __builtin_trap();
    if (std::strlen(senseKeyWords(code.key)) == 0) __builtin_trap();
    if (senseConditionWords(code.asc, code.ascq).empty()) __builtin_trap();
    return 0;
}
