// CUE sheets are read from any path a user names: the reader and the
// layout must cope with whatever the file holds.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/drive/image/cuesheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the file lengths, the rest is the sheet.
    if (size < 4) return 0;
    int unit = data[0] | data[1] << 8;
    int spread = data[2] | data[3] << 8;
    std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);
    CueSheet sheet;
    CueError error;
    if (parseCueSheet(text, sheet, error) != 0) {
        // Error lines quote the sheet; what reaches the console is escaped.
        for (char c : escapeControls(error.reason))
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
        return 0;
    }
    std::vector<int> fileSectors;
    for (size_t k = 0; k < sheet.files.size(); ++k)
        fileSectors.push_back(unit * 16 + static_cast<int>(k % 7) * spread);
    ImageLayout layout;
    layOutDisc(sheet, fileSectors, layout, error);
    return 0;
}
