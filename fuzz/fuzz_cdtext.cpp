// CD-TEXT comes from the disc: any bytes a drive returns must decode into
// names that stay inside their fields.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/drive/cdtext.h"
#include "engine/drive/scsidrive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    MmcDrive drive(nullptr, 0, 0, 0);
    drive.tocData[2] = data[0];  // the first track the table of contents names
    decodeCdText(data + 1, static_cast<int>(size - 1), drive);
    for (const auto& title : drive.trackTitles)
        if (std::memchr(title, '\0', sizeof title) == nullptr) __builtin_trap();
    if (!std::memchr(drive.discTitle, '\0', sizeof drive.discTitle) ||
        !std::memchr(drive.discArtist, '\0', sizeof drive.discArtist))
        __builtin_trap();
    return 0;
}
